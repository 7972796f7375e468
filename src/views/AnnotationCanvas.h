#pragma once

#include "CanvasToolbox.h"
#include "models/Annotation.h"

#include <QColor>
#include <QImage>
#include <QList>
#include <QPointer>
#include <QUuid>
#include <QWidget>

#include <optional>

class CanvasTool;
class InPlaceTextEditor;
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
    // The picture shown under the canvas (the cut-out in its style), for the annotations drawn from
    // what lies under them; null when none shows.
    void setBackdrop(const QImage &picture);
    // Whether the canvas shows the picture itself, rendered with its annotations as an export draws
    // them: while it has a backdrop and annotations that read the picture under them.
    bool coversPicture() const;

    // --- Texts -------------------------------------------------------------------------------------

    // Opens the editor of `text` in place (a new text has no words yet), ending one that is open.
    // When it ends, a new text with words is put on top and selected; an edited one takes its new
    // words (annotationTextEdited); a text left without words is not kept (an edited one is deleted).
    void editText(const Annotation &text);
    // The open editor, or null.
    InPlaceTextEditor *textEditor() const;

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
    // A text of the list was edited in place and now reads as `edited`.
    void annotationTextEdited(const Annotation &edited);
    // coversPicture() changed: what lies under the canvas is to be drawn again.
    void coversPictureChanged();
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
    void paintAnnotation(QPainter &painter, const Annotation &annotation, int rank, bool selected) const;
    // The annotations shown, in drawing order: the list, then the draft, without the text being edited.
    QList<Annotation> shownAnnotations() const;
    // The picture with the annotations shown, rendered at the canvas's pixels (at most the picture's).
    const QImage &pictureLayer(const QList<Annotation> &shown) const;
    void textEditingEnded(const Annotation &edited);
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
    QImage m_backdrop;
    bool m_covered = false; // what coversPicture() said at the last paint
    // The last picture layer and what it was rendered from.
    mutable QImage m_layer;
    mutable QList<Annotation> m_layerAnnotations;
    mutable qint64 m_layerBackdrop = 0;
    QPointer<InPlaceTextEditor> m_textEditor;
    bool m_swallowPress = false; // the press that ended a text's editing does nothing else
};
