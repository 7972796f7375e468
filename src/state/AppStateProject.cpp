// Saving the window to a project file and opening one.
#include "AppState.h"

#include "persistence/ProjectFile.h"
#include "platform/MediaProbe.h"
#include "services/ProjectStore.h"
#include "state/CaptureDocument.h"
#include "state/FrameImageStore.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>

#include <algorithm>

ProjectFile AppState::makeProjectFile() const
{
    const DocumentSettings &settings = m_document->settings();
    ProjectFile file;
    file.version = 1;
    // Captures whose video could not be found keep naming it: saving them loses no reference.
    const QUrl video =
        m_document->videoURL().isEmpty() ? m_document->missingVideoURL() : m_document->videoURL();
    if (!video.isEmpty())
        file.videoBookmark = ProjectStore::makeBookmark(video);
    file.videoName = m_document->videoName();
    if (!settings.outputFolder.isEmpty())
        file.outputFolderBookmark = ProjectStore::makeBookmark(settings.outputFolder);
    file.cropToSubject = settings.cropToSubject;
    file.filter = FilterStyles::rawValue(settings.selectedFilter);

    const EdgeOptions &edge = settings.edgeOptions;
    const auto [r, g, b, a] = EdgeOptions::components(edge.outlineColor);
    file.edge = EdgeDTO{edge.shrink, edge.feather, edge.outline, edge.outlineWidth, r, g, b, a};
    file.activeGroupIndex = m_document->indexOfActiveGroup();

    for (const CaptureGroup &group : m_document->groups()) {
        GroupDTO groupDTO{group.name, group.notes, {}};
        for (const CapturedFrame &frame : group.frames)
            groupDTO.frames << FrameDTO{frame.time.value(), frame.time.timescale(), frame.notes,
                                        frame.annotations};
        file.groups << groupDTO;
    }
    return file;
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
    const auto fail = [this](const QString &description) {
        setErrorMessage(
            QCoreApplication::translate("AppState", "Échec de l'ouverture : %1").arg(description));
    };
    QFile input(url.toLocalFile());
    if (!input.open(QIODevice::ReadOnly)) {
        fail(input.errorString());
        return;
    }
    const QByteArray bytes = input.readAll();
    if (input.error() != QFileDevice::NoError) {
        fail(input.errorString());
        return;
    }
    QString error;
    const std::optional<ProjectFile> file = ProjectFile::fromJson(bytes, &error);
    if (!file) {
        fail(error);
        return;
    }
    apply(*file, url);
}

void AppState::apply(const ProjectFile &file, const QUrl &url)
{
    DocumentContent content;
    content.projectURL = url;
    DocumentSettings &settings = content.settings;
    settings.cropToSubject = file.cropToSubject;
    settings.selectedFilter = FilterStyles::fromRawValue(file.filter).value_or(FilterStyle::None);
    settings.edgeOptions.shrink = file.edge.shrink;
    settings.edgeOptions.feather = file.edge.feather;
    settings.edgeOptions.outline = file.edge.outline;
    settings.edgeOptions.outlineWidth = file.edge.outlineWidth;
    settings.edgeOptions.outlineColor =
        QColor::fromRgbF(float(file.edge.r), float(file.edge.g), float(file.edge.b), float(file.edge.a));

    // Groups and frames get fresh identifiers; annotations keep those of the file.
    for (const GroupDTO &groupDTO : file.groups) {
        CaptureGroup group(groupDTO.name);
        group.notes = groupDTO.notes;
        for (const FrameDTO &frameDTO : groupDTO.frames) {
            CapturedFrame frame(MediaTime(frameDTO.timeValue, frameDTO.timeScale));
            frame.notes = frameDTO.notes;
            frame.annotations = frameDTO.annotations.value_or(QList<Annotation>());
            group.frames << frame;
        }
        content.groups << group;
    }
    if (content.groups.isEmpty())
        content.groups << CaptureGroup(CaptureDocument::defaultGroupName());
    const qint64 active = std::clamp<qint64>(file.activeGroupIndex, 0, content.groups.size() - 1);
    content.activeGroupID = content.groups.at(active).id;

    // An output folder that no longer exists leaves the current one in place.
    settings.outputFolder = m_document->outputFolder();
    if (file.outputFolderBookmark) {
        if (const std::optional<QUrl> folder = ProjectStore::resolveBookmark(*file.outputFolderBookmark))
            settings.outputFolder = *folder;
    }

    const std::optional<QUrl> video =
        file.videoBookmark ? ProjectStore::resolveBookmark(*file.videoBookmark) : std::nullopt;
    if (video) {
        content.videoURL = *video;
    } else if (file.videoBookmark) {
        // Bookmarks are absolute paths: the one that no longer resolves still says what to look for.
        const QString path = QString::fromUtf8(*file.videoBookmark);
        if (!path.isEmpty() && !QDir::isRelativePath(path))
            content.missingVideoURL = QUrl::fromLocalFile(path);
    }

    // The window never shows one video under another video's captures: without its own video, the
    // project shows none.
    prepareVideo(content.videoURL);
    m_images->clear();
    ++m_documentGeneration;
    m_document->reset(content);
    forgetEndedExport();

    if (!video && (m_document->frameCount() > 0 || file.videoBookmark)) {
        setErrorMessage(QCoreApplication::translate(
            "AppState", "Vidéo introuvable. Localisez-la via « Localiser la vidéo… »."));
    }
}

void AppState::locateVideo(const QUrl &url)
{
    if (!m_document->needsVideo())
        return;
    const std::uint64_t generation = m_documentGeneration;
    MediaProbe::load(url.toLocalFile())
        .then(this, [this, url, generation](const Result<MediaProbe::Info> &probe) {
            // Another video or project has come meanwhile: these captures are gone.
            if (generation != m_documentGeneration || !m_document->needsVideo())
                return;
            if (!probe.ok() || probe.value().videoTracks.isEmpty()) {
                const QString reason = probe.ok() ? tr("le fichier ne contient pas de vidéo.")
                                                  : probe.error().errorDescription();
                setErrorMessage(tr("Impossible d'utiliser cette vidéo : %1").arg(reason));
                return;
            }
            // The captures were taken from a video at least as long as the latest of them.
            MediaTime latest = MediaTime::zero();
            for (const CapturedFrame &frame : m_document->allFrames())
                latest = std::max(latest, frame.time);
            const MediaTime duration = probe.value().duration;
            if (duration.isNumeric() && latest > duration) {
                setErrorMessage(
                    tr("Cette vidéo est trop courte pour ce projet : elle dure %1, mais une image "
                       "est capturée à %2.")
                        .arg(duration.displayString(), latest.displayString()));
                return;
            }
            prepareVideo(url);
            m_images->clear();
            m_document->bindVideo(url);
            // The file names the new place of the video once saved again.
            m_document->markModified();
            followFrames();
        });
}
