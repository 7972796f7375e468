#pragma once

#include "FfmpegHandles.h"

#include <QString>

#include <cstdint>
#include <memory>
#include <vector>

// A file read by libavformat through a reader of its own, which counts the bytes it reads and can
// stop reading the media data: once told to skip, a read that falls inside the samples the demuxer's
// sample table lists (MP4, MOV) is answered without touching the disk, while the boxes around them
// are read as usual. The demuxer then hands out every packet with its times and flags but without
// its picture. Reads beyond the end of the file end as they would on disk, so a
// file cut short still ends where its data ends.
class SampleSkippingInput
{
public:
    ~SampleSkippingInput();

    SampleSkippingInput(const SampleSkippingInput &) = delete;
    SampleSkippingInput &operator=(const SampleSkippingInput &) = delete;

    // Opens `path` for `context` and reads its header, without the stream information. On failure
    // `context` stays empty and the result is a readable description naming the file. The input
    // must outlive the context: declare it first.
    static QString open(const QString &path, std::unique_ptr<SampleSkippingInput> &input,
                        Ffmpeg::FormatContext &context);

    // From now on, the bytes of the samples that the streams' tables of `context` list are not read.
    void skipSamples(const AVFormatContext *context);
    // Bytes read from the disk so far.
    std::int64_t bytesRead() const { return m_bytesRead; }

private:
    struct Range
    {
        std::int64_t begin = 0;
        std::int64_t end = 0;
    };

    SampleSkippingInput() = default;
    static int read(void *opaque, uint8_t *buffer, int size);
    static int64_t seek(void *opaque, int64_t offset, int whence);
    // Bytes from m_position on that lie in one skipped range, or 0.
    std::int64_t skippable(std::int64_t length) const;

    int m_file = -1;
    std::int64_t m_size = 0;
    std::int64_t m_position = 0;
    std::int64_t m_bytesRead = 0;
    // Sorted, apart and not touching.
    std::vector<Range> m_skipped;

    struct IoContextDeleter
    {
        void operator()(AVIOContext *context) const;
    };
    std::unique_ptr<AVIOContext, IoContextDeleter> m_io;
};
