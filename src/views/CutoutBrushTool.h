#pragma once

#include "CanvasTool.h"
#include "CutoutTarget.h"

#include <QList>
#include <QPointF>

#include <optional>

// "Effacer" and "Restaurer": a brush stroke over the picture removes what it covers from the frame's
// cut-out, or brings back the object under it. The stroke becomes one correction of the frame when
// the button comes up. The brush's diameter is a share of the frame's width.
class CutoutBrushTool : public CanvasTool
{
    Q_OBJECT

public:
    enum class Mode { Erase, Restore };

    static constexpr double minSize = 0.005;
    static constexpr double maxSize = 0.15;
    static constexpr double defaultSize = 0.03;

    CutoutBrushTool(Mode mode, CutoutTarget target, QObject *parent = nullptr);

    Mode mode() const { return m_mode; }
    QString toolId() const override;
    QString displayName() const override;
    QIcon icon() const override;
    QCursor cursor() const override { return Qt::BlankCursor; }

    // The brush's diameter, as a share of the frame's width.
    double size() const { return m_size; }
    void setSize(double size);

    void deactivated(AnnotationCanvas *canvas) override;
    void pressed(AnnotationCanvas *canvas, const CanvasPointer &pointer) override;
    void moved(AnnotationCanvas *canvas, const CanvasPointer &pointer) override;
    void released(AnnotationCanvas *canvas, const CanvasPointer &pointer) override;
    void hovered(AnnotationCanvas *canvas, const CanvasPointer &pointer) override;
    void left(AnnotationCanvas *canvas) override;
    void paintOverlay(AnnotationCanvas *canvas, QPainter &painter) const override;

private:
    Mode m_mode;
    CutoutTarget m_target;
    double m_size = defaultSize;
    QList<QPointF> m_stroke;          // normalised frame coordinates, while the button is down
    std::optional<QPointF> m_pointer; // where the brush is, normalised frame coordinates
};
