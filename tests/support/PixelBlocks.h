#pragma once

#include <QImage>
#include <QPoint>
#include <QRect>
#include <QString>

// Pictures of words, and what the tests of pixelated boxes look for in them.
namespace PixelBlocks {

// A white picture with a line of black words across its middle, letters half its height high.
QImage typedLine(QSize size, const QString &words = QStringLiteral("Quintarel 1234"));

// The first cell of the grid of `block`-pixel squares anchored at `origin` (where the whole picture's
// top-left corner lies on `image`) whose part inside `area` is not of one colour; an empty rectangle
// when every cell is uniform. `area` is in the image's pixels.
QRect firstMixedCell(const QImage &image, const QRect &area, double block, QPoint origin = {});

// How many distinct colours `area` of `image` holds.
int colourCount(const QImage &image, const QRect &area);

} // namespace PixelBlocks
