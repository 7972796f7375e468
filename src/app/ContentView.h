#pragma once

#include <QList>
#include <QMainWindow>
#include <QMessageBox>
#include <QPointer>
#include <QUrl>

class AppState;
class ExportPanelView;
class ExtractionPreviewView;
class FrameEditorView;
class ExportProgressView;
class ExportRuns;
class KeyboardCoordinator;
class PlayerAreaView;
class QLabel;
class QScrollArea;
class QSplitter;
class QStackedWidget;
class TimelineControlsView;

// A project window: owns its AppState and lays out the video with its transport controls, the
// list of captured frames, and the preview with the edge and export controls, each view given the
// pieces of the state it shows. Opens videos by button, file dialog or drop, asking first when
// unsaved work would be replaced; shows the state's error message in an alert; titles itself after
// the project or the video, marked while the work is not saved.
class ContentView : public QMainWindow
{
    Q_OBJECT

public:
    // `exportRuns` runs the window's exports and outlives it; `coordinator` (may be null) learns
    // when this window comes to the front.
    explicit ContentView(ExportRuns *exportRuns, KeyboardCoordinator *coordinator = nullptr,
                         QWidget *parent = nullptr);
    ~ContentView() override;

    AppState *state() const { return m_state; }

    // The project's file name without extension, else the video's name, else "Quintarel".
    QString windowTitleText() const { return titleText(m_state); }
    static QString titleText(const AppState *state);

    // Whether a type the platform gives to `url`'s file name is a movie (video/* or a kind of it).
    // A name can match several types (".ts" is also a translation file): any movie type counts. A
    // file whose extension has no known type is not a movie.
    static bool isMovieFile(const QUrl &url);
    // Whether `url` names a project file (".quintarel").
    static bool isProjectFile(const QUrl &url);
    // Takes the first movie among `urls` and ignores the rest: loads it once the drop is over,
    // after asking when unsaved work would be replaced. Returns false, changing nothing, when none
    // is a movie.
    bool handleDroppedURLs(const QList<QUrl> &urls);

    // Shows the video file dialog and loads the chosen video.
    void showVideoImporter();
    // Loads the video the file dialog returned, or reports why it cannot be read; asks first when
    // unsaved work would be replaced.
    void importVideo(const QUrl &url);
    // Opens a file handed to the program: a project as a project, anything else as a video.
    void openFile(const QUrl &url);

    // The previewed frame in the large editing view, in the player's place; or the player again.
    void setEditing(bool editing);
    bool isEditing() const;
    FrameEditorView *frameEditor() const { return m_frameEditor; }
    ExtractionPreviewView *extractionPreview() const { return m_preview; }

    PlayerAreaView *playerArea() const { return m_playerArea; }
    TimelineControlsView *timelineControls() const { return m_timeline; }
    QLabel *toolbarVideoName() const { return m_videoName; }
    ExportPanelView *exportPanel() const { return m_exportPanel; }
    ExportProgressView *exportProgress() const { return m_exportProgress; }
    // The alert showing the error message, while it is shown.
    QMessageBox *errorAlert() const { return m_errorAlert; }

protected:
    // Asks whether to save first when closing would lose work, and what to do with an export that
    // is going on.
    void closeEvent(QCloseEvent *event) override;
    void showEvent(QShowEvent *event) override;

private:
    QWidget *makeLeftColumn();
    QWidget *makeRightColumn();
    void makeToolbar();

    // The panels of the middle and right columns, one maker each.
    QWidget *makeCapturedFramesList();
    QWidget *makeExtractionPreview();
    QWidget *makeEdgeControls();
    ExportPanelView *makeExportPanel();
    QWidget *makePlayerView();

    // Gives the edge and export controls the height they need, the preview the rest.
    void sizeRightColumn();
    void updateForVideo();
    void updateTitle();
    void updateErrorAlert();
    void showExportRun();
    // Whether closing may go on with the window's export going on: let it finish, or stop it.
    bool confirmClosingDuringExport();

    AppState *m_state;
    PlayerAreaView *m_playerArea = nullptr;
    QStackedWidget *m_leftColumn = nullptr; // the player with its controls, or the editing view
    QWidget *m_playerColumn = nullptr;
    FrameEditorView *m_frameEditor = nullptr;
    ExtractionPreviewView *m_preview = nullptr;
    TimelineControlsView *m_timeline = nullptr;
    ExportPanelView *m_exportPanel = nullptr;
    ExportProgressView *m_exportProgress = nullptr;
    QLabel *m_videoName = nullptr;
    QAction *m_videoNameItem = nullptr;
    QPointer<QMessageBox> m_errorAlert;
    QSplitter *m_rightColumn = nullptr;
    QScrollArea *m_controls = nullptr;
    bool m_shown = false;
};
