#pragma once

#include <QColor>

// A colour as its sRGB red, green, blue and opacity, each from 0 to 1, held as doubles: a colour
// read from a project file is written back exactly, which QColor's 16-bit channels would not do.
struct RgbaColor
{
    double r = 1.0;
    double g = 1.0;
    double b = 1.0;
    double a = 1.0;

    RgbaColor() = default;
    RgbaColor(double red, double green, double blue, double alpha) : r(red), g(green), b(blue), a(alpha) {}
    // A colour picker's colour, converted to sRGB; opaque white for one that cannot be.
    RgbaColor(const QColor &color);

    QColor toColor() const;
    // Each component brought into 0 to 1; a component that is not a number becomes 1.
    RgbaColor limited() const;

    friend bool operator==(const RgbaColor &, const RgbaColor &) = default;
};
