#include "PixelBlocks.h"
#include "TestRegistry.h"

#include "models/AnnotationShape.h"
#include "models/AnnotationShapes.h"
#include "platform/SubjectSegmenter.h"
#include "services/BatchExportService.h"
#include "services/EdgeProcessingService.h"
#include "services/ImageFilterService.h"

#include <QTest>

#include <vector>

namespace {

const QSize frameSize(640, 320);
// Two subjects side by side, the line of words running across both.
const QRect leftSubject(20, 60, 281, 201);
const QRect rightSubject(340, 60, 281, 201);

SubjectMask twoSubjects(const QImage &still)
{
    std::vector<float> map(std::size_t(frameSize.width() * frameSize.height()), 0.0F);
    for (int y = 0; y < frameSize.height(); ++y) {
        for (int x = 0; x < frameSize.width(); ++x) {
            if (leftSubject.contains(x, y) || rightSubject.contains(x, y))
                map[std::size_t(y) * std::size_t(frameSize.width()) + std::size_t(x)] = 1.0F;
        }
    }
    return SubjectMask::fromProbability(still, map).value();
}

struct Export
{
    BatchExportService::Services services;
    BatchExportService::Settings settings;
    CapturedFrame frame{MediaTime(1, 1)};
};

// The export of one frame of the typed line, lifted already, with `annotations`.
Export exportOf(const QList<Annotation> &annotations, ExportMode mode, bool crop)
{
    Export made;
    made.services.filter = std::make_shared<ImageFilterService>();
    made.services.edge = std::make_shared<EdgeProcessingService>();
    const QImage still = PixelBlocks::typedLine(frameSize);
    made.frame.annotations = annotations;
    made.settings.mode = mode;
    made.settings.crop = crop;
    made.settings.stills.insert(made.frame.id, still);
    made.settings.masks.insert(made.frame.id, KeptMask(twoSubjects(still).encoded()));
    return made;
}

QList<QImage> imagesOf(const Export &made)
{
    const Result<QList<QImage>> images =
        BatchExportService::finishedImages(made.services, made.settings, made.frame);
    if (!images) {
        qWarning("the export failed: %s", qPrintable(images.error().errorDescription()));
        return {};
    }
    return images.value();
}

Annotation pixelated()
{
    Annotation box = AnnotationShapes::find(QStringLiteral("pixelate"))->begin({0.05, 0.3});
    box.end = {0.95, 0.7};
    return box;
}

// The box's pixels on the frame.
QRect boxOnFrame()
{
    const Annotation box = pixelated();
    return box.shape().path(box, frameSize).boundingRect().toRect();
}

} // namespace

// A pixelated box leaves no word readable in any exported picture: every block of the frame's grid
// is of one colour, in the merged picture and in each subject's apart.
class PixelatedExportTest : public QObject
{
    Q_OBJECT

private slots:
    void theMergedPictureShowsBlocksOnly()
    {
        const QList<QImage> plain = imagesOf(exportOf({}, ExportMode::Merged, false));
        const QList<QImage> hidden = imagesOf(exportOf({pixelated()}, ExportMode::Merged, false));
        QCOMPARE(plain.size(), 1);
        QCOMPARE(hidden.size(), 1);
        QCOMPARE(hidden.first().size(), frameSize);
        const double block = frameSize.width() / 40.0;
        QVERIFY(!PixelBlocks::firstMixedCell(plain.first(), boxOnFrame(), block).isEmpty());
        const QRect mixed = PixelBlocks::firstMixedCell(hidden.first(), boxOnFrame(), block);
        QVERIFY2(mixed.isEmpty(), qPrintable(QStringLiteral("cell at %1, %2").arg(mixed.x()).arg(mixed.y())));
        QVERIFY(PixelBlocks::colourCount(hidden.first(), boxOnFrame()) > 2);
    }

    void eachSubjectApartShowsBlocksOnly_data()
    {
        QTest::addColumn<bool>("crop");
        QTest::newRow("on the whole frame") << false;
        QTest::newRow("cut to each subject") << true;
    }

    void eachSubjectApartShowsBlocksOnly()
    {
        QFETCH(bool, crop);
        Annotation arrow = AnnotationShapes::find(QStringLiteral("arrow"))->begin({0.1, 0.1});
        arrow.end = {0.9, 0.9};
        const Export plain = exportOf({arrow}, ExportMode::PerSubject, crop);
        const Export hidden = exportOf({arrow, pixelated()}, ExportMode::PerSubject, crop);
        const QList<QImage> plainImages = imagesOf(plain);
        const QList<QImage> hiddenImages = imagesOf(hidden);
        QCOMPARE(hiddenImages.size(), 2);
        QCOMPARE(plainImages.size(), 2);
        const double block = frameSize.width() / 40.0;
        const SubjectMask mask = twoSubjects(PixelBlocks::typedLine(frameSize));
        for (qsizetype i = 0; i < hiddenImages.size(); ++i) {
            const QImage &image = hiddenImages.at(i);
            // Where the subject's picture lies on the frame.
            const QRect bounds = mask.instanceBounds(int(i));
            QVERIFY(bounds.intersects(leftSubject) || bounds.intersects(rightSubject));
            const QPoint placed = crop ? bounds.topLeft() : QPoint();
            QCOMPARE(image.size(), crop ? bounds.size() : frameSize);
            const QRect area = boxOnFrame().translated(-placed);
            QVERIFY(!PixelBlocks::firstMixedCell(plainImages.at(i), area, block, -placed).isEmpty());
            const QRect mixed = PixelBlocks::firstMixedCell(image, area, block, -placed);
            QVERIFY2(mixed.isEmpty(),
                     qPrintable(
                         QStringLiteral("subject %1, cell at %2, %3").arg(i).arg(mixed.x()).arg(mixed.y())));
            // Above the box, the subject is as it is without it.
            QCOMPARE(image.copy(0, 0, image.width(), area.top()),
                     plainImages.at(i).copy(0, 0, image.width(), area.top()));
        }
    }
};

QUINTAREL_TEST(PixelatedExportTest)
#include "PixelatedExportTest.moc"
