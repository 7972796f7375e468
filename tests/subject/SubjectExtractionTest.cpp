#include "TestImages.h"
#include "TestRegistry.h"

#include "platform/SubjectSegmenter.h"
#include "services/SubjectExtractionService.h"

#include <QColorSpace>
#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>
#include <QtConcurrent/QtConcurrentRun>

#include <cstring>

Q_DECLARE_METATYPE(ExportMode)

// Each lifting runs the real model for seconds: every case below runs it once and checks all it can.
class SubjectExtractionTest : public QObject
{
    Q_OBJECT

    static QString modelPath()
    {
        return QStringLiteral(QUINTAREL_TEST_BUILD_DIR "/models/isnet-general.onnx");
    }

    static bool insideEllipse(const QRect &rect, QPoint point, double margin)
    {
        const double a = rect.width() / 2.0 - margin, b = rect.height() / 2.0 - margin;
        const double dx = point.x() + 0.5 - (rect.x() + rect.width() / 2.0);
        const double dy = point.y() + 0.5 - (rect.y() + rect.height() / 2.0);
        return a > 0 && b > 0 && (dx * dx) / (a * a) + (dy * dy) / (b * b) <= 1.0;
    }

    static bool insideShape(const TestImages::Shape &shape, QPoint point, int margin)
    {
        if (shape.kind == TestImages::Shape::Ellipse)
            return insideEllipse(shape.rect, point, margin);
        return shape.rect.adjusted(margin, margin, -margin, -margin).contains(point);
    }

    // Pixels of a full-frame cut-out that break "opaque inside the shown shapes, transparent away from
    // them"; the few pixels along each edge may be anything.
    static int wrongPixels(const QImage &cutOut, const QList<TestImages::Shape> &shown)
    {
        const QImage image = cutOut.convertToFormat(QImage::Format_RGBA8888_Premultiplied);
        int wrong = 0;
        for (int y = 0; y < image.height(); ++y) {
            const uchar *row = image.constScanLine(y);
            for (int x = 0; x < image.width(); ++x) {
                const int alpha = row[4 * x + 3];
                bool inside = false, near = false;
                for (const TestImages::Shape &shape : shown) {
                    inside |= insideShape(shape, {x, y}, EdgeMargin);
                    near |= insideShape(shape, {x, y}, -EdgeMargin);
                }
                if ((inside && alpha < 250) || (!near && alpha != 0))
                    ++wrong;
            }
        }
        return wrong;
    }

    static QRgb colourAt(const QImage &image, QPoint point)
    {
        return image.convertToFormat(QImage::Format_ARGB32).pixel(point);
    }

    // Each side of a cut-out may reach a few pixels beyond the shape.
    static void compareSize(QSize actual, QSize expected)
    {
        QVERIFY2(qAbs(actual.width() - expected.width()) <= 2 * EdgeMargin &&
                     qAbs(actual.height() - expected.height()) <= 2 * EdgeMargin,
                 qPrintable(QStringLiteral("%1×%2 instead of about %3×%4")
                                .arg(actual.width())
                                .arg(actual.height())
                                .arg(expected.width())
                                .arg(expected.height())));
    }

    static constexpr int EdgeMargin = 6; // the soft edge spreads a few pixels either side
    const QSize m_frameSize{960, 540};
    const QList<TestImages::Shape> m_shapes = TestImages::twoShapes();
    const QImage m_frame = TestImages::shapesOnGradient(m_frameSize, m_shapes);

private slots:
    void initTestCase()
    {
        QVERIFY2(QFileInfo::exists(modelPath()), "the build prepares the model; run `make build` first");
    }

    void perSubjectGivesOneFrameSizedImagePerShapeLargestFirst()
    {
        SubjectExtractionService service(modelPath());
        const Result<QList<QImage>> result =
            service.extractAsync(m_frame, ExportMode::PerSubject, false).result();
        QVERIFY2(result.ok(), qPrintable(result.ok() ? QString() : result.error().errorDescription()));
        const QList<QImage> &images = result.value();
        QCOMPARE(images.size(), 2);
        for (int i = 0; i < 2; ++i) {
            QCOMPARE(images[i].size(), m_frameSize);
            QCOMPARE(wrongPixels(images[i], {m_shapes[i]}), 0);
        }
        // The source's colours, untouched inside the shape.
        QCOMPARE(colourAt(images[0], m_shapes[0].rect.center()), qRgb(200, 30, 30));
        QCOMPARE(colourAt(images[1], m_shapes[1].rect.center()), qRgb(30, 50, 180));
    }

    void mergedWithCropHoldsBothShapesInTheirBoundingBox()
    {
        SubjectExtractionService service(modelPath());
        // The synchronous call, from a thread other than the main one as its callers do.
        const Result<QList<QImage>> result =
            QtConcurrent::run([&] { return service.extract(m_frame, ExportMode::Merged, true); }).result();
        QVERIFY2(result.ok(), qPrintable(result.ok() ? QString() : result.error().errorDescription()));
        QCOMPARE(result.value().size(), 1);
        const QImage merged = result.value().first();
        const QRect both = m_shapes[0].rect | m_shapes[1].rect;
        compareSize(merged.size(), both.size());

        // Back in frame coordinates, the merged cut-out shows both shapes and nothing else.
        QImage placed(m_frameSize, QImage::Format_RGBA8888_Premultiplied);
        placed.fill(Qt::transparent);
        const QPoint offset = both.topLeft() + QPoint((both.width() - merged.width()) / 2,
                                                      (both.height() - merged.height()) / 2);
        for (int y = 0; y < merged.height(); ++y)
            std::memcpy(placed.scanLine(offset.y() + y) + 4 * offset.x(),
                        merged.convertToFormat(QImage::Format_RGBA8888_Premultiplied).constScanLine(y),
                        size_t(merged.width()) * 4);
        QCOMPARE(wrongPixels(placed, m_shapes), 0);
    }

    void maskSelectsInstancesWithOrWithoutCrop()
    {
        const auto segmenter = SubjectSegmenter::forModel(modelPath());
        QCOMPARE(SubjectSegmenter::forModel(modelPath()), segmenter); // one per model for the process
        const Result<SubjectMask> segmented =
            QtConcurrent::run([&] { return segmenter->segment(m_frame); }).result();
        QVERIFY(segmented.ok());
        const SubjectMask &mask = segmented.value();
        QCOMPARE(mask.instanceCount(), 2);
        for (int i = 0; i < 2; ++i) {
            const QRect bounds = mask.instanceBounds(i);
            QVERIFY2(bounds.contains(m_shapes[i].rect.adjusted(2, 2, -2, -2)),
                     "bounds miss part of the shape");
            QVERIFY2(
                m_shapes[i].rect.adjusted(-EdgeMargin, -EdgeMargin, EdgeMargin, EdgeMargin).contains(bounds),
                "bounds reach beyond the shape");
            const Result<QImage> cropped = mask.maskedImage({i}, true);
            QVERIFY(cropped.ok());
            QCOMPARE(cropped.value().size(), bounds.size());
            QCOMPARE(colourAt(cropped.value(), m_shapes[i].rect.center() - bounds.topLeft()),
                     colourAt(m_frame, m_shapes[i].rect.center()));
        }
        const Result<QImage> all = mask.maskedImage({0, 1}, false);
        QVERIFY(all.ok());
        QCOMPARE(all.value().size(), m_frameSize);
        QCOMPARE(wrongPixels(all.value(), m_shapes), 0);
        QCOMPARE(all.value().colorSpace(), m_frame.colorSpace());
        // No instance selected: nothing to show.
        QVERIFY(mask.maskedImage({}, true).value().isNull());
        QVERIFY(mask.maskedImage({7}, true).value().isNull());
    }

    void frameWithoutSubjectFailsInBothModes_data()
    {
        QTest::addColumn<QImage>("frame");
        QTest::addColumn<ExportMode>("mode");
        QTest::newRow("flat grey, merged")
            << TestImages::flat(m_frameSize, QColor(128, 128, 128)) << ExportMode::Merged;
        QTest::newRow("plain gradient, per subject")
            << TestImages::gradient(m_frameSize) << ExportMode::PerSubject;
    }

    void frameWithoutSubjectFailsInBothModes()
    {
        QFETCH(QImage, frame);
        QFETCH(ExportMode, mode);
        SubjectExtractionService service(modelPath());
        const Result<QList<QImage>> result = service.extractAsync(frame, mode, false).result();
        QVERIFY(!result.ok());
        QCOMPARE(result.error(), AppError::noSubjectFound());
        QCOMPARE(result.error().errorDescription(), QStringLiteral("Aucun sujet détecté dans cette image."));
    }

    void missingModelIsReportedAndNothingElseBreaks()
    {
        QTemporaryDir dir;
        const QString missing = QDir(dir.path()).filePath(QStringLiteral("isnet-general.onnx"));
        SubjectExtractionService service(missing);
        for (const ExportMode mode : {ExportMode::Merged, ExportMode::PerSubject}) {
            const Result<QList<QImage>> result = service.extractAsync(m_frame, mode, true).result();
            QVERIFY(!result.ok());
            QCOMPARE(result.error(), AppError::subjectLiftingUnavailable());
            QVERIFY(result.error().errorDescription().contains(
                QStringLiteral("modèle de détourage est introuvable")));
        }
        // Once the model is in place the same service loads it: the failure was not kept.
        QVERIFY(QFile::link(modelPath(), missing));
        // (Loading is checked without another inference: an empty frame has no subject.)
        const Result<QList<QImage>> empty =
            service.extractAsync(QImage(), ExportMode::Merged, false).result();
        QCOMPARE(empty.error(), AppError::noSubjectFound());
    }
};

QUINTAREL_TEST(SubjectExtractionTest)
#include "SubjectExtractionTest.moc"
