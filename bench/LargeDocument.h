#pragma once

#include "models/CaptureGroup.h"

#include <QList>

// A window's captures as the benchmarks of large documents use them: 10 groups of 1,000 frames,
// each frame with a note and 5 annotations.
namespace LargeDocument {

constexpr int groupCount = 10;
constexpr int framesPerGroup = 1000;
constexpr int annotationsPerFrame = 5;

QList<CaptureGroup> groups();

} // namespace LargeDocument
