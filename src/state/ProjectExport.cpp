#include "ProjectExport.h"

#include "persistence/ProjectContent.h"
#include "platform/FrameIndex.h"
#include "platform/SubjectSegmenter.h"
#include "platform/VideoSource.h"
#include "services/EdgeProcessingService.h"
#include "services/ImageExportService.h"
#include "services/ImageFilterService.h"
#include "services/LiftedFrame.h"
#include "services/LiftedFrameCache.h"
#include "services/ProjectStore.h"
#include "services/SubjectExtractionService.h"
#include "services/VideoFrameExtractorService.h"
#include "state/CaptureDocument.h"
#include "state/ExportRequest.h"
#include "state/ExportRun.h"
#include "support/AppError.h"

#include <QDir>
#include <QFileInfo>

ProjectExport::ProjectExport(std::shared_ptr<LiftedFrameCache> cache, QObject *parent)
    : QObject(parent)
    , m_cache(std::move(cache))
    , m_subjectExtractor(std::make_shared<SubjectExtractionService>())
{
    m_diskPool.setMaxThreadCount(1);
}

ProjectExport::~ProjectExport()
{
    m_diskPool.waitForDone();
}

std::optional<QString> ProjectExport::start(const QString &projectPath, const Options &options)
{
    if (options.format && !ImageExportService::canWrite(*options.format))
        return tr("Le format %1 ne peut pas être écrit ici.").arg(ImageFormats::displayName(*options.format));
    const QString absolutePath = QFileInfo(projectPath).absoluteFilePath();
    const Result<ProjectFile> file = ProjectStore::open(absolutePath);
    if (!file)
        return tr("Échec de l'ouverture : %1").arg(file.error().errorDescription());

    CaptureDocument document;
    document.reset(ProjectContent::fromFile(file.value(), QUrl::fromLocalFile(absolutePath), QUrl()));
    if (document.videoURL().isEmpty()) {
        const QUrl missing = document.missingVideoURL();
        return missing.isEmpty()
                   ? AppError::noVideoLoaded().errorDescription()
                   : tr("Vidéo introuvable : « %1 ».").arg(QDir::toNativeSeparators(missing.toLocalFile()));
    }
    m_videoPath = document.videoURL().toLocalFile();
    const Result<VideoSource> source = VideoSource::open(m_videoPath);
    if (!source)
        return tr("Impossible d'utiliser cette vidéo : %1").arg(source.error().errorDescription());

    ExportRequest request = ExportRequest::of(document, options.mode, source.value().index->startTime());
    BatchExportService::Settings &settings = request.settings;
    if (!options.outputFolder.isEmpty())
        settings.outputFolder = QFileInfo(options.outputFolder).absoluteFilePath();
    if (options.format)
        settings.format = *options.format;
    const std::optional<QByteArray> &folderBookmark = file.value().settings.get<OutputFolderSetting>();
    if (settings.outputFolder.isEmpty() && folderBookmark) {
        return tr("Le dossier de sortie du projet n'existe plus : « %1 ».")
            .arg(QDir::toNativeSeparators(QString::fromUtf8(*folderBookmark)));
    }
    if (settings.outputFolder.isEmpty())
        return AppError::noOutputFolder().errorDescription();

    // Frames lifted before are cut from their kept masks, as a window that has opened the project
    // cuts them.
    for (const CapturedFrame &frame : document.allFrames()) {
        ++m_frameCount;
        m_frameTimes.insert(frame.id, frame.time);
        if (!m_cache)
            continue;
        const QByteArray key = m_cache->key(m_videoPath, frame.time, m_subjectExtractor->modelPath());
        if (key.isEmpty())
            continue;
        // Read back when the run reaches the frame: the masks of a large project are not all held.
        if (m_cache->load(key, LiftedFrameCache::Contents::Mask)) {
            settings.masks.insert(frame.id, KeptMask(m_cache, key));
            ++m_framesFromCache;
        }
    }

    auto extractor = std::make_shared<VideoFrameExtractorService>();
    extractor->setGenerator(source.value().grabber);
    const BatchExportService::Services services{
        extractor, m_subjectExtractor, std::make_shared<ImageExportService>(),
        std::make_shared<ImageFilterService>(), std::make_shared<EdgeProcessingService>()};
    m_run = new ExportRun(services, request.groups, settings, this);
    connect(m_run, &ExportRun::frameLifted, this, &ProjectExport::keep);
    connect(m_run, &ExportRun::finished, this, &ProjectExport::finished);
    m_run->start();
    return std::nullopt;
}

void ProjectExport::keep(const QUuid &frameId, const QImage &still, const QByteArray &mask)
{
    if (!m_cache || !m_frameTimes.contains(frameId))
        return;
    m_diskPool.start([cache = m_cache, path = m_videoPath, time = m_frameTimes.value(frameId),
                      model = m_subjectExtractor->modelPath(), still, mask] {
        // A lifting not kept costs only the time to make it again next time.
        try {
            const Result<SubjectMask> decoded = SubjectMask::decoded(mask, still);
            if (!decoded)
                return;
            QImage cutOut;
            if (decoded.value().instanceCount() > 0) {
                const Result<QList<QImage>> images =
                    SubjectExtractionService::images(decoded.value(), ExportMode::Merged, false);
                if (!images)
                    return;
                cutOut = images.value().first();
            }
            const QByteArray key = cache->key(path, time, model);
            if (key.isEmpty())
                return;
            if (const std::optional<QString> problem =
                    cache->store(key, LiftedFrame::of(still, decoded.value(), cutOut)))
                qWarning("A lifted frame was not kept in the cache: %s", qPrintable(*problem));
        } catch (const std::exception &exception) {
            qWarning("A lifted frame was not kept in the cache: %s", exception.what());
        }
    });
}
