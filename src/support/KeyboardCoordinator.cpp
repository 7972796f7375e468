#include "KeyboardCoordinator.h"

#include "state/AppState.h"

#include <QAbstractSpinBox>
#include <QApplication>
#include <QComboBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTextEdit>

KeyboardCoordinator::KeyboardCoordinator(QObject *parent) : QObject(parent)
{
    qApp->installEventFilter(this);
}

KeyboardCoordinator::~KeyboardCoordinator()
{
    if (qApp)
        qApp->removeEventFilter(this);
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

bool KeyboardCoordinator::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() != QEvent::KeyPress)
        return QObject::eventFilter(watched, event);
    const auto *key = static_cast<QKeyEvent *>(event);
    // The space bar counts with any modifiers held.
    if (key->key() != Qt::Key_Space)
        return false;

    AppState *state = m_focusedState;
    if (!state || state->videoURL().isEmpty())
        return false;
    // Menus and dialogs (an alert's button, a file name) keep their own use of the space bar.
    if (QApplication::activePopupWidget() || QApplication::activeModalWidget())
        return false;
    if (isEditableText(QApplication::focusWidget()))
        return false;

    // Holding the bar down plays or pauses once, not on every repeat.
    if (!key->isAutoRepeat())
        state->togglePlayPause();
    return true;
}
