#include "EdgeOptions.h"

#include <algorithm>
#include <cmath>

namespace {

// `value` within [low, high]; `low` for a value that is not a number.
double within(double value, double low, double high)
{
    return std::isnan(value) ? low : std::clamp(value, low, high);
}

} // namespace

std::array<double, 4> EdgeOptions::components(const QColor &color)
{
    const RgbaColor rgba(color);
    return {rgba.r, rgba.g, rgba.b, rgba.a};
}

EdgeOptions EdgeOptions::limited() const
{
    EdgeOptions options = *this;
    options.shrink = within(shrink, 0.0, maxShrink);
    options.feather = within(feather, 0.0, maxFeather);
    options.outlineWidth = within(outlineWidth, minOutlineWidth, maxOutlineWidth);
    options.outlineColor = outlineColor.limited();
    return options;
}

QString EdgeOptions::signature() const
{
    const RgbaColor &color = outlineColor;
    // Only cleaned edge colours lengthen the signature: settings without them print as before.
    return QString::asprintf("%.1f-%.1f-%d-%.1f-%.2f,%.2f,%.2f,%.2f", shrink, feather, outline ? 1 : 0,
                             outlineWidth, color.r, color.g, color.b, color.a) +
           (cleanColors ? QStringLiteral("-clean") : QString());
}
