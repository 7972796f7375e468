#pragma once

#include "FrameIndex.h"
#include "support/Result.h"

#include <QString>

#include <cstddef>
#include <cstdint>
#include <limits>
#include <map>
#include <optional>
#include <vector>

// Makes the frame index of a video stream from its packets, given one at a time in the order the file
// holds them. At any moment it can hand out the part known so far: the frames starting before the
// decoding time of the latest packet, which no later packet can come before (a packet is shown no
// earlier than it is decoded, and decoding times only grow). The last packet is kept back until
// another follows it or the reading ends, because a damaged last packet is left out.
class FrameIndexBuilder
{
public:
    // The time a container leaves out (FFmpeg's AV_NOPTS_VALUE).
    static constexpr std::int64_t noTime = std::numeric_limits<std::int64_t>::min();

    struct Packet
    {
        std::int64_t pts = noTime;
        std::int64_t dts = noTime;
        std::int64_t duration = 0;
        std::int64_t bytePosition = -1;
        bool key = false;
        bool corrupt = false;
        // False for the pictures an edit list cuts away: never shown, but decoded from their key frame.
        bool shown = true;
    };

    // `frameTicks` is one frame at the stream's nominal rate, 0 when unknown. MPEG streams keep the
    // byte position of their key frames and a seek margin; `expectedFrames` reserves room up front.
    FrameIndexBuilder(int timeBaseNumerator, int timeBaseDenominator, std::int64_t frameTicks,
                      bool mpegStream, std::size_t expectedFrames = 0);

    void add(const Packet &packet);
    // Packets given so far, with or without a time.
    std::int64_t packetCount() const { return m_packetCount; }
    // Frames that a part would hold now, and the time before which it knows every frame.
    int knownFrameCount() const;
    std::int64_t knownUntil() const { return m_knownUntil; }

    // The frames known so far as an index that is not complete.
    FrameIndex part();
    // The reading of `fileName` has ended: `readFailure` is empty at the end of the file, otherwise
    // why it stopped (a file cut short). Fails, naming the file, with the reading's failure when
    // nothing was read before it, or when no frame is shown at all. The builder is spent after it.
    Result<FrameIndex> finish(const QString &fileName, const QString &readFailure);

private:
    void place(const Packet &packet);
    // Seek margin, presentation times and the last frame's length of an index holding `pts`.
    void describe(FrameIndex &index) const;

    int m_numerator;
    int m_denominator;
    std::int64_t m_frameTicks;
    bool m_mpegStream;

    std::vector<std::int64_t> m_pts;         // shown times, sorted, without repeats
    std::vector<std::int64_t> m_keyFramePts; // sorted, without repeats
    std::map<std::int64_t, std::int64_t> m_keyFramePositions;
    std::optional<Packet> m_pending;
    std::int64_t m_packetCount = 0;
    std::int64_t m_timedPackets = 0;
    bool m_someTimeMissing = false;
    bool m_reordered = false;
    // The shown packet with the latest time, and how long it shows.
    std::int64_t m_lastTime = noTime;
    std::int64_t m_lastDuration = 0;
    // Every frame starting before this is known.
    std::int64_t m_knownUntil = noTime;
    // The times of the latest packets, for streams whose packets carry no decoding time.
    std::vector<std::int64_t> m_recentTimes;
    std::size_t m_recentNext = 0;
    std::int64_t m_publishedUntil = noTime;
    std::uint64_t m_revision = 0;
};
