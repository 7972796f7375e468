#pragma once

#include <QList>
#include <QObject>
#include <QPointer>
#include <QUrl>

#include <memory>

class AppState;
class ContentView;
class ExportRuns;
class KeyboardCoordinator;
class RecoverySession;

// The application: its identity and process set-up, the one keyboard coordinator, the export runs
// of all windows, the project windows, each a ContentView with its own state and menu bar, and the
// recovery files that keep their unsaved work. It ends when the last window is closed and no export
// is going on any more.
class QuintarelApp : public QObject
{
    Q_OBJECT

public:
    // The name of the desktop entry, the icon and the AppStream component.
    static constexpr const char *desktopId = "org.quintarel.Quintarel";

    // Needs the QApplication to exist already; `prepareProcess` must have run. The windows keep
    // their unsaved work in recovery files below `recoveryRoot` (RecoverySession::defaultRoot()
    // when empty).
    explicit QuintarelApp(QObject *parent = nullptr, const QString &recoveryRoot = {});
    ~QuintarelApp() override;

    // Reads the command line, opens a window for each file it names (or one empty window) and runs
    // until the last window closes. --help and --version answer without opening a window.
    static int run(int argc, char **argv);
    // Name, version and Qt's French texts; needs only a QCoreApplication.
    static void prepareIdentity();
    // Identity, numeric locale, icon theme and window icon; call right after making the QApplication.
    static void prepareProcess();

    // Opens and shows a new, empty project window.
    ContentView *openWindow();
    // Offers back the unsaved work of programs that ended without saving it (RecoveryDialog):
    // each piece restored opens in a window of its own, as unsaved work. Returns the windows
    // opened.
    QList<ContentView *> offerRecovery();
    // Opens each file in a window of its own: projects (.quintarel) as projects, anything else as
    // a video. With no file, opens one empty window unless a window is open already.
    void openFiles(const QList<QUrl> &files);
    // Closes every window, the one in front first, each asking about its unsaved work; stops at the
    // first window the user keeps open. Returns whether all were closed.
    bool closeAllWindows();

    QList<ContentView *> windows() const;
    // The state of the window in front (the one last activated), if it is still open.
    AppState *focusedState() const;
    KeyboardCoordinator *keyboardCoordinator() const { return m_keyboard; }
    RecoverySession *recoverySession() const { return m_recovery.get(); }
    ExportRuns *exportRuns() const { return m_exportRuns; }

private:
    // A new project window, shown, whose work is not yet kept in a recovery file.
    ContentView *makeWindow();
    // Quits once no window is open and no export is going on.
    void quitWhenIdle();

    // Before the windows, which keep their files in it, and gone after them.
    std::unique_ptr<RecoverySession> m_recovery;
    KeyboardCoordinator *m_keyboard;
    ExportRuns *m_exportRuns;
    QList<QPointer<ContentView>> m_windows;
};
