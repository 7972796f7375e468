#pragma once

#include <QList>
#include <QMainWindow>
#include <QMessageBox>
#include <QPointer>
#include <QUrl>

class AppState;
class ExportPanelView;
class KeyboardCoordinator;
class PlayerAreaView;
class QLabel;
class QScrollArea;
class QSplitter;
class TimelineControlsView;

// A project window: owns its AppState and lays out the video with its transport controls, the
// list of captured frames, and the preview with the edge and export controls. Opens videos by
// button, file dialog or drop, shows the state's error message in an alert, and titles itself
// after the project or the video.
class ContentView : public QMainWindow
{
    Q_OBJECT

public:
    // `coordinator` (may be null) learns when this window comes to the front.
    explicit ContentView(KeyboardCoordinator *coordinator = nullptr, QWidget *parent = nullptr);
    ~ContentView() override;

    AppState *state() const { return m_state; }

    // The project's file name without extension, else the video's name, else "Quintarel".
    QString windowTitleText() const;

    // Whether a type the platform gives to `url`'s file name is a movie (video/* or a kind of it).
    // A name can match several types (".ts" is also a translation file): any movie type counts. A
    // file whose extension has no known type is not a movie.
    static bool isMovieFile(const QUrl &url);
    // Whether `url` names a project file (".quintarel").
    static bool isProjectFile(const QUrl &url);
    // Loads the first movie among `urls` and ignores the rest; returns false, changing nothing,
    // when none is a movie.
    bool handleDroppedURLs(const QList<QUrl> &urls);

    // Shows the video file dialog and loads the chosen video.
    void showVideoImporter();
    // Loads the video the file dialog returned, or reports why it cannot be read.
    void importVideo(const QUrl &url);
    // Opens a file handed to the program: a project as a project, anything else as a video.
    void openFile(const QUrl &url);

    PlayerAreaView *playerArea() const { return m_playerArea; }
    TimelineControlsView *timelineControls() const { return m_timeline; }
    QLabel *toolbarVideoName() const { return m_videoName; }
    // The alert showing the error message, while it is shown.
    QMessageBox *errorAlert() const { return m_errorAlert; }

protected:
    // Asks whether to save first when closing would lose captures.
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
    // Scrolls the controls so that the export progress is in sight.
    void revealExportProgress();
    void updateForVideo();
    void updateTitle();
    void updateErrorAlert();

    AppState *m_state;
    PlayerAreaView *m_playerArea = nullptr;
    TimelineControlsView *m_timeline = nullptr;
    QLabel *m_videoName = nullptr;
    QAction *m_videoNameItem = nullptr;
    QPointer<QMessageBox> m_errorAlert;
    QSplitter *m_rightColumn = nullptr;
    QScrollArea *m_controls = nullptr;
    ExportPanelView *m_exportPanel = nullptr;
    bool m_shown = false;
};
