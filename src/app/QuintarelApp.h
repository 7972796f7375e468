#pragma once

#include <QList>
#include <QObject>
#include <QPointer>

class AppState;
class ContentView;
class ExportRuns;
class KeyboardCoordinator;

// The application: its identity and process set-up, the one keyboard coordinator, the export runs
// of all windows, and the project windows, each a ContentView with its own state and menu bar. It
// ends when the last window is closed and no export is going on any more.
class QuintarelApp : public QObject
{
    Q_OBJECT

public:
    // Needs the QApplication to exist already; `prepareProcess` must have run.
    explicit QuintarelApp(QObject *parent = nullptr);
    ~QuintarelApp() override;

    // Makes the application, opens the first window and runs until the last one closes.
    static int run(int argc, char **argv);
    // Application name, numeric locale and icon theme; call right after making the QApplication.
    static void prepareProcess();

    // Opens and shows a new, empty project window.
    ContentView *openWindow();
    QList<ContentView *> windows() const;
    // The state of the window in front (the one last activated), if it is still open.
    AppState *focusedState() const;
    KeyboardCoordinator *keyboardCoordinator() const { return m_keyboard; }
    ExportRuns *exportRuns() const { return m_exportRuns; }

private:
    // Quits once no window is open and no export is going on.
    void quitWhenIdle();

    KeyboardCoordinator *m_keyboard;
    ExportRuns *m_exportRuns;
    QList<QPointer<ContentView>> m_windows;
};
