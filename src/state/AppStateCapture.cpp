// Capturing the frame in front of the user and filling in its still and cut-out in the background.
#include "AppState.h"

#include "models/AppError.h"
#include "platform/VideoPlayer.h"
#include "services/SubjectExtractionService.h"
#include "services/VideoFrameExtractorService.h"
#include "support/ContinueOn.h"

void AppState::captureCurrentFrame()
{
    if (m_videoURL.isEmpty()) {
        setErrorMessage(AppError::noVideoLoaded().errorDescription());
        return;
    }
    // The player's own time, not the observed property, which may lag by one observer period.
    const MediaTime time = player()->currentTime();
    const CapturedFrame frame(time);

    QList<CaptureGroup> groups = m_groups;
    groups[indexOfActiveGroup()].frames.append(frame);
    commitGroups(groups);
    setSelection({frame.id});
    regenerateFrame(frame.id, time);
}

void AppState::regenerateFrame(const QUuid &id, const MediaTime &time)
{
    // Each result is applied to the frame found by its identifier when it arrives: a frame moved
    // meanwhile still gets its images, a deleted one is skipped.
    continueOn(this, extractor()->image(time), [this, id](const Result<QImage> &still) {
        if (!still) {
            updateFrame(id, [](CapturedFrame &frame) {
                frame.subjectPreview = QImage();
                frame.subjectExtracted = true;
            });
            if (frame(id))
                emit stillFailed(id, still.error().errorDescription());
            return;
        }
        updateFrame(id, [&](CapturedFrame &frame) { frame.thumbnail = still.value(); });
        if (!frame(id))
            return; // deleted meanwhile: lifting its subject would be wasted seconds

        continueOn(this, m_subjectExtractor->extractAsync(still.value(), ExportMode::Merged, false),
                   [this, id](const Result<QList<QImage>> &subjects) {
                       updateFrame(id, [&](CapturedFrame &frame) {
                           frame.subjectPreview =
                               subjects && !subjects.value().isEmpty() ? subjects.value().first() : QImage();
                           frame.subjectExtracted = true;
                       });
                   });
    });
}
