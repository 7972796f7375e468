#pragma once

#include "models/EdgeOptions.h"
#include "models/FilterStyle.h"
#include "models/ImageFormat.h"

#include <QUrl>

// The settings a window saves in its project file with its captures: where exports go, whether
// they are cut to their subject, the drawing style, the edge settings and the images' file format.
struct DocumentSettings
{
    QUrl outputFolder; // empty when none is chosen
    bool cropToSubject = false;
    FilterStyle selectedFilter = FilterStyle::None;
    EdgeOptions edgeOptions;
    ImageFormat imageFormat = ImageFormat::Png;
};
