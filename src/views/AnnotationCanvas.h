#pragma once

#include "models/Annotation.h"
#include "models/AnnotationTool.h"

#include <QColor>
#include <QList>
#include <QUuid>
#include <QWidget>

#include <optional>

// The transparent layer laid exactly over a displayed frame image, on which the user draws arrows,
// lines and ellipses and drags the selected annotation. It works in normalised image coordinates;
// its owner keeps the annotation list and the selection, gives them with the setters, and receives
// every edit through the signals (the canvas also shows its own edits at once).
class AnnotationCanvas : public QWidget
{
    Q_OBJECT

public:
    // A press must move this far (in points) before it counts as a drag.
    static constexpr double dragThreshold = 2.0;

    explicit AnnotationCanvas(QWidget *parent = nullptr);

    QList<Annotation> annotations() const { return m_annotations; }
    void setAnnotations(const QList<Annotation> &annotations);
    AnnotationTool tool() const { return m_tool; }
    void setTool(AnnotationTool tool) { m_tool = tool; }
    QColor color() const { return m_color; }
    void setColor(const QColor &color) { m_color = color; }
    double lineWidth() const { return m_lineWidth; }
    void setLineWidth(double lineWidth) { m_lineWidth = lineWidth; }
    // A null identifier means no selection.
    QUuid selectedId() const { return m_selectedId; }
    void setSelectedId(const QUuid &id);

    // The annotation being drawn by the current drag, not yet in the list.
    std::optional<Annotation> draft() const { return m_draft; }

signals:
    // A drawing drag has ended with this new annotation, put on top of the others.
    void annotationDrawn(const Annotation &annotation);
    // A step of a move: the annotation's two points are now `start` and `end`. `continuing` is
    // false for the first step of a drag and true for the ones that follow it.
    void annotationMoved(const QUuid &id, const QPointF &start, const QPointF &end, bool continuing);
    void selectedIdEdited(const QUuid &id);
    // Delete or Backspace was pressed while the canvas had the focus.
    void deleteRequested();

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    // One step of a recognised drag from `press` to `current` (canvas coordinates).
    void dragChanged(const QPointF &press, const QPointF &current);
    void dragEnded();
    void writeSelection(const QUuid &id);
    void paintAnnotation(QPainter &painter, const Annotation &annotation, bool selected) const;

    QList<Annotation> m_annotations;
    AnnotationTool m_tool = AnnotationTool::Select;
    QColor m_color = Qt::red;
    double m_lineWidth = 0.006;
    QUuid m_selectedId;

    std::optional<Annotation> m_draft;
    std::optional<Annotation> m_dragSnapshot;
    std::optional<QPointF> m_pressPosition;
    bool m_dragging = false;
    bool m_hitTested = false;
    bool m_moved = false; // the current drag has moved its annotation already
};
