#pragma once

#include "support/MediaTime.h"
#include "support/Result.h"

#include <QString>

#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <vector>

// The frames of a video's first video stream in presentation order, built once per video from its
// packets (no decoding). Frame k is the k-th picture shown; its start is the k-th smallest packet
// time, where a packet's time is its presentation time or, when the container gives none, its
// decoding time. The player snaps to these times and the grabber finds its pictures by them, so both
// agree on which picture a time shows.
//
// An index can hold a part of the video only: the frames of the packets read so far, while the rest
// of the file is still being read (FrameIndexer). Every frame it holds is final — no packet read
// later can start a frame before the point it covers — so a part answers exactly for the times it
// covers, and a later part holds the same frames under the same numbers, and more.
class FrameIndex
{
public:
    FrameIndex() = default;

    // Reads the packets of `path` and returns the complete index; fails with a readable description
    // when the file cannot be read or holds no video frame. A file that ends early (truncated,
    // damaged at the end) is indexed up to its last complete packet.
    static Result<FrameIndex> build(const QString &path);
    // Packets read by every build of this process so far: what opening videos costs in reading.
    static std::int64_t packetsScanned();

    // True once the whole file has been read; false for a part.
    bool isComplete() const { return m_complete; }
    // Whether every frame starting at or before `ticks` is known: always for a complete index, for a
    // part up to the point it has read.
    bool covers(std::int64_t ticks) const { return m_complete || ticks < m_knownUntil; }
    // The same for a time: the frame holding `time` is known (an infinite time needs the whole file).
    bool covers(const MediaTime &time) const;
    // Whether the frame after `frame` is known, or known not to exist: what finding the nearest frame
    // to a time after `frame` needs.
    bool knowsFrameAfter(int frame) const { return m_complete || frame + 1 < count(); }
    // Counts the times a later part of the same video numbered its frames differently from an
    // earlier one, which only a file whose packets go back in time can cause; 0 for sane files.
    std::uint64_t revision() const { return m_revision; }
    // What the index holds in memory, in bytes.
    std::size_t memoryBytes() const;

    bool isEmpty() const { return m_pts.empty(); }
    int count() const { return int(m_pts.size()); }
    int timeBaseNumerator() const { return m_numerator; }
    int timeBaseDenominator() const { return m_denominator; }

    // True when the packets carry presentation times. False for files that store decoding times only
    // (AVI with B-frames): a decoded picture is then known by its place in presentation order, since
    // its decoder-made timestamp lags behind by the decoder's reordering delay.
    bool hasPresentationTimes() const { return m_presentationTimes; }

    std::int64_t pts(int index) const { return m_pts.at(std::size_t(index)); }
    // The frame's start as a media time in the stream's time base.
    MediaTime time(int index) const;
    double seconds(int index) const;
    // The first frame's start: the origin of every time the user reads.
    MediaTime startTime() const { return time(0); }
    // How long the indexed frames play: from the first frame's start to the end of the last one.
    MediaTime duration() const;

    // Stream ticks of a time, rounded down (a time inside a tick belongs to that tick).
    std::int64_t ticksAtOrBefore(const MediaTime &time) const;
    // Stream ticks nearest to a time in seconds.
    std::int64_t ticksNearest(double seconds) const;

    // The frame starting exactly at `ticks`, or -1.
    int position(std::int64_t ticks) const;
    // The last frame starting at or before `ticks`; the first frame for an earlier time.
    int frameAt(std::int64_t ticks) const;
    // The frame whose display interval holds `time`: the first for earlier times, the last for later.
    int frameAt(const MediaTime &time) const;
    // The frame whose start is nearest to `time`, the first or last one beyond the ends. Of two
    // frames equally near, the one nearer to frame `from` wins, so that a step and the step back
    // return to where they started.
    int frameNearest(const MediaTime &time, int from) const;

    // The last key frame at or before `ticks` (its packet time), or the first frame's.
    std::int64_t keyFrameAtOrBefore(std::int64_t ticks) const;
    // The key frame before the given key frame, or the same when there is none.
    std::int64_t keyFrameBefore(std::int64_t keyFramePts) const;

    // How far before a target a player must start demuxing for its exact seeks to land: the
    // longest key-frame interval, in seconds, for containers without an index (MPEG streams), whose
    // timestamp seeks can land that late, and for files with decoding times only, whose key frames
    // can show after the pictures that follow them; 0 for the others.
    double seekMargin() const { return m_seekMargin; }
    // True for containers whose timestamp seeks cannot be trusted (MPEG streams): seek by bytes.
    bool seeksByBytes() const { return !m_keyFramePositions.empty(); }
    // Where the packet of a key frame starts in the file, for containers that seek by bytes.
    std::optional<std::int64_t> keyFrameBytePosition(std::int64_t keyFramePts) const;

private:
    friend class FrameIndexBuilder;

    int m_numerator = 1;
    int m_denominator = 1;
    std::vector<std::int64_t> m_pts;
    std::vector<std::int64_t> m_keyFramePts;
    std::int64_t m_lastFrameTicks = 0; // how long the last frame shows
    bool m_presentationTimes = true;
    double m_seekMargin = 0.0;
    std::map<std::int64_t, std::int64_t> m_keyFramePositions; // pts → byte offset, with a seek margin
    bool m_complete = true;
    std::int64_t m_knownUntil = 0; // a part knows every frame starting before this
    std::uint64_t m_revision = 0;
};
