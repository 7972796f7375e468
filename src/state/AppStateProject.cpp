// Saving the window to a project file and opening one.
#include "AppState.h"

#include "persistence/ProjectContent.h"
#include "persistence/ProjectFile.h"
#include "platform/FrameIndex.h"
#include "platform/VideoSource.h"
#include "services/ProjectStore.h"
#include "services/SubjectExtractionService.h"
#include "state/CaptureDocument.h"
#include "state/FrameImageFollower.h"
#include "state/FrameImageMaker.h"
#include "state/FrameImageStore.h"
#include "state/LocatedVideoCheck.h"
#include "state/ProjectOpening.h"
#include "support/AssignIfDifferent.h"
#include "support/ContinueOn.h"

#include <QCoreApplication>
#include <QHash>
#include <QStringList>

#include <algorithm>

ProjectFile AppState::makeProjectFile() const
{
    return ProjectContent::toFile(m_document->content(), m_document->videoName(),
                                  m_document->indexOfActiveGroup());
}

void AppState::saveProject(const QUrl &url)
{
    const ProjectFile file = makeProjectFile();
    if (const std::optional<QString> error = ProjectStore::save(file, url.toLocalFile())) {
        setErrorMessage(
            QCoreApplication::translate("AppState", "Échec de l'enregistrement : %1").arg(*error));
        return;
    }
    m_document->markSaved(url);
}

bool AppState::hasUnsavedChanges() const
{
    return m_document->isModified();
}

void AppState::openProject(const QUrl &url)
{
    const std::uint64_t opening = ++m_openingCount;
    m_opening.cancel();
    m_opening = ProjectOpening::start(url, m_document->outputFolder());
    setOpeningProject(true);
    continueOn(this, m_opening, [this, url, opening](const Result<ProjectOpening::Prepared> &prepared) {
        // Another opening, a video or a recovered document has come since.
        if (opening != m_openingCount)
            return;
        m_opening = {};
        setOpeningProject(false);
        if (!prepared) {
            setErrorMessage(QCoreApplication::translate("AppState", "Échec de l'ouverture : %1")
                                .arg(prepared.error().errorDescription()));
            return;
        }
        apply(prepared.value());
    });
}

void AppState::giveUpOpening()
{
    ++m_openingCount;
    m_opening.cancel();
    m_opening = {};
    setOpeningProject(false);
}

void AppState::setOpeningProject(bool opening)
{
    assignIfDifferent(this, m_openingProject, opening, &AppState::openingProjectChanged);
}

void AppState::apply(const ProjectOpening::Prepared &prepared)
{
    const DocumentContent &content = prepared.content;
    const std::optional<QUrl> video =
        content.videoURL.isEmpty() ? std::nullopt : std::optional<QUrl>(content.videoURL);

    // The project's captures belong to its own video: the one shown before goes in any case.
    m_playback->unload();

    // The window never shows one video under another video's captures: the project's own video is
    // shown once it has opened, and none is before.
    m_images->clear();
    ++m_documentGeneration;
    m_locatedVideo.reset();
    m_document->reset(content);
    forgetEndedExport();
    const QString &note = prepared.unreadNote;
    if (!note.isEmpty())
        setErrorMessage(note);

    if (video) {
        // The index is read as far as the latest capture, so that frames beyond the video are known.
        m_playback->open(
            *video,
            [this] {
                placeFramesInVideo();
                m_follower->followAll();
            },
            [this] {
                // A video that is there but does not open is as good as missing: the captures wait
                // for the user to locate a video that does.
                m_document->loseVideo();
                m_follower->followAll();
            },
            prepared.latestCapture);
    } else if (m_document->frameCount() > 0 || prepared.namesVideo) {
        QStringList notes{QCoreApplication::translate(
            "AppState", "Vidéo introuvable. Localisez-la via « Localiser la vidéo… ».")};
        if (!note.isEmpty())
            notes << note;
        setErrorMessage(notes.join(QLatin1Char(' ')));
    }
}

void AppState::placeFramesInVideo()
{
    const std::shared_ptr<const FrameIndex> index = m_playback->frameIndex();
    if (!index || index->isEmpty())
        return;
    const MediaTime start = index->startTime();
    const MediaTime end = start + index->duration();
    QHash<QUuid, MediaTime> placed;
    std::optional<MediaTime> latest;
    bool early = false;
    for (const CapturedFrame &frame : m_document->allFrames()) {
        if (frame.time < start) {
            placed.insert(frame.id, index->time(0));
            early = true;
        } else if (index->isComplete() && frame.time >= end) {
            placed.insert(frame.id, index->time(index->count() - 1));
            latest = std::max(latest.value_or(frame.time), frame.time);
        }
    }
    if (placed.isEmpty())
        return;
    m_document->placeFrames(placed);

    QStringList notes;
    if (latest)
        notes << tr("Cette vidéo est trop courte pour ce projet : elle dure %1, mais une image est "
                    "capturée à %2.")
                     .arg(index->duration().displayString(), latest->measuredFrom(start).displayString())
              << tr("Les images capturées au-delà de sa fin montrent sa dernière image.");
    if (early)
        notes << tr("Les images capturées avant son début montrent sa première image.");
    setErrorMessage(notes.join(QLatin1Char(' ')));
}

void AppState::locateVideo(const QUrl &url, std::function<bool(const QString &question)> confirm)
{
    if (!m_document->needsVideo())
        return;
    const std::uint64_t generation = m_documentGeneration;
    LocatedVideoCheck::Captures captures{m_document->missingVideoURL(), {}};
    for (const CapturedFrame &frame : m_document->allFrames())
        captures.times << frame.time;
    // The captures were taken from a video that has a frame at the latest of them: the opening
    // reads the video's index at least that far.
    const MediaTime latest = *std::max_element(captures.times.cbegin(), captures.times.cend());
    continueOn(
        this,
        LocatedVideoCheck::run(url.toLocalFile(), captures, m_imageMaker->cache(),
                               m_imageMaker->subjectExtractor()->modelPath()),
        [this, url, generation, latest,
         confirm = std::move(confirm)](const Result<LocatedVideoCheck::Outcome> &checked) {
            // Another video or project has come meanwhile: these captures are gone.
            if (generation != m_documentGeneration || !m_document->needsVideo())
                return;
            if (!checked.ok()) {
                setErrorMessage(
                    tr("Impossible d'utiliser cette vidéo : %1").arg(checked.error().errorDescription()));
                return;
            }
            // An index built only in part reaches beyond the latest capture.
            const FrameIndex &index = *checked.value().source.index;
            const MediaTime end = index.startTime() + index.duration();
            if (index.isComplete() && latest >= end) {
                setErrorMessage(
                    tr("Cette vidéo est trop courte pour ce projet : elle dure %1, mais une image "
                       "est capturée à %2.")
                        .arg(index.duration().displayString(),
                             latest.measuredFrom(index.startTime()).displayString()));
                return;
            }
            const QStringList &differences = checked.value().differences;
            if (!differences.isEmpty()) {
                if (!confirm) {
                    setErrorMessage(LocatedVideoCheck::statement(differences));
                    return;
                }
                // The answer takes its time: the captures may have gone meanwhile.
                if (!confirm(LocatedVideoCheck::question(differences)) ||
                    generation != m_documentGeneration || !m_document->needsVideo())
                    return;
            }
            m_locatedVideo = checked.value().source;
            // The step's redo shows the video (followVideoBinding); the file names the video's new
            // place once saved again.
            m_document->bindVideo(url);
        });
}

void AppState::followVideoBinding()
{
    const QUrl bound = m_document->videoURL();
    if (bound == m_playback->videoURL())
        return;
    // Pictures made from one video are never shown under another.
    m_images->clear();
    if (bound.isEmpty()) {
        m_playback->unload();
    } else if (m_locatedVideo && QUrl::fromLocalFile(m_locatedVideo->path) == bound) {
        // An opening still under way is dropped: it would replace the located video.
        m_playback->install(bound, *m_locatedVideo);
    } else {
        m_playback->open(
            bound, [this] { m_follower->followAll(); },
            [this] {
                m_document->loseVideo();
                m_follower->followAll();
            });
    }
    m_follower->followAll();
}
