#pragma once

#include <QString>

class ExportRun;
class ExportRuns;

// Export runs for tests of what shows them.
namespace TestExports {

// A real run of `frames` frames in one group, from no video: each frame fails as soon as it is
// asked for its still, so the run ends, with a failure per frame, once the event loop has seen
// every frame. It writes nothing.
ExportRun *runWithoutVideo(ExportRuns &runs, int frames, const QString &folder);

} // namespace TestExports
