#pragma once

#include "services/BatchExportService.h"

#include <QList>
#include <QObject>
#include <QSet>

class ExportRun;

// The application's export runs. A window starts its runs here and holds the one it shows; a run
// lives until it has ended and no window holds it any more, so it finishes (or is cancelled)
// whatever happens to the window that started it. One per application; tests make their own.
// Lives on the main thread.
class ExportRuns : public QObject
{
    Q_OBJECT

public:
    explicit ExportRuns(QObject *parent = nullptr);
    ~ExportRuns() override;

    // Makes a run, starts it and hands it to the caller, who holds it until `release`.
    ExportRun *start(const BatchExportService::Services &services, const QList<ExportGroup> &groups,
                     const BatchExportService::Settings &settings);
    // The caller no longer shows the run; it goes once it has ended.
    void release(ExportRun *run);

    // Runs that have not ended yet.
    QList<ExportRun *> runningRuns() const;
    bool isRunning() const { return !runningRuns().isEmpty(); }

signals:
    void runStarted(ExportRun *run);
    // The last run going on has ended.
    void allFinished();

private:
    void runFinished(ExportRun *run);

    QList<ExportRun *> m_runs;
    QSet<ExportRun *> m_released;
};
