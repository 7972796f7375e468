#pragma once

#include "models/ExportMode.h"
#include "persistence/ProjectFile.h"
#include "platform/PlayerOutput.h"
#include "platform/VideoSource.h"
#include "services/BatchExportService.h"
#include "state/FrameTakeout.h"
#include "state/Playback.h"
#include "state/ProjectOpening.h"
#include "support/MediaTime.h"

#include <QDateTime>
#include <QFuture>
#include <QImage>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QUrl>
#include <QUuid>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

class CaptureDocument;
class CorrectedCutouts;
class ExportRun;
class ExportRuns;
class FrameImageFollower;
class FrameImageMaker;
class FrameImageStore;
class PreviewRenderer;
class RecoveryAutosave;
struct RecoveryFile;

// A window's state: the composition root of its pieces and the operations that span them.
//
// It owns the capture document (the user's work, with its undo stack), the frame image store and
// the background work that fills it, the preview renderer, and the playback of the window's video
// (its player and still grabber, behind Playback, which the views read and drive themselves).
// Export runs are the application's: the window starts them in the application's ExportRuns and
// holds the one it shows. Its own operations join those pieces: capturing the frame on screen,
// opening a video or a project, saving, exporting. Failures the user must read land in
// `errorMessage`. Lives on the main thread.
class AppState : public QObject
{
    Q_OBJECT

public:
    // `exportRuns` is where the window's exports run; it outlives the window's state.
    // `PlayerOutput::View` makes a player that draws into a VideoPlayerView; `Headless` one that
    // shows nothing (tests, benchmarks).
    explicit AppState(ExportRuns *exportRuns, PlayerOutput output = PlayerOutput::View,
                      QObject *parent = nullptr);
    ~AppState() override;

    // --- The pieces --------------------------------------------------------------------------

    CaptureDocument *document() const { return m_document; }
    // What the background work has made of each frame.
    FrameImageStore *images() const { return m_images; }
    const PreviewRenderer *renderer() const { return m_renderer.get(); }
    // Makes the frames' pictures, and keeps their liftings in a disk cache between sessions.
    FrameImageMaker *imageMaker() const { return m_imageMaker; }
    // Applies each frame's corrections to its cut-out, and works out the gestures that add subjects.
    CorrectedCutouts *correctedCutouts() const { return m_correctedCutouts; }

    std::optional<QString> errorMessage() const { return m_errorMessage; }
    void setErrorMessage(const std::optional<QString> &message);
    void clearErrorMessage() { setErrorMessage(std::nullopt); }

    // --- Capture -------------------------------------------------------------------------------

    // Appends the frame at the player's time to the active group and selects it; its still and
    // cut-out are made in the background.
    void captureCurrentFrame();
    // Captures the sharpest frame within half a second of the frame on screen that belongs to the
    // same shot, and shows it: the still is the picture on screen. The frames are rated in the
    // background; a second request meanwhile is ignored.
    void captureSharpestFrame();
    bool isFindingSharpestFrame() const { return m_findingSharpest; }

    // --- Video (AppStateVideo.cpp) ---------------------------------------------------------------

    // The window's video as it plays: the player, its still grabber, its times and transport.
    Playback *playback() const { return m_playback.get(); }

    // Opens a video and, once it has opened, starts a fresh capture document. A file that is no
    // video the program can show is refused with a message, and the window keeps its video and
    // captures.
    void loadVideo(const QUrl &url);

    // --- Export (AppStateExport.cpp) ----------------------------------------------------------

    // The window's last export run, going on or ended; null before the first one, and after a new
    // video or project has replaced the captures it was made from.
    ExportRun *exportRun() const;
    // Checks, freezes the settings and starts one export run; returns at once. Nothing happens
    // while the window's previous run is going on.
    void runExport(ExportMode mode);
    // The services an export of the window works with, shared with the window where they can be,
    // so that a run outlives the window; the still grabber is a new one on the video open now.
    BatchExportService::Services exportServices() const;
    // The finished picture of a frame, to copy or drag elsewhere.
    const FrameTakeout &takeout() const { return m_takeout; }

    // --- Projects (AppStateProject.cpp) -------------------------------------------------------

    ProjectFile makeProjectFile() const;
    void saveProject(const QUrl &url);
    // Reads the project file at `url` and makes the document of it off the main thread, then replaces
    // the window's document by it. Returns at once; isOpeningProject() is true until then, and
    // another opening, a video opened or a document recovered meanwhile takes its place. A file that
    // cannot be read or does not decode is told in `errorMessage` and changes nothing.
    void openProject(const QUrl &url);
    bool isOpeningProject() const { return m_openingProject; }
    // True when closing the window would lose work: the document differs from its last save (or,
    // never saved, holds captures).
    bool hasUnsavedChanges() const;
    // Binds captures whose video could not be found to the file at `url`, once it is checked: it
    // must open as a video and last at least until the latest capture. When it does not look like
    // the captures' video (LocatedVideoCheck), `confirm` is asked the question and binds it only on
    // true; without `confirm` such a video is refused. Returns at once; a refusal is told in
    // `errorMessage` and changes nothing. The binding is an undo step.
    void locateVideo(const QUrl &url, std::function<bool(const QString &question)> confirm = {});

    // --- Recovery (AppStateRecovery.cpp) ------------------------------------------------------

    // Keeps the window's unsaved work in the recovery file at `path` from now on (see
    // RecoveryAutosave); the file goes when the work is saved or given up, and with the window.
    // Work brought back from a recovery file keeps its time of last change, `lastChange`, until
    // it changes again.
    void startRecovery(const QString &path, const QDateTime &lastChange = {});
    // Null until startRecovery.
    RecoveryAutosave *recovery() const { return m_recovery.get(); }
    // Replaces the document by the work a recovery file holds, as unsaved work: its captures,
    // settings, selection and active group, its project file if it had one, and its video, or the
    // message inviting to locate it.
    void restoreRecovery(const RecoveryFile &file);

signals:
    void exportRunChanged();
    void errorMessageChanged();
    // The still of a captured frame could not be made; the frame is marked as finished without it.
    void stillFailed(const QUuid &frameId, const QString &message);
    void findingSharpestFrameChanged();
    void openingProjectChanged();

private:
    // After a step bound the captures to a located video or took it back: the window shows the
    // document's video, or none, and the pictures are made again from it.
    void followVideoBinding();
    // Lets the cache know the video the window now shows (LiftedFrameCache::rememberVideo).
    void rememberVideoShown() const;

    // Replaces the document by a project's content.
    void apply(const ProjectOpening::Prepared &prepared);
    // An opening under way is given up: something else takes the window.
    void giveUpOpening();
    void setOpeningProject(bool opening);
    // Once the project's video has opened: frames stored outside it take the times of the pictures
    // it shows for them, and the user is told.
    void placeFramesInVideo();
    // Shows `run` as the window's export, releasing the one shown before.
    void setExportRun(ExportRun *run);
    // Stops showing a run that has ended: it belongs to the captures that were replaced.
    void forgetEndedExport();

    std::unique_ptr<Playback> m_playback;
    // Counts the documents opened, so that a check of a located video outlived by its project is
    // dropped.
    std::uint64_t m_documentGeneration = 0;
    // The video last located for the captures, kept for a redo of its binding.
    std::optional<VideoSource> m_locatedVideo;

    CaptureDocument *m_document;
    FrameImageStore *m_images;
    FrameImageMaker *m_imageMaker;
    // Keeps the image store in step with the document.
    FrameImageFollower *m_follower;
    CorrectedCutouts *m_correctedCutouts;
    std::unique_ptr<PreviewRenderer> m_renderer;
    std::unique_ptr<RecoveryAutosave> m_recovery;
    QPointer<ExportRuns> m_exportRuns;
    QPointer<ExportRun> m_exportRun;

    FrameTakeout m_takeout{this};

    // The project file being read, and how many openings were started, so that one given up or
    // replaced is not applied.
    QFuture<Result<ProjectOpening::Prepared>> m_opening;
    std::uint64_t m_openingCount = 0;
    bool m_openingProject = false;

    std::optional<QString> m_errorMessage;
    bool m_findingSharpest = false;
};
