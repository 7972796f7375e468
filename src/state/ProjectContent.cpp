#include "ProjectContent.h"

#include "services/ProjectStore.h"
#include "state/CaptureDocument.h"

#include <QDir>

#include <algorithm>

DocumentContent ProjectContent::fromFile(const ProjectFile &file, const QUrl &url,
                                         const QUrl &currentOutputFolder)
{
    DocumentContent content;
    content.projectURL = url;
    DocumentSettings &settings = content.settings;
    settings.cropToSubject = file.cropToSubject;
    settings.selectedFilter = FilterStyles::fromRawValue(file.filter).value_or(FilterStyle::None);
    // A format this program does not know gives PNG, as a project without one does.
    if (file.imageFormat)
        settings.imageFormat = ImageFormats::fromRawValue(*file.imageFormat).value_or(ImageFormat::Png);
    EdgeOptions &edge = settings.edgeOptions;
    edge.shrink = file.edge.shrink;
    edge.feather = file.edge.feather;
    edge.outline = file.edge.outline;
    edge.outlineWidth = file.edge.outlineWidth;
    // The colour keeps the file's own numbers, so that saving again writes them unchanged.
    edge.outlineColor = RgbaColor(file.edge.r, file.edge.g, file.edge.b, file.edge.a);
    edge = edge.limited();

    // Groups and frames get fresh identifiers; annotations keep those of the file.
    for (const GroupDTO &groupDTO : file.groups) {
        CaptureGroup group(groupDTO.name);
        group.notes = groupDTO.notes;
        for (const FrameDTO &frameDTO : groupDTO.frames) {
            CapturedFrame frame(MediaTime(frameDTO.timeValue, frameDTO.timeScale));
            frame.notes = frameDTO.notes;
            frame.annotations = frameDTO.annotations.value_or(QList<Annotation>());
            frame.corrections = frameDTO.corrections;
            group.frames << frame;
        }
        content.groups << group;
    }
    if (content.groups.isEmpty())
        content.groups << CaptureGroup(CaptureDocument::defaultGroupName());
    const qint64 active = std::clamp<qint64>(file.activeGroupIndex, 0, content.groups.size() - 1);
    content.activeGroupID = content.groups.at(active).id;

    // An output folder that no longer exists leaves the current one in place.
    settings.outputFolder = currentOutputFolder;
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
    return content;
}
