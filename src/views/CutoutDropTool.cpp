#include "CutoutDropTool.h"

#include "AnnotationCanvas.h"
#include "SymbolIcons.h"
#include "services/CutoutCorrector.h"
#include "state/CaptureDocument.h"
#include "state/CorrectedCutouts.h"

#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <cmath>

namespace {

// A click just off a subject still picks it: within this share of the frame's width.
constexpr double PickReachShare = 0.01;

} // namespace

CutoutDropTool::CutoutDropTool(CutoutTarget target, QObject *parent)
    : CanvasTool(parent), m_target(std::move(target))
{}

QString CutoutDropTool::displayName() const
{
    return tr("Retirer un sujet");
}

QIcon CutoutDropTool::icon() const
{
    return SymbolIcons::icon(QStringLiteral("person.badge.minus"));
}

void CutoutDropTool::activated(AnnotationCanvas *)
{
    if (const QUuid frame = m_target.frameId(); !frame.isNull())
        m_target.corrections->prepare(frame);
}

void CutoutDropTool::deactivated(AnnotationCanvas *canvas)
{
    left(canvas);
}

void CutoutDropTool::pick(const QPointF &frame)
{
    const QUuid frameId = m_target.frameId();
    const std::optional<SubjectMask> mask =
        frameId.isNull() ? std::nullopt : m_target.corrections->shownMask(frameId);
    int subject = -1;
    if (mask) {
        const QSize size = mask->frameSize();
        const int reach = std::max(3, int(std::lround(PickReachShare * size.width())));
        const bool inside = frame.x() >= 0 && frame.y() >= 0 && frame.x() <= 1 && frame.y() <= 1;
        if (inside)
            subject = mask->instanceAt(CutoutCorrector::pixelOf(frame, size), reach);
    } else if (!frameId.isNull()) {
        m_target.corrections->prepare(frameId);
    }
    if (subject == m_subject)
        return;
    m_subject = subject;
    m_outline.clear();
    if (mask && subject >= 0) {
        for (const QPolygon &part : mask->instanceOutline(subject))
            m_outline << QPolygonF(part);
    }
    emit overlayChanged();
}

void CutoutDropTool::hovered(AnnotationCanvas *canvas, const CanvasPointer &pointer)
{
    pick(m_target.toFrame(canvas, pointer.unclamped));
}

void CutoutDropTool::left(AnnotationCanvas *)
{
    if (m_subject < 0)
        return;
    m_subject = -1;
    m_outline.clear();
    emit overlayChanged();
}

void CutoutDropTool::released(AnnotationCanvas *canvas, const CanvasPointer &pointer)
{
    if (pointer.button != Qt::LeftButton)
        return;
    const QPointF frame = m_target.toFrame(canvas, pointer.unclamped);
    pick(frame);
    const QUuid frameId = m_target.frameId();
    if (m_subject < 0 || frameId.isNull())
        return;
    m_target.document->addCorrection(frameId, CutoutCorrection::dropSubject(frame));
    left(canvas);
}

void CutoutDropTool::paintOverlay(AnnotationCanvas *canvas, QPainter &painter) const
{
    const QSize size = m_target.frameSize();
    if (m_outline.isEmpty() || size.isEmpty())
        return;
    QPainterPath path;
    for (const QPolygonF &part : m_outline) {
        QPolygonF shown;
        shown.reserve(part.size());
        for (const QPointF &point : part)
            shown << m_target.toWidget(canvas, QPointF(point.x() / size.width(), point.y() / size.height()));
        path.addPolygon(shown);
        path.closeSubpath();
    }
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setBrush(QColor(255, 59, 48, 60));
    painter.setPen(QPen(QColor(255, 59, 48), 2));
    painter.drawPath(path);
    painter.restore();
}
