#pragma once

#include "FfmpegHandles.h"
#include "FrameIndexBuilder.h"
#include "SampleSkippingInput.h"
#include "support/Result.h"

#include <QString>

#include <cstdint>
#include <memory>
#include <optional>

// One reading of a video file's packets into a frame index, packet by packet, so that the reader can
// look at the part read so far or stop between two packets. Files whose container lists every
// sample with its times (MP4, MOV) are read from that table only: the demuxer walks its samples
// without their data, which reads a two-hour file in a fraction of a second. Other files are read
// packet by packet, media data and all.
class FrameIndexScan
{
public:
    explicit FrameIndexScan(const QString &path);

    // Opens the file and finds its video stream; fails with a readable description naming the file.
    std::optional<AppError> open();
    // Reads the next packet; false once the reading has ended, at the end of the file or where it
    // cannot be read further.
    bool next();
    // The index as far as it is known; use between open() and finish().
    FrameIndexBuilder &builder() { return *m_builder; }
    // The complete index once next() has returned false; fails as FrameIndex::build does.
    Result<FrameIndex> finish();

    // True when the frame times come from the container's sample table, without the media data.
    bool readsSampleTable() const { return m_sampleTable; }
    // Bytes read from the disk so far.
    std::int64_t bytesRead() const { return m_input ? m_input->bytesRead() : 0; }
    // Packets read by every scan of this process so far.
    static std::int64_t packetsScanned();

private:
    QString m_path;
    QString m_fileName;
    // Declared before the context that reads through it, so that it goes after it.
    std::unique_ptr<SampleSkippingInput> m_input;
    Ffmpeg::FormatContext m_format;
    Ffmpeg::Packet m_packet;
    int m_stream = -1;
    bool m_sampleTable = false;
    int m_status = 0;
    std::optional<FrameIndexBuilder> m_builder;
};
