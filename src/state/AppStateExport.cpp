// Choosing the output folder, running an export and opening its folder.
#include "AppState.h"

#include "models/AppError.h"
#include "models/ExportGroup.h"
#include "services/BatchExportService.h"
#include "services/VideoFrameExtractorService.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>

void AppState::runExport(ExportMode mode)
{
    if (m_videoURL.isEmpty()) {
        setErrorMessage(AppError::noVideoLoaded().errorDescription());
        return;
    }
    if (m_outputFolder.isEmpty()) {
        setErrorMessage(AppError::noOutputFolder().errorDescription());
        return;
    }
    const int total = int(allFrames().size());
    if (total == 0 || m_progress.isRunning)
        return;

    QList<ExportGroup> exportGroups;
    for (const CaptureGroup &group : m_groups)
        exportGroups << ExportGroup{group.name, group.notes, group.frames, m_groups.size() > 1};

    // The run works on frozen settings, and on the video open now even if another one is opened.
    BatchExportService::Settings settings;
    settings.videoName = videoName();
    settings.outputFolder = m_outputFolder.toLocalFile();
    settings.mode = mode;
    settings.crop = m_cropToSubject;
    settings.filter = m_selectedFilter;
    settings.edge = m_edgeOptions.params();
    settings.timeOrigin = m_startTime;

    auto extractor = std::make_shared<VideoFrameExtractorService>();
    extractor->setGenerator(m_extractor->generator());
    BatchExportService::Services services{extractor, m_subjectExtractor, m_imageExporter, m_imageFilter,
                                          m_edgeProcessor};

    setFailures({});
    setProgress(ExportProgress{0, total, true});

    auto *run = new BatchExportService(std::move(services), this);
    connect(run, &BatchExportService::progressed, this, [this](int completed) {
        ExportProgress progress = m_progress;
        progress.completed = completed;
        setProgress(progress);
    });
    connect(run, &BatchExportService::failed, this, [this](const ExportFailure &failure) {
        setFailures(m_failures + QList<ExportFailure>{failure});
    });
    const QUrl folder = m_outputFolder;
    connect(run, &BatchExportService::finished, this, [this, run, folder] {
        ExportProgress progress = m_progress;
        progress.isRunning = false;
        setProgress(progress);
        setExportFinishedFolder(folder);
        run->deleteLater();
    });
    run->run(exportGroups, settings);
}

void AppState::openExportFolder()
{
    const QUrl folder = m_exportFinishedFolder;
    setExportFinishedFolder(QUrl());
    // Without a file manager set up for folders, nothing would happen at all.
    if (!folder.isEmpty() && !QDesktopServices::openUrl(folder))
        setErrorMessage(QCoreApplication::translate("AppState",
                                                    "Impossible d'ouvrir le dossier « %1 » : aucune "
                                                    "application n'est disponible pour l'afficher.")
                            .arg(QDir::toNativeSeparators(folder.toLocalFile())));
}
