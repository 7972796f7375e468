#include "TestCaptures.h"

#include "state/AppState.h"
#include "state/CaptureDocument.h"
#include "state/FrameImageStore.h"

#include <QEventLoop>
#include <QTimer>

#include <algorithm>

namespace {

DocumentContent withFrames(const CaptureDocument &document, const QList<QList<int>> &timesPerGroup)
{
    DocumentContent content = document.content();
    while (content.groups.size() < timesPerGroup.size()) {
        const CaptureGroup group(QStringLiteral("Groupe %1").arg(content.groups.size() + 1));
        content.groups << group;
        content.activeGroupID = group.id;
    }
    for (int g = 0; g < timesPerGroup.size(); ++g) {
        for (int value : timesPerGroup[g])
            content.groups[g].frames << CapturedFrame(MediaTime(value, 30));
    }
    return content;
}

} // namespace

void TestCaptures::addFrames(CaptureDocument &document, const QList<QList<int>> &timesPerGroup)
{
    document.reset(withFrames(document, timesPerGroup));
}

void TestCaptures::fill(CaptureDocument &document, const QList<int> &framesPerGroup)
{
    QList<QList<int>> times;
    int value = 0;
    for (int count : framesPerGroup) {
        QList<int> group;
        for (int i = 0; i < count; ++i)
            group << ++value;
        times << group;
    }
    addFrames(document, times);
}

void TestCaptures::addFrames(AppState &state, const QList<QList<int>> &timesPerGroup)
{
    addFrames(*state.document(), timesPerGroup);
}

void TestCaptures::fill(AppState &state, const QList<int> &framesPerGroup)
{
    fill(*state.document(), framesPerGroup);
}

void TestCaptures::addFramesWithoutPictures(AppState &state, const QList<QList<int>> &timesPerGroup)
{
    const DocumentContent content = withFrames(*state.document(), timesPerGroup);
    for (const CaptureGroup &group : content.groups) {
        for (const CapturedFrame &frame : group.frames) {
            if (!state.images()->isTracked(frame.id))
                state.images()->track(frame.id);
        }
    }
    state.document()->reset(content);
}

bool TestCaptures::waitUntilMade(AppState &state, int timeoutMs)
{
    const auto allMade = [&] {
        const QList<CapturedFrame> frames = state.document()->allFrames();
        return std::all_of(frames.cbegin(), frames.cend(), [&](const CapturedFrame &frame) {
            const FrameImages images = state.images()->images(frame.id);
            return images.hasThumbnail() && images.isFinished();
        });
    };
    if (allMade())
        return true;
    QEventLoop loop;
    QTimer limit;
    limit.setSingleShot(true);
    QObject::connect(&limit, &QTimer::timeout, &loop, &QEventLoop::quit);
    QObject::connect(state.images(), &FrameImageStore::imagesChanged, &loop, [&] {
        if (allMade())
            loop.quit();
    });
    limit.start(timeoutMs);
    loop.exec();
    return allMade();
}
