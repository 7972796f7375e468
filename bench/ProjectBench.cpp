#include "BenchRegistry.h"
#include "LargeDocument.h"

#include "models/CaptureGroup.h"
#include "persistence/FileBookmark.h"
#include "persistence/ProjectFile.h"
#include "services/ProjectStore.h"

#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <cstdio>

namespace {

constexpr int runs = 7;

// What the window state hands to the store.
ProjectFile projectOf(const QList<CaptureGroup> &groups, const QString &videoPath, const QString &folder)
{
    ProjectFile file;
    file.videoBookmark = FileBookmark::make(QUrl::fromLocalFile(videoPath));
    file.videoName = QStringLiteral("clip");
    file.settings.get<OutputFolderSetting>() = FileBookmark::make(QUrl::fromLocalFile(folder));
    file.settings.get<SelectedFilterSetting>() = QStringLiteral("comic");
    file.settings.get<EdgeOptionsSetting>() = {2.0, 2.0, true, 6.0, {1.0, 1.0, 1.0, 1.0}};
    file.activeGroupIndex = 3;
    for (const CaptureGroup &group : groups) {
        GroupDTO dto{group.name, group.notes, {}};
        dto.frames.reserve(group.frames.size());
        for (const CapturedFrame &frame : group.frames)
            dto.frames.append(FrameDTO{frame.time.value(), frame.time.timescale(), frame.notes,
                                       frame.annotations, frame.corrections});
        file.groups.append(std::move(dto));
    }
    return file;
}

void runProjectBench(const QStringList &prefixes)
{
    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("bench.quintarel"));
    const QString videoPath = folder.filePath(QStringLiteral("clip.mov"));
    const QList<CaptureGroup> groups = LargeDocument::groups();

    std::vector<double> saveTimes;
    for (int run = 0; run < runs; ++run) {
        QElapsedTimer timer;
        timer.start();
        const std::optional<QString> error =
            ProjectStore::save(projectOf(groups, videoPath, folder.path()), path);
        saveTimes.push_back(timer.nsecsElapsed() / 1e6);
        if (error) {
            std::fprintf(stderr, "project.save.10k: %s\n", qPrintable(*error));
            return;
        }
    }
    const QString detail = QStringLiteral("file %1 MiB, %2 frames, %3 annotations")
                               .arg(QFileInfo(path).size() / 1048576.0, 0, 'f', 1)
                               .arg(LargeDocument::groupCount * LargeDocument::framesPerGroup)
                               .arg(LargeDocument::groupCount * LargeDocument::framesPerGroup *
                                    LargeDocument::annotationsPerFrame);
    if (BenchRegistry::wanted(prefixes, QStringLiteral("project.save.10k")))
        BenchRegistry::print(QStringLiteral("project.save.10k"), BenchRegistry::median(saveTimes), "ms",
                             detail);

    if (!BenchRegistry::wanted(prefixes, QStringLiteral("project.open.10k")))
        return;
    std::vector<double> openTimes;
    for (int run = 0; run < runs; ++run) {
        QElapsedTimer timer;
        timer.start();
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly))
            return;
        QString error;
        const std::optional<ProjectFile> read = ProjectFile::fromJson(file.readAll(), &error);
        openTimes.push_back(timer.nsecsElapsed() / 1e6);
        if (!read || read->groups.size() != LargeDocument::groupCount) {
            std::fprintf(stderr, "project.open.10k: %s\n", qPrintable(error));
            return;
        }
    }
    BenchRegistry::print(QStringLiteral("project.open.10k"), BenchRegistry::median(openTimes), "ms", detail);
}

} // namespace

QUINTAREL_BENCH(Project, (QStringList{"project.save.10k", "project.open.10k"}), runProjectBench)
