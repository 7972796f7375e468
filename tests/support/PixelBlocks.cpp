#include "PixelBlocks.h"

#include <QFont>
#include <QPainter>
#include <QSet>

#include <algorithm>
#include <cmath>

QImage PixelBlocks::typedLine(QSize size, const QString &words)
{
    QImage picture(size, QImage::Format_RGBA8888_Premultiplied);
    picture.fill(Qt::white);
    QPainter painter(&picture);
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(std::max(4, size.height() / 2));
    painter.setFont(font);
    painter.setPen(Qt::black);
    painter.drawText(picture.rect(), Qt::AlignCenter, words);
    painter.end();
    return picture;
}

QRect PixelBlocks::firstMixedCell(const QImage &image, const QRect &area, double block, QPoint origin)
{
    const QImage argb = image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    const auto edge = [block](int index) { return int(std::lround(index * block)); };
    const QRect inside = area.intersected(argb.rect());
    // Cells of the whole picture, mapped onto the image.
    const int firstColumn = int(std::floor((inside.left() - origin.x()) / block)) - 1;
    const int firstRow = int(std::floor((inside.top() - origin.y()) / block)) - 1;
    for (int row = firstRow; edge(row) + origin.y() <= inside.bottom(); ++row) {
        for (int column = firstColumn; edge(column) + origin.x() <= inside.right(); ++column) {
            const QRect cell =
                QRect(QPoint(edge(column), edge(row)), QPoint(edge(column + 1) - 1, edge(row + 1) - 1))
                    .translated(origin)
                    .intersected(inside);
            if (cell.isEmpty() || colourCount(argb, cell) == 1)
                continue;
            return cell;
        }
    }
    return {};
}

int PixelBlocks::colourCount(const QImage &image, const QRect &area)
{
    const QImage argb = image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    QSet<QRgb> colours;
    const QRect inside = area.intersected(argb.rect());
    for (int y = inside.top(); y <= inside.bottom(); ++y) {
        const auto *line = reinterpret_cast<const QRgb *>(argb.constScanLine(y));
        for (int x = inside.left(); x <= inside.right(); ++x)
            colours.insert(line[x]);
    }
    return int(colours.size());
}
