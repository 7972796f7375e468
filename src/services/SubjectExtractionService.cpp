#include "SubjectExtractionService.h"

#include "platform/SubjectSegmenter.h"

#include <QCoreApplication>
#include <QThreadPool>
#include <QtConcurrent/QtConcurrentRun>

SubjectExtractionService::SubjectExtractionService(const QString &modelPath)
    : m_segmenter(
          SubjectSegmenter::forModel(modelPath.isEmpty() ? SubjectSegmenter::defaultModelPath() : modelPath))
    , m_pool(std::make_unique<QThreadPool>())
{
    // The segmenter runs one inference at a time anyway; one worker keeps requests in order.
    m_pool->setMaxThreadCount(1);
}

SubjectExtractionService::~SubjectExtractionService()
{
    m_pool->waitForDone();
}

Result<QList<QImage>> SubjectExtractionService::extract(const QImage &image, ExportMode mode, bool crop) const
{
    const Result<SubjectMask> mask = lift(image);
    if (!mask)
        return mask.error();
    return images(mask.value(), mode, crop);
}

Result<SubjectMask> SubjectExtractionService::lift(const QImage &image) const
{
    ++m_liftCount;
    return m_segmenter->segment(image);
}

QFuture<Result<SubjectMask>> SubjectExtractionService::liftAsync(const QImage &image) const
{
    return QtConcurrent::run(m_pool.get(), [this, image] { return lift(image); });
}

Result<QList<QImage>> SubjectExtractionService::images(const SubjectMask &mask, ExportMode mode, bool crop)
{
    if (mask.instanceCount() == 0)
        return AppError::noSubjectFound();

    QList<QList<int>> sets;
    if (mode == ExportMode::Merged) {
        QList<int> all(mask.instanceCount());
        for (int i = 0; i < mask.instanceCount(); ++i)
            all[i] = i;
        sets.append(all);
    } else {
        for (int i = 0; i < mask.instanceCount(); ++i)
            sets.append(QList<int>{i});
    }

    QList<QImage> images;
    images.reserve(sets.size());
    for (const QList<int> &set : sets) {
        Result<QImage> masked = mask.maskedImage(set, crop);
        if (!masked)
            return masked.error();
        if (masked.value().isNull()) {
            return AppError::exportFailed(QCoreApplication::translate(
                "SubjectExtractionService", "Conversion du masque en image impossible."));
        }
        images.append(std::move(masked).value());
    }
    return images;
}

QFuture<Result<QList<QImage>>> SubjectExtractionService::extractAsync(const QImage &image, ExportMode mode,
                                                                      bool crop) const
{
    return QtConcurrent::run(m_pool.get(), [this, image, mode, crop] { return extract(image, mode, crop); });
}
