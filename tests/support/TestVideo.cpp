#include "TestVideo.h"

#include "platform/FrameIndex.h"
#include "platform/VideoPlayer.h"
#include "state/AppState.h"

#include <QTest>

bool TestVideo::open(AppState &state, const QString &path)
{
    const QUrl url = QUrl::fromLocalFile(path);
    state.loadVideo(url);
    return QTest::qWaitFor([&] { return state.playback()->videoURL() == url; }, 30000);
}

bool TestVideo::settled(AppState &state)
{
    return QTest::qWaitFor(
        [&] {
            const FrameIndex *index = state.playback()->player()->frameIndex();
            return index && index->isComplete() && !state.playback()->player()->isSeeking();
        },
        30000);
}
