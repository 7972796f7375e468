#include "DragOutGesture.h"

#include "TakeoutMimeData.h"

#include <QApplication>
#include <QDrag>
#include <QMouseEvent>
#include <QWidget>

DragOutGesture::DragOutGesture(QWidget *widget, Qt::KeyboardModifiers modifiers,
                               std::function<QMimeData *()> makeData)
    : QObject(widget), m_widget(widget), m_modifiers(modifiers), m_makeData(std::move(makeData))
{
    widget->installEventFilter(this);
}

bool DragOutGesture::eventFilter(QObject *watched, QEvent *event)
{
    if (watched != m_widget)
        return false;
    switch (event->type()) {
    case QEvent::MouseButtonPress: {
        const auto *mouse = static_cast<QMouseEvent *>(event);
        if (mouse->button() != Qt::LeftButton)
            return m_pressed;
        if (m_modifiers != Qt::NoModifier && (mouse->modifiers() & m_modifiers) != m_modifiers)
            return false;
        m_pressed = true;
        m_started = false;
        m_pressPosition = mouse->position();
        return true;
    }
    case QEvent::MouseMove: {
        if (!m_pressed)
            return false;
        const auto *mouse = static_cast<QMouseEvent *>(event);
        // The rest of a gesture that has started its drag, or found nothing to drag, is its own
        // too, up to the release.
        if (m_started ||
            (mouse->position() - m_pressPosition).manhattanLength() < QApplication::startDragDistance())
            return true;
        m_started = true;
        QMimeData *data = m_makeData ? m_makeData() : nullptr;
        if (!data)
            return true;
        auto *drag = new QDrag(m_widget);
        drag->setMimeData(data);
        if (const auto *takeout = qobject_cast<TakeoutMimeData *>(data);
            takeout && !takeout->preview().isNull())
            drag->setPixmap(takeout->preview());
        m_dragging = true;
        drag->exec(Qt::CopyAction, Qt::CopyAction);
        m_dragging = false;
        // The drag ended with the button's release, which the widget never receives.
        m_pressed = false;
        m_started = false;
        return true;
    }
    case QEvent::MouseButtonRelease:
        if (!m_pressed)
            return false;
        m_pressed = false;
        m_started = false;
        return true;
    case QEvent::MouseButtonDblClick: {
        // The second press of a double click with the modifiers is the gesture's too.
        const auto *mouse = static_cast<QMouseEvent *>(event);
        return m_modifiers != Qt::NoModifier && (mouse->modifiers() & m_modifiers) == m_modifiers;
    }
    default:
        return false;
    }
}
