#pragma once

#include "support/MediaTime.h"
#include "support/Result.h"

#include <QFuture>
#include <QList>
#include <QSize>
#include <QString>

// What a video file says about itself: its duration, its video tracks and the first video track's
// nominal frame rate. Read with FFmpeg off the main thread.
class MediaProbe
{
public:
    struct VideoTrack
    {
        int streamIndex = -1;
        QSize codedSize;
    };

    struct Info
    {
        // Indefinite when the file does not say.
        MediaTime duration = MediaTime::indefinite();
        QList<VideoTrack> videoTracks;
        // Frames per second of the first video track; 0 when unknown or without video track.
        float nominalFrameRate = 0.0f;
    };

    // Reads the file now, on the calling thread. A failure carries a readable description.
    static Result<Info> probe(const QString &path);
    // The same on a worker thread of the global pool.
    static QFuture<Result<Info>> load(const QString &path);
};
