#pragma once

#include <QString>
#include <QStringList>

// Large projects whose video and liftings are there, as after an earlier session that lifted every
// frame: one frame of the video is lifted for real and its record is kept in the disk cache under
// the key of each of the video's frames. The model that lifts it takes memory of its own, so the
// preparing runs in a process of its own: the program (test or benchmark) started again with the
// same arguments, which sees preparedHere() true and does only that.
namespace LargeProject {

struct Shape
{
    int videoFrames = 0; // the video's frames, 1/30 s apart
    int groups = 0;
    int framesPerGroup =
        0; // frame f of group g is at the video's frame (g × framesPerGroup + f) mod videoFrames
};

// In the process that prepares: prepares as asked and returns true. Anywhere else false.
bool preparedHere();

// Runs this program again with `arguments` to fill the cache folder `cacheFolder` with the
// liftings of `video` and, unless `project` is empty, to save there a project of `shape`.
// False when that fails.
bool prepareInOwnProcess(const QStringList &arguments, const QString &video, const Shape &shape,
                         const QString &cacheFolder, const QString &project);

} // namespace LargeProject
