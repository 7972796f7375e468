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
