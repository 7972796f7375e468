#include "BenchRegistry.h"

#include "models/CaptureGroup.h"
#include "persistence/ProjectFile.h"
#include "services/ProjectStore.h"

#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <cstdio>

namespace {

constexpr int groupCount = 10;
constexpr int framesPerGroup = 1000;
constexpr int annotationsPerFrame = 5;
constexpr int runs = 7;

// A window's captures: 10,000 frames with 50,000 annotations and a note each.
QList<CaptureGroup> windowGroups()
{
    QList<CaptureGroup> groups;
    for (int g = 0; g < groupCount; ++g) {
        CaptureGroup group(QStringLiteral("Plan %1").arg(g + 1));
        group.notes = QStringLiteral("Notes du plan %1\nsur deux lignes").arg(g + 1);
        for (int f = 0; f < framesPerGroup; ++f) {
            CapturedFrame frame(MediaTime(std::int64_t(g * framesPerGroup + f) * 1001, 30000));
            frame.notes = QStringLiteral("Image %1 : regard caméra").arg(f);
            for (int a = 0; a < annotationsPerFrame; ++a) {
                Annotation annotation;
                annotation.kind = AnnotationKind(a % 3);
                annotation.start = {0.1 + 0.01 * a, 0.2 + 0.001 * f};
                annotation.end = {0.7 - 0.01 * a, 0.9 - 0.0007 * f};
                annotation.r = 0.9;
                annotation.g = 0.1 * a;
                annotation.b = 1.0 / 3.0;
                frame.annotations.append(annotation);
            }
            group.frames.append(frame);
        }
        groups.append(group);
    }
    return groups;
}

// What the window state hands to the store.
ProjectFile projectOf(const QList<CaptureGroup> &groups, const QString &videoPath, const QString &folder)
{
    ProjectFile file;
    file.videoBookmark = ProjectStore::makeBookmark(QUrl::fromLocalFile(videoPath));
    file.videoName = QStringLiteral("clip");
    file.outputFolderBookmark = ProjectStore::makeBookmark(QUrl::fromLocalFile(folder));
    file.filter = QStringLiteral("comic");
    file.edge = {2.0, 2.0, true, 6.0, 1.0, 1.0, 1.0, 1.0};
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
    const QList<CaptureGroup> groups = windowGroups();

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
                               .arg(groupCount * framesPerGroup)
                               .arg(groupCount * framesPerGroup * annotationsPerFrame);
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
        if (!read || read->groups.size() != groupCount) {
            std::fprintf(stderr, "project.open.10k: %s\n", qPrintable(error));
            return;
        }
    }
    BenchRegistry::print(QStringLiteral("project.open.10k"), BenchRegistry::median(openTimes), "ms", detail);
}

} // namespace

QUINTAREL_BENCH(Project, (QStringList{"project.save.10k", "project.open.10k"}), runProjectBench)
