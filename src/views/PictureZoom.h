#pragma once

#include <QPointF>
#include <QRect>
#include <QRectF>
#include <QSize>

#include <optional>

// Where a picture lies in the area that shows it, zoomed and panned: fitted to the area (following
// it when it changes size) until a zoom is chosen; then at that scale (1 is one pixel of the picture
// per point), panned so that the area stays covered where the picture is larger than it, and centred
// along the sides where it is smaller.
class PictureZoom
{
public:
    static constexpr double minimumZoom = 0.05;
    static constexpr double maximumZoom = 16.0;

    void setArea(const QRect &area);
    QRect area() const { return m_area; }
    void setPictureSize(const QSize &size);
    QSize pictureSize() const { return m_picture; }

    // Whether the picture is fitted to the area.
    bool fits() const { return !m_zoom.has_value(); }
    // The scale shown: that of the fit while fitting.
    double zoom() const;
    double fitZoom() const;
    // Fits the picture to the area again.
    void fit();
    // Shows the picture at `zoom` (kept within the limits), the picture's point under `anchor` (in
    // the area's coordinates) staying where it is.
    void setZoom(double zoom, const QPointF &anchor);
    // The same, about the area's centre.
    void setZoom(double zoom);
    // Moves the picture by `offset` points, as far as it can go.
    void panBy(const QPointF &offset);

    // The picture's rectangle, in the coordinates the area is given in; empty without a picture or
    // an area.
    QRect pictureRect() const;

private:
    // Keeps the picture over the area: centred along a side shorter than the area, within it along a
    // longer one.
    void clampCentre();
    QSizeF scaledSize() const;

    QRect m_area;
    QSize m_picture;
    std::optional<double> m_zoom;
    // The point of the picture, normalised, shown at the area's centre.
    QPointF m_centre{0.5, 0.5};
};
