#pragma once

#include <QCursor>
#include <QIcon>
#include <QObject>
#include <QPointF>
#include <QString>

class AnnotationCanvas;
class QKeyEvent;
class QPainter;

// Where the pointer is, as a canvas tool is told it.
struct CanvasPointer
{
    // On the picture, normalised: (0, 0) its top-left corner, (1, 1) its bottom-right, clamped to
    // that square.
    QPointF picture;
    // The same, not clamped: beyond the picture's edges the values run past 0 and 1.
    QPointF unclamped;
    // In the canvas widget's own coordinates.
    QPointF widget;
    // The button that was pressed or released (Qt::NoButton for moves and hovering).
    Qt::MouseButton button = Qt::NoButton;
    // The buttons held down during the event.
    Qt::MouseButtons buttons;
    Qt::KeyboardModifiers modifiers;
};

// A tool of the picture canvas (drawing a shape, selecting, brushing a correction into a cut-out).
// The canvas hands every pointer gesture and key to the active tool of its toolbox, in picture
// coordinates, and lets it paint an overlay above the picture; the tool does the rest itself (it
// keeps a pointer to what it edits). One tool object may serve several canvases that show the same
// frame (the small preview and the large editing view); each call names the canvas it comes from.
//
// The default implementations ignore everything, so a tool overrides only what it uses.
class CanvasTool : public QObject
{
    Q_OBJECT

public:
    explicit CanvasTool(QObject *parent = nullptr) : QObject(parent) {}

    // A stable name for the tool, such as "annotation.arrow"; the toolbox finds tools by it.
    virtual QString toolId() const = 0;
    // The tool's name, shown as its help text ("Flèche").
    virtual QString displayName() const = 0;
    // The symbol of its segment in the tool picker.
    virtual QIcon icon() const = 0;
    // The pointer's shape over the picture while the tool is active.
    virtual QCursor cursor() const { return Qt::ArrowCursor; }

    // The tool becomes the active one on `canvas` (told once per canvas that shows the toolbox), or
    // stops being it; a gesture in progress then ends without its release.
    virtual void activated(AnnotationCanvas *canvas) { Q_UNUSED(canvas); }
    virtual void deactivated(AnnotationCanvas *canvas) { Q_UNUSED(canvas); }

    // A button went down, the pointer moved with a button held, a button came up. Every press is
    // followed by one release on the same canvas, unless the tool is deactivated in between.
    virtual void pressed(AnnotationCanvas *canvas, const CanvasPointer &pointer)
    {
        Q_UNUSED(canvas);
        Q_UNUSED(pointer);
    }
    virtual void moved(AnnotationCanvas *canvas, const CanvasPointer &pointer)
    {
        Q_UNUSED(canvas);
        Q_UNUSED(pointer);
    }
    virtual void released(AnnotationCanvas *canvas, const CanvasPointer &pointer)
    {
        Q_UNUSED(canvas);
        Q_UNUSED(pointer);
    }
    // The pointer moved over the canvas with no button held; left(): it went away from it.
    virtual void hovered(AnnotationCanvas *canvas, const CanvasPointer &pointer)
    {
        Q_UNUSED(canvas);
        Q_UNUSED(pointer);
    }
    virtual void left(AnnotationCanvas *canvas) { Q_UNUSED(canvas); }
    // A double click (after its press and release).
    virtual void doubleClicked(AnnotationCanvas *canvas, const CanvasPointer &pointer)
    {
        Q_UNUSED(canvas);
        Q_UNUSED(pointer);
    }
    // A key pressed while the canvas has the focus; true when the tool used it.
    virtual bool keyPressed(AnnotationCanvas *canvas, QKeyEvent *event)
    {
        Q_UNUSED(canvas);
        Q_UNUSED(event);
        return false;
    }
    // Whether the tool takes `event`'s key before the window's shortcuts see it (an arrow that moves
    // the selected annotation rather than the video, a letter typed into a text); the key then goes
    // to keyPressed().
    virtual bool wantsKey(const AnnotationCanvas *canvas, const QKeyEvent *event) const
    {
        Q_UNUSED(canvas);
        Q_UNUSED(event);
        return false;
    }

    // Paints above the picture and its annotations, in the canvas widget's coordinates (a brush
    // outline under the pointer, the shape being drawn).
    virtual void paintOverlay(AnnotationCanvas *canvas, QPainter &painter) const
    {
        Q_UNUSED(canvas);
        Q_UNUSED(painter);
    }

signals:
    // What paintOverlay() paints has changed: the canvases repaint.
    void overlayChanged();
};
