#include "AnnotationSelectionTool.h"

#include "AnnotationCanvas.h"
#include "AnnotationHitTest.h"
#include "SymbolIcons.h"
#include "ViewStyle.h"
#include "models/AnnotationShape.h"

#include <QKeyEvent>
#include <QPainter>

#include <algorithm>
#include <cmath>

AnnotationSelectionTool::AnnotationSelectionTool(QObject *parent) : CanvasTool(parent) {}

QString AnnotationSelectionTool::displayName() const
{
    return tr("Sélection");
}

QIcon AnnotationSelectionTool::icon() const
{
    return SymbolIcons::icon(QStringLiteral("cursorarrow"));
}

std::optional<qsizetype> AnnotationSelectionTool::handleAt(const AnnotationCanvas *canvas,
                                                           const QPointF &widgetPoint)
{
    const std::optional<Annotation> selected = canvas->selectedAnnotation();
    if (!selected)
        return std::nullopt;
    const QList<QPointF> handles = selected->shape().handles(*selected);
    std::optional<qsizetype> nearest;
    double nearestDistance = handleReach;
    for (qsizetype i = 0; i < handles.size(); ++i) {
        const QPointF offset = canvas->toWidget(handles.at(i)) - widgetPoint;
        // The square of the handle and a little around it.
        const double distance = std::max(std::abs(offset.x()), std::abs(offset.y()));
        if (distance <= nearestDistance) {
            nearest = i;
            nearestDistance = distance;
        }
    }
    return nearest;
}

void AnnotationSelectionTool::activated(AnnotationCanvas *canvas)
{
    // The handles of the annotation selected while another tool was in hand.
    canvas->update();
}

void AnnotationSelectionTool::deactivated(AnnotationCanvas *canvas)
{
    m_gesture.release();
    m_snapshot.reset();
    m_handle.reset();
    canvas->setCursor(cursor());
}

void AnnotationSelectionTool::pressed(AnnotationCanvas *canvas, const CanvasPointer &pointer)
{
    if (pointer.button != Qt::LeftButton)
        return;
    m_gesture.press(pointer.widget);
    m_start = pointer.picture;
    m_hitTested = false;
    m_snapshot.reset();
    m_moved = false;
    m_handle = handleAt(canvas, pointer.widget);
    if (m_handle) {
        // The drag reshapes the selected annotation; it picks nothing.
        m_snapshot = canvas->selectedAnnotation();
        m_hitTested = true;
    }
}

void AnnotationSelectionTool::moved(AnnotationCanvas *canvas, const CanvasPointer &pointer)
{
    if (!m_gesture.move(pointer.widget))
        return;
    if (!m_hitTested) {
        m_hitTested = true;
        const QList<Annotation> annotations = canvas->annotations();
        const std::optional<qsizetype> hit = AnnotationHitTest::hitTest(annotations, m_start);
        if (hit)
            m_snapshot = annotations.at(*hit);
        canvas->writeSelection(hit ? m_snapshot->id : QUuid());
    }
    if (!m_snapshot)
        return;
    // Measured from the snapshot, not accumulated.
    const QPointF offset = pointer.picture - m_start;
    Annotation changed = *m_snapshot;
    if (m_handle) {
        const QList<QPointF> handles = changed.shape().handles(changed);
        if (*m_handle >= handles.size())
            return;
        // The handle keeps where it was taken from under the pointer, and stays on the picture.
        const QPointF to = handles.at(*m_handle) + offset;
        changed.shape().moveHandle(changed, *m_handle,
                                   QPointF(std::clamp(to.x(), 0.0, 1.0), std::clamp(to.y(), 0.0, 1.0)));
        canvas->reshapeAnnotation(changed, m_moved);
    } else {
        // Not clamped: a move may push the annotation past the picture's edges.
        changed.shape().translate(changed, offset);
        canvas->moveAnnotation(changed, m_moved);
    }
    m_moved = true;
}

void AnnotationSelectionTool::released(AnnotationCanvas *, const CanvasPointer &)
{
    m_gesture.release();
    m_snapshot.reset();
    m_handle.reset();
}

void AnnotationSelectionTool::hovered(AnnotationCanvas *canvas, const CanvasPointer &pointer)
{
    canvas->setCursor(handleAt(canvas, pointer.widget) ? QCursor(Qt::SizeAllCursor) : cursor());
}

void AnnotationSelectionTool::doubleClicked(AnnotationCanvas *canvas, const CanvasPointer &pointer)
{
    const QList<Annotation> annotations = canvas->annotations();
    const std::optional<qsizetype> hit = AnnotationHitTest::hitTest(annotations, pointer.picture);
    if (!hit || !annotations.at(*hit).shape().holdsText())
        return;
    m_gesture.release();
    m_snapshot.reset();
    m_handle.reset();
    canvas->writeSelection(annotations.at(*hit).id);
    canvas->editText(annotations.at(*hit));
}

void AnnotationSelectionTool::paintOverlay(AnnotationCanvas *canvas, QPainter &painter) const
{
    const std::optional<Annotation> selected = canvas->selectedAnnotation();
    if (!selected)
        return;
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(ViewStyle::accent(), 1.5));
    painter.setBrush(Qt::white);
    for (const QPointF &handle : selected->shape().handles(*selected)) {
        QRectF square(0, 0, handleSize, handleSize);
        square.moveCenter(canvas->toWidget(handle));
        painter.drawRect(square);
    }
}

std::optional<QPointF> AnnotationSelectionTool::nudge(const AnnotationCanvas *canvas, const QKeyEvent *event)
{
    const Qt::KeyboardModifiers modifiers = event->modifiers() & ~Qt::KeypadModifier;
    if (modifiers != Qt::NoModifier && modifiers != Qt::ShiftModifier)
        return std::nullopt;
    QPointF direction;
    switch (event->key()) {
    case Qt::Key_Left:
        direction = {-1, 0};
        break;
    case Qt::Key_Right:
        direction = {1, 0};
        break;
    case Qt::Key_Up:
        direction = {0, -1};
        break;
    case Qt::Key_Down:
        direction = {0, 1};
        break;
    default:
        return std::nullopt;
    }
    // In pixels of the full picture when its size is known, else in points of the canvas.
    const QSizeF pixels =
        canvas->pictureSize().isEmpty() ? QSizeF(canvas->size()) : QSizeF(canvas->pictureSize());
    if (pixels.isEmpty())
        return std::nullopt;
    const double step = modifiers == Qt::ShiftModifier ? largeNudgeStep : nudgeStep;
    return QPointF(direction.x() * step / pixels.width(), direction.y() * step / pixels.height());
}

bool AnnotationSelectionTool::wantsKey(const AnnotationCanvas *canvas, const QKeyEvent *event) const
{
    const std::optional<Annotation> selected = canvas->selectedAnnotation();
    return selected && !selected->isUnread() && nudge(canvas, event);
}

bool AnnotationSelectionTool::keyPressed(AnnotationCanvas *canvas, QKeyEvent *event)
{
    if (!wantsKey(canvas, event))
        return false;
    // Not while a drag holds the annotation.
    if (m_gesture.isPressed())
        return true;
    Annotation moved = *canvas->selectedAnnotation();
    moved.shape().translate(moved, *nudge(canvas, event));
    canvas->moveAnnotation(moved, event->isAutoRepeat());
    return true;
}
