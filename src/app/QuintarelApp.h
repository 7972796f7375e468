#pragma once

#include <QList>
#include <QObject>
#include <QPointer>

class AppState;
class ContentView;
class KeyboardCoordinator;

// The application: its identity and process set-up, the one keyboard coordinator, and the
// project windows, each a ContentView with its own state and menu bar.
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

private:
    KeyboardCoordinator *m_keyboard;
    QList<QPointer<ContentView>> m_windows;
};
