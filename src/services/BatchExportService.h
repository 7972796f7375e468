#pragma once

#include "models/CapturedFrame.h"
#include "models/EdgeOptions.h"
#include "models/ExportFailure.h"
#include "models/ExportGroup.h"
#include "models/ExportMode.h"
#include "models/FilterStyle.h"
#include "models/ImageFormat.h"
#include "services/KeptMask.h"
#include "support/MediaTime.h"
#include "support/Result.h"

#include <QByteArray>
#include <QHash>
#include <QImage>
#include <QObject>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QUuid>

#include <memory>
#include <optional>

class EdgeProcessingService;
class ImageExportService;
class ImageFilterService;
class SubjectExtractionService;
class VideoFrameExtractorService;

// Writes every frame of every group to disk as finished PNG files, merged or one per subject, with
// a Markdown description per group where one is called for. Frames are processed one after
// another on a worker thread; progress and failures are reported on the object's thread after each
// frame, so the window stays responsive. A failed frame never stops the run; cancelling it does,
// once the frame in progress is written.
class BatchExportService : public QObject
{
    Q_OBJECT

public:
    // The services a run works with. They are shared so that a run in flight keeps them alive.
    struct Services
    {
        std::shared_ptr<const VideoFrameExtractorService> extractor;
        std::shared_ptr<const SubjectExtractionService> subjectExtractor;
        std::shared_ptr<const ImageExportService> imageExporter;
        std::shared_ptr<const ImageFilterService> filter;
        std::shared_ptr<const EdgeProcessingService> edge;
    };

    // What a run writes and how; fixed when the run starts.
    struct Settings
    {
        QString videoName;
        QString outputFolder;
        ExportMode mode = ExportMode::Merged;
        bool crop = false;
        FilterStyle filter = FilterStyle::None;
        EdgeOptions edge;
        // The files' format; their names end with its extension.
        ImageFormat format = ImageFormat::Png;
        // The video's first frame's start: the times in file names and Markdown are measured from it.
        MediaTime timeOrigin = MediaTime::zero();
        // Frames lifted before the run, by identifier: their masks (SubjectMask::encoded(), in
        // memory or read from the disk cache when the run reaches the frame), and the stills of
        // those still held in memory. Their subjects are cut from the mask instead of being lifted
        // again.
        QHash<QUuid, KeptMask> masks;
        QHash<QUuid, QImage> stills;
        // Frames whose corrections are applied already: the corrected masks to cut them from. Any
        // other frame has its corrections applied by the run, to its kept mask or its lifting.
        QHash<QUuid, QByteArray> correctedMasks;
    };

    // A lifting made for a frame that had none: its mask (SubjectMask::encoded()) and its still.
    struct Lifting
    {
        QImage still;
        QByteArray mask;
    };

    explicit BatchExportService(Services services, QObject *parent = nullptr);
    ~BatchExportService() override;

    // Starts the run and returns at once; `finished` follows the last group.
    void run(const QList<ExportGroup> &groups, const Settings &settings);
    bool isRunning() const { return m_running; }
    // Stops the run after the frame in progress: nothing more is written, not even the Markdown file
    // of the group under way, and `finished` follows.
    void cancel();
    bool wasCancelled() const { return m_cancelled; }

    // The finished images of one frame as a run writes them: in merged mode one image of every
    // subject with edge clean-up, style, outline and annotations, trimmed when cropping; otherwise
    // one image per subject, without annotations. The frame's still and mask are those of
    // `settings` when it holds them; otherwise the still is grabbed and the subjects are lifted, and
    // `lifting` (when given) receives what was lifted. Runs on the calling thread; needs no image
    // exporter. Fails with the French message the run reports for the frame.
    static Result<QList<QImage>> finishedImages(const Services &services, const Settings &settings,
                                                const CapturedFrame &frame, Lifting *lifting = nullptr);

signals:
    // Frames finished so far over the whole run, successful or not.
    void progressed(int completed);
    void failed(const ExportFailure &failure);
    void finished();
    // The run lifted a frame that had not been lifted before: its still and mask, to keep.
    void frameLifted(const QUuid &frameId, const QImage &still, const QByteArray &mask);

private:
    // Where a frame's files go.
    struct Target
    {
        QString folder;
        QString canonicalOutput;  // the output folder with its links resolved, to check every path
        QSet<QString> takenNames; // names already written there in this run, case-folded
    };

    struct FrameOutcome
    {
        QStringList imageLines;
        QStringList fileNames; // as written
        std::optional<ExportFailure> failure;
        // A lifting the run made itself, with the still it was made from.
        QImage liftedStill;
        QByteArray liftedMask;
    };

    void startGroup();
    // Ends the run: after its last group, or when it was cancelled.
    void finish();
    void startFrame();
    void finishFrame(const FrameOutcome &outcome);
    void finishGroup();
    // Writes the current group's Markdown file; what went wrong, if anything.
    std::optional<QString> writeMarkdown(const ExportGroup &group, const QString &fileName) const;
    QString groupFolder(int groupIndex) const;

    // The heavy work of one frame; runs on a worker thread and touches nothing of this object.
    // Never throws: an exception becomes the frame's failure.
    static FrameOutcome processFrame(const Services &services, const Settings &settings,
                                     const CapturedFrame &frame, const Target &target);
    static void exportFrame(const Services &services, const Settings &settings, const CapturedFrame &frame,
                            const Target &target, FrameOutcome &outcome);
    // Writes one image under a name not yet taken in its folder, and only inside the output folder.
    static void writeImage(const Services &services, const Settings &settings, const CapturedFrame &frame,
                           const MediaTime &shown, const QImage &image, const QString &fileName,
                           const Target &target, FrameOutcome &outcome);

    Services m_services;
    Settings m_settings;
    QList<ExportGroup> m_groups;
    QStringList m_folderNames;                  // one per group, distinct and safe
    QHash<QString, QSet<QString>> m_takenNames; // per folder, the file names written in this run
    QString m_canonicalOutput;
    std::optional<QString> m_folderProblem; // why the current group's folder cannot be used
    int m_groupIndex = 0;
    int m_frameIndex = 0;
    int m_completed = 0;
    QStringList m_imageLines; // entries of the current group's Markdown file
    bool m_running = false;
    bool m_cancelled = false;
};
