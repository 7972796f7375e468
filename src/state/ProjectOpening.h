#pragma once

#include "persistence/DocumentContent.h"
#include "persistence/ProjectFile.h"
#include "support/MediaTime.h"
#include "support/Result.h"

#include <QFuture>
#include <QString>
#include <QUrl>

// A project file read and made into the content of a document. Decoding a project of many
// thousand frames takes long: it is done off the main thread, and the window only takes the result.
namespace ProjectOpening {

// What a window takes from a project file.
struct Prepared
{
    DocumentContent content;
    // The file names a video, found or not.
    bool namesVideo = false;
    // The time of the latest capture; zero without captures.
    MediaTime latestCapture = MediaTime::zero();
    // What the user is told of drawings of kinds this version does not know; empty without any.
    QString unreadNote;
};

// The content of `file`, opened from `url` (see ProjectContent::fromFile).
Prepared fromFile(const ProjectFile &file, const QUrl &url, const QUrl &currentOutputFolder);

// Reads the project at `url` and prepares it on a worker thread. A file that cannot be read or does
// not decode gives what went wrong, in French. Cancelling the future gives the work up at its next
// step, with no result.
QFuture<Result<Prepared>> start(const QUrl &url, const QUrl &currentOutputFolder);

} // namespace ProjectOpening
