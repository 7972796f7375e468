#pragma once

// The edge settings as plain numbers, handed to the renderer and the edge processing.
// Lengths are in pixels of the processed image; the outline colour is sRGB, components 0 to 1.
struct EdgeParams
{
    double shrink = 0.0;
    double feather = 0.0;
    bool outline = false;
    double outlineWidth = 6.0;
    double r = 1.0;
    double g = 1.0;
    double b = 1.0;
    double a = 1.0;
    // The soft edge's colours estimated again without the background's (see ForegroundEstimation).
    bool cleanColors = false;

    // The edge clean-up runs only when it would change something.
    bool needsClean() const { return shrink > 0 || feather > 0; }
};
