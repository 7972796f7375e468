#pragma once

#include "CanvasTool.h"
#include "CutoutTarget.h"

#include <QList>
#include <QPolygonF>

// "Retirer un sujet": the subject under the pointer is outlined; a click takes it out of the frame's
// cut-out, as one correction of the frame.
class CutoutDropTool : public CanvasTool
{
    Q_OBJECT

public:
    explicit CutoutDropTool(CutoutTarget target, QObject *parent = nullptr);

    QString toolId() const override { return QStringLiteral("cutout.drop"); }
    QString displayName() const override;
    QIcon icon() const override;
    QCursor cursor() const override { return Qt::PointingHandCursor; }

    void activated(AnnotationCanvas *canvas) override;
    void deactivated(AnnotationCanvas *canvas) override;
    void hovered(AnnotationCanvas *canvas, const CanvasPointer &pointer) override;
    void left(AnnotationCanvas *canvas) override;
    void released(AnnotationCanvas *canvas, const CanvasPointer &pointer) override;
    void paintOverlay(AnnotationCanvas *canvas, QPainter &painter) const override;

    // The subject outlined now, or -1.
    int hoveredSubject() const { return m_subject; }

private:
    // The subject at `frame` (normalised frame coordinates) and its outline in frame pixels.
    void pick(const QPointF &frame);

    CutoutTarget m_target;
    int m_subject = -1;
    QList<QPolygonF> m_outline; // in frame pixels
};
