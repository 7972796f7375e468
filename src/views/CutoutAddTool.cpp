#include "CutoutAddTool.h"

#include "AnnotationCanvas.h"
#include "SymbolIcons.h"
#include "state/CorrectedCutouts.h"

#include <QPainter>

#include <algorithm>

namespace {

QPointF inFrame(const QPointF &point)
{
    return QPointF(std::clamp(point.x(), 0.0, 1.0), std::clamp(point.y(), 0.0, 1.0));
}

} // namespace

CutoutAddTool::CutoutAddTool(CutoutTarget target, QObject *parent)
    : CanvasTool(parent), m_target(std::move(target))
{}

QString CutoutAddTool::displayName() const
{
    return tr("Ajouter un sujet");
}

QIcon CutoutAddTool::icon() const
{
    return SymbolIcons::icon(QStringLiteral("person.badge.plus"));
}

void CutoutAddTool::deactivated(AnnotationCanvas *)
{
    m_gesture.release();
    if (m_end) {
        m_end.reset();
        emit overlayChanged();
    }
}

void CutoutAddTool::pressed(AnnotationCanvas *canvas, const CanvasPointer &pointer)
{
    if (pointer.button != Qt::LeftButton)
        return;
    m_gesture.press(pointer.widget);
    m_start = inFrame(m_target.toFrame(canvas, pointer.unclamped));
    m_end.reset();
}

void CutoutAddTool::moved(AnnotationCanvas *canvas, const CanvasPointer &pointer)
{
    if (!m_gesture.move(pointer.widget))
        return;
    m_end = inFrame(m_target.toFrame(canvas, pointer.unclamped));
    emit overlayChanged();
}

void CutoutAddTool::released(AnnotationCanvas *canvas, const CanvasPointer &pointer)
{
    if (!m_gesture.isPressed())
        return;
    const bool dragged = m_gesture.release();
    const QPointF end = inFrame(m_target.toFrame(canvas, pointer.unclamped));
    m_end.reset();
    emit overlayChanged();
    const QUuid frameId = m_target.frameId();
    if (frameId.isNull())
        return;
    if (!dragged)
        m_target.corrections->addSubjectAt(frameId, m_start);
    else if (end.x() != m_start.x() && end.y() != m_start.y())
        m_target.corrections->addSubjectInBox(frameId, m_start, end);
}

void CutoutAddTool::paintOverlay(AnnotationCanvas *canvas, QPainter &painter) const
{
    if (!m_end)
        return;
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setBrush(Qt::NoBrush);
    QPen pen(QColor(0, 122, 255), 2, Qt::DashLine);
    painter.setPen(pen);
    painter.drawRect(
        QRectF(m_target.toWidget(canvas, m_start), m_target.toWidget(canvas, *m_end)).normalized());
    painter.restore();
}
