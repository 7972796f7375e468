#pragma once

#include "models/ExportFailure.h"
#include "models/ExportGroup.h"
#include "models/ExportProgress.h"
#include "services/BatchExportService.h"

#include <QList>
#include <QObject>
#include <QString>
#include <QUrl>

// One export of a window's captures to PNG and Markdown files, with its progress, its failures and,
// once it has completed, the folder it wrote to. It belongs to the application, not to the window
// that started it: closing the window does not stop it. It can be cancelled; it then stops after
// the frame in progress. Lives on the main thread.
class ExportRun : public QObject
{
    Q_OBJECT

public:
    ExportRun(const BatchExportService::Services &services, const QList<ExportGroup> &groups,
              const BatchExportService::Settings &settings, QObject *parent = nullptr);
    ~ExportRun() override;

    // Starts writing; returns at once.
    void start();
    // Stops after the frame in progress; a run that is not going on is left as it is.
    void cancel();

    // Frames done so far out of all of them, and whether the run is still going.
    const ExportProgress &progress() const { return m_progress; }
    const QList<ExportFailure> &failures() const { return m_failures; }
    bool isRunning() const { return m_progress.isRunning; }
    bool wasCancelled() const { return m_cancelled; }
    // The format of the images the run writes.
    ImageFormat format() const { return m_settings.format; }
    // The folder the run writes to.
    QUrl outputFolder() const { return m_outputFolder; }
    // Set when the run has completed (not when it was cancelled), until the user has seen it.
    QUrl finishedFolder() const { return m_finishedFolder; }
    // The user has seen the end of the run: the finished folder is forgotten.
    void acknowledgeFinish();
    // Opens the finished folder in the file manager, once; then forgets it. Without an application
    // to show folders, `folderNotOpened` says so.
    void openFinishedFolder();

signals:
    void progressChanged();
    void failuresChanged();
    void finishedFolderChanged();
    // The run has ended, completed or cancelled.
    void finished();
    // The finished folder could not be shown; `message` says why, in the user's words.
    void folderNotOpened(const QString &message);
    // The run lifted a frame not lifted before: its still and mask (see BatchExportService).
    void frameLifted(const QUuid &frameId, const QImage &still, const QByteArray &mask);

private:
    BatchExportService *m_service;
    QList<ExportGroup> m_groups;
    BatchExportService::Settings m_settings;
    QUrl m_outputFolder;
    ExportProgress m_progress;
    QList<ExportFailure> m_failures;
    QUrl m_finishedFolder;
    bool m_cancelled = false;
};
