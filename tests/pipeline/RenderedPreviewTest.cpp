#include "PipelineImages.h"
#include "TestRegistry.h"

#include "services/ExtractRenderer.h"
#include "state/PreviewRenderer.h"

#include <QTest>

using namespace PipelineImages;

class RenderedPreviewTest : public QObject
{
    Q_OBJECT

private slots:
    void frameWithoutSubjectRendersNothing()
    {
        PreviewRenderer renderer;
        QFuture<QImage> future = renderer.rendered(QImage(), FilterStyle::Sketch, EdgeOptions());
        future.waitForFinished();
        QVERIFY(future.result().isNull());
    }

    void rendersOffTheMainThreadAsOnIt()
    {
        PreviewRenderer renderer;
        EdgeOptions options;
        options.outline = true;
        options.outlineWidth = 3.0;
        options.outlineColor = QColor(0, 0, 255);

        const QImage subject = cutOut(QSize(40, 30), QRect(10, 5, 20, 20), QColor(200, 60, 60));
        QFuture<QImage> future = renderer.rendered(subject, FilterStyle::Poster, options);
        future.waitForFinished();

        const QImage image = future.result();
        QCOMPARE(image.size(), QSize(40 + 10, 30 + 10));
        QCOMPARE(raw(image, 5 + 10 - 2, 5 + 15), (std::array<int, 4>{0, 0, 255, 255}));
        // The same picture as the renderer gives on this thread.
        const QImage direct = renderer.renderer().render(subject, FilterStyle::Poster, options);
        QCOMPARE(image, direct);
    }

    // Preview renders share the window's services with each other and with the main thread.
    void concurrentRendersMatchSerialOnes()
    {
        PreviewRenderer preview;
        EdgeOptions options;
        options.shrink = 1.5;
        options.feather = 2.0;
        options.outline = true;
        const QImage subject = cutOut(QSize(160, 120), QRect(20, 15, 110, 90), QColor(40, 160, 220));
        const ExtractRenderer renderer = preview.renderer();

        QList<QFuture<QImage>> futures;
        for (int round = 0; round < 3; ++round) {
            for (const FilterStyle style : FilterStyles::all())
                futures << preview.rendered(subject, style, options);
        }
        for (int i = 0; i < futures.size(); ++i) {
            const FilterStyle style = FilterStyles::all().at(i % 4);
            // The main thread renders at the same time.
            const QImage serial = renderer.render(subject, style, options);
            futures[i].waitForFinished();
            QCOMPARE(futures[i].result(), serial);
        }
    }

    void servicesAreThere()
    {
        PreviewRenderer preview;
        QVERIFY(preview.imageFilter());
        QVERIFY(preview.edgeProcessor());
        QCOMPARE(preview.renderer().filter, preview.imageFilter().get());
        QCOMPARE(preview.renderer().edge, preview.edgeProcessor().get());
    }
};

QUINTAREL_TEST(RenderedPreviewTest)
#include "RenderedPreviewTest.moc"
