#include "TestImages.h"
#include "TestRegistry.h"

#include "platform/SubjectSegmenter.h"
#include "services/CutoutCorrector.h"
#include "services/SubjectExtractionService.h"

#include <QFileInfo>
#include <QPainter>
#include <QTest>
#include <QtConcurrent/QtConcurrentRun>

namespace {

QString modelPath()
{
    return QStringLiteral(QUINTAREL_TEST_BUILD_DIR "/models/isnet-general.onnx");
}

int alphaAt(const QImage &image, QPoint point)
{
    return image.constScanLine(point.y())[4 * point.x() + 3];
}

QImage mergedOf(const SubjectMask &mask)
{
    const Result<QList<QImage>> images = SubjectExtractionService::images(mask, ExportMode::Merged, false);
    return images.ok() ? images.value().first() : QImage();
}

QPointF normalised(QPoint point, QSize size)
{
    return CutoutCorrector::normalisedOf(QPointF(point) + QPointF(0.5, 0.5), size);
}

} // namespace

// Corrections of a real lifting: the model runs twice in all (the frame, then a square around a
// point), off the main thread as the program runs it.
class CutoutCorrectionTest : public QObject
{
    Q_OBJECT

    const TestImages::CorrectionScene m_scene = TestImages::correctionScene();
    std::shared_ptr<SubjectSegmenter> m_segmenter;
    SubjectMask m_lifted;
    int m_partLiftings = 0;

    Result<SubjectMask> liftPart(const QRect &window)
    {
        ++m_partLiftings;
        const QImage part = m_scene.frame.copy(window);
        return QtConcurrent::run([this, part] { return m_segmenter->segment(part); }).result();
    }

private slots:
    void initTestCase()
    {
        QVERIFY2(QFileInfo::exists(modelPath()), "the build prepares the model; run `make build` first");
        m_segmenter = SubjectSegmenter::forModel(modelPath());
        const Result<SubjectMask> lifted =
            QtConcurrent::run([this] { return m_segmenter->segment(m_scene.frame); }).result();
        QVERIFY(lifted.ok());
        m_lifted = lifted.value();
        // What the model gives: the ellipse and the square, neither the small square nor the figure.
        QCOMPARE(m_lifted.instanceCount(), 2);
        const QImage merged = mergedOf(m_lifted);
        QVERIFY(alphaAt(merged, m_scene.ellipse.center()) > 200);
        QVERIFY(alphaAt(merged, m_scene.square.center()) > 200);
        QCOMPARE(alphaAt(merged, m_scene.smallSquare.center()), 0);
        QCOMPARE(alphaAt(merged, m_scene.figure.boundingRect().center().toPoint()), 0);
    }

    // A click on the square drops it: the merged cut-out and the images per subject hold the
    // ellipse alone, exactly as the lifting cut it.
    void droppedSubjectLeavesTheOtherAlone()
    {
        const QSize size = m_lifted.frameSize();
        const QList<CutoutCorrection> drop{
            CutoutCorrection::dropSubject(normalised(m_scene.square.center(), size))};
        const Result<SubjectMask> corrected = CutoutCorrector::corrected(m_lifted, drop, {});
        QVERIFY(corrected.ok());
        QCOMPARE(corrected.value().instanceCount(), 1);
        const QImage merged = mergedOf(corrected.value());
        QCOMPARE(alphaAt(merged, m_scene.square.center()), 0);
        QCOMPARE(merged, m_lifted.maskedImage({0}, false).value());
        const Result<QList<QImage>> perSubject =
            SubjectExtractionService::images(corrected.value(), ExportMode::PerSubject, true);
        QVERIFY(perSubject.ok());
        QCOMPARE(perSubject.value().size(), 1);
        QCOMPARE(perSubject.value().first().size(), m_lifted.instanceBounds(0).size());

        // A click away from every subject drops nothing.
        const QList<CutoutCorrection> miss{CutoutCorrection::dropSubject(QPointF(0.02, 0.95))};
        QCOMPARE(CutoutCorrector::corrected(m_lifted, miss, {}).value().instanceCount(), 2);
    }

    // A click on the small square lifts the frame again around it, where the square is the salient
    // thing, and adds it; replaying the correction asks for the same square of the frame again.
    void liftingAroundThePointFindsWhatTheFrameMissed()
    {
        const QPoint point = m_scene.smallSquare.center();
        const auto lift = [this](const QRect &window) { return liftPart(window); };
        m_partLiftings = 0;
        const Result<std::optional<CutoutCorrector::FoundPart>> found =
            CutoutCorrector::findSubjectAt(m_lifted, point, lift);
        QVERIFY(found.ok());
        QVERIFY(found.value().has_value());
        QCOMPARE(m_partLiftings, 1);
        const QRect window = found.value()->window;
        QVERIFY(window.contains(m_scene.smallSquare));
        QVERIFY(QRect(QPoint(0, 0), m_lifted.frameSize()).contains(window));
        QVERIFY(window.width() < m_lifted.frameSize().height()); // a part, not the whole frame

        const QSize size = m_lifted.frameSize();
        const CutoutCorrection add = CutoutCorrection::addSubject(
            normalised(point, size), CutoutCorrector::normalisedWindow(window, size));
        QCOMPARE(CutoutCorrector::windowInPixels(add.window, size), window);
        QList<QRect> asked;
        const Result<SubjectMask> corrected =
            CutoutCorrector::corrected(m_lifted, {add}, [&](const QRect &w) {
                asked << w;
                return Result<SubjectMask>(found.value()->mask);
            });
        QVERIFY(corrected.ok());
        QCOMPARE(asked, QList<QRect>{window});
        QCOMPARE(corrected.value().instanceCount(), 3);
        const QImage merged = mergedOf(corrected.value());
        QVERIFY(alphaAt(merged, m_scene.smallSquare.center()) > 200);
        QVERIFY(alphaAt(merged, m_scene.smallSquare.topLeft() + QPoint(3, 3)) > 200);
        QCOMPARE(alphaAt(merged, m_scene.smallSquare.center() + QPoint(0, -30)), 0);
        QVERIFY(alphaAt(merged, m_scene.ellipse.center()) > 200);

        // A part that cannot be lifted again fails the cut-out with the reason.
        const Result<SubjectMask> failed = CutoutCorrector::corrected(m_lifted, {add}, [](const QRect &) {
            return Result<SubjectMask>(AppError::subjectLiftingUnavailable());
        });
        QVERIFY(!failed.ok());
        QCOMPARE(failed.error(), AppError::subjectLiftingUnavailable());
    }

    // A rough box around the figure the model missed altogether adds its silhouette.
    void roughBoxAddsTheFigureTheModelMissed()
    {
        const QSize size = m_lifted.frameSize();
        const QRect box = m_scene.roughBoxAroundFigure;
        const CutoutCorrection add = CutoutCorrection::addSubjectInBox(normalised(box.topLeft(), size),
                                                                       normalised(box.bottomRight(), size));
        const Result<SubjectMask> corrected = CutoutCorrector::corrected(m_lifted, {add}, {});
        QVERIFY(corrected.ok());
        QCOMPARE(corrected.value().instanceCount(), 3);
        const QImage figure = corrected.value().maskedImage({2}, false).value();

        QImage truth(size, QImage::Format_Grayscale8);
        truth.fill(0);
        QPainter painter(&truth);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.fillPath(m_scene.figure, Qt::white);
        painter.end();
        int both = 0, either = 0;
        for (int y = 0; y < size.height(); ++y) {
            for (int x = 0; x < size.width(); ++x) {
                const bool found = alphaAt(figure, {x, y}) >= 128;
                const bool there = truth.constScanLine(y)[x] >= 128;
                both += found && there ? 1 : 0;
                either += found || there ? 1 : 0;
            }
        }
        const double iou = double(both) / either;
        qInfo("figure added by a rough box: IoU %.3f", iou);
        QVERIFY(iou >= 0.9);
        // The subjects of the model are untouched.
        QCOMPARE(corrected.value().maskedImage({0, 1}, false).value(),
                 m_lifted.maskedImage({0, 1}, false).value());
    }
};

QUINTAREL_TEST(CutoutCorrectionTest)
#include "CutoutCorrectionTest.moc"
