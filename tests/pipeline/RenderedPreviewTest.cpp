#include "PipelineImages.h"
#include "TestRegistry.h"

#include "services/ExtractRenderer.h"
#include "state/AppState.h"

#include <QTest>

using namespace PipelineImages;

class RenderedPreviewTest : public QObject
{
    Q_OBJECT

private slots:
    void frameWithoutSubjectRendersNothing()
    {
        AppState state;
        QFuture<QImage> future = state.rendered(CapturedFrame(MediaTime(1, 30)), FilterStyle::Sketch);
        future.waitForFinished();
        QVERIFY(future.result().isNull());
    }

    void rendersWithTheSettingsOfTheMomentItWasAsked()
    {
        AppState state;
        EdgeOptions options;
        options.outline = true;
        options.outlineWidth = 3.0;
        options.outlineColor = QColor(0, 0, 255);
        state.setEdgeOptions(options);

        CapturedFrame frame(MediaTime(1, 30));
        frame.subjectPreview = cutOut(QSize(40, 30), QRect(10, 5, 20, 20), QColor(200, 60, 60));
        QFuture<QImage> future = state.rendered(frame, FilterStyle::Poster);
        // A change made after the request does not reach the render in flight.
        state.setEdgeOptions(EdgeOptions());
        future.waitForFinished();

        const QImage image = future.result();
        QCOMPARE(image.size(), QSize(40 + 10, 30 + 10));
        QCOMPARE(raw(image, 5 + 10 - 2, 5 + 15), (std::array<int, 4>{0, 0, 255, 255}));
        // The same picture as the renderer gives on this thread.
        const QImage direct =
            state.renderer().render(frame.subjectPreview, FilterStyle::Poster, options.params());
        QCOMPARE(image, direct);
    }

    // Preview renders share the window's services with each other and with the main thread.
    void concurrentRendersMatchSerialOnes()
    {
        AppState state;
        EdgeOptions options;
        options.shrink = 1.5;
        options.feather = 2.0;
        options.outline = true;
        state.setEdgeOptions(options);
        CapturedFrame frame(MediaTime(1, 30));
        frame.subjectPreview = cutOut(QSize(160, 120), QRect(20, 15, 110, 90), QColor(40, 160, 220));
        const ExtractRenderer renderer = state.renderer();

        QList<QFuture<QImage>> futures;
        for (int round = 0; round < 3; ++round) {
            for (const FilterStyle style : FilterStyles::all())
                futures << state.rendered(frame, style);
        }
        for (int i = 0; i < futures.size(); ++i) {
            const FilterStyle style = FilterStyles::all().at(i % 4);
            // The main thread renders at the same time.
            const QImage serial = renderer.render(frame.subjectPreview, style, options.params());
            futures[i].waitForFinished();
            QCOMPARE(futures[i].result(), serial);
        }
    }

    void servicesAreThere()
    {
        AppState state;
        QVERIFY(state.imageExporter());
        QVERIFY(state.imageFilter());
        QVERIFY(state.edgeProcessor());
        QCOMPARE(state.renderer().filter, state.imageFilter());
        QCOMPARE(state.renderer().edge, state.edgeProcessor());
    }
};

QUINTAREL_TEST(RenderedPreviewTest)
#include "RenderedPreviewTest.moc"
