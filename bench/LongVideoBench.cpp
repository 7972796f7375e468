#include "BenchRegistry.h"
#include "EventLoopWait.h"
#include "TestMedia.h"

#include "platform/FrameIndex.h"
#include "platform/FrameIndexer.h"
#include "platform/VideoPlayer.h"
#include "services/VideoFrameExtractorService.h"
#include "state/AppState.h"
#include "state/ExportRuns.h"

#include <QElapsedTimer>
#include <QFileInfo>
#include <QUrl>

#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

#include <vector>

namespace {

double elapsedMs(const QElapsedTimer &timer)
{
    return double(timer.nsecsElapsed()) / 1e6;
}

// Drops the file's pages from the page cache, as after a restart; false when the system keeps them.
bool evictFromPageCache(const QString &path)
{
    const int file = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
    if (file < 0)
        return false;
    const bool dropped = ::fdatasync(file) == 0 && ::posix_fadvise(file, 0, 0, POSIX_FADV_DONTNEED) == 0;
    ::close(file);
    return dropped;
}

// Bytes of the file in the page cache.
qint64 cachedBytes(const QString &path)
{
    const int file = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
    if (file < 0)
        return -1;
    const off_t size = ::lseek(file, 0, SEEK_END);
    const long page = ::sysconf(_SC_PAGESIZE);
    qint64 resident = -1;
    void *mapped = size > 0 ? ::mmap(nullptr, size_t(size), PROT_READ, MAP_SHARED, file, 0) : MAP_FAILED;
    if (mapped != MAP_FAILED) {
        std::vector<unsigned char> pages(size_t((size + page - 1) / page));
        if (::mincore(mapped, size_t(size), pages.data()) == 0) {
            resident = 0;
            for (unsigned char inCore : pages)
                resident += (inCore & 1) ? page : 0;
        }
        ::munmap(mapped, size_t(size));
    }
    ::close(file);
    return resident;
}

// From the opening of a two-hour video in a window to its first still, the file evicted from the
// page cache before each opening.
void openLongVideo()
{
    const TestMedia::LongVideo video = TestMedia::longVideo(120);
    std::vector<double> firstPicture;
    std::vector<double> firstStill;
    std::vector<double> readMiB;
    bool cold = true;
    for (int round = 0; round < 5; ++round) {
        cold = evictFromPageCache(video.path) && cold;
        ExportRuns runs;
        AppState state(&runs, PlayerOutput::Headless);
        bool shown = false;
        QElapsedTimer timer;
        double shownMs = 0;
        QObject::connect(state.playback()->player(), &VideoPlayer::seekCompleted, [&] {
            if (!shown)
                shownMs = elapsedMs(timer);
            shown = true;
        });
        timer.start();
        state.loadVideo(QUrl::fromLocalFile(video.path));
        if (!waitForEvents([&] {
                return shown && state.playback()->player()->frameIndex() &&
                       !state.playback()->player()->isSeeking();
            }))
            qFatal("the long video does not open");
        if (!state.playback()->extractor()->image(state.playback()->player()->currentTime()).result().ok())
            qFatal("no first still");
        firstStill.push_back(elapsedMs(timer));
        firstPicture.push_back(shownMs);
        readMiB.push_back(double(cachedBytes(video.path)) / (1024.0 * 1024.0));
    }
    BenchRegistry::print(
        QStringLiteral("video.open.2h"), BenchRegistry::median(firstStill), QStringLiteral("ms"),
        QStringLiteral("open → first picture on screen and its still grabbed, 2 h of 30 fps MP4 "
                       "(%1 frames, 160×120, %2 MiB, sample table at the end); %3; first picture on "
                       "screen alone (mpv) %4 ms; %5 MiB of the file read by then; 5 runs")
            .arg(video.frameCount)
            .arg(double(QFileInfo(video.path).size()) / (1024.0 * 1024.0), 0, 'f', 0)
            .arg(cold ? QStringLiteral("file evicted from the page cache before each opening")
                      : QStringLiteral("the page cache could not be emptied: file cached"))
            .arg(BenchRegistry::median(firstPicture), 0, 'f', 1)
            .arg(BenchRegistry::median(readMiB), 0, 'f', 1));
}

// Memory of the complete frame index of a ten-hour video at 60 frames a second.
void indexMemory()
{
    const TestMedia::LongVideo video = TestMedia::longVideo(600, QStringLiteral("mp4"), 60);
    const double residentBefore = BenchRegistry::statusMiB("VmRSS");
    QElapsedTimer timer;
    timer.start();
    FrameIndexer indexer(video.path);
    const std::shared_ptr<const FrameIndex> index = indexer.waitUntilComplete();
    if (!index || index->count() != video.frameCount)
        qFatal("the ten-hour index is incomplete");
    const double builtMs = elapsedMs(timer);
    const double indexMiB = double(index->memoryBytes()) / (1024.0 * 1024.0);
    BenchRegistry::print(QStringLiteral("index.memory.10h"), indexMiB, QStringLiteral("MiB"),
                         QStringLiteral("frame index of 10 h at 60 fps (%1 frames, MP4), as the index "
                                        "counts it; resident size grew by %2 MiB while it was built in "
                                        "%3 ms; one run")
                             .arg(index->count())
                             .arg(BenchRegistry::statusMiB("VmRSS") - residentBefore, 0, 'f', 1)
                             .arg(builtMs, 0, 'f', 0));
}

void run(const QStringList &prefixes)
{
    if (BenchRegistry::wanted(prefixes, QStringLiteral("video.open.2h")))
        openLongVideo();
    if (BenchRegistry::wanted(prefixes, QStringLiteral("index.memory.10h")))
        indexMemory();
}

} // namespace

QUINTAREL_BENCH(LongVideoBench,
                (QStringList{QStringLiteral("video.open.2h"), QStringLiteral("index.memory.10h")}), run)
