#pragma once

#include <QObject>
#include <QPointer>

class AppState;
class KeyboardCoordinator;
class QWidget;

// Tells the keyboard coordinator which window state is in front: when `window` is or becomes
// the active window, its `state` becomes the coordinator's focused state.
class WindowFocusReporter : public QObject
{
    Q_OBJECT

public:
    WindowFocusReporter(KeyboardCoordinator *coordinator, AppState *state, QWidget *window);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void report();

    QPointer<KeyboardCoordinator> m_coordinator;
    QPointer<AppState> m_state;
};
