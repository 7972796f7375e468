#include "ExportRun.h"

#include <QDesktopServices>
#include <QDir>

ExportRun::ExportRun(const BatchExportService::Services &services, const QList<ExportGroup> &groups,
                     const BatchExportService::Settings &settings, QObject *parent)
    : QObject(parent)
    , m_service(new BatchExportService(services, this))
    , m_groups(groups)
    , m_settings(settings)
    , m_outputFolder(QUrl::fromLocalFile(settings.outputFolder))
{
    int total = 0;
    for (const ExportGroup &group : groups)
        total += int(group.frames.size());
    m_progress.total = total;

    connect(m_service, &BatchExportService::progressed, this, [this](int completed) {
        m_progress.completed = completed;
        emit progressChanged();
    });
    connect(m_service, &BatchExportService::failed, this, [this](const ExportFailure &failure) {
        m_failures << failure;
        emit failuresChanged();
    });
    connect(m_service, &BatchExportService::frameLifted, this, &ExportRun::frameLifted);
    connect(m_service, &BatchExportService::finished, this, [this] {
        m_cancelled = m_service->wasCancelled();
        m_progress.isRunning = false;
        emit progressChanged();
        if (!m_cancelled) {
            m_finishedFolder = m_outputFolder;
            emit finishedFolderChanged();
        }
        emit finished();
    });
}

ExportRun::~ExportRun() = default;

void ExportRun::start()
{
    if (m_progress.isRunning)
        return;
    m_progress.isRunning = true;
    emit progressChanged();
    m_service->run(m_groups, m_settings);
}

void ExportRun::cancel()
{
    m_service->cancel();
}

void ExportRun::acknowledgeFinish()
{
    if (m_finishedFolder.isEmpty())
        return;
    m_finishedFolder = QUrl();
    emit finishedFolderChanged();
}

void ExportRun::openFinishedFolder()
{
    const QUrl folder = m_finishedFolder;
    acknowledgeFinish();
    // Without a file manager set up for folders, nothing would happen at all.
    if (!folder.isEmpty() && !QDesktopServices::openUrl(folder))
        emit folderNotOpened(tr("Impossible d'ouvrir le dossier « %1 » : aucune application n'est "
                                "disponible pour l'afficher.")
                                 .arg(QDir::toNativeSeparators(folder.toLocalFile())));
}
