#include "TestRegistry.h"

#include "models/AnnotationShape.h"
#include "models/AnnotationShapes.h"
#include "models/CaptureGroup.h"
#include "models/EdgeOptions.h"
#include "models/ExportProgress.h"
#include "models/FilterStyle.h"
#include "support/AppError.h"

#include <QSet>
#include <QTest>

#include <cmath>

class CaptureModelTest : public QObject
{
    Q_OBJECT

private slots:
    void framesAreIdentifiedByIdAlone()
    {
        CapturedFrame frame(MediaTime(1, 30));
        CapturedFrame sameIdentity = frame;
        sameIdentity.notes = QStringLiteral("autre note");
        sameIdentity.time = MediaTime(2, 30);
        QCOMPARE(frame, sameIdentity);
        QCOMPARE(qHash(frame), qHash(sameIdentity));

        const CapturedFrame twin(MediaTime(1, 30));
        QVERIFY(!(frame == twin));
        QCOMPARE(QSet<CapturedFrame>({frame, sameIdentity, twin}).size(), 2);
    }

    void groupsCompareByNameNotesAndFrameIds()
    {
        CaptureGroup group(QStringLiteral("Captures"));
        group.frames << CapturedFrame(MediaTime(1, 30)) << CapturedFrame(MediaTime(2, 30));

        CaptureGroup renamed = group;
        renamed.name = QStringLiteral("Plans serrés");
        QVERIFY(!(renamed == group));
        QCOMPARE(qHash(renamed), qHash(group));

        CaptureGroup annotated = group;
        annotated.frames[0].notes = QStringLiteral("note");
        annotated.frames[1].annotations << Annotation{};
        QCOMPARE(annotated, group);

        CaptureGroup reordered = group;
        std::swap(reordered.frames[0], reordered.frames[1]);
        QVERIFY(!(reordered == group));

        CaptureGroup described = group;
        described.notes = QStringLiteral("description");
        QVERIFY(!(described == group));
    }

    void edgeSignatureRoundsLikePrintf()
    {
        EdgeOptions options;
        QCOMPARE(options.signature(), QStringLiteral("0.0-0.0-0-6.0-1.00,1.00,1.00,1.00"));

        options.shrink = 1.04;
        const QString at104 = options.signature();
        options.shrink = 1.06;
        QVERIFY(options.signature() != at104);
        QVERIFY(options.signature().startsWith(QStringLiteral("1.1-")));
        options.shrink = 1.01;
        QCOMPARE(options.signature(), at104);

        EdgeOptions outlined;
        outlined.shrink = 1;
        outlined.feather = 0.5;
        outlined.outline = true;
        outlined.outlineWidth = 4;
        QCOMPARE(outlined.signature(), QStringLiteral("1.0-0.5-1-4.0-1.00,1.00,1.00,1.00"));

        outlined.outlineColor = QColor::fromRgbF(1, 0, 0, 0.5);
        QVERIFY(outlined.signature().endsWith(QStringLiteral("1.00,0.00,0.00,0.50")));
        QVERIFY(qAbs(outlined.outlineColor.a - 0.5) < 1e-4); // QColor keeps 16 bits per channel
    }

    void edgeParamsFollowTheOptions()
    {
        EdgeOptions options;
        options.outline = true;
        QVERIFY(!options.needsClean());
        options.feather = 0.1;
        QVERIFY(options.needsClean());

        // A colour that is not there renders as opaque white.
        const auto white = EdgeOptions::components(QColor());
        QCOMPARE(white, (std::array<double, 4>{1, 1, 1, 1}));
        const auto hsv = EdgeOptions::components(QColor::fromHsvF(0, 1, 1));
        QCOMPARE(hsv[0], 1.0);
        QCOMPARE(hsv[1], 0.0);
    }

    void progressFraction()
    {
        QCOMPARE((ExportProgress{3, 0, true}).fraction(), 0.0);
        QCOMPARE((ExportProgress{1, 4, true}).fraction(), 0.25);
    }

    void errorMessagesAreTheFrenchTexts()
    {
        QCOMPARE(AppError::frameExtractionFailed(QString()).errorDescription(),
                 QStringLiteral("Échec de l'extraction de l'image : "));
        QCOMPARE(AppError::exportFailed(QStringLiteral("disque plein")).errorDescription(),
                 QStringLiteral("Échec de l'export : disque plein"));
        QCOMPARE(AppError::noVideoLoaded().errorDescription(), QStringLiteral("Aucune vidéo chargée."));
        QCOMPARE(AppError::noOutputFolder().errorDescription(),
                 QStringLiteral("Aucun dossier de sortie sélectionné."));
        QCOMPARE(AppError::noSubjectFound().errorDescription(),
                 QStringLiteral("Aucun sujet détecté dans cette image."));
        // A detail holding a placeholder is not expanded again.
        QCOMPARE(AppError::exportFailed(QStringLiteral("%1 %2")).errorDescription(),
                 QStringLiteral("Échec de l'export : %1 %2"));
    }

    void stylesAndToolsHaveTheirNames()
    {
        QCOMPARE(FilterStyles::displayName(FilterStyle::Poster), QStringLiteral("Postérisation"));
        QCOMPARE(FilterStyles::fromRawValue(QStringLiteral("poster")), FilterStyle::Poster);
        QVERIFY(!FilterStyles::fromRawValue(QStringLiteral("Poster")));
        QCOMPARE(FilterStyles::all().size(), 4);

        // The kinds in the order of the tool picker, each found by its name, which is its own.
        QStringList kinds;
        for (const AnnotationShape *shape : AnnotationShapes::all()) {
            kinds << shape->kind();
            QCOMPARE(AnnotationShapes::find(shape->kind()), shape);
            QVERIFY(!shape->displayName().isEmpty());
            QVERIFY(!shape->systemImage().isEmpty());
        }
        QCOMPARE(kinds, (QStringList{"arrow", "line", "circle", "rectangle", "pen", "highlighter", "text",
                                     "marker", "pixelate"}));
        QCOMPARE(AnnotationShapes::find(QStringLiteral("arrow"))->displayName(), QStringLiteral("Flèche"));
        QCOMPARE(AnnotationShapes::find(QStringLiteral("circle"))->displayName(), QStringLiteral("Cercle"));
        QCOMPARE(AnnotationShapes::find(QStringLiteral("line"))->systemImage(),
                 QStringLiteral("line.diagonal"));
        QVERIFY(!AnnotationShapes::find(QStringLiteral("Arrow")));
        QVERIFY(!AnnotationShapes::find(QStringLiteral("sticker")));
        // An unknown kind behaves as an unread annotation: it cannot be picked.
        QVERIFY(
            std::isinf(AnnotationShapes::shapeOf(QStringLiteral("sticker")).distance(Annotation(), {0, 0})));
    }
};

QUINTAREL_TEST(CaptureModelTest)
#include "CaptureModelTest.moc"
