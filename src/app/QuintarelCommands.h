#pragma once

#include <QObject>
#include <QPointer>

#include <functional>

class AppState;
class KeyboardShortcutsView;
class QAction;
class QKeySequence;
class QMainWindow;
class QMenu;

// The menu bar of a project window: the File menu (new window, open a video or a project, save,
// save as, locating a missing video, both exports, quit), the "Édition" menu (undo and redo of the
// window's document), the "Vidéo" menu (play/pause, frame, interval and shot steps, capture) and the
// "Aide" menu (the keyboard shortcuts, about). Each window has its own menu bar, whose commands act
// on that window's state; their shortcuts work while the window is the active one.
class QuintarelCommands : public QObject
{
    Q_OBJECT

public:
    // Fills `window`'s menu bar; `state` is the window's state, `openWindow` opens a new window and
    // `quit` closes every window.
    QuintarelCommands(QMainWindow *window, AppState *state, std::function<void()> openWindow,
                      std::function<void()> quit = {});

    // Asks for a project file and opens it into `state`, asking first when unsaved work would be
    // replaced.
    static void openProject(AppState *state, QWidget *parent);
    // Asks for the video that the captures of `state` wait for, and binds them to it once checked.
    static void locateVideo(AppState *state, QWidget *parent);
    // Asks where to save and saves `state` there (the ".quintarel" extension is added when missing).
    static void saveAs(AppState *state, QWidget *parent);
    // Saves to the project's own file, or asks where as `saveAs` does when there is none yet.
    static void save(AppState *state, QWidget *parent);

    // Puts the finished picture of the previewed frame on the clipboard, as the merged export makes
    // it; a frame whose cut-out is not ready is refused with a message instead.
    static void copyImage(AppState *state);

    QAction *action(const QString &name) const;
    // Shows the window listing every key of the program (one per project window).
    void showShortcuts();

private:
    QMenu *makeFileMenu();
    QMenu *makeEditMenu();
    QMenu *makeVideoMenu();
    QMenu *makeHelpMenu();
    QAction *addAction(QMenu *menu, const QString &name, const QString &title, const QKeySequence &shortcut,
                       std::function<void(AppState *)> act);
    void showAbout();
    void updatePlayTitle();
    void updateEnabled();
    void updateLocateVideo();

    QMainWindow *m_window;
    QPointer<AppState> m_state;
    std::function<void()> m_openWindow;
    std::function<void()> m_quit;
    QAction *m_play = nullptr;
    QAction *m_locateVideo = nullptr;
    // Items that need a window state.
    QList<QAction *> m_needState;
    QPointer<KeyboardShortcutsView> m_shortcutsView;
};
