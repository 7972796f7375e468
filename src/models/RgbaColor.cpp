#include "RgbaColor.h"

#include <algorithm>
#include <cmath>

RgbaColor::RgbaColor(const QColor &color)
{
    if (!color.isValid())
        return;
    const QColor rgb = color.toRgb();
    r = rgb.redF();
    g = rgb.greenF();
    b = rgb.blueF();
    a = rgb.alphaF();
}

QColor RgbaColor::toColor() const
{
    const RgbaColor within = limited();
    return QColor::fromRgbF(float(within.r), float(within.g), float(within.b), float(within.a));
}

RgbaColor RgbaColor::limited() const
{
    const auto unit = [](double value) { return std::isnan(value) ? 1.0 : std::clamp(value, 0.0, 1.0); };
    return {unit(r), unit(g), unit(b), unit(a)};
}
