#pragma once

#include "persistence/DocumentContent.h"
#include "persistence/ProjectFile.h"

#include <QUrl>

// What a project file holds, as a capture document holds it.
namespace ProjectContent {

// The content of `file`, opened from `url`: its groups and frames (with fresh identifiers, the
// drawings keeping theirs), the active group and the settings. The output folder is the file's when
// it still exists, `currentOutputFolder` otherwise. The video is the file's when it still exists;
// one that no longer does is named as the missing video.
DocumentContent fromFile(const ProjectFile &file, const QUrl &url, const QUrl &currentOutputFolder);

// The project file of `content`, whose video is called `videoName` and whose active group is at
// `activeGroupIndex`. Captures whose video could not be found keep naming it. A pure read, safe on
// any thread that holds its own copy of the content.
ProjectFile toFile(const DocumentContent &content, const QString &videoName, int activeGroupIndex);

} // namespace ProjectContent
