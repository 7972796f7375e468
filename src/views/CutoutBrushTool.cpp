#include "CutoutBrushTool.h"

#include "AnnotationCanvas.h"
#include "SymbolIcons.h"
#include "state/CaptureDocument.h"

#include <QPainter>
#include <QPainterPath>

#include <algorithm>

CutoutBrushTool::CutoutBrushTool(Mode mode, CutoutTarget target, QObject *parent)
    : CanvasTool(parent), m_mode(mode), m_target(std::move(target))
{}

QString CutoutBrushTool::toolId() const
{
    return m_mode == Mode::Erase ? QStringLiteral("cutout.erase") : QStringLiteral("cutout.restore");
}

QString CutoutBrushTool::displayName() const
{
    return m_mode == Mode::Erase ? tr("Effacer") : tr("Restaurer");
}

QIcon CutoutBrushTool::icon() const
{
    return SymbolIcons::icon(m_mode == Mode::Erase ? QStringLiteral("eraser") : QStringLiteral("paintbrush"));
}

void CutoutBrushTool::setSize(double size)
{
    m_size = std::clamp(size, minSize, maxSize);
    emit overlayChanged();
}

void CutoutBrushTool::deactivated(AnnotationCanvas *canvas)
{
    m_stroke.clear();
    left(canvas);
}

void CutoutBrushTool::pressed(AnnotationCanvas *canvas, const CanvasPointer &pointer)
{
    if (pointer.button != Qt::LeftButton)
        return;
    m_pointer = m_target.toFrame(canvas, pointer.unclamped);
    m_stroke = {*m_pointer};
    emit overlayChanged();
}

void CutoutBrushTool::moved(AnnotationCanvas *canvas, const CanvasPointer &pointer)
{
    m_pointer = m_target.toFrame(canvas, pointer.unclamped);
    if (!m_stroke.isEmpty() && *m_pointer != m_stroke.last())
        m_stroke << *m_pointer;
    emit overlayChanged();
}

void CutoutBrushTool::released(AnnotationCanvas *canvas, const CanvasPointer &pointer)
{
    if (m_stroke.isEmpty())
        return;
    moved(canvas, pointer);
    const QList<QPointF> stroke = std::exchange(m_stroke, {});
    emit overlayChanged();
    const QUuid frameId = m_target.frameId();
    if (frameId.isNull())
        return;
    m_target.document->addCorrection(frameId, m_mode == Mode::Erase
                                                  ? CutoutCorrection::erase(stroke, m_size)
                                                  : CutoutCorrection::restore(stroke, m_size));
}

void CutoutBrushTool::hovered(AnnotationCanvas *canvas, const CanvasPointer &pointer)
{
    m_pointer = m_target.toFrame(canvas, pointer.unclamped);
    emit overlayChanged();
}

void CutoutBrushTool::left(AnnotationCanvas *)
{
    if (!m_pointer)
        return;
    m_pointer.reset();
    emit overlayChanged();
}

void CutoutBrushTool::paintOverlay(AnnotationCanvas *canvas, QPainter &painter) const
{
    const QSize frame = m_target.frameSize();
    if (frame.isEmpty() || (!m_pointer && m_stroke.isEmpty()))
        return;
    const double diameter = m_target.widgetLength(canvas, m_size * frame.width());
    const QColor colour = m_mode == Mode::Erase ? QColor(255, 59, 48) : QColor(52, 199, 89);
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    if (!m_stroke.isEmpty()) {
        QPainterPath path(m_target.toWidget(canvas, m_stroke.first()));
        for (const QPointF &point : m_stroke)
            path.lineTo(m_target.toWidget(canvas, point));
        QColor fill = colour;
        fill.setAlpha(90);
        painter.setPen(QPen(fill, std::max(1.0, diameter), Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        painter.drawPath(path);
    }
    if (m_pointer) {
        painter.setBrush(Qt::NoBrush);
        painter.setPen(QPen(colour, 1.5));
        const double radius = std::max(1.0, diameter / 2);
        painter.drawEllipse(m_target.toWidget(canvas, *m_pointer), radius, radius);
    }
    painter.restore();
}
