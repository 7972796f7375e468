#pragma once

#include "models/EdgeParams.h"

#include <QColor>
#include <QString>

#include <array>

// The edge settings as the user edits them. Deliberately without equality: every assignment to
// the window state counts as a change.
struct EdgeOptions
{
    double shrink = 0.0;
    double feather = 0.0;
    bool outline = false;
    double outlineWidth = 6.0;
    QColor outlineColor = QColor(Qt::white);

    // Red, green, blue and alpha in sRGB; opaque white for a colour that cannot be expressed in sRGB.
    static std::array<double, 4> components(const QColor &color);

    EdgeParams params() const;
    // Printed form of the settings: two settings with the same signature render alike.
    QString signature() const;
};
