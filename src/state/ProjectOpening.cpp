#include "ProjectOpening.h"

#include "persistence/ProjectContent.h"
#include "services/ProjectStore.h"

#include <QCoreApplication>
#include <QPromise>
#include <QStringList>
#include <QtConcurrent/QtConcurrentRun>

#include <algorithm>
#include <new>

namespace {

// What the user is told of the annotations of kinds this version does not know, or nothing when
// there are none.
QString unreadNote(const DocumentContent &content)
{
    qsizetype count = 0;
    QStringList kinds;
    for (const CaptureGroup &group : content.groups) {
        for (const CapturedFrame &frame : group.frames) {
            for (const Annotation &annotation : frame.annotations) {
                if (!annotation.isUnread())
                    continue;
                ++count;
                const QString quoted = QStringLiteral("« %1 »").arg(annotation.kind.left(40));
                if (kinds.size() < 5 && !kinds.contains(quoted))
                    kinds << quoted;
            }
        }
    }
    if (count == 0)
        return {};
    const QString names = kinds.join(QStringLiteral(", "));
    if (count == 1)
        return QCoreApplication::translate("AppState",
                                           "Ce projet contient une annotation d'un type que cette version ne "
                                           "connaît pas (%1) : elle n'est pas affichée, mais elle est "
                                           "conservée telle quelle à l'enregistrement.")
            .arg(names);
    return QCoreApplication::translate("AppState",
                                       "Ce projet contient %1 annotations de types que cette version ne "
                                       "connaît pas (%2) : elles ne sont pas affichées, mais elles sont "
                                       "conservées telles quelles à l'enregistrement.")
        .arg(count)
        .arg(names);
}

MediaTime latestCapture(const DocumentContent &content)
{
    MediaTime latest = MediaTime::zero();
    for (const CaptureGroup &group : content.groups) {
        for (const CapturedFrame &frame : group.frames)
            latest = std::max(latest, frame.time);
    }
    return latest;
}

} // namespace

namespace ProjectOpening {

Prepared fromFile(const ProjectFile &file, const QUrl &url, const QUrl &currentOutputFolder)
{
    Prepared prepared;
    prepared.content = ProjectContent::fromFile(file, url, currentOutputFolder);
    prepared.namesVideo = file.videoBookmark.has_value();
    prepared.latestCapture = latestCapture(prepared.content);
    prepared.unreadNote = unreadNote(prepared.content);
    return prepared;
}

QFuture<Result<Prepared>> start(const QUrl &url, const QUrl &currentOutputFolder)
{
    return QtConcurrent::run([url, currentOutputFolder](QPromise<Result<Prepared>> &promise) {
        try {
            const Result<ProjectFile> file = ProjectStore::open(url.toLocalFile());
            if (promise.isCanceled())
                return;
            if (!file) {
                promise.addResult(Result<Prepared>(file.error()));
                return;
            }
            Prepared prepared = fromFile(file.value(), url, currentOutputFolder);
            if (!promise.isCanceled())
                promise.addResult(Result<Prepared>(std::move(prepared)));
        } catch (const std::bad_alloc &) {
            // A file far larger than the memory left: the window keeps what it shows.
            promise.addResult(Result<Prepared>(AppError::platformFailure(
                QCoreApplication::translate("ProjectOpening", "mémoire insuffisante pour ce projet"))));
        }
    });
}

} // namespace ProjectOpening
