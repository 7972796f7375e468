#include "HighlighterShape.h"

#include <QCoreApplication>
#include <QPainter>

QString HighlighterShape::displayName() const
{
    return QCoreApplication::translate("AnnotationTool", "Surligneur");
}

void HighlighterShape::paint(QPainter &painter, const Annotation &annotation, const QSizeF &size,
                             const QColor &color) const
{
    QColor ink = color;
    ink.setAlphaF(float(color.alphaF() * opacityFactor));
    const QPainter::CompositionMode mode = painter.compositionMode();
    painter.setCompositionMode(QPainter::CompositionMode_Multiply);
    painter.strokePath(path(annotation, size), highlighterPen(annotation, size, ink));
    painter.setCompositionMode(mode);
}

void HighlighterShape::paintHalo(QPainter &painter, const Annotation &annotation, const QSizeF &size,
                                 const QColor &accent) const
{
    QPen halo = highlighterPen(annotation, size, accent);
    halo.setWidthF(halo.widthF() + 4.0);
    painter.strokePath(path(annotation, size), halo);
}

QPen HighlighterShape::highlighterPen(const Annotation &annotation, const QSizeF &size, const QColor &color)
{
    QPen pen = strokePen(annotation, size, color);
    pen.setWidthF(pen.widthF() * widthFactor);
    return pen;
}
