#pragma once

#include "models/ExportMode.h"
#include "platform/SubjectSegmenter.h"
#include "support/Result.h"

#include <QFuture>
#include <QImage>
#include <QList>
#include <QString>

#include <memory>

#include <atomic>

class QThreadPool;

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

    // The subjects of `image` as a mask, from which the images of either mode are cut by images():
    // what is worth keeping of a lifting. Runs on the calling thread, which must not be the main one.
    Result<SubjectMask> lift(const QImage &image) const;
    // The same on the service's worker thread, in turn with the other liftings.
    QFuture<Result<SubjectMask>> liftAsync(const QImage &image) const;
    // The images extract() gives, cut from a mask already found; fails with noSubjectFound when the
    // mask holds no subject. Fast: no model runs.
    static Result<QList<QImage>> images(const SubjectMask &mask, ExportMode mode, bool crop);

    // The segmentation model file the service runs.
    QString modelPath() const { return m_segmenter->modelPath(); }
    // How many frames this service has run the segmentation model on.
    quint64 liftCount() const { return m_liftCount.load(); }

private:
    std::shared_ptr<SubjectSegmenter> m_segmenter;
    mutable std::atomic<quint64> m_liftCount = 0;
    std::unique_ptr<QThreadPool> m_pool; // last: destroyed, and waited for, first
};
