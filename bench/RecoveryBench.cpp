// Writing the recovery file of a large document, and how long autosave holds the main thread.
#include "BenchRegistry.h"
#include "LargeDocument.h"
#include "MainThreadStallProbe.h"

#include "services/RecoveryStore.h"
#include "state/CaptureDocument.h"
#include "state/RecoveryAutosave.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <optional>

namespace {

// 10,000 frames with a note and 5 drawings each, as unsaved work.
void fillDocument(CaptureDocument &document, const QString &folder)
{
    DocumentContent content = DocumentContent::fresh();
    content.groups = LargeDocument::groups();
    content.activeGroupID = content.groups.at(3).id;
    content.videoURL = QUrl::fromLocalFile(folder + QStringLiteral("/clip.mov"));
    content.settings.set<OutputFolderSetting>(QUrl::fromLocalFile(folder));
    document.reset(content);
    document.setSelection({content.groups.at(2).frames.at(7).id});
    document.markModified();
}

void recoveryBench(const QStringList &prefixes)
{
    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("recovery/window.quintarel"));
    CaptureDocument document;
    fillDocument(document, folder.path());

    if (BenchRegistry::wanted(prefixes, QStringLiteral("recovery.write.10k"))) {
        std::vector<double> times;
        for (int run = 0; run < 7; ++run) {
            const RecoveryAutosave::Snapshot snapshot =
                RecoveryAutosave::snapshot(document, QDateTime::currentDateTimeUtc());
            QElapsedTimer timer;
            timer.start();
            const std::optional<QString> error =
                RecoveryStore::write(RecoveryAutosave::recoveryFileOf(snapshot), path);
            times.push_back(timer.nsecsElapsed() / 1e6);
            if (error) {
                std::fprintf(stderr, "recovery.write.10k: %s\n", qPrintable(*error));
                return;
            }
        }
        BenchRegistry::print(QStringLiteral("recovery.write.10k"), BenchRegistry::median(times), "ms",
                             QStringLiteral("file %1 MiB, %2 frames, %3 annotations, off the main thread")
                                 .arg(QFileInfo(path).size() / 1048576.0, 0, 'f', 1)
                                 .arg(LargeDocument::groupCount * LargeDocument::framesPerGroup)
                                 .arg(LargeDocument::groupCount * LargeDocument::framesPerGroup *
                                      LargeDocument::annotationsPerFrame));
    }

    if (!BenchRegistry::wanted(prefixes, QStringLiteral("recovery.mainstall")))
        return;
    // Editing without a pause for 15 s, a note every 100 ms: the autosave writes at its ceiling. Each
    // run with the autosave is followed by one without, under the same load of the machine: what the
    // edits and the machine themselves hold the main thread.
    int writes = 0;
    const auto longestStall = [&](bool autosaving) {
        std::optional<RecoveryAutosave> autosave;
        if (autosaving) {
            autosave.emplace(&document, path);
            QObject::connect(&*autosave, &RecoveryAutosave::written, [&writes] { ++writes; });
        }
        MainThreadStallProbe probe;
        QEventLoop loop;
        QTimer edits;
        edits.setInterval(100);
        int count = 0;
        QObject::connect(&edits, &QTimer::timeout, [&] {
            const CaptureGroup &group = document.groups().at(count % LargeDocument::groupCount);
            document.setNote(QStringLiteral("note %1").arg(count),
                             group.frames.at(count % LargeDocument::framesPerGroup).id);
            if (++count == 150)
                loop.quit();
        });
        probe.start();
        edits.start();
        loop.exec();
        probe.stop();
        if (autosave)
            autosave->waitForWrites();
        return double(probe.longestStall());
    };
    std::vector<double> stalls;
    std::vector<double> baseline;
    for (int run = 0; run < 3; ++run) {
        stalls.push_back(longestStall(true));
        baseline.push_back(longestStall(false));
    }

    // The autosave's own work on the main thread: copying the document for a write, and the first
    // edit after a copy, which un-shares the part of the document it changes.
    std::vector<double> copies;
    std::vector<double> editsAfterCopy;
    for (int run = 0; run < 21; ++run) {
        QElapsedTimer timer;
        timer.start();
        const RecoveryAutosave::Snapshot copy =
            RecoveryAutosave::snapshot(document, QDateTime::currentDateTimeUtc());
        copies.push_back(timer.nsecsElapsed() / 1e6);
        timer.start();
        document.setNote(QStringLiteral("after copy %1").arg(run),
                         copy.content.groups.at(run % LargeDocument::groupCount).frames.at(run).id);
        editsAfterCopy.push_back(timer.nsecsElapsed() / 1e6);
    }
    BenchRegistry::print(
        QStringLiteral("recovery.mainstall"), BenchRegistry::median(stalls), "ms",
        QStringLiteral("longest main-thread block over 15 s of notes every 100 ms on "
                       "10,000 frames, %1 recovery writes in 3 runs; %2 ms in the same runs "
                       "without autosave; its own work at most: copy %3 ms, first edit "
                       "after a copy %4 ms")
            .arg(writes)
            .arg(BenchRegistry::median(baseline), 0, 'f', 1)
            .arg(*std::max_element(copies.begin(), copies.end()), 0, 'f', 3)
            .arg(*std::max_element(editsAfterCopy.begin(), editsAfterCopy.end()), 0, 'f', 3));
}

} // namespace

QUINTAREL_BENCH(Recovery, (QStringList{"recovery.write.10k", "recovery.mainstall"}), recoveryBench)
