#include "BatchExportService.h"

#include "platform/CheckedFile.h"
#include "services/AnnotationRenderer.h"
#include "services/CutoutCorrector.h"
#include "services/EdgeProcessingService.h"
#include "services/ExportMarkdown.h"
#include "services/ExportNaming.h"
#include "services/ExtractRenderer.h"
#include "services/ImageCrop.h"
#include "services/ImageExportService.h"
#include "services/ImageFilterService.h"
#include "services/SubjectExtractionService.h"
#include "services/VideoFrameExtractorService.h"
#include "support/ContinueOn.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QFuture>
#include <QSet>
#include <QThreadPool>
#include <QtConcurrent>

namespace {

// Margins of nearly transparent pixels (alpha 8 or less) are trimmed from merged images.
constexpr quint8 trimThreshold = 8;

ExportFailure failureFor(const MediaTime &shown, const AppError &error)
{
    ExportFailure failure;
    failure.timestamp = shown.displayString();
    failure.message = error.errorDescription();
    return failure;
}

// Whether a file written at `path` lands inside the output folder, links followed. A path whose
// folder does not exist is let through: writing there fails and says so.
bool landsInside(const QString &path, const QString &canonicalOutput)
{
    if (canonicalOutput.isEmpty())
        return true;
    const QFileInfo file(path);
    QString resolved = file.canonicalFilePath();
    if (resolved.isEmpty()) {
        const QString folder = QFileInfo(file.absolutePath()).canonicalFilePath();
        if (folder.isEmpty())
            return true;
        resolved = folder + QLatin1Char('/') + file.fileName();
    }
    return resolved.startsWith(canonicalOutput + QLatin1Char('/'));
}

QString outsideTheOutput(const QString &path)
{
    return QCoreApplication::translate("BatchExportService", "« %1 » mènerait hors du dossier de sortie")
        .arg(QDir::toNativeSeparators(path));
}

// The images of a frame's subjects cut from `mask`, in the run's style, with the frame's annotations.
Result<QList<QImage>> drawnSubjects(const ExtractRenderer &renderer,
                                    const BatchExportService::Settings &settings, const CapturedFrame &frame,
                                    const SubjectMask &mask)
{
    const bool merged = settings.mode == ExportMode::Merged;
    // Merged images are trimmed after drawing instead, so that outline and annotations survive.
    Result<QList<QImage>> subjects =
        SubjectExtractionService::images(mask, settings.mode, merged ? false : settings.crop);
    if (!subjects)
        return subjects;

    if (merged) {
        QImage image = renderer.render(subjects.value().first(), settings.filter, settings.edge);
        image = AnnotationRenderer::draw(image, frame.annotations);
        if (settings.crop)
            image = ImageCrop::trimmedToContent(image, trimThreshold);
        return QList<QImage>{image};
    }
    // Each subject apart gets no annotations but those that hide what is under them, where they fall
    // on it.
    const QList<Annotation> hiding = AnnotationRenderer::hiding(frame.annotations);
    const QRect wholeFrame(QPoint(0, 0), mask.frameSize());
    QList<QImage> rendered;
    rendered.reserve(subjects.value().size());
    for (qsizetype i = 0; i < subjects.value().size(); ++i) {
        QImage image = renderer.render(subjects.value().at(i), settings.filter, settings.edge);
        if (!hiding.isEmpty()) {
            // An outline grows every picture by the same margin, as it grows the merged one the
            // annotations are placed on.
            const QRect part = settings.crop ? mask.instanceBounds(int(i)) : wholeFrame;
            const QSize grown = image.size() - part.size();
            image = AnnotationRenderer::drawOnPart(image, hiding, QRect(part.topLeft(), image.size()),
                                                   wholeFrame.size() + grown);
        }
        rendered << image;
    }
    return rendered;
}

// The first of `fileName`, "<name> (2).png", … that is not taken yet in the folder.
QString freeName(const QString &fileName, const QSet<QString> &taken)
{
    QString name = fileName;
    for (int number = 2; taken.contains(name.toCaseFolded()); ++number)
        name = ExportNaming::numbered(fileName, number);
    return name;
}

} // namespace

BatchExportService::BatchExportService(Services services, QObject *parent)
    : QObject(parent), m_services(std::move(services))
{}

BatchExportService::~BatchExportService() = default;

void BatchExportService::run(const QList<ExportGroup> &groups, const Settings &settings)
{
    Q_ASSERT(!m_running);
    m_groups = groups;
    m_settings = settings;
    QStringList names;
    for (const ExportGroup &group : groups)
        names << group.name;
    m_folderNames = ExportNaming::distinctFolderNames(names);
    m_takenNames.clear();
    m_groupIndex = 0;
    m_completed = 0;
    m_running = true;
    m_cancelled = false;
    startGroup();
}

void BatchExportService::cancel()
{
    if (m_running)
        m_cancelled = true;
}

void BatchExportService::finish()
{
    m_running = false;
    emit finished();
}

QString BatchExportService::groupFolder(int groupIndex) const
{
    if (!m_groups.at(groupIndex).useSubfolder)
        return m_settings.outputFolder;
    return QDir(m_settings.outputFolder).filePath(m_folderNames.at(groupIndex));
}

void BatchExportService::startGroup()
{
    if (m_groupIndex >= m_groups.size() || m_cancelled) {
        finish();
        return;
    }
    // A folder that cannot be made fails the group's frames at once, with the reason, instead of
    // each write into it failing for a reason the user cannot act on.
    m_folderProblem = CheckedFile::makeFolders(groupFolder(m_groupIndex));
    m_canonicalOutput = QFileInfo(m_settings.outputFolder).canonicalFilePath();
    m_frameIndex = 0;
    m_imageLines.clear();
    startFrame();
}

void BatchExportService::startFrame()
{
    if (m_cancelled) {
        finish();
        return;
    }
    const ExportGroup &group = m_groups.at(m_groupIndex);
    if (m_frameIndex >= group.frames.size()) {
        finishGroup();
        return;
    }
    const CapturedFrame &frame = group.frames.at(m_frameIndex);
    if (m_folderProblem) {
        FrameOutcome outcome;
        outcome.failure = failureFor(frame.time.measuredFrom(m_settings.timeOrigin),
                                     AppError::exportFailed(*m_folderProblem));
        // Queued, so that a long group without a folder does not nest calls.
        QMetaObject::invokeMethod(
            this, [this, outcome] { finishFrame(outcome); }, Qt::QueuedConnection);
        return;
    }
    Target target{groupFolder(m_groupIndex), m_canonicalOutput,
                  m_takenNames.value(groupFolder(m_groupIndex))};
    continueOn(
        this,
        QtConcurrent::run(QThreadPool::globalInstance(),
                          [services = m_services, settings = m_settings, frame, target = std::move(target)] {
                              return processFrame(services, settings, frame, target);
                          }),
        [this](const FrameOutcome &outcome) { finishFrame(outcome); });
}

void BatchExportService::finishFrame(const FrameOutcome &outcome)
{
    if (!outcome.liftedMask.isEmpty())
        emit frameLifted(m_groups.at(m_groupIndex).frames.at(m_frameIndex).id, outcome.liftedStill,
                         outcome.liftedMask);
    m_imageLines += outcome.imageLines;
    for (const QString &name : outcome.fileNames)
        m_takenNames[groupFolder(m_groupIndex)].insert(name.toCaseFolded());
    if (outcome.failure)
        emit failed(*outcome.failure);
    emit progressed(++m_completed);
    ++m_frameIndex;
    // Queued, never nested: a frame whose work had ended before its continuation was attached is
    // finished from inside startFrame, and a long run of such frames would exhaust the stack.
    QMetaObject::invokeMethod(this, &BatchExportService::startFrame, Qt::QueuedConnection);
}

void BatchExportService::finishGroup()
{
    const ExportGroup &group = m_groups.at(m_groupIndex);
    const bool anyFrameNote = std::any_of(group.frames.cbegin(), group.frames.cend(),
                                          [](const CapturedFrame &frame) { return !frame.notes.isEmpty(); });
    if (group.useSubfolder || !group.notes.isEmpty() || anyFrameNote) {
        const QString fileName = ExportNaming::markdownFileName(m_folderNames.at(m_groupIndex));
        if (const std::optional<QString> problem = writeMarkdown(group, fileName)) {
            // Listed by the file's name where a frame's time would stand.
            ExportFailure failure;
            failure.timestamp = fileName;
            failure.message = AppError::exportFailed(*problem).errorDescription();
            failure.isFrame = false;
            emit failed(failure);
        }
    }
    ++m_groupIndex;
    startGroup();
}

std::optional<QString> BatchExportService::writeMarkdown(const ExportGroup &group,
                                                         const QString &fileName) const
{
    if (m_folderProblem)
        return m_folderProblem;
    const QString path = QDir(groupFolder(m_groupIndex)).filePath(fileName);
    if (!landsInside(path, m_canonicalOutput))
        return outsideTheOutput(path);
    try {
        return m_services.imageExporter->writeText(
            ExportMarkdown::markdown(group.name, group.notes, m_imageLines), path);
    } catch (const std::bad_alloc &) {
        return QCoreApplication::translate("BatchExportService", "mémoire insuffisante pour « %1 »")
            .arg(fileName);
    } catch (const std::exception &exception) {
        qWarning("Writing %s failed: %s", qPrintable(path), exception.what());
        return QCoreApplication::translate("BatchExportService", "erreur inattendue en écrivant « %1 »")
            .arg(fileName);
    }
}

BatchExportService::FrameOutcome BatchExportService::processFrame(const Services &services,
                                                                  const Settings &settings,
                                                                  const CapturedFrame &frame,
                                                                  const Target &target)
{
    // Whatever a library throws (an OpenCV error, memory running out) becomes this frame's failure:
    // the run must go on to its end, or the window could never export again.
    FrameOutcome outcome;
    const auto failWith = [&](const QString &reason) {
        outcome.failure =
            failureFor(frame.time.measuredFrom(settings.timeOrigin), AppError::exportFailed(reason));
    };
    try {
        exportFrame(services, settings, frame, target, outcome);
    } catch (const std::bad_alloc &) {
        failWith(QCoreApplication::translate("BatchExportService", "mémoire insuffisante pour cette image"));
    } catch (const std::exception &exception) {
        qWarning("Export of the frame at %s failed: %s", qPrintable(frame.time.displayString()),
                 exception.what());
        failWith(QCoreApplication::translate("BatchExportService",
                                             "erreur inattendue pendant le traitement de l'image"));
    } catch (...) {
        failWith(QCoreApplication::translate("BatchExportService",
                                             "erreur inattendue pendant le traitement de l'image"));
    }
    return outcome;
}

Result<QList<QImage>> BatchExportService::finishedImages(const Services &services, const Settings &settings,
                                                         const CapturedFrame &frame, Lifting *lifting)
{
    const QImage held = settings.stills.value(frame.id);
    Result<QImage> still = held.isNull() ? services.extractor->image(frame.time).result() : held;
    if (!still)
        return still.error();

    // A frame lifted before is cut from its mask; one whose mask does not fit this still (its video
    // changed meanwhile) is lifted again, as is a frame never lifted.
    std::optional<SubjectMask> mask;
    bool corrected = false;
    if (const auto known = settings.correctedMasks.constFind(frame.id);
        known != settings.correctedMasks.cend()) {
        Result<SubjectMask> decoded = SubjectMask::decoded(*known, still.value());
        corrected = bool(decoded);
        if (decoded)
            mask = std::move(decoded).value();
    }
    if (const auto known = settings.masks.constFind(frame.id); !mask && known != settings.masks.cend()) {
        Result<SubjectMask> decoded = SubjectMask::decoded(known->bytes(), still.value());
        if (decoded)
            mask = std::move(decoded).value();
    }
    if (!mask) {
        Result<SubjectMask> lifted = services.subjectExtractor->lift(still.value());
        if (!lifted)
            return lifted.error();
        mask = std::move(lifted).value();
        if (lifting)
            *lifting = Lifting{still.value(), mask->encoded()};
    }
    if (!corrected && !frame.corrections.isEmpty()) {
        const QImage &frameImage = still.value();
        Result<SubjectMask> applied = CutoutCorrector::corrected(
            *mask, frame.corrections, [&services, &frameImage](const QRect &window) {
                return services.subjectExtractor->lift(frameImage.copy(window));
            });
        if (!applied)
            return applied.error();
        mask = std::move(applied).value();
    }

    return drawnSubjects(ExtractRenderer{services.filter.get(), services.edge.get()}, settings, frame, *mask);
}

void BatchExportService::exportFrame(const Services &services, const Settings &settings,
                                     const CapturedFrame &frame, const Target &target, FrameOutcome &outcome)
{
    const MediaTime shown = frame.time.measuredFrom(settings.timeOrigin);
    Lifting lifting;
    const Result<QList<QImage>> images = finishedImages(services, settings, frame, &lifting);
    outcome.liftedStill = lifting.still;
    outcome.liftedMask = lifting.mask;
    if (!images) {
        outcome.failure = failureFor(shown, images.error());
        return;
    }

    if (settings.mode == ExportMode::Merged) {
        writeImage(services, settings, frame, shown, images.value().first(),
                   ExportNaming::mergedFileName(settings.videoName, shown, settings.format), target, outcome);
        return;
    }
    // The subjects already written stay, with their entries; after a failure the later ones are not
    // written.
    for (int k = 0; k < images.value().size() && !outcome.failure; ++k) {
        writeImage(services, settings, frame, shown, images.value().at(k),
                   ExportNaming::subjectFileName(settings.videoName, shown, k + 1, settings.format), target,
                   outcome);
    }
}

void BatchExportService::writeImage(const Services &services, const Settings &settings,
                                    const CapturedFrame &frame, const MediaTime &shown, const QImage &image,
                                    const QString &fileName, const Target &target, FrameOutcome &outcome)
{
    QSet<QString> taken = target.takenNames;
    for (const QString &written : std::as_const(outcome.fileNames))
        taken.insert(written.toCaseFolded());
    const QString name = freeName(fileName, taken);
    const QString path = QDir(target.folder).filePath(name);
    if (!landsInside(path, target.canonicalOutput)) {
        outcome.failure = failureFor(
            shown,
            AppError::exportFailed(
                QCoreApplication::translate("BatchExportService", "« %1 » mènerait hors du dossier de sortie")
                    .arg(QDir::toNativeSeparators(path))));
        return;
    }
    if (const std::optional<AppError> error =
            services.imageExporter->writeImage(image, path, settings.format)) {
        outcome.failure = failureFor(shown, *error);
        return;
    }
    outcome.fileNames << name;
    outcome.imageLines << ExportMarkdown::imageLine(name, shown, frame.notes);
}
