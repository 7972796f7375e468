#pragma once

#include "models/ExportMode.h"
#include "support/Result.h"

#include <QFuture>
#include <QImage>
#include <QList>
#include <QString>

#include <memory>

class QThreadPool;
class SubjectSegmenter;

// Lifts the foreground subjects out of a frame: all of them in one image, or one image per subject
// (largest first). Each image has the frame's pixels where its subjects are and is transparent
// elsewhere; it keeps the frame's size, or is cut to the subjects' bounding box when asked.
// Thread-safe; lifting takes seconds, so it never runs on the main thread.
class SubjectExtractionService
{
public:
    // `modelPath` is the prepared segmentation model; by default the one installed with the program.
    explicit SubjectExtractionService(const QString &modelPath = QString());
    ~SubjectExtractionService();

    SubjectExtractionService(const SubjectExtractionService &) = delete;
    SubjectExtractionService &operator=(const SubjectExtractionService &) = delete;

    // Runs on the calling thread, which must not be the main thread. Never empty on success.
    Result<QList<QImage>> extract(const QImage &image, ExportMode mode, bool crop) const;
    // The same on the service's own worker thread; main-thread callers continue with .then(context, …).
    // Destroying the service waits for a lifting in progress.
    QFuture<Result<QList<QImage>>> extractAsync(const QImage &image, ExportMode mode, bool crop) const;

private:
    std::shared_ptr<SubjectSegmenter> m_segmenter;
    std::unique_ptr<QThreadPool> m_pool; // last: destroyed, and waited for, first
};
