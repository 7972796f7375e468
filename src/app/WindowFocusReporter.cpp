#include "WindowFocusReporter.h"

#include "KeyboardCoordinator.h"
#include "state/AppState.h"

#include <QEvent>
#include <QWidget>

WindowFocusReporter::WindowFocusReporter(KeyboardCoordinator *coordinator, AppState *state, QWidget *window)
    : QObject(window), m_coordinator(coordinator), m_state(state)
{
    window->installEventFilter(this);
    if (window->isActiveWindow())
        report();
}

bool WindowFocusReporter::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::WindowActivate)
        report();
    return QObject::eventFilter(watched, event);
}

void WindowFocusReporter::report()
{
    if (m_coordinator && m_state)
        m_coordinator->setFocusedState(m_state);
}
