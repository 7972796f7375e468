#pragma once

#include "support/AppError.h"
#include "support/MediaTime.h"
#include "support/Result.h"

#include <QImage>
#include <QMutex>
#include <QSize>
#include <QString>

#include <memory>
#include <optional>

class FrameIndex;
class FrameIndexer;

// Exact stills of one video file, decoded with FFmpeg: the frame whose display interval holds the
// requested time, at full decoded size, upright, in premultiplied RGBA tagged sRGB. Decoded pictures
// are matched to the frames of the file's frame index by their place in presentation order, so a
// still always shows the frame the player shows at that time.
//
// The file is opened at the first request. A request shortly after the previous one decodes on from
// where the decoder stands; the frames decoded since the decoder was last repositioned are kept, so
// stepping back one frame is cheap. Requests from several threads are served one at a time. While
// the frame index is still being built, a request for a time beyond the part built so far waits
// for the index to get there.
class FrameGrabber
{
public:
    // Starts building the file's frame index at the first request.
    explicit FrameGrabber(const QString &path);
    // Uses a frame index already built for the file.
    FrameGrabber(const QString &path, std::shared_ptr<const FrameIndex> index);
    // Uses the frame index being built for the file (the one the player uses).
    FrameGrabber(const QString &path, std::shared_ptr<FrameIndexer> indexer);
    ~FrameGrabber();

    FrameGrabber(const FrameGrabber &) = delete;
    FrameGrabber &operator=(const FrameGrabber &) = delete;

    QString path() const { return m_path; }

    // Stills fitted inside `bound` (upright, proportions kept, never enlarged); an empty bound, the
    // default, gives them at full decoded size. Pictures the size of a preview are converted in a
    // fraction of a full-size still's time.
    void setMaximumSize(const QSize &bound);
    // Pictures for small previews may skip the decoder's deblocking, which costs a third of the
    // decoding and only smooths detail that a reduced picture loses anyway, and a picture far smaller
    // than the frame may be made from a sample of its pixels. The frames are the same.
    void setFastDecoding(bool fast);

    // The still at `time`: the first frame for an earlier time, the last frame for a later one.
    // Fails with AppError::frameExtractionFailed and the library's description.
    Result<QImage> image(const MediaTime &time);
    // Opens the file and decodes from its start until a picture comes out, which then stays ready
    // for a still: tells at opening whether the video can be decoded at all. Fails as image() does.
    std::optional<AppError> decodeFirstPicture();

private:
    class Decoder;
    // The open decoder, opening it at the first call. Used under the mutex.
    Result<Decoder *> decoder();

    const QString m_path;
    std::shared_ptr<FrameIndexer> m_indexer;
    QMutex m_mutex;
    QSize m_maximumSize;
    bool m_fastDecoding = false;
    std::unique_ptr<Decoder> m_decoder;
};
