#include "CheckerboardView.h"

#include <QPainter>

#include <algorithm>
#include <cmath>

QColor CheckerboardView::defaultLight()
{
    return QColor::fromRgbF(0.82f, 0.82f, 0.82f);
}

QColor CheckerboardView::defaultDark()
{
    return QColor::fromRgbF(0.68f, 0.68f, 0.68f);
}

CheckerboardView::CheckerboardView(QWidget *parent) : CheckerboardView(6, parent) {}

CheckerboardView::CheckerboardView(qreal squareSize, QWidget *parent) : QWidget(parent)
{
    setSquareSize(squareSize);
    setAttribute(Qt::WA_TransparentForMouseEvents);
}

void CheckerboardView::setSquareSize(qreal size)
{
    if (size <= 0 || size == m_squareSize)
        return;
    m_squareSize = size;
    update();
}

void CheckerboardView::paint(QPainter &painter, const QRectF &rect, qreal squareSize, const QColor &light,
                             const QColor &dark)
{
    if (squareSize <= 0 || rect.isEmpty())
        return;
    const int columns = std::max(1, int(std::ceil(rect.width() / squareSize)));
    const int rows = std::max(1, int(std::ceil(rect.height() / squareSize)));
    painter.save();
    painter.setClipRect(rect, Qt::IntersectClip);
    painter.fillRect(rect, dark);
    for (int row = 0; row < rows; ++row) {
        for (int column = (row % 2 == 0) ? 1 : 0; column < columns; column += 2) {
            painter.fillRect(QRectF(rect.left() + column * squareSize, rect.top() + row * squareSize,
                                    squareSize, squareSize),
                             light);
        }
    }
    painter.restore();
}

void CheckerboardView::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    paint(painter, rect(), m_squareSize, m_light, m_dark);
}
