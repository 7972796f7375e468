#include "FrameTakeout.h"

#include "services/BatchExportService.h"
#include "services/ExportNaming.h"
#include "services/ImageExportService.h"
#include "state/AppState.h"
#include "state/CaptureDocument.h"
#include "state/ExportRequest.h"
#include "state/FrameImageStore.h"

#include <QAtomicInteger>
#include <QCoreApplication>
#include <QDir>
#include <QTemporaryDir>
#include <QThreadPool>
#include <QtConcurrent>

namespace {

QString tr(const char *text)
{
    return QCoreApplication::translate("FrameTakeout", text);
}

// The program's temporary folder for pictures handed to other programs; removed at exit.
const QTemporaryDir &takeoutFolder()
{
    static const QTemporaryDir folder(QDir::tempPath() + QStringLiteral("/quintarel-XXXXXX"));
    return folder;
}

} // namespace

std::optional<QString> FrameTakeout::refusal(const QUuid &frameId) const
{
    if (!m_state->document()->frame(frameId))
        return tr("Aucune image sélectionnée.");
    const FrameImages images = m_state->images()->images(frameId);
    switch (images.extraction) {
    case FrameImages::Extraction::Pending:
        return tr("Le détourage de cette image n'est pas encore prêt.");
    case FrameImages::Extraction::NoSubject:
        return AppError::noSubjectFound().errorDescription();
    case FrameImages::Extraction::Failed:
        return images.failure.isEmpty() ? tr("Le détourage de cette image a échoué.") : images.failure;
    case FrameImages::Extraction::Lifted:
        break;
    }
    if (!images.hasMask())
        return tr("Le détourage de cette image n'est pas encore prêt.");
    return std::nullopt;
}

QFuture<Result<QImage>> FrameTakeout::image(const QUuid &frameId) const
{
    return QtConcurrent::run(QThreadPool::globalInstance(), imageMaker(frameId));
}

std::function<Result<QImage>()> FrameTakeout::imageMaker(const QUuid &frameId) const
{
    if (const std::optional<QString> reason = refusal(frameId))
        return [error = AppError::platformFailure(*reason)]() -> Result<QImage> { return error; };

    // The export's own settings, frozen now, with the still and mask the window holds.
    const CaptureDocument &document = *m_state->document();
    BatchExportService::Settings settings =
        ExportRequest::of(document, ExportMode::Merged, m_state->playback()->startTime()).settings;
    const FrameImages images = m_state->images()->images(frameId);
    settings.masks.insert(frameId, m_state->images()->keptMask(frameId));
    // The corrections of the cut-out on screen are not applied again.
    const QList<CutoutCorrection> corrections = document.frame(frameId)->corrections;
    if (!corrections.isEmpty() && images.corrections == corrections)
        settings.correctedMasks.insert(frameId, images.correctedMask);
    if (images.hasStill())
        settings.stills.insert(frameId, images.still);
    return [services = m_state->exportServices(), settings = std::move(settings),
            frame = *document.frame(frameId)]() -> Result<QImage> {
        try {
            Result<QList<QImage>> made = BatchExportService::finishedImages(services, settings, frame);
            if (!made)
                return made.error();
            return made.value().first();
        } catch (const std::exception &exception) {
            qWarning("Making a frame's image failed: %s", exception.what());
            return AppError::platformFailure(tr("erreur inattendue pendant le traitement de l'image"));
        }
    };
}

QString FrameTakeout::fileName(const QUuid &frameId) const
{
    const std::optional<CapturedFrame> frame = m_state->document()->frame(frameId);
    if (!frame)
        return {};
    return ExportNaming::mergedFileName(m_state->document()->videoName(),
                                        frame->time.measuredFrom(m_state->playback()->startTime()));
}

Result<QString> FrameTakeout::writeFile(const QImage &image, const QString &fileName)
{
    const QTemporaryDir &folder = takeoutFolder();
    if (!folder.isValid())
        return AppError::exportFailed(tr("pas de dossier temporaire : %1").arg(folder.errorString()));
    // Each picture in a folder of its own: a later one of the same name never replaces a file that
    // another program may still be reading.
    static QAtomicInteger<quint64> taken = 0;
    const QString own = folder.filePath(QString::number(++taken));
    if (!QDir().mkpath(own))
        return AppError::exportFailed(tr("le dossier « %1 » ne peut pas être créé").arg(own));
    const QString path = QDir(own).filePath(fileName);
    if (const std::optional<AppError> error = ImageExportService().writePNG(image, path))
        return *error;
    return path;
}
