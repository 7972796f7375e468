// Starting an export of the window's captures.
#include "AppState.h"

#include "services/BatchExportService.h"
#include "services/ImageExportService.h"
#include "services/VideoFrameExtractorService.h"
#include "state/CaptureDocument.h"
#include "state/ExportRequest.h"
#include "state/ExportRun.h"
#include "state/ExportRuns.h"
#include "state/FrameImageMaker.h"
#include "state/FrameImageStore.h"
#include "state/PreviewRenderer.h"
#include "support/AppError.h"

void AppState::runExport(ExportMode mode)
{
    if (m_playback->videoURL().isEmpty()) {
        setErrorMessage(
            m_document->needsVideo()
                ? tr("Vidéo introuvable. Localisez-la via « Localiser la vidéo… » avant d'exporter.")
                : AppError::noVideoLoaded().errorDescription());
        return;
    }
    if (m_document->outputFolder().isEmpty()) {
        setErrorMessage(AppError::noOutputFolder().errorDescription());
        return;
    }
    if (m_document->frameCount() == 0 || (m_exportRun && m_exportRun->isRunning()) || !m_exportRuns)
        return;

    // The run works on frozen settings, and on the video open now even if another one is opened.
    ExportRequest request = ExportRequest::of(*m_document, mode, m_playback->startTime());
    BatchExportService::Settings &settings = request.settings;
    // Frames lifted already are not lifted again: the run cuts them from their masks.
    for (const CapturedFrame &frame : m_document->allFrames()) {
        const FrameImages images = m_images->images(frame.id);
        if (!images.hasMask())
            continue;
        settings.masks.insert(frame.id, m_images->keptMask(frame.id));
        // The corrections of the cut-out on screen are not applied again.
        if (!frame.corrections.isEmpty() && images.corrections == frame.corrections)
            settings.correctedMasks.insert(frame.id, images.correctedMask);
        if (images.hasStill())
            settings.stills.insert(frame.id, images.still);
    }

    setExportRun(m_exportRuns->start(exportServices(), request.groups, settings));
}

BatchExportService::Services AppState::exportServices() const
{
    auto extractor = std::make_shared<VideoFrameExtractorService>();
    extractor->setGenerator(m_playback->extractor()->generator());
    return {extractor, m_imageMaker->subjectExtractor(), std::make_shared<ImageExportService>(),
            m_renderer->imageFilter(), m_renderer->edgeProcessor()};
}

ExportRun *AppState::exportRun() const
{
    return m_exportRun;
}

void AppState::setExportRun(ExportRun *run)
{
    if (m_exportRun == run)
        return;
    if (m_exportRun) {
        disconnect(m_exportRun, nullptr, this, nullptr);
        if (m_exportRuns)
            m_exportRuns->release(m_exportRun);
    }
    m_exportRun = run;
    if (run) {
        connect(run, &ExportRun::folderNotOpened, this,
                [this](const QString &message) { setErrorMessage(message); });
        connect(run, &ExportRun::frameLifted, m_imageMaker, &FrameImageMaker::adopt);
    }
    emit exportRunChanged();
}

void AppState::forgetEndedExport()
{
    if (m_exportRun && !m_exportRun->isRunning())
        setExportRun(nullptr);
}
