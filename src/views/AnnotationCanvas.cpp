#include "AnnotationCanvas.h"

#include "AnnotationHitTest.h"
#include "ViewStyle.h"
#include "models/EdgeOptions.h"
#include "services/AnnotationGeometry.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>

#include <cmath>

AnnotationCanvas::AnnotationCanvas(QWidget *parent) : QWidget(parent)
{
    setAttribute(Qt::WA_TranslucentBackground);
    setAutoFillBackground(false);
    setFocusPolicy(Qt::ClickFocus);
}

void AnnotationCanvas::setAnnotations(const QList<Annotation> &annotations)
{
    if (annotations == m_annotations)
        return;
    m_annotations = annotations;
    update();
}

void AnnotationCanvas::setSelectedId(const QUuid &id)
{
    if (id == m_selectedId)
        return;
    m_selectedId = id;
    update();
}

void AnnotationCanvas::mousePressEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton) {
        QWidget::mousePressEvent(event);
        return;
    }
    setFocus(Qt::MouseFocusReason);
    m_pressPosition = event->position();
    m_dragging = false;
    m_hitTested = false;
    m_moved = false;
    event->accept();
}

void AnnotationCanvas::mouseMoveEvent(QMouseEvent *event)
{
    if (!m_pressPosition || !(event->buttons() & Qt::LeftButton))
        return;
    const QPointF offset = event->position() - *m_pressPosition;
    if (!m_dragging && std::hypot(offset.x(), offset.y()) < dragThreshold)
        return;
    m_dragging = true;
    dragChanged(*m_pressPosition, event->position());
    event->accept();
}

void AnnotationCanvas::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton || !m_pressPosition)
        return;
    if (m_dragging)
        dragEnded();
    m_pressPosition.reset();
    m_dragging = false;
    m_hitTested = false;
    event->accept();
}

void AnnotationCanvas::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Delete || event->key() == Qt::Key_Backspace) {
        emit deleteRequested();
        event->accept();
        return;
    }
    QWidget::keyPressEvent(event);
}

void AnnotationCanvas::dragChanged(const QPointF &press, const QPointF &current)
{
    const QPointF s = AnnotationHitTest::normalize(press, size());
    const QPointF c = AnnotationHitTest::normalize(current, size());

    if (m_tool == AnnotationTool::Select) {
        if (!m_hitTested) {
            m_hitTested = true;
            const std::optional<qsizetype> hit = AnnotationHitTest::hitTest(m_annotations, s);
            if (hit) {
                m_dragSnapshot = m_annotations.at(*hit);
                writeSelection(m_dragSnapshot->id);
            } else {
                writeSelection(QUuid());
            }
        }
        if (!m_dragSnapshot)
            return;
        for (Annotation &annotation : m_annotations) {
            if (annotation.id != m_dragSnapshot->id)
                continue;
            // Measured from the snapshot, not accumulated, and not clamped.
            annotation.start = m_dragSnapshot->start + (c - s);
            annotation.end = m_dragSnapshot->end + (c - s);
            update();
            const bool continuing = m_moved;
            m_moved = true;
            emit annotationMoved(annotation.id, annotation.start, annotation.end, continuing);
            return;
        }
        return;
    }

    Annotation draft;
    draft.kind = *AnnotationTools::kind(m_tool);
    draft.start = s;
    draft.end = c;
    const auto [r, g, b, a] = EdgeOptions::components(m_color);
    draft.r = r;
    draft.g = g;
    draft.b = b;
    draft.a = a;
    draft.lineWidth = m_lineWidth;
    m_draft = draft;
    update();
}

void AnnotationCanvas::dragEnded()
{
    if (m_draft) {
        const Annotation drawn = *m_draft;
        m_draft.reset();
        m_annotations.append(drawn);
        update();
        emit annotationDrawn(drawn);
        writeSelection(drawn.id);
    }
    m_draft.reset();
    m_dragSnapshot.reset();
    update();
}

void AnnotationCanvas::writeSelection(const QUuid &id)
{
    if (id == m_selectedId)
        return;
    m_selectedId = id;
    update();
    emit selectedIdEdited(id);
}

void AnnotationCanvas::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    for (const Annotation &annotation : std::as_const(m_annotations))
        paintAnnotation(painter, annotation, !m_selectedId.isNull() && annotation.id == m_selectedId);
    if (m_draft)
        paintAnnotation(painter, *m_draft, false);
}

void AnnotationCanvas::paintAnnotation(QPainter &painter, const Annotation &annotation, bool selected) const
{
    const QSizeF canvasSize = size();
    const QPainterPath path = AnnotationGeometry::shapePath(annotation, canvasSize);
    QPen pen = AnnotationGeometry::pen(annotation, canvasSize);
    pen.setMiterLimit(10);
    painter.setBrush(Qt::NoBrush);
    if (selected) {
        // A halo two points wider on each side, under the stroke.
        QPen halo = pen;
        QColor accent = ViewStyle::accent();
        accent.setAlphaF(0.6f);
        halo.setColor(accent);
        halo.setWidthF(pen.widthF() + 4.0);
        painter.setPen(halo);
        painter.drawPath(path);
    }
    painter.setPen(pen);
    painter.drawPath(path);
}
