#include "ProjectContent.h"

#include "persistence/FileBookmark.h"

#include <QDir>

#include <algorithm>

DocumentContent ProjectContent::fromFile(const ProjectFile &file, const QUrl &url,
                                         const QUrl &currentOutputFolder)
{
    DocumentContent content;
    content.projectURL = url;
    // An output folder that no longer exists leaves the current one in place; the edge colour keeps
    // the file's own numbers, so that saving again writes them unchanged.
    DocumentSettings current;
    current.set<OutputFolderSetting>(currentOutputFolder);
    content.settings = ProjectSettings::fromStored(file.settings, current);

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
        content.groups << CaptureGroup(DocumentContent::defaultGroupName());
    const qint64 active = std::clamp<qint64>(file.activeGroupIndex, 0, content.groups.size() - 1);
    content.activeGroupID = content.groups.at(active).id;

    const std::optional<QUrl> video =
        file.videoBookmark ? FileBookmark::resolve(*file.videoBookmark) : std::nullopt;
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
    ProjectFile file;
    file.version = 1;
    // Captures whose video could not be found keep naming it: saving them loses no reference.
    const QUrl video = content.videoURL.isEmpty() ? content.missingVideoURL : content.videoURL;
    if (!video.isEmpty())
        file.videoBookmark = FileBookmark::make(video);
    file.videoName = videoName;
    file.settings = ProjectSettings::stored(content.settings);
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
