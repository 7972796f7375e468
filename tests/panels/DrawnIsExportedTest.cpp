#include "TestRegistry.h"

#include "models/AnnotationShape.h"
#include "models/AnnotationShapes.h"
#include "models/TextShape.h"
#include "platform/SubjectSegmenter.h"
#include "services/BatchExportService.h"
#include "services/EdgeProcessingService.h"
#include "services/ExtractRenderer.h"
#include "services/ImageFilterService.h"
#include "services/SubjectExtractionService.h"
#include "views/AnnotationCanvas.h"

#include <QPainter>
#include <QTest>

#include <vector>

namespace {

const QSize frameSize(480, 270);

// A frame of coloured bands with a lighter disc: the subject is the disc.
QImage still()
{
    QImage frame(frameSize, QImage::Format_RGBA8888_Premultiplied);
    QPainter painter(&frame);
    for (int band = 0; band < 6; ++band)
        painter.fillRect(QRect(band * 80, 0, 80, frameSize.height()), QColor::fromHsv(band * 50, 160, 200));
    painter.setBrush(QColor(240, 230, 200));
    painter.setPen(QPen(Qt::black, 6));
    painter.drawEllipse(QPoint(240, 135), 120, 110);
    painter.setFont(QFont(QStringLiteral("DejaVu Sans"), 20));
    painter.drawText(QRect(120, 110, 240, 50), Qt::AlignCenter, QStringLiteral("Étiquette 42"));
    painter.end();
    return frame;
}

SubjectMask discMask(const QImage &frame)
{
    std::vector<float> map(std::size_t(frameSize.width() * frameSize.height()), 0.0F);
    for (int y = 0; y < frameSize.height(); ++y) {
        for (int x = 0; x < frameSize.width(); ++x) {
            const double dx = (x - 240) / 123.0;
            const double dy = (y - 135) / 113.0;
            if (dx * dx + dy * dy <= 1.0)
                map[std::size_t(y) * std::size_t(frameSize.width()) + std::size_t(x)] = 1.0F;
        }
    }
    return SubjectMask::fromProbability(frame, map).value();
}

// One annotation of every kind the canvas draws, spread over the picture, or all of them but those
// drawn from the picture under them.
QList<Annotation> everyKind(bool withPixelated)
{
    QList<Annotation> annotations;
    int i = 0;
    for (const AnnotationShape *shape : AnnotationShapes::all()) {
        if (shape->readsPicture() && !withPixelated)
            continue;
        const QPointF from(0.1 + 0.08 * i, 0.15 + 0.05 * (i % 3));
        Annotation annotation = shape->begin(from);
        shape->extend(annotation, from + QPointF(0.2, 0.1));
        shape->extend(annotation, from + QPointF(0.3, 0.45));
        annotation.r = (i % 3) / 2.0;
        annotation.g = (i % 2) * 0.8;
        annotation.a = i % 2 ? 0.7 : 1.0;
        annotation.lineWidth = 0.004 + 0.001 * i;
        annotation.filled = i % 2 == 1;
        if (shape->holdsText()) {
            annotation.text = QStringLiteral("Deux\nlignes");
            TextShape::fit(annotation, double(frameSize.width()) / frameSize.height());
        }
        annotations << annotation;
        ++i;
    }
    // A second marker, numbered 2.
    Annotation marker = AnnotationShapes::find(QStringLiteral("marker"))->begin({0.85, 0.8});
    marker.lineWidth = 0.01;
    annotations << marker;
    return annotations;
}

} // namespace

// The canvas and the export paint with the same code: a frame's annotations shown on the canvas at
// the picture's own size are the very pixels of the exported picture.
class DrawnIsExportedTest : public QObject
{
    Q_OBJECT

private slots:
    void theCanvasAtFullSizeShowsTheExportedPixels_data()
    {
        QTest::addColumn<bool>("withPixelated");
        QTest::newRow("drawn over the picture") << false;
        QTest::newRow("the picture drawn with them") << true;
    }

    void theCanvasAtFullSizeShowsTheExportedPixels()
    {
        QFETCH(bool, withPixelated);
        const QImage frame = still();
        const SubjectMask mask = discMask(frame);

        BatchExportService::Services services;
        services.filter = std::make_shared<ImageFilterService>();
        services.edge = std::make_shared<EdgeProcessingService>();
        BatchExportService::Settings settings;
        settings.mode = ExportMode::Merged;
        CapturedFrame captured(MediaTime(1, 1));
        captured.annotations = everyKind(withPixelated);
        settings.stills.insert(captured.id, frame);
        settings.masks.insert(captured.id, KeptMask(mask.encoded()));
        const Result<QList<QImage>> exported =
            BatchExportService::finishedImages(services, settings, captured);
        QVERIFY(exported);
        const QImage expected = exported.value().first().convertToFormat(QImage::Format_ARGB32_Premultiplied);

        // The cut-out as the preview shows it, under the canvas.
        const ExtractRenderer renderer{services.filter.get(), services.edge.get()};
        const QImage cutOut =
            renderer.render(SubjectExtractionService::images(mask, ExportMode::Merged, false).value().first(),
                            settings.filter, settings.edge);
        AnnotationCanvas canvas;
        canvas.resize(frameSize);
        canvas.setAnnotations(captured.annotations);
        canvas.setBackdrop(cutOut);
        QCOMPARE(canvas.coversPicture(), withPixelated);

        // What shows: the picture, and the canvas over it (the canvas shows the picture itself when
        // it covers it).
        QImage shown(frameSize, QImage::Format_ARGB32_Premultiplied);
        shown.fill(Qt::transparent);
        if (!canvas.coversPicture()) {
            QPainter painter(&shown);
            painter.drawImage(0, 0, cutOut);
        }
        canvas.render(&shown, QPoint(), QRegion(), QWidget::RenderFlags());
        QCOMPARE(shown.size(), expected.size());
        int differing = 0;
        for (int y = 0; y < shown.height(); ++y) {
            for (int x = 0; x < shown.width(); ++x)
                differing += shown.pixel(x, y) != expected.pixel(x, y) ? 1 : 0;
        }
        QCOMPARE(differing, 0);
    }
};

QUINTAREL_TEST(DrawnIsExportedTest)
#include "DrawnIsExportedTest.moc"
