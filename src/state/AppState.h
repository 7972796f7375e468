#pragma once

#include "models/Annotation.h"
#include "models/CaptureGroup.h"
#include "models/CapturedFrame.h"
#include "models/EdgeOptions.h"
#include "models/ExportFailure.h"
#include "models/ExportMode.h"
#include "models/ExportProgress.h"
#include "models/FilterStyle.h"
#include "persistence/ProjectFile.h"
#include "platform/PlayerOutput.h"
#include "support/MediaTime.h"

#include <QList>
#include <QObject>
#include <QSet>
#include <QString>
#include <QUrl>
#include <QUuid>

#include <QFuture>
#include <QImage>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

class EdgeProcessingService;
class ExtractRenderer;
class ImageExportService;
class ImageFilterService;
class QThreadPool;
class SubjectExtractionService;
class VideoFrameExtractorService;
class VideoPlayer;
struct VideoSource;

// The one observable object of a window: its video, capture groups, selection, settings and
// export status, with the operations the views call. Lives on the main thread.
//
// Assigning a value equal to the current one stores it without a change signal, except for
// `edgeOptions`, `progress` and `failures`, which signal on every assignment. Groups compare by
// identifier, name, notes and frame identifiers only; the in-place frame operations always signal.
// An optional URL is absent when empty.
class AppState : public QObject
{
    Q_OBJECT

public:
    // A window's state: its player draws into a VideoPlayerView.
    explicit AppState(QObject *parent = nullptr);
    // `PlayerOutput::Headless` makes a player that shows nothing (tests, benchmarks).
    explicit AppState(PlayerOutput output, QObject *parent = nullptr);
    ~AppState() override;

    // Name of the first group of a new window, of an opened video and of an empty project.
    static QString defaultGroupName();
    // Length of one interval step, in seconds.
    static constexpr double smallInterval = 1.0;

    // --- Observable properties ---------------------------------------------------------------

    QUrl videoURL() const { return m_videoURL; }
    MediaTime currentTime() const { return m_currentTime; }
    // How long the video plays, from its first frame's start to its last frame's end.
    MediaTime duration() const { return m_duration; }
    // The video's first frame's start, in the stream's own time like `currentTime` and the captured
    // frames' times. The times the user reads are measured from it (MediaTime::measuredFrom).
    MediaTime startTime() const { return m_startTime; }
    bool isPlaying() const { return m_isPlaying; }
    MediaTime frameDuration() const { return m_frameDuration; }
    const QList<CaptureGroup> &groups() const { return m_groups; }
    QUuid activeGroupID() const { return m_activeGroupID; }
    const QSet<QUuid> &selection() const { return m_selection; }
    QUrl outputFolder() const { return m_outputFolder; }
    bool cropToSubject() const { return m_cropToSubject; }
    FilterStyle selectedFilter() const { return m_selectedFilter; }
    const EdgeOptions &edgeOptions() const { return m_edgeOptions; }
    const ExportProgress &progress() const { return m_progress; }
    const QList<ExportFailure> &failures() const { return m_failures; }
    QUrl exportFinishedFolder() const { return m_exportFinishedFolder; }
    QUrl projectURL() const { return m_projectURL; }
    std::optional<QString> errorMessage() const { return m_errorMessage; }

    void setVideoURL(const QUrl &url);
    void setCurrentTime(const MediaTime &time);
    void setDuration(const MediaTime &duration);
    void setStartTime(const MediaTime &start);
    void setIsPlaying(bool playing);
    void setFrameDuration(const MediaTime &frameDuration);
    void setGroups(const QList<CaptureGroup> &groups);
    void setActiveGroupID(const QUuid &id);
    void setSelection(const QSet<QUuid> &selection);
    // Security-scoped access does not exist on Linux: choosing a folder only stores it.
    void setOutputFolder(const QUrl &folder);
    void setCropToSubject(bool crop);
    void setSelectedFilter(FilterStyle style);
    void setEdgeOptions(const EdgeOptions &options);
    void setProgress(const ExportProgress &progress);
    void setFailures(const QList<ExportFailure> &failures);
    void setExportFinishedFolder(const QUrl &folder);
    void setProjectURL(const QUrl &url);
    void setErrorMessage(const std::optional<QString> &message);
    void clearErrorMessage() { setErrorMessage(std::nullopt); }

    // --- Derived values ----------------------------------------------------------------------

    // Every frame of every group, groups in order, each group's frames in order.
    QList<CapturedFrame> allFrames() const;
    // The first selected frame that exists, else the last frame of all; none without frames.
    std::optional<CapturedFrame> previewFrame() const;
    // The video's file name without its last extension; "video" without a video.
    QString videoName() const;
    // Position of the active group, or 0 when no group has the active identifier.
    int indexOfActiveGroup() const;
    // The frame with this identifier, wherever it is.
    std::optional<CapturedFrame> frame(const QUuid &id) const;

    // --- Frame and group editing -------------------------------------------------------------

    // Applies `change` to the frame with this identifier where it is at this moment; no-op if gone.
    void updateFrame(const QUuid &id, const std::function<void(CapturedFrame &)> &change);
    void setNote(const QString &note, const QUuid &frameId);
    void setAnnotations(const QList<Annotation> &annotations, const QUuid &frameId);
    // The deletions take the identifier by value: a caller may pass one that lives in the very list
    // they replace.
    void deleteFrame(QUuid id);
    // List-move semantics: the frames at `positions` land, in order, before the frame that was at
    // `destination` (the group's size means the end).
    void moveFrames(const QUuid &groupId, const QSet<int> &positions, int destination);
    void moveFrame(const QUuid &frameId, const QUuid &groupId);
    void addGroup();
    void deleteGroup(QUuid id);
    void setActiveGroup(const QUuid &id);
    void setGroupName(const QUuid &groupId, const QString &name);
    void setGroupNotes(const QUuid &groupId, const QString &notes);

    // --- Capture (AppStateCapture.cpp) ------------------------------------------------------

    // Appends the frame at the player's time to the active group, selects it, and fills in its
    // still and cut-out in the background.
    void captureCurrentFrame();
    // Grabs the still at `time` and lifts its subject off the main thread; each result goes to the
    // frame found by `id` when it arrives (skipped if the frame is gone).
    void regenerateFrame(const QUuid &id, const MediaTime &time);

    // --- Video loading and time navigation (AppStateVideo.cpp) --------------------------------

    VideoPlayer *player() const;
    VideoFrameExtractorService *extractor() const;
    // Opens a video and, once it has opened, starts a fresh capture list. A file that is no video
    // the program can show is refused with a message, and the window keeps its video and captures.
    void loadVideo(const QUrl &url);
    void togglePlayPause();
    void stepFrame(int count);
    void stepInterval(bool forward);
    void pause();
    // Exact seek; nothing without a video.
    void seek(const MediaTime &target);
    // Limits a time to the video's frames: from the first frame's start to the last frame's start.
    MediaTime clamp(const MediaTime &time) const;

    // --- Rendering (AppStateRendering.cpp) ----------------------------------------------------

    SubjectExtractionService *subjectExtractor() const;
    ImageExportService *imageExporter() const;
    ImageFilterService *imageFilter() const;
    EdgeProcessingService *edgeProcessor() const;
    ExtractRenderer renderer() const;
    // The frame's subject in `style` with the current edge settings, rendered off the main thread.
    // The future holds a null image when the frame has no subject.
    QFuture<QImage> rendered(const CapturedFrame &frame, FilterStyle style) const;

    // --- Export (AppStateExport.cpp) ----------------------------------------------------------

    // Checks, freezes the settings and starts one export run; returns at once.
    void runExport(ExportMode mode);
    // Opens the finished export's folder in the file manager, once.
    void openExportFolder();

    // --- Projects (AppStateProject.cpp) -------------------------------------------------------

    ProjectFile makeProjectFile() const;
    void saveProject(const QUrl &url);
    void openProject(const QUrl &url);
    // True when closing the window would lose work: captures never saved, or a window that differs
    // from the project file it was last saved to or opened from.
    bool hasUnsavedChanges() const;

signals:
    void videoURLChanged();
    void currentTimeChanged();
    void durationChanged();
    void startTimeChanged();
    void isPlayingChanged();
    void frameDurationChanged();
    void groupsChanged();
    void activeGroupIDChanged();
    void selectionChanged();
    void outputFolderChanged();
    void cropToSubjectChanged();
    void selectedFilterChanged();
    void edgeOptionsChanged();
    void progressChanged();
    void failuresChanged();
    void exportFinishedFolderChanged();
    void projectURLChanged();
    void errorMessageChanged();
    // The still of a captured frame could not be made; the frame is marked as finished without it.
    void stillFailed(const QUuid &frameId, const QString &message);

private:
    // Writes the groups after an in-place change; always signals.
    void commitGroups(const QList<CaptureGroup> &groups);
    // Replaces the groups by one fresh empty default group, made active.
    void resetGroups();

    // Opens a video off the main thread without touching the captures (video opening, project
    // opening) and installs it, then calls `opened`, once it has proved to be a video the program can
    // show; otherwise reports why. Only the latest opening is installed.
    void prepareVideo(const QUrl &url, std::function<void()> opened = {});
    // Leaves the window without a video: player, grabber, duration and times back to empty.
    void unloadVideo();
    // Replaces the window state by a project's content.
    void apply(const ProjectFile &file);

    // Video: the player, the still grabber and the time observer live here.
    // Hands an opened video to the player and the still grabber and takes its duration, first
    // frame and frame rate.
    void installVideo(const QUrl &url, const VideoSource &source);
    void addPeriodicTimeObserver();
    // A video the player cannot play after all is reported and leaves the window without a video.
    void handlePlayerFailures();
    std::unique_ptr<VideoPlayer> m_player;
    std::unique_ptr<VideoFrameExtractorService> m_extractor;
    std::optional<int> m_timeObserver;
    // Counts video openings and unloadings, so that only the latest opening is installed.
    std::uint64_t m_openingGeneration = 0;

    // Image services live here.
    // Shared, so that an export run in flight keeps them alive after the window has gone.
    std::shared_ptr<SubjectExtractionService> m_subjectExtractor;
    std::shared_ptr<ImageExportService> m_imageExporter;
    std::shared_ptr<ImageFilterService> m_imageFilter;
    std::shared_ptr<EdgeProcessingService> m_edgeProcessor;
    // Runs the preview renders; declared after the services so that it is destroyed (waiting for
    // the renders in flight) before them.
    std::unique_ptr<QThreadPool> m_renderPool;

    // The window as last saved or opened, to tell whether closing it would lose work.
    std::optional<ProjectFile> m_savedProject;

    // Observable properties.
    QUrl m_videoURL;
    MediaTime m_currentTime = MediaTime::zero();
    MediaTime m_duration = MediaTime::zero();
    MediaTime m_startTime = MediaTime::zero();
    bool m_isPlaying = false;
    MediaTime m_frameDuration = MediaTime(1, 30);
    QList<CaptureGroup> m_groups;
    QUuid m_activeGroupID;
    QSet<QUuid> m_selection;
    QUrl m_outputFolder;
    bool m_cropToSubject = false;
    FilterStyle m_selectedFilter = FilterStyle::None;
    EdgeOptions m_edgeOptions;
    ExportProgress m_progress;
    QList<ExportFailure> m_failures;
    QUrl m_exportFinishedFolder;
    QUrl m_projectURL;
    std::optional<QString> m_errorMessage;
};
