#pragma once

#include "models/RgbaColor.h"

#include <QColor>
#include <QString>

#include <array>

// The edge settings: as the user edits them, as a project file stores them, and as the renderer and
// the edge processing take them. Lengths are in pixels of the processed image; the outline colour
// is sRGB, components 0 to 1.
struct EdgeOptions
{
    // The ranges the edge controls offer, in pixels.
    static constexpr double maxShrink = 10.0;
    static constexpr double maxFeather = 10.0;
    static constexpr double minOutlineWidth = 1.0;
    static constexpr double maxOutlineWidth = 20.0;

    double shrink = 0.0;
    double feather = 0.0;
    bool outline = false;
    double outlineWidth = 6.0;
    RgbaColor outlineColor;
    // The colours of the soft edge estimated again without the background's colour in them (see
    // ForegroundEstimation); off, the cut-out keeps the frame's colours as they are. Written to a
    // project file only when on: files of settings that keep the default stay as they were.
    bool cleanColors = false;

    // Red, green, blue and alpha in sRGB; opaque white for a colour that cannot be expressed in sRGB.
    static std::array<double, 4> components(const QColor &color);

    // The same settings brought into the ranges the controls offer, for values that come from
    // elsewhere (a project file): an outline thousands of pixels wide would take hours to render.
    EdgeOptions limited() const;

    // The edge clean-up runs only when it would change something.
    bool needsClean() const { return shrink > 0 || feather > 0; }
    // Printed form of the settings: two settings with the same signature render alike.
    QString signature() const;

    friend bool operator==(const EdgeOptions &, const EdgeOptions &) = default;
};
