#pragma once

// The edge settings as stored in a project file, with the outline colour split into sRGB
// components. Defaults are those of a new window.
struct EdgeDTO
{
    double shrink = 0.0;
    double feather = 0.0;
    bool outline = false;
    double outlineWidth = 6.0;
    double r = 1.0;
    double g = 1.0;
    double b = 1.0;
    double a = 1.0;
    // Written only when on: files of settings that keep the default stay as they were.
    bool cleanColors = false;

    friend bool operator==(const EdgeDTO &, const EdgeDTO &) = default;
};
