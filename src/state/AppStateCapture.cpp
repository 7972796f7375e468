// Capturing the frame in front of the user.
#include "AppState.h"

#include "platform/VideoPlayer.h"
#include "state/CaptureDocument.h"
#include "support/AppError.h"

void AppState::captureCurrentFrame()
{
    if (videoURL().isEmpty()) {
        setErrorMessage(AppError::noVideoLoaded().errorDescription());
        return;
    }
    // The player's own time, not the observed property, which may lag by one observer period. The
    // new frame's pictures are started by the document's change, like those of any frame that
    // appears.
    m_document->captureFrame(player()->currentTime());
}
