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
    edge.cleanColors = file.edge.cleanColors;
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

ProjectFile ProjectContent::toFile(const DocumentContent &content, const QString &videoName,
                                   int activeGroupIndex)
{
    const DocumentSettings &settings = content.settings;
    ProjectFile file;
    file.version = 1;
    // Captures whose video could not be found keep naming it: saving them loses no reference.
    const QUrl video = content.videoURL.isEmpty() ? content.missingVideoURL : content.videoURL;
    if (!video.isEmpty())
        file.videoBookmark = ProjectStore::makeBookmark(video);
    file.videoName = videoName;
    if (!settings.outputFolder.isEmpty())
        file.outputFolderBookmark = ProjectStore::makeBookmark(settings.outputFolder);
    file.cropToSubject = settings.cropToSubject;
    file.filter = FilterStyles::rawValue(settings.selectedFilter);
    if (settings.imageFormat != ImageFormat::Png)
        file.imageFormat = ImageFormats::rawValue(settings.imageFormat);

    const EdgeOptions &edge = settings.edgeOptions;
    const RgbaColor &color = edge.outlineColor;
    file.edge = EdgeDTO{edge.shrink, edge.feather, edge.outline, edge.outlineWidth, color.r,
                        color.g,     color.b,      color.a,      edge.cleanColors};
    file.activeGroupIndex = activeGroupIndex;

    file.groups.reserve(content.groups.size());
    for (const CaptureGroup &group : content.groups) {
        GroupDTO groupDTO{group.name, group.notes, {}};
        groupDTO.frames.reserve(group.frames.size());
        for (const CapturedFrame &frame : group.frames)
            groupDTO.frames << FrameDTO{frame.time.value(), frame.time.timescale(), frame.notes,
                                        frame.annotations, frame.corrections};
        file.groups << groupDTO;
    }
    return file;
}
