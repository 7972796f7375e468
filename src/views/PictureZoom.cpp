#include "PictureZoom.h"

#include <algorithm>
#include <cmath>

void PictureZoom::setArea(const QRect &area)
{
    m_area = area;
    clampCentre();
}

void PictureZoom::setPictureSize(const QSize &size)
{
    if (size == m_picture)
        return;
    m_picture = size;
    clampCentre();
}

double PictureZoom::fitZoom() const
{
    if (m_picture.isEmpty() || m_area.isEmpty())
        return 1.0;
    return std::min(double(m_area.width()) / m_picture.width(), double(m_area.height()) / m_picture.height());
}

double PictureZoom::zoom() const
{
    return m_zoom.value_or(fitZoom());
}

void PictureZoom::fit()
{
    m_zoom.reset();
    m_centre = {0.5, 0.5};
}

void PictureZoom::setZoom(double zoom)
{
    setZoom(zoom, QRectF(m_area).center());
}

void PictureZoom::setZoom(double zoom, const QPointF &anchor)
{
    if (m_picture.isEmpty() || m_area.isEmpty() || !std::isfinite(zoom))
        return;
    const QRectF before = pictureRect();
    const QPointF held((anchor.x() - before.left()) / before.width(),
                       (anchor.y() - before.top()) / before.height());
    m_zoom = std::clamp(zoom, minimumZoom, maximumZoom);
    const QSizeF size = scaledSize();
    const QPointF topLeft(anchor.x() - held.x() * size.width(), anchor.y() - held.y() * size.height());
    const QPointF centre = QRectF(m_area).center();
    m_centre = {(centre.x() - topLeft.x()) / size.width(), (centre.y() - topLeft.y()) / size.height()};
    clampCentre();
}

void PictureZoom::panBy(const QPointF &offset)
{
    if (fits() || m_picture.isEmpty())
        return;
    const QSizeF size = scaledSize();
    m_centre -= QPointF(offset.x() / size.width(), offset.y() / size.height());
    clampCentre();
}

QSizeF PictureZoom::scaledSize() const
{
    return QSizeF(m_picture) * zoom();
}

void PictureZoom::clampCentre()
{
    if (fits() || m_picture.isEmpty() || m_area.isEmpty())
        return;
    const QSizeF size = scaledSize();
    const auto clampAlong = [](double centre, double shown, double whole) {
        if (whole <= shown)
            return 0.5;
        const double half = shown / 2 / whole;
        return std::clamp(centre, half, 1.0 - half);
    };
    m_centre = {clampAlong(m_centre.x(), m_area.width(), size.width()),
                clampAlong(m_centre.y(), m_area.height(), size.height())};
}

QRect PictureZoom::pictureRect() const
{
    if (m_picture.isEmpty() || m_area.isEmpty())
        return {};
    if (fits()) {
        QRect fitted(QPoint(0, 0), m_picture.scaled(m_area.size(), Qt::KeepAspectRatio));
        fitted.moveCenter(m_area.center());
        return fitted;
    }
    const QSizeF size = scaledSize();
    const QPointF centre = QRectF(m_area).center();
    const QPointF topLeft(centre.x() - m_centre.x() * size.width(),
                          centre.y() - m_centre.y() * size.height());
    return QRect(
        QPoint(int(std::lround(topLeft.x())), int(std::lround(topLeft.y()))),
        QSize(std::max(1, int(std::lround(size.width()))), std::max(1, int(std::lround(size.height())))));
}
