#include "AppState.h"

#include "services/LiftedFrameCache.h"
#include "services/SubjectExtractionService.h"
#include "state/CaptureDocument.h"
#include "state/CorrectedCutouts.h"
#include "state/ExportRun.h"
#include "state/ExportRuns.h"
#include "state/FrameImageFollower.h"
#include "state/FrameImageMaker.h"
#include "state/FrameImageStore.h"
#include "state/PreviewRenderer.h"
#include "state/RecoveryAutosave.h"
#include "support/AssignIfDifferent.h"

#include <QSet>
#include <QThreadPool>

AppState::AppState(ExportRuns *exportRuns, PlayerOutput output, QObject *parent)
    : QObject(parent)
    , m_playback(std::make_unique<Playback>(output))
    , m_document(new CaptureDocument(this))
    , m_images(new FrameImageStore(this))
    , m_imageMaker(new FrameImageMaker(m_playback->extractor(), m_images, this))
    , m_follower(new FrameImageFollower(m_document, m_images, m_imageMaker, m_playback.get(), this))
    , m_correctedCutouts(new CorrectedCutouts(m_document, m_images, m_playback->extractor(),
                                              m_imageMaker->subjectExtractor(), this))
    , m_renderer(std::make_unique<PreviewRenderer>())
    , m_exportRuns(exportRuns)
{
    connect(m_imageMaker, &FrameImageMaker::stillFailed, this, &AppState::stillFailed);
    connect(m_document, &CaptureDocument::selectionChanged, m_imageMaker,
            [this] { m_imageMaker->setSelectedFrames(m_document->selection()); });
    Playback *playback = m_playback.get();
    connect(playback, &Playback::videoURLChanged, this, &AppState::rememberVideoShown);
    connect(m_document, &CaptureDocument::videoRebound, this, &AppState::followVideoBinding);
    connect(playback, &Playback::failed, this, [this](const QString &message) { setErrorMessage(message); });
    if (const QString failure = playback->startFailure(); !failure.isEmpty())
        setErrorMessage(failure);
}

AppState::~AppState()
{
    // A project still being read is given up with its window.
    m_opening.cancel();
    // The recovery file goes with the window: its work was saved or given up.
    m_recovery.reset();
    // A run going on goes on without the window; nobody is told, the window is going too.
    if (m_exportRun && m_exportRuns)
        m_exportRuns->release(m_exportRun);
    // Their background work reads the still grabber, which goes before the children do; the
    // follower hands work to the maker.
    delete m_correctedCutouts;
    delete m_follower;
    delete m_imageMaker;
}

void AppState::setErrorMessage(const std::optional<QString> &message)
{
    assignIfDifferent(this, m_errorMessage, message, &AppState::errorMessageChanged);
}

void AppState::rememberVideoShown() const
{
    const std::shared_ptr<LiftedFrameCache> cache = m_imageMaker->cache();
    const QString path = m_playback->videoURL().toLocalFile();
    if (!cache || path.isEmpty())
        return;
    // Reading the file's ends for its identity is disk work.
    QThreadPool::globalInstance()->start([cache, path, rate = m_playback->nominalFrameRate()] {
        if (const std::optional<QString> problem = cache->rememberVideo(path, rate))
            qInfo("The video %s is not remembered in the cache: %s", qPrintable(path), qPrintable(*problem));
    });
}
