#pragma once

#include "support/MediaTime.h"

#include <QImage>
#include <QObject>
#include <QString>
#include <QThreadPool>

#include <memory>
#include <optional>

class FrameGrabber;
class FrameIndex;
class FrameIndexer;

// Small pictures of the exact frames of the video shown, for a preview under the pointer. They come
// from a still grabber of its own, at reduced size, so the stills of captures keep their decoder and
// its cache. One picture is made at a time on a worker thread; of the requests made meanwhile only
// the latest is made next, the others are dropped. Lives on the main thread.
class HoverPreview : public QObject
{
    Q_OBJECT

public:
    // The pictures fit inside a square of this side.
    static constexpr int pictureSize = 256;

    explicit HoverPreview(QObject *parent = nullptr);
    // Waits for the picture being made.
    ~HoverPreview() override;

    // Previews frames of the video at `path`, as far as `indexer` has indexed it; none after clear().
    void setVideo(const QString &path, std::shared_ptr<FrameIndexer> indexer);
    void clear();

    // Asks for the picture of the frame shown at `time`; an earlier request not yet started is
    // dropped. Nothing without a video, nor for a time the index does not reach yet.
    void request(const MediaTime &time);

signals:
    // The picture of the frame that starts at `frameStart` (in the stream's time).
    void pictureReady(const MediaTime &frameStart, const QImage &picture);

private:
    void startNext();
    struct Request
    {
        int frame;
        std::shared_ptr<const FrameIndex> index;
    };
    void finished(std::uint64_t generation, int frame, const MediaTime &frameStart, const QImage &picture);

    QThreadPool m_pool;
    std::shared_ptr<FrameGrabber> m_grabber;
    std::shared_ptr<FrameIndexer> m_indexer;
    std::uint64_t m_generation = 0;
    bool m_busy = false;
    std::optional<Request> m_pending;
    std::optional<int> m_lastMade;
};
