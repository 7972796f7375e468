#include "SampleSkippingInput.h"

#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <cerrno>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr int bufferSize = 32 * 1024;

} // namespace

void SampleSkippingInput::IoContextDeleter::operator()(AVIOContext *context) const
{
    // The library may have replaced the buffer it was given: free the one it holds now.
    av_freep(&context->buffer);
    avio_context_free(&context);
}

SampleSkippingInput::~SampleSkippingInput()
{
    m_io.reset();
    if (m_file >= 0)
        ::close(m_file);
}

QString SampleSkippingInput::open(const QString &path, std::unique_ptr<SampleSkippingInput> &input,
                                  Ffmpeg::FormatContext &context)
{
    context.reset();
    input.reset();
    const QString fileName = QFileInfo(path).fileName();
    const auto failure = [&fileName](int status) {
        return QStringLiteral("%1 : %2").arg(fileName, Ffmpeg::errorText(status));
    };
    const QByteArray encoded = QFile::encodeName(path);

    std::unique_ptr<SampleSkippingInput> opened(new SampleSkippingInput);
    opened->m_file = ::open(encoded.constData(), O_RDONLY | O_CLOEXEC);
    if (opened->m_file < 0)
        return failure(AVERROR(errno));
    struct stat status = {};
    if (::fstat(opened->m_file, &status) != 0)
        return failure(AVERROR(errno));
    opened->m_size = status.st_size;

    auto *buffer = static_cast<uint8_t *>(av_malloc(bufferSize));
    if (!buffer)
        return failure(AVERROR(ENOMEM));
    opened->m_io.reset(avio_alloc_context(buffer, bufferSize, 0, opened.get(), &SampleSkippingInput::read,
                                          nullptr, &SampleSkippingInput::seek));
    if (!opened->m_io) {
        av_free(buffer);
        return failure(AVERROR(ENOMEM));
    }

    AVFormatContext *raw = avformat_alloc_context();
    if (!raw)
        return failure(AVERROR(ENOMEM));
    raw->pb = opened->m_io.get();
    raw->flags |= AVFMT_FLAG_CUSTOM_IO;
    // On failure the library frees the context, leaving the reader to its owner.
    const int result = avformat_open_input(&raw, encoded.constData(), nullptr, nullptr);
    if (result < 0)
        return failure(result);
    input = std::move(opened);
    context.reset(raw);
    return {};
}

void SampleSkippingInput::skipSamples(const AVFormatContext *context)
{
    std::vector<Range> ranges;
    for (unsigned i = 0; i < context->nb_streams; ++i) {
        AVStream *stream = context->streams[i];
        const int count = avformat_index_get_entries_count(stream);
        Range current;
        for (int entry = 0; entry < count; ++entry) {
            const AVIndexEntry *sample = avformat_index_get_entry(stream, entry);
            if (!sample || sample->pos < 0 || sample->size <= 0)
                continue;
            // Samples of one chunk follow each other: they make one range.
            if (current.end > current.begin && sample->pos == current.end) {
                current.end += sample->size;
                continue;
            }
            if (current.end > current.begin)
                ranges.push_back(current);
            current = {sample->pos, sample->pos + sample->size};
        }
        if (current.end > current.begin)
            ranges.push_back(current);
    }
    std::sort(ranges.begin(), ranges.end(), [](const Range &a, const Range &b) { return a.begin < b.begin; });
    m_skipped.clear();
    for (const Range &range : ranges) {
        if (!m_skipped.empty() && range.begin <= m_skipped.back().end)
            m_skipped.back().end = std::max(m_skipped.back().end, range.end);
        else
            m_skipped.push_back(range);
    }
}

std::int64_t SampleSkippingInput::skippable(std::int64_t length) const
{
    const auto after =
        std::upper_bound(m_skipped.begin(), m_skipped.end(), m_position,
                         [](std::int64_t position, const Range &range) { return position < range.begin; });
    if (after == m_skipped.begin())
        return 0;
    const Range &range = *(after - 1);
    if (m_position >= range.end)
        return 0;
    return std::min({length, range.end - m_position, m_size - m_position});
}

int SampleSkippingInput::read(void *opaque, uint8_t *buffer, int size)
{
    auto *input = static_cast<SampleSkippingInput *>(opaque);
    if (size <= 0)
        return 0;
    if (input->m_position >= input->m_size)
        return AVERROR_EOF;
    // Inside a sample: the bytes are not looked at, so they are not read.
    if (const std::int64_t skipped = input->skippable(size)) {
        input->m_position += skipped;
        return int(skipped);
    }
    std::int64_t length = std::min<std::int64_t>(size, input->m_size - input->m_position);
    // Up to the next sample only, so that the read after this one can skip it.
    const auto next =
        std::upper_bound(input->m_skipped.begin(), input->m_skipped.end(), input->m_position,
                         [](std::int64_t position, const Range &range) { return position < range.begin; });
    if (next != input->m_skipped.end())
        length = std::min(length, next->begin - input->m_position);
    ssize_t got = -1;
    do {
        got = ::pread(input->m_file, buffer, std::size_t(length), input->m_position);
    } while (got < 0 && errno == EINTR);
    if (got < 0)
        return AVERROR(errno);
    if (got == 0)
        return AVERROR_EOF;
    input->m_position += got;
    input->m_bytesRead += got;
    return int(got);
}

int64_t SampleSkippingInput::seek(void *opaque, int64_t offset, int whence)
{
    auto *input = static_cast<SampleSkippingInput *>(opaque);
    std::int64_t target = 0;
    switch (whence & ~AVSEEK_FORCE) {
    case AVSEEK_SIZE:
        return input->m_size;
    case SEEK_SET:
        target = offset;
        break;
    case SEEK_CUR:
        target = input->m_position + offset;
        break;
    case SEEK_END:
        target = input->m_size + offset;
        break;
    default:
        return AVERROR(EINVAL);
    }
    if (target < 0)
        return AVERROR(EINVAL);
    input->m_position = target;
    return target;
}
