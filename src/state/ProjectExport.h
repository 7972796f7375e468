#pragma once

#include "models/ExportMode.h"
#include "models/ImageFormat.h"
#include "support/MediaTime.h"

#include <QByteArray>
#include <QHash>
#include <QImage>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QThreadPool>
#include <QUuid>

#include <memory>
#include <optional>

class ExportRun;
class LiftedFrameCache;
class SubjectExtractionService;

// An export of a project file's captures without a window, as the command line runs it. The
// project and its video are opened, the frames lifted before come from the disk cache of liftings,
// and the run is the one a window would start on that project: the same files are written. What
// the run lifts itself goes to the cache for the next time. Lives on the main thread.
class ProjectExport : public QObject
{
    Q_OBJECT

public:
    struct Options
    {
        ExportMode mode = ExportMode::Merged;
        // Where the images go; the project's output folder when empty.
        QString outputFolder;
        // The images' file format; the project's own when absent.
        std::optional<ImageFormat> format;
    };

    // `cache` holds the liftings of earlier sessions; null uses none and keeps none.
    explicit ProjectExport(std::shared_ptr<LiftedFrameCache> cache, QObject *parent = nullptr);
    // Waits until the liftings of the run are kept.
    ~ProjectExport() override;

    // Opens the project at `projectPath` and its video, and starts the run; returns at once.
    // When the project, its video or the output folder cannot be used, nothing is started and the
    // French reason is returned.
    std::optional<QString> start(const QString &projectPath, const Options &options);

    // The run once started; it reports progress and failures as a window's run does.
    ExportRun *run() const { return m_run; }
    // Frames of the project, and how many of them were found lifted in the cache.
    int frameCount() const { return m_frameCount; }
    int framesFromCache() const { return m_framesFromCache; }

signals:
    // The run has ended.
    void finished();

private:
    // Keeps a lifting the run made in the cache.
    void keep(const QUuid &frameId, const QImage &still, const QByteArray &mask);

    std::shared_ptr<LiftedFrameCache> m_cache;
    std::shared_ptr<SubjectExtractionService> m_subjectExtractor;
    QString m_videoPath;
    QHash<QUuid, MediaTime> m_frameTimes;
    QPointer<ExportRun> m_run;
    int m_frameCount = 0;
    int m_framesFromCache = 0;
    QThreadPool m_diskPool; // writes the cache entries, one after another
};
