// Saving the window to a project file and opening one.
#include "AppState.h"

#include "persistence/ProjectFile.h"
#include "services/ProjectStore.h"

#include <QCoreApplication>

#include <algorithm>

ProjectFile AppState::makeProjectFile() const
{
    ProjectFile file;
    file.version = 1;
    if (!m_videoURL.isEmpty())
        file.videoBookmark = ProjectStore::makeBookmark(m_videoURL);
    file.videoName = videoName();
    if (!m_outputFolder.isEmpty())
        file.outputFolderBookmark = ProjectStore::makeBookmark(m_outputFolder);
    file.cropToSubject = m_cropToSubject;
    file.filter = FilterStyles::rawValue(m_selectedFilter);

    const RgbaColor &color = m_edgeOptions.outlineColor;
    file.edge = EdgeDTO{m_edgeOptions.shrink,
                        m_edgeOptions.feather,
                        m_edgeOptions.outline,
                        m_edgeOptions.outlineWidth,
                        color.r,
                        color.g,
                        color.b,
                        color.a};
    file.activeGroupIndex = indexOfActiveGroup();

    for (const CaptureGroup &group : m_groups) {
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
    m_savedProject = file;
    setProjectURL(url);
}

bool AppState::hasUnsavedChanges() const
{
    if (!m_savedProject)
        return !allFrames().isEmpty(); // a window without captures holds nothing worth keeping
    return !(makeProjectFile() == *m_savedProject);
}

void AppState::openProject(const QUrl &url)
{
    const Result<ProjectFile> file = ProjectStore::open(url.toLocalFile());
    if (!file) {
        setErrorMessage(QCoreApplication::translate("AppState", "Échec de l'ouverture : %1")
                            .arg(file.error().errorDescription()));
        return;
    }
    apply(file.value());
    // What the file gave the window, as it would be written again.
    m_savedProject = makeProjectFile();
    setProjectURL(url);
}

void AppState::apply(const ProjectFile &file)
{
    setCropToSubject(file.cropToSubject);
    setSelectedFilter(FilterStyles::fromRawValue(file.filter).value_or(FilterStyle::None));

    EdgeOptions options;
    options.shrink = file.edge.shrink;
    options.feather = file.edge.feather;
    options.outline = file.edge.outline;
    options.outlineWidth = file.edge.outlineWidth;
    // The colour keeps the file's own numbers, so that saving again writes them unchanged.
    options.outlineColor = RgbaColor(file.edge.r, file.edge.g, file.edge.b, file.edge.a);
    setEdgeOptions(options.limited());

    // Groups and frames get fresh identifiers; annotations keep those of the file.
    QList<CaptureGroup> groups;
    for (const GroupDTO &groupDTO : file.groups) {
        CaptureGroup group(groupDTO.name);
        group.notes = groupDTO.notes;
        for (const FrameDTO &frameDTO : groupDTO.frames) {
            CapturedFrame frame(MediaTime(frameDTO.timeValue, frameDTO.timeScale));
            frame.notes = frameDTO.notes;
            frame.annotations = frameDTO.annotations.value_or(QList<Annotation>());
            group.frames << frame;
        }
        groups << group;
    }
    if (groups.isEmpty())
        groups << CaptureGroup(defaultGroupName());
    setGroups(groups);
    const qint64 active = std::clamp<qint64>(file.activeGroupIndex, 0, groups.size() - 1);
    setActiveGroupID(groups.at(active).id);
    setSelection({});
    setFailures({});

    if (file.outputFolderBookmark) {
        if (const std::optional<QUrl> folder = ProjectStore::resolveBookmark(*file.outputFolderBookmark))
            setOutputFolder(*folder);
    }

    // The project's captures belong to its own video: the one shown before goes in any case.
    unloadVideo();
    const std::optional<QUrl> video =
        file.videoBookmark ? ProjectStore::resolveBookmark(*file.videoBookmark) : std::nullopt;
    if (!video) {
        setErrorMessage(QCoreApplication::translate(
            "AppState", "Vidéo introuvable. Rouvrez-la via « Ouvrir une vidéo »."));
        return;
    }
    prepareVideo(*video, [this] {
        for (const CapturedFrame &frame : allFrames())
            regenerateFrame(frame.id, frame.time);
    });
}
