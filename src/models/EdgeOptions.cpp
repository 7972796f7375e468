#include "EdgeOptions.h"

std::array<double, 4> EdgeOptions::components(const QColor &color)
{
    if (!color.isValid())
        return {1.0, 1.0, 1.0, 1.0};
    const QColor rgb = color.toRgb();
    return {rgb.redF(), rgb.greenF(), rgb.blueF(), rgb.alphaF()};
}

EdgeParams EdgeOptions::params() const
{
    const auto [r, g, b, a] = components(outlineColor);
    return EdgeParams{shrink, feather, outline, outlineWidth, r, g, b, a};
}

QString EdgeOptions::signature() const
{
    const auto [r, g, b, a] = components(outlineColor);
    return QString::asprintf("%.1f-%.1f-%d-%.1f-%.2f,%.2f,%.2f,%.2f", shrink, feather, outline ? 1 : 0,
                             outlineWidth, r, g, b, a);
}
