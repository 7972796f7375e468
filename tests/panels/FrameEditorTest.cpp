#include "TestRegistry.h"

#include "state/CaptureDocument.h"
#include "state/FrameImageStore.h"
#include "state/PreviewRenderer.h"
#include "views/AnnotationCanvas.h"
#include "views/ExtractionPreviewView.h"
#include "views/FrameEditorView.h"
#include "views/PictureZoom.h"
#include "views/PreviewStage.h"

#include <QAction>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QSignalSpy>
#include <QTest>
#include <QWheelEvent>

namespace {

constexpr QSize pictureSize(160, 90);

// The pieces of a window that the editing view shows: the preview fills its stage.
struct Window
{
    CaptureDocument document;
    FrameImageStore images;
    PreviewRenderer renderer;
    ExtractionPreviewView view{&document, &images, &renderer};
    FrameEditorView editor{view.toolbox()};

    Window()
    {
        view.addStage(editor.stage());
        editor.resize(800, 600);
    }

    // A frame whose cut-out is a disc, rendered in every style.
    QUuid addLiftedFrame()
    {
        DocumentContent content = document.content();
        CapturedFrame frame(MediaTime(content.groups[0].frames.size() + 1, 30));
        content.groups[0].frames << frame;
        QImage subject(pictureSize, QImage::Format_RGBA8888_Premultiplied);
        subject.fill(Qt::transparent);
        QPainter painter(&subject);
        painter.setBrush(QColor(40, 120, 220));
        painter.drawEllipse(QPointF(80, 45), 30, 30);
        painter.end();
        QSignalSpy rendered(&view, &ExtractionPreviewView::rendersChanged);
        const FrameImageStore::Ticket ticket = images.track(frame.id);
        images.setStill(frame.id, ticket, QImage(pictureSize, QImage::Format_RGBA8888_Premultiplied));
        images.setSubject(frame.id, ticket, subject);
        document.reset(content);
        if (!rendered.wait(20000))
            qFatal("the styles were not rendered");
        return frame.id;
    }
};

void send(QWidget *widget, QEvent::Type type, QPointF position, Qt::MouseButton button,
          Qt::MouseButtons buttons)
{
    QMouseEvent event(type, position, widget->mapToGlobal(position), button, buttons, Qt::NoModifier);
    QCoreApplication::sendEvent(widget, &event);
}

// A drag with the left button on the stage's canvas between two points of the stage.
void dragOnCanvas(PreviewStage *stage, QPointF from, QPointF to)
{
    AnnotationCanvas *canvas = stage->canvas();
    const QPointF offset = canvas->pos();
    send(canvas, QEvent::MouseButtonPress, from - offset, Qt::LeftButton, Qt::LeftButton);
    for (int step = 1; step <= 4; ++step)
        send(canvas, QEvent::MouseMove, from + (to - from) * step / 4.0 - offset, Qt::NoButton,
             Qt::LeftButton);
    send(canvas, QEvent::MouseButtonRelease, to - offset, Qt::LeftButton, Qt::NoButton);
}

// Where a point of the stage lies on the picture, normalised.
QPointF onPicture(const PreviewStage *stage, QPointF point)
{
    const QRectF picture = stage->imageRect();
    return {(point.x() - picture.left()) / picture.width(), (point.y() - picture.top()) / picture.height()};
}

bool near(QPointF p, QPointF q, double tolerance)
{
    return std::abs(p.x() - q.x()) <= tolerance && std::abs(p.y() - q.y()) <= tolerance;
}

} // namespace

class FrameEditorTest : public QObject
{
    Q_OBJECT

private slots:
    void zoomKeepsTheAnchorAndThePictureOverTheArea()
    {
        PictureZoom zoom;
        zoom.setArea(QRect(10, 10, 400, 300));
        zoom.setPictureSize(QSize(800, 400));
        // Fitted: by the width, centred by the height.
        QVERIFY(zoom.fits());
        QCOMPARE(zoom.zoom(), 0.5);
        QCOMPARE(zoom.pictureRect(), QRect(10, 60, 400, 200));

        // 200 % about a point: the picture's point under it stays under it.
        const QPointF anchor(110, 110);
        zoom.setZoom(2.0, anchor);
        QCOMPARE(zoom.pictureRect().size(), QSize(1600, 800));
        QCOMPARE(zoom.pictureRect().topLeft(), QPoint(110 - 400, 110 - 200));

        // Panned far: the picture's edge stops at the area's.
        zoom.panBy({5000, 5000});
        QCOMPARE(zoom.pictureRect().topLeft(), QPoint(10, 10));
        zoom.panBy({-5000, -5000});
        QCOMPARE(zoom.pictureRect().bottomRight(), QPoint(409, 309));

        // Smaller than the area: centred, and the pan does nothing.
        zoom.setZoom(0.25);
        QCOMPARE(zoom.pictureRect(), QRect(110, 110, 200, 100));
        zoom.panBy({30, 30});
        QCOMPARE(zoom.pictureRect(), QRect(110, 110, 200, 100));
        zoom.setZoom(1000);
        QCOMPARE(zoom.zoom(), PictureZoom::maximumZoom);
        zoom.setZoom(0);
        QCOMPARE(zoom.zoom(), PictureZoom::minimumZoom);

        // Fitted again, it follows the area.
        zoom.fit();
        zoom.setArea(QRect(0, 0, 200, 300));
        QCOMPARE(zoom.pictureRect(), QRect(0, 100, 200, 100));
        QVERIFY(PictureZoom().pictureRect().isEmpty());
    }

    // A shape drawn on the large canvas at any zoom lands where it was drawn on the picture, and
    // shows on the small preview as well.
    void drawingAtAnyZoomLandsWhereItWasDrawn()
    {
        Window window;
        window.editor.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window.editor));
        const QUuid frame = window.addLiftedFrame();
        PreviewStage *stage = window.editor.stage();
        QCOMPARE(stage->content(), PreviewStage::Content::Image);
        QVERIFY(stage->fitsPicture());
        window.view.setTool(QStringLiteral("annotation.line"));

        stage->zoomTo(2.0, QPointF(stage->imageRect().center()));
        QCOMPARE(stage->imageRect().size(), QSize(320, 180));
        QCOMPARE(stage->canvas()->geometry(), stage->imageRect());
        QCOMPARE(window.editor.zoomLabel()->text(), FrameEditorView::zoomText(2.0));
        const QPointF from = QPointF(stage->imageRect().topLeft()) + QPointF(40, 30);
        const QPointF to = from + QPointF(200, 100);
        dragOnCanvas(stage, from, to);
        QList<Annotation> drawn = window.document.frame(frame)->annotations;
        QCOMPARE(drawn.size(), 1);
        QVERIFY(near(drawn.first().start, {40.0 / 320, 30.0 / 180}, 1e-9));
        QVERIFY(near(drawn.first().end, {240.0 / 320, 130.0 / 180}, 1e-9));
        QCOMPARE(window.view.canvas()->annotations(), drawn);

        // Far in and panned: the picture is larger than the stage, and the mapping follows it.
        stage->zoomTo(8.0);
        const QRect before = stage->imageRect();
        QVERIFY(before.width() > stage->width());
        stage->panBy({-100, 60});
        QCOMPARE(stage->imageRect().topLeft(), before.topLeft() + QPoint(-100, 60));
        const QPointF at = QRectF(stage->rect()).center();
        const QPointF expected = onPicture(stage, at);
        dragOnCanvas(stage, at, at + QPointF(80, 0));
        drawn = window.document.frame(frame)->annotations;
        QCOMPARE(drawn.size(), 2);
        QVERIFY(near(drawn.last().start, expected, 1e-9));
        QVERIFY(std::abs(drawn.last().end.x() - drawn.last().start.x() - 80.0 / stage->imageRect().width()) <
                1e-9);
        // The new line is selected on both canvases.
        QCOMPARE(stage->canvas()->selectedId(), drawn.last().id);
        QCOMPARE(window.view.canvas()->selectedId(), drawn.last().id);
    }

    // Ctrl+wheel zooms about the pointer; the wheel and a drag with the middle button pan.
    void wheelAndMiddleButtonZoomAndPan()
    {
        Window window;
        window.editor.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window.editor));
        window.addLiftedFrame();
        PreviewStage *stage = window.editor.stage();
        stage->zoomTo(8.0);
        const QPointF pointer = QPointF(stage->imageRect().center()) + QPointF(37, -21);
        const QPointF under = onPicture(stage, pointer);
        QWheelEvent notch(pointer, stage->mapToGlobal(pointer), QPoint(), QPoint(0, 120), Qt::NoButton,
                          Qt::ControlModifier, Qt::NoScrollPhase, false);
        QCoreApplication::sendEvent(stage, &notch);
        QVERIFY(std::abs(stage->zoom() - 10.0) < 1e-9);
        QVERIFY(near(onPicture(stage, pointer), under, 1.0 / stage->imageRect().width()));

        // The middle button pans even over the canvas, and draws nothing.
        window.view.setTool(QStringLiteral("annotation.arrow"));
        const QRect before = stage->imageRect();
        AnnotationCanvas *canvas = stage->canvas();
        const QPointF start = pointer - QPointF(canvas->pos());
        send(canvas, QEvent::MouseButtonPress, start, Qt::MiddleButton, Qt::MiddleButton);
        send(canvas, QEvent::MouseMove, start + QPointF(30, 20), Qt::NoButton, Qt::MiddleButton);
        send(stage, QEvent::MouseButtonRelease, pointer + QPointF(30, 20), Qt::MiddleButton, Qt::NoButton);
        QCOMPARE(stage->imageRect().topLeft(), before.topLeft() + QPoint(30, 20));
        QVERIFY(window.document.previewFrame()->annotations.isEmpty());

        // The plain wheel pans.
        QWheelEvent scroll(pointer, stage->mapToGlobal(pointer), QPoint(), QPoint(0, -120), Qt::NoButton,
                           Qt::NoModifier, Qt::NoScrollPhase, false);
        QCoreApplication::sendEvent(stage, &scroll);
        QCOMPARE(stage->imageRect().top(), before.top() + 20 - 60);

        // The keys: 100 %, fitted, and Escape asks to close.
        QSignalSpy closing(&window.editor, &FrameEditorView::closeRequested);
        window.editor.actualSizeAction()->trigger();
        QCOMPARE(stage->zoom(), 1.0);
        QCOMPARE(stage->imageRect().size(), pictureSize);
        window.editor.zoomToFitAction()->trigger();
        QVERIFY(stage->fitsPicture());
        window.editor.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&window.editor));
        canvas->setFocus();
        QTest::keyClick(canvas, Qt::Key_Escape);
        QCOMPARE(closing.size(), 1);
    }
};

QUINTAREL_TEST(FrameEditorTest)
#include "FrameEditorTest.moc"
