#pragma once

#include "platform/VideoSource.h"
#include "support/MediaTime.h"
#include "support/Result.h"

#include <QCoreApplication>
#include <QFuture>
#include <QList>
#include <QString>
#include <QStringList>
#include <QUrl>

#include <memory>

class LiftedFrameCache;

// Opens a video chosen for captures whose own video is missing, and tells what speaks against it
// being the video they were taken from: another file name, another frame size or frame rate than
// the missing video had (as the cache remembers it and the stills it lifted from it), captures that
// fall on no frame of the chosen video. A file whose content is the missing video's, wherever it
// now is and whatever its name, is that video.
class LocatedVideoCheck
{
    Q_DECLARE_TR_FUNCTIONS(LocatedVideoCheck)

public:
    struct Captures
    {
        QUrl missingVideoURL;
        // Every capture's time, in the stream's own time.
        QList<MediaTime> times;
    };

    struct Outcome
    {
        VideoSource source;
        // One short French clause per difference found; empty when none was.
        QStringList differences;
    };

    // Opens `videoPath` on a worker thread, its index read at least as far as the latest capture,
    // and compares. `cache` may be null; `modelPath` names the model its liftings were made with.
    static QFuture<Result<Outcome>> run(const QString &videoPath, const Captures &captures,
                                        std::shared_ptr<const LiftedFrameCache> cache,
                                        const QString &modelPath);
    // The same on the calling thread.
    static Result<Outcome> check(const QString &videoPath, const Captures &captures,
                                 const LiftedFrameCache *cache, const QString &modelPath);

    // What is said of a video with these differences, and the question put to the user about it.
    static QString statement(const QStringList &differences);
    static QString question(const QStringList &differences);
};
