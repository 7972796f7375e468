#pragma once

#include "CanvasToolbox.h"
#include "models/Annotation.h"

#include <QColor>
#include <QList>
#include <QPointer>
#include <QUuid>
#include <QWidget>

#include <optional>

class CanvasTool;
struct CanvasPointer;

// The interactive layer laid exactly over a displayed frame image: it shows the frame's annotations
// and hands every pointer gesture and key to the active tool of its toolbox (drawing a shape,
// selecting and moving one, brushing a correction), in normalised picture coordinates. Its owner
// keeps the annotation list and the selection, gives them with the setters, and receives every edit
// the annotation tools make through the signals (the canvas also shows those edits at once).
class AnnotationCanvas : public QWidget
{
    Q_OBJECT

public:
    explicit AnnotationCanvas(QWidget *parent = nullptr);
    ~AnnotationCanvas() override;

    // The tools the canvas routes its gestures to; the canvas follows the toolbox's active tool.
    void setToolbox(CanvasToolbox *toolbox);
    CanvasToolbox *toolbox() const { return m_toolbox; }
    CanvasTool *activeTool() const;

    QList<Annotation> annotations() const { return m_annotations; }
    void setAnnotations(const QList<Annotation> &annotations);
    // Colour and line width of newly drawn annotations (a fraction of the picture's width).
    QColor color() const { return m_color; }
    void setColor(const QColor &color) { m_color = color; }
    double lineWidth() const { return m_lineWidth; }
    void setLineWidth(double lineWidth) { m_lineWidth = lineWidth; }
    // A null identifier means no selection.
    QUuid selectedId() const { return m_selectedId; }
    void setSelectedId(const QUuid &id);

    // --- Where the picture is ---------------------------------------------------------------------

    // The picture's rectangle in the canvas's coordinates (the whole canvas).
    QRectF pictureRect() const;
    // A canvas point in normalised picture coordinates, clamped to [0, 1] or not; (0, 0) when the
    // picture has no area.
    QPointF toPicture(const QPointF &widgetPoint, bool clamped = true) const;
    // A normalised picture point in the canvas's coordinates, unclamped.
    QPointF toWidget(const QPointF &picturePoint) const;
    // The pixel size of the full picture shown (the cut-out at full resolution), for tools that work
    // in picture pixels; empty when not given.
    QSize pictureSize() const { return m_pictureSize; }
    void setPictureSize(const QSize &size) { m_pictureSize = size; }

    // --- What the annotation tools do through the canvas -------------------------------------------

    // The annotation being drawn by the current drag, not yet in the list.
    std::optional<Annotation> draft() const { return m_draft; }
    void setDraft(const std::optional<Annotation> &draft);
    // Puts a finished drawing on top of the others, says so, and selects it.
    void addDrawn(const Annotation &annotation);
    // Puts `moved` in place of the annotation of the list that has its identifier and says so;
    // `continuing` for the steps of a drag after its first.
    void moveAnnotation(const Annotation &moved, bool continuing);
    // The same for an annotation reshaped by one of its handles.
    void reshapeAnnotation(const Annotation &reshaped, bool continuing);
    // The selected annotation as the canvas shows it; none without a selection.
    std::optional<Annotation> selectedAnnotation() const;
    // Changes the selection and says so (setSelectedId() changes it silently).
    void writeSelection(const QUuid &id);

signals:
    // A drawing drag has ended with this new annotation, put on top of the others.
    void annotationDrawn(const Annotation &annotation);
    // A step of a move: the annotation is now `moved`. `continuing` is false for the first step of
    // a drag and true for the ones that follow it.
    void annotationMoved(const Annotation &moved, bool continuing);
    // A step of a reshape by a handle, told as the moves are.
    void annotationReshaped(const Annotation &reshaped, bool continuing);
    void selectedIdEdited(const QUuid &id);
    // Delete or Backspace was pressed while the canvas had the focus and the tool did not use it.
    void deleteRequested();
    // The context menu is asked for at `globalPosition`; an annotation under the pointer is
    // selected first.
    void contextMenuRequested(const QPoint &globalPosition);

protected:
    // Keys that the active tool or one of the canvas's actions (QWidget::addAction) take come here
    // before the window's shortcuts see them.
    bool event(QEvent *event) override;
    void contextMenuEvent(QContextMenuEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void leaveEvent(QEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    CanvasPointer pointer(const QMouseEvent *event) const;
    // The enabled action of the canvas whose shortcut is `event`'s key, or null.
    QAction *actionFor(const QKeyEvent *event) const;
    void activeToolChanged(CanvasTool *tool, CanvasTool *previous);
    void paintAnnotation(QPainter &painter, const Annotation &annotation, bool selected) const;
    // Puts `changed` in place of the annotation that has its identifier; false when none has.
    bool replace(const Annotation &changed);

    QPointer<CanvasToolbox> m_toolbox;
    QList<Annotation> m_annotations;
    QColor m_color = Qt::red;
    double m_lineWidth = 0.006;
    QUuid m_selectedId;
    QSize m_pictureSize;
    std::optional<Annotation> m_draft;
    bool m_pressed = false; // a press was handed to the tool and its release not yet
};
