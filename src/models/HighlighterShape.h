#pragma once

#include "models/FreehandShape.h"

// A freehand stroke as a highlighter lays it: several times as wide as the line width, in its colour
// at a fraction of its opacity, multiplied with what is under it so that this shows through, darkened
// only (a dark text under it stays as legible as before).
class HighlighterShape : public FreehandShape
{
public:
    // The stroke's width as a multiple of the line width, and its opacity as one of the colour's.
    static constexpr double widthFactor = 5.0;
    static constexpr double opacityFactor = 0.4;

    QString kind() const override { return QStringLiteral("highlighter"); }
    QString displayName() const override;
    QString systemImage() const override { return QStringLiteral("highlighter"); }

    void paint(QPainter &painter, const Annotation &annotation, const QSizeF &size,
               const QColor &color) const override;
    void paintHalo(QPainter &painter, const Annotation &annotation, const QSizeF &size,
                   const QColor &accent) const override;

private:
    static QPen highlighterPen(const Annotation &annotation, const QSizeF &size, const QColor &color);
};
