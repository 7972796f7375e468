// Capturing the frame in front of the user, or the sharpest one near it.
#include "AppState.h"

#include "platform/FrameGrabber.h"
#include "platform/FrameIndex.h"
#include "platform/FrameIndexer.h"
#include "platform/VideoPlayer.h"
#include "services/SharpestFrame.h"
#include "state/CaptureDocument.h"
#include "support/AppError.h"
#include "support/ContinueOn.h"

#include <QtConcurrent/QtConcurrentRun>

namespace {

// How far from the frame on screen the sharpest frame is looked for, each way.
constexpr MediaTime sharpestFrameReach(1, 2);

} // namespace

void AppState::captureCurrentFrame()
{
    if (m_playback->videoURL().isEmpty()) {
        setErrorMessage(AppError::noVideoLoaded().errorDescription());
        return;
    }
    // The player's own time, not the observed property, which may lag by one observer period. The
    // new frame's pictures are started by the document's change, like those of any frame that
    // appears.
    m_document->captureFrame(m_playback->player()->currentTime());
}

void AppState::captureSharpestFrame()
{
    const std::shared_ptr<FrameIndexer> indexer = m_playback->frameIndexer();
    const std::shared_ptr<const FrameIndex> index = m_playback->frameIndex();
    if (m_playback->videoURL().isEmpty() || !index) {
        setErrorMessage(AppError::noVideoLoaded().errorDescription());
        return;
    }
    if (m_findingSharpest)
        return;
    m_playback->pause();
    const int shown = index->frameAt(m_playback->player()->currentTime());
    const QString path = m_playback->videoPath();
    const QUrl video = m_playback->videoURL();
    m_findingSharpest = true;
    emit findingSharpestFrameChanged();
    // A grabber of its own: the frames rated are many, and the still cache of the captures stays.
    QFuture<Result<int>> rating = QtConcurrent::run([path, indexer, index, shown] {
        FrameGrabber grabber(path, indexer);
        grabber.setMaximumSize(QSize(SharpestFrame::pictureSize, SharpestFrame::pictureSize));
        return SharpestFrame::near(grabber, *index, shown, sharpestFrameReach);
    });
    continueOn(this, rating, [this, indexer, index, video](const Result<int> &sharpest) {
        m_findingSharpest = false;
        emit findingSharpestFrameChanged();
        // Another video took the window meanwhile: its frames are not those rated.
        if (m_playback->videoURL() != video || m_playback->frameIndexer() != indexer)
            return;
        if (!sharpest.ok()) {
            setErrorMessage(sharpest.error().errorDescription());
            return;
        }
        const MediaTime time = index->time(sharpest.value());
        m_playback->seek(time);
        m_document->captureFrame(time);
    });
}
