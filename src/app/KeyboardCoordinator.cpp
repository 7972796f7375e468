#include "KeyboardCoordinator.h"

#include "state/AppState.h"

#include <QAbstractSpinBox>
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTextEdit>

#include <algorithm>

KeyboardCoordinator::KeyboardCoordinator(QObject *parent) : QObject(parent)
{
    qApp->installEventFilter(this);
}

KeyboardCoordinator::~KeyboardCoordinator()
{
    if (qApp)
        qApp->removeEventFilter(this);
}

AppState *KeyboardCoordinator::focusedState() const
{
    return m_focusedState;
}

void KeyboardCoordinator::setFocusedState(AppState *state)
{
    m_focusedState = state;
}

bool KeyboardCoordinator::isEditableText(const QWidget *widget)
{
    if (!widget)
        return false;
    if (const auto *line = qobject_cast<const QLineEdit *>(widget))
        return !line->isReadOnly();
    if (const auto *text = qobject_cast<const QTextEdit *>(widget))
        return !text->isReadOnly();
    if (const auto *plain = qobject_cast<const QPlainTextEdit *>(widget))
        return !plain->isReadOnly();
    if (const auto *spin = qobject_cast<const QAbstractSpinBox *>(widget))
        return !spin->isReadOnly();
    if (const auto *combo = qobject_cast<const QComboBox *>(widget))
        return combo->isEditable();
    return false;
}

// A text field claims the keys it edits with before shortcuts are matched, and on Linux that
// includes Ctrl+E (end of line) and Ctrl+U. Plain keys (letters, arrows) and the clipboard, undo and
// select-all keys stay with the field; any other key that is a shortcut of the field's window goes
// to the window.
bool KeyboardCoordinator::isWindowShortcut(const QKeyEvent *key)
{
    if (!(key->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier)))
        return false;
    const QWidget *focus = QApplication::focusWidget();
    if (!isEditableText(focus))
        return false;
    for (QKeySequence::StandardKey editing :
         {QKeySequence::Undo, QKeySequence::Redo, QKeySequence::Cut, QKeySequence::Copy, QKeySequence::Paste,
          QKeySequence::SelectAll}) {
        if (key->matches(editing))
            return false;
    }
    const QKeySequence pressed(key->keyCombination());
    const QList<QAction *> actions = focus->window()->findChildren<QAction *>();
    return std::any_of(actions.cbegin(), actions.cend(), [&pressed](const QAction *action) {
        return action->isEnabled() && action->shortcuts().contains(pressed);
    });
}

bool KeyboardCoordinator::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::ShortcutOverride) {
        auto *key = static_cast<QKeyEvent *>(event);
        if (!isWindowShortcut(key))
            return false;
        // Left unaccepted, the key is matched against the shortcuts.
        key->ignore();
        return true;
    }
    if (event->type() != QEvent::KeyPress)
        return QObject::eventFilter(watched, event);
    const auto *key = static_cast<QKeyEvent *>(event);
    // The space bar counts with any modifiers held.
    if (key->key() != Qt::Key_Space)
        return false;

    AppState *state = m_focusedState;
    if (!state || state->playback()->videoURL().isEmpty())
        return false;
    // Menus and dialogs (an alert's button, a file name) keep their own use of the space bar.
    if (QApplication::activePopupWidget() || QApplication::activeModalWidget())
        return false;
    if (isEditableText(QApplication::focusWidget()))
        return false;

    // Holding the bar down plays or pauses once, not on every repeat.
    if (!key->isAutoRepeat())
        state->playback()->togglePlayPause();
    return true;
}
