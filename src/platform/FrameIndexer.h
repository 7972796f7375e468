#pragma once

#include "FrameIndex.h"
#include "support/AppError.h"
#include "support/MediaTime.h"

#include <QObject>
#include <QString>

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>

// Builds the frame index of one video file on a thread of its own and hands out the part read so far
// while it reads, so that a long file can be shown, played, stepped and grabbed from at once. Files
// with a sample table (MP4, MOV) are indexed from it in a fraction of a second; others are read in
// order, packet by packet, and their index grows as the reading goes. Shared by the player and the
// grabber of the file: one reading per opening.
//
// The parts are FrameIndex values, each holding the frames of the one before and more; the last one
// is complete. Waiting for a part that covers a time blocks the calling thread (the grabber's
// worker); the player instead listens to grew() and asks with want*() for what it waits for.
class FrameIndexer : public QObject
{
    Q_OBJECT

public:
    struct Options
    {
        // How often a larger part is handed out while the file is read, unless someone waits for one.
        int partIntervalMs = 250;
        // The first part comes once this long has passed: a file read faster than that gives its
        // complete index first.
        int firstPartMs = 50;
        // Called on the reading thread after each packet, once any part due has been handed out,
        // with the count of video packets read. It may block, holding the reading at that packet
        // (tests take stills of a half-built index so).
        std::function<void(std::int64_t packets)> afterPacket;
    };

    // Starts reading `path`.
    explicit FrameIndexer(const QString &path);
    FrameIndexer(const QString &path, Options options);
    // An indexer of a file whose complete index is at hand; reads nothing.
    FrameIndexer(const QString &path, std::shared_ptr<const FrameIndex> complete);
    // Stops the reading.
    ~FrameIndexer() override;

    FrameIndexer(const FrameIndexer &) = delete;
    FrameIndexer &operator=(const FrameIndexer &) = delete;

    QString path() const { return m_path; }
    // The index as far as it is built: null until the first part; complete once the reading is done.
    std::shared_ptr<const FrameIndex> current() const;
    // Why no index could be made at all (a file that cannot be read, or without any frame).
    std::optional<AppError> failure() const;
    // True when the frame times come from the container's sample table, without reading the media.
    bool readsSampleTable() const { return m_sampleTable; }
    // Bytes read from the disk so far.
    std::int64_t bytesRead() const { return m_bytesRead; }

    // Each blocks until the index holds what it asks for, or is complete, and returns that index;
    // null with failure() set when no index can be made. The first part:
    std::shared_ptr<const FrameIndex> waitForFirstPart();
    // Every frame starting at or before `ticks` (stream ticks), or holding `time`:
    std::shared_ptr<const FrameIndex> waitUntilCovers(std::int64_t ticks);
    std::shared_ptr<const FrameIndex> waitUntilCovers(const MediaTime &time);
    // The frame after `frame`:
    std::shared_ptr<const FrameIndex> waitUntilKnowsFrameAfter(int frame);
    // Everything:
    std::shared_ptr<const FrameIndex> waitUntilComplete();

    // Asks, without waiting, for a part that covers `ticks` or knows the frame after `frame`: it is
    // handed out as soon as the reading has got there, with grew().
    void wantTicks(std::int64_t ticks);
    void wantFrameAfter(int frame);

signals:
    // A larger part, the complete index or the failure is there. Emitted on the reading thread.
    void grew();

private:
    void read();
    void publish(std::shared_ptr<const FrameIndex> index);
    void fail(const AppError &failure);
    std::shared_ptr<const FrameIndex> waitUntil(const std::function<bool(const FrameIndex &)> &enough);

    const QString m_path;
    const Options m_options;
    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    std::shared_ptr<const FrameIndex> m_current;
    std::optional<AppError> m_failure;
    bool m_finished = false;

    std::atomic<bool> m_stopping = false;
    std::atomic<bool> m_sampleTable = false;
    std::atomic<std::int64_t> m_bytesRead = 0;
    // What someone waits for: a part covering these ticks, or knowing this many frames.
    std::atomic<std::int64_t> m_wantedTicks;
    std::atomic<int> m_wantedFrames = 0;
    std::thread m_thread; // last: started once the members above exist
};
