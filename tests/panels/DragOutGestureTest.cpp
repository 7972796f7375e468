#include "TestRegistry.h"

#include "views/DragOutGesture.h"

#include <QApplication>
#include <QMimeData>
#include <QMouseEvent>
#include <QTest>
#include <QWidget>

namespace {

// A widget that counts the pointer events it receives.
class Surface : public QWidget
{
public:
    int presses = 0;
    int moves = 0;
    int releases = 0;

protected:
    void mousePressEvent(QMouseEvent *) override { ++presses; }
    void mouseMoveEvent(QMouseEvent *) override { ++moves; }
    void mouseReleaseEvent(QMouseEvent *) override { ++releases; }
};

void send(QWidget *widget, QEvent::Type type, QPointF position, Qt::MouseButton button,
          Qt::KeyboardModifiers modifiers)
{
    const Qt::MouseButtons buttons =
        type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::MouseButtons(button);
    QMouseEvent event(type, position, widget->mapToGlobal(position), button, buttons, modifiers);
    QCoreApplication::sendEvent(widget, &event);
}

// Presses at (20, 20), moves `distance` points to the right in four steps, releases.
void drag(QWidget *widget, double distance, Qt::KeyboardModifiers modifiers,
          Qt::MouseButton button = Qt::LeftButton)
{
    send(widget, QEvent::MouseButtonPress, {20, 20}, button, modifiers);
    for (int step = 1; step <= 4; ++step)
        send(widget, QEvent::MouseMove, {20 + distance * step / 4, 20}, button, modifiers);
    send(widget, QEvent::MouseButtonRelease, {20 + distance, 20}, button, modifiers);
}

} // namespace

// Dragging a picture out of the window takes only the gestures meant for it: the others reach the
// widget as if the gesture were not there, so that drawing on the preview is left undisturbed.
class DragOutGestureTest : public QObject
{
    Q_OBJECT

private slots:
    void onlyTheModifiedDragIsTaken()
    {
        Surface surface;
        surface.resize(200, 100);
        surface.setMouseTracking(true);
        int asked = 0;
        new DragOutGesture(&surface, Qt::ControlModifier, [&asked]() -> QMimeData * {
            ++asked;
            return nullptr; // nothing to drag: no drag starts
        });
        const double far = QApplication::startDragDistance() * 3.0;

        // A plain drag, and one with another button or modifier, are the widget's.
        drag(&surface, far, Qt::NoModifier);
        drag(&surface, far, Qt::ShiftModifier);
        drag(&surface, far, Qt::ControlModifier, Qt::RightButton);
        QCOMPARE(asked, 0);
        QCOMPARE(surface.presses, 3);
        QCOMPARE(surface.moves, 12);
        QCOMPARE(surface.releases, 3);

        // With Ctrl, a press that moves far enough asks for the data once; the widget sees none of it.
        drag(&surface, far, Qt::ControlModifier);
        QCOMPARE(asked, 1);
        // A click with Ctrl, or a move shorter than the drag distance, starts nothing and draws nothing.
        drag(&surface, 0, Qt::ControlModifier);
        drag(&surface, QApplication::startDragDistance() / 2.0, Qt::ControlModifier);
        QCOMPARE(asked, 1);
        QCOMPARE(surface.presses, 3);
        QCOMPARE(surface.moves, 12);
        QCOMPARE(surface.releases, 3);

        // Hovering after the gesture reaches the widget again.
        send(&surface, QEvent::MouseMove, {50, 50}, Qt::NoButton, Qt::NoModifier);
        QCOMPARE(surface.moves, 13);
    }

    void aHandleTakesEveryLeftDrag()
    {
        Surface handle;
        handle.resize(24, 24);
        int asked = 0;
        new DragOutGesture(&handle, Qt::NoModifier, [&asked]() -> QMimeData * {
            ++asked;
            return nullptr;
        });
        drag(&handle, QApplication::startDragDistance() * 3.0, Qt::NoModifier);
        drag(&handle, QApplication::startDragDistance() * 3.0, Qt::ShiftModifier);
        QCOMPARE(asked, 2);
        QCOMPARE(handle.presses, 0);
    }
};

QUINTAREL_TEST(DragOutGestureTest)
#include "DragOutGestureTest.moc"
