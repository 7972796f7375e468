#include "AppState.h"

#include "platform/VideoPlayer.h"
#include "services/EdgeProcessingService.h"
#include "services/ImageExportService.h"
#include "services/ImageFilterService.h"
#include "services/SubjectExtractionService.h"
#include "services/VideoFrameExtractorService.h"

#include <QCoreApplication>
#include <QThreadPool>

namespace {

// Stores `value` and emits `changed` only when it differs from what is stored.
template<typename T, typename Signal>
void assignIfDifferent(AppState *state, T &stored, const T &value, Signal changed)
{
    if (stored == value) {
        stored = value;
        return;
    }
    stored = value;
    emit(state->*changed)();
}

} // namespace

AppState::AppState(QObject *parent) : AppState(PlayerOutput::View, parent) {}

AppState::AppState(PlayerOutput output, QObject *parent)
    : QObject(parent)
    , m_player(std::make_unique<VideoPlayer>(output))
    , m_extractor(std::make_unique<VideoFrameExtractorService>())
{
    m_subjectExtractor = std::make_shared<SubjectExtractionService>();
    m_imageExporter = std::make_shared<ImageExportService>();
    m_imageFilter = std::make_shared<ImageFilterService>();
    m_edgeProcessor = std::make_shared<EdgeProcessingService>();
    m_renderPool = std::make_unique<QThreadPool>();
    m_renderPool->setMaxThreadCount(2);

    resetGroups();
    addPeriodicTimeObserver();
    handlePlayerFailures();
}

AppState::~AppState()
{
    if (m_timeObserver)
        m_player->removeTimeObserver(*m_timeObserver);
}

QString AppState::defaultGroupName()
{
    return QCoreApplication::translate("AppState", "Captures");
}

void AppState::setVideoURL(const QUrl &url)
{
    assignIfDifferent(this, m_videoURL, url, &AppState::videoURLChanged);
}

void AppState::setCurrentTime(const MediaTime &time)
{
    assignIfDifferent(this, m_currentTime, time, &AppState::currentTimeChanged);
}

void AppState::setDuration(const MediaTime &duration)
{
    assignIfDifferent(this, m_duration, duration, &AppState::durationChanged);
}

void AppState::setStartTime(const MediaTime &start)
{
    assignIfDifferent(this, m_startTime, start, &AppState::startTimeChanged);
}

void AppState::setIsPlaying(bool playing)
{
    assignIfDifferent(this, m_isPlaying, playing, &AppState::isPlayingChanged);
}

void AppState::setFrameDuration(const MediaTime &frameDuration)
{
    assignIfDifferent(this, m_frameDuration, frameDuration, &AppState::frameDurationChanged);
}

void AppState::setGroups(const QList<CaptureGroup> &groups)
{
    assignIfDifferent(this, m_groups, groups, &AppState::groupsChanged);
}

void AppState::setActiveGroupID(const QUuid &id)
{
    assignIfDifferent(this, m_activeGroupID, id, &AppState::activeGroupIDChanged);
}

void AppState::setSelection(const QSet<QUuid> &selection)
{
    assignIfDifferent(this, m_selection, selection, &AppState::selectionChanged);
}

void AppState::setOutputFolder(const QUrl &folder)
{
    assignIfDifferent(this, m_outputFolder, folder, &AppState::outputFolderChanged);
}

void AppState::setCropToSubject(bool crop)
{
    assignIfDifferent(this, m_cropToSubject, crop, &AppState::cropToSubjectChanged);
}

void AppState::setSelectedFilter(FilterStyle style)
{
    assignIfDifferent(this, m_selectedFilter, style, &AppState::selectedFilterChanged);
}

void AppState::setEdgeOptions(const EdgeOptions &options)
{
    m_edgeOptions = options;
    emit edgeOptionsChanged();
}

void AppState::setProgress(const ExportProgress &progress)
{
    m_progress = progress;
    emit progressChanged();
}

void AppState::setFailures(const QList<ExportFailure> &failures)
{
    m_failures = failures;
    emit failuresChanged();
}

void AppState::setExportFinishedFolder(const QUrl &folder)
{
    assignIfDifferent(this, m_exportFinishedFolder, folder, &AppState::exportFinishedFolderChanged);
}

void AppState::setProjectURL(const QUrl &url)
{
    assignIfDifferent(this, m_projectURL, url, &AppState::projectURLChanged);
}

void AppState::setErrorMessage(const std::optional<QString> &message)
{
    assignIfDifferent(this, m_errorMessage, message, &AppState::errorMessageChanged);
}

QList<CapturedFrame> AppState::allFrames() const
{
    QList<CapturedFrame> frames;
    for (const CaptureGroup &group : m_groups)
        frames += group.frames;
    return frames;
}

std::optional<CapturedFrame> AppState::previewFrame() const
{
    // A set has no order; which of several selected frames is previewed is not specified.
    if (!m_selection.isEmpty()) {
        if (std::optional<CapturedFrame> selected = frame(*m_selection.constBegin()))
            return selected;
    }
    for (auto group = m_groups.crbegin(); group != m_groups.crend(); ++group) {
        if (!group->frames.isEmpty())
            return group->frames.last();
    }
    return std::nullopt;
}

QString AppState::videoName() const
{
    if (m_videoURL.isEmpty())
        return QStringLiteral("video");
    const QString fileName = m_videoURL.fileName();
    const qsizetype dot = fileName.lastIndexOf(QLatin1Char('.'));
    return dot > 0 ? fileName.left(dot) : fileName;
}

int AppState::indexOfActiveGroup() const
{
    for (int i = 0; i < m_groups.size(); ++i) {
        if (m_groups.at(i).id == m_activeGroupID)
            return i;
    }
    return 0;
}

std::optional<CapturedFrame> AppState::frame(const QUuid &id) const
{
    for (const CaptureGroup &group : m_groups) {
        const qsizetype index = group.indexOfFrame(id);
        if (index >= 0)
            return group.frames.at(index);
    }
    return std::nullopt;
}

void AppState::commitGroups(const QList<CaptureGroup> &groups)
{
    m_groups = groups;
    emit groupsChanged();
}

void AppState::resetGroups()
{
    const CaptureGroup first(defaultGroupName());
    setGroups({first});
    setActiveGroupID(first.id);
}
