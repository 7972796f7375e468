#pragma once

#include "support/MediaTime.h"
#include "support/Result.h"

#include <QImage>
#include <QMutex>
#include <QString>

#include <memory>

// Exact stills of one video file, decoded with FFmpeg: the frame whose display interval holds the
// requested time, at full decoded size, upright, in premultiplied RGBA tagged sRGB.
//
// The file is opened at the first request. A request shortly after the previous one decodes on from
// where the decoder stands; recently decoded frames are kept, so stepping back one frame is cheap.
// Requests from several threads are served one at a time.
class FrameGrabber
{
public:
    explicit FrameGrabber(const QString &path);
    ~FrameGrabber();

    FrameGrabber(const FrameGrabber &) = delete;
    FrameGrabber &operator=(const FrameGrabber &) = delete;

    QString path() const { return m_path; }

    // The still at `time`: the first frame for an earlier time, the last frame for a later one.
    // Fails with AppError::frameExtractionFailed and the library's description.
    Result<QImage> image(const MediaTime &time);

private:
    class Decoder;

    const QString m_path;
    QMutex m_mutex;
    std::unique_ptr<Decoder> m_decoder;
};
