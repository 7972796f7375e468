#pragma once

#include <QObject>
#include <QPointer>

class AppState;
class QKeyEvent;
class QWidget;

// The application-wide keyboard handler: sees every key press before any window does and turns
// the space bar into play/pause for the window in front. It also keeps text fields from taking
// the window's Ctrl shortcuts for their own editing keys. One per application, installed as an
// event filter on the application object by whoever creates it.
class KeyboardCoordinator : public QObject
{
    Q_OBJECT

public:
    explicit KeyboardCoordinator(QObject *parent = nullptr);
    ~KeyboardCoordinator() override;

    // The state of the window that was last activated; null once that window's state is gone.
    AppState *focusedState() const;
    void setFocusedState(AppState *state);

    // Whether a space typed into `widget` is text for it (an editable line, text or spin box).
    static bool isEditableText(const QWidget *widget);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    // Whether the key pressed in a text field goes to a shortcut of the field's window instead.
    static bool isWindowShortcut(const QKeyEvent *key);

    QPointer<AppState> m_focusedState;
};
