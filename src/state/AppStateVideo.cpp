// Opening a video into the window.
#include "AppState.h"

#include "state/CaptureDocument.h"
#include "state/FrameImageStore.h"

void AppState::loadVideo(const QUrl &url)
{
    // The captures of the previous video go once the new one has opened, not before: a file that is
    // refused loses nothing. The fresh document keeps the settings of the one before. A project
    // still being read is not opened any more.
    giveUpOpening();
    m_playback->open(url, [this, url] {
        DocumentContent content = DocumentContent::fresh();
        content.settings = m_document->settings();
        content.videoURL = url;
        m_images->clear();
        ++m_documentGeneration;
        m_locatedVideo.reset();
        m_document->reset(content);
        forgetEndedExport();
    });
}
