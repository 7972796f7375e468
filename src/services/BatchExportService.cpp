#include "BatchExportService.h"

#include "services/AnnotationRenderer.h"
#include "services/EdgeProcessingService.h"
#include "services/ExportMarkdown.h"
#include "services/ExportNaming.h"
#include "services/ExtractRenderer.h"
#include "services/ImageCrop.h"
#include "services/ImageExportService.h"
#include "services/ImageFilterService.h"
#include "services/SubjectExtractionService.h"
#include "services/VideoFrameExtractorService.h"

#include <QDir>
#include <QFuture>
#include <QThreadPool>
#include <QtConcurrent>

namespace {

// Margins of nearly transparent pixels (alpha 8 or less) are trimmed from merged images.
constexpr quint8 trimThreshold = 8;

ExportFailure failureFor(const CapturedFrame &frame, const MediaTime &origin, const AppError &error)
{
    ExportFailure failure;
    failure.timestamp = frame.time.measuredFrom(origin).displayString();
    failure.message = error.errorDescription();
    return failure;
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
    m_groupIndex = 0;
    m_completed = 0;
    m_running = true;
    startGroup();
}

QString BatchExportService::groupFolder(const ExportGroup &group) const
{
    if (!group.useSubfolder)
        return m_settings.outputFolder;
    return QDir(m_settings.outputFolder).filePath(ExportNaming::folderName(group.name));
}

void BatchExportService::startGroup()
{
    if (m_groupIndex >= m_groups.size()) {
        m_running = false;
        emit finished();
        return;
    }
    // A folder that cannot be made is not reported here: the writes into it fail and are.
    QDir().mkpath(groupFolder(m_groups.at(m_groupIndex)));
    m_frameIndex = 0;
    m_imageLines.clear();
    startFrame();
}

void BatchExportService::startFrame()
{
    const ExportGroup &group = m_groups.at(m_groupIndex);
    if (m_frameIndex >= group.frames.size()) {
        finishGroup();
        return;
    }
    const CapturedFrame frame = group.frames.at(m_frameIndex);
    const QString folder = groupFolder(group);
    QtConcurrent::run(QThreadPool::globalInstance(), [services = m_services, settings = m_settings, frame,
                                                      folder] {
        return processFrame(services, settings, frame, folder);
    }).then(this, [this](const FrameOutcome &outcome) {
        m_imageLines += outcome.imageLines;
        if (outcome.failure)
            emit failed(*outcome.failure);
        emit progressed(++m_completed);
        ++m_frameIndex;
        startFrame();
    });
}

void BatchExportService::finishGroup()
{
    const ExportGroup &group = m_groups.at(m_groupIndex);
    const bool anyFrameNote = std::any_of(group.frames.cbegin(), group.frames.cend(),
                                          [](const CapturedFrame &frame) { return !frame.notes.isEmpty(); });
    if (group.useSubfolder || !group.notes.isEmpty() || anyFrameNote) {
        const QString text = ExportMarkdown::markdown(group.name, group.notes, m_imageLines);
        const QString path = QDir(groupFolder(group)).filePath(ExportNaming::markdownFileName(group.name));
        // A Markdown file that cannot be written is not reported; the images are what matters.
        m_services.imageExporter->writeText(text, path);
    }
    ++m_groupIndex;
    startGroup();
}

BatchExportService::FrameOutcome BatchExportService::processFrame(const Services &services,
                                                                  const Settings &settings,
                                                                  const CapturedFrame &frame,
                                                                  const QString &folder)
{
    FrameOutcome outcome;
    const Result<QImage> still = services.extractor->image(frame.time).result();
    if (!still) {
        outcome.failure = failureFor(frame, settings.timeOrigin, still.error());
        return outcome;
    }

    const bool merged = settings.mode == ExportMode::Merged;
    // Merged images are trimmed after drawing instead, so that outline and annotations survive.
    const Result<QList<QImage>> subjects =
        services.subjectExtractor->extract(still.value(), settings.mode, merged ? false : settings.crop);
    if (!subjects) {
        outcome.failure = failureFor(frame, settings.timeOrigin, subjects.error());
        return outcome;
    }

    if (merged)
        writeMerged(services, settings, frame, subjects.value().first(), folder, outcome);
    else
        writePerSubject(services, settings, frame, subjects.value(), folder, outcome);
    return outcome;
}

void BatchExportService::writeMerged(const Services &services, const Settings &settings,
                                     const CapturedFrame &frame, const QImage &subject, const QString &folder,
                                     FrameOutcome &outcome)
{
    const ExtractRenderer renderer{services.filter.get(), services.edge.get()};
    QImage image = renderer.render(subject, settings.filter, settings.edge);
    image = AnnotationRenderer::draw(image, frame.annotations);
    if (settings.crop)
        image = ImageCrop::trimmedToContent(image, trimThreshold);

    const MediaTime shown = frame.time.measuredFrom(settings.timeOrigin);
    const QString fileName = ExportNaming::mergedFileName(settings.videoName, shown);
    if (const std::optional<AppError> error =
            services.imageExporter->writePNG(image, QDir(folder).filePath(fileName))) {
        outcome.failure = failureFor(frame, settings.timeOrigin, *error);
        return;
    }
    outcome.imageLines << ExportMarkdown::imageLine(fileName, shown, frame.notes);
}

void BatchExportService::writePerSubject(const Services &services, const Settings &settings,
                                         const CapturedFrame &frame, const QList<QImage> &subjects,
                                         const QString &folder, FrameOutcome &outcome)
{
    const ExtractRenderer renderer{services.filter.get(), services.edge.get()};
    QList<QImage> rendered;
    rendered.reserve(subjects.size());
    for (const QImage &subject : subjects)
        rendered << renderer.render(subject, settings.filter, settings.edge);

    const MediaTime shown = frame.time.measuredFrom(settings.timeOrigin);
    for (int k = 0; k < rendered.size(); ++k) {
        const QString fileName = ExportNaming::subjectFileName(settings.videoName, shown, k + 1);
        if (const std::optional<AppError> error =
                services.imageExporter->writePNG(rendered.at(k), QDir(folder).filePath(fileName))) {
            // The subjects already written stay, with their entries; the later ones are not written.
            outcome.failure = failureFor(frame, settings.timeOrigin, *error);
            return;
        }
        outcome.imageLines << ExportMarkdown::imageLine(fileName, shown, frame.notes);
    }
}
