#include "ExportRuns.h"

#include "state/ExportRun.h"

ExportRuns::ExportRuns(QObject *parent) : QObject(parent) {}

ExportRuns::~ExportRuns() = default;

ExportRun *ExportRuns::start(const BatchExportService::Services &services, const QList<ExportGroup> &groups,
                             const BatchExportService::Settings &settings)
{
    auto *run = new ExportRun(services, groups, settings, this);
    m_runs << run;
    connect(run, &ExportRun::finished, this, [this, run] { runFinished(run); });
    run->start();
    emit runStarted(run);
    return run;
}

void ExportRuns::release(ExportRun *run)
{
    if (!run || !m_runs.contains(run))
        return;
    if (run->isRunning()) {
        m_released.insert(run);
        return;
    }
    m_runs.removeOne(run);
    run->deleteLater();
}

QList<ExportRun *> ExportRuns::runningRuns() const
{
    QList<ExportRun *> running;
    for (ExportRun *run : m_runs) {
        if (run->isRunning())
            running << run;
    }
    return running;
}

void ExportRuns::runFinished(ExportRun *run)
{
    if (m_released.remove(run)) {
        m_runs.removeOne(run);
        run->deleteLater();
    }
    if (!isRunning())
        emit allFinished();
}
