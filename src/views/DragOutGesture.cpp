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
        m_pressPosition = mouse->position();
        return true;
    }
    case QEvent::MouseMove: {
        if (!m_pressed)
            return false;
        const auto *mouse = static_cast<QMouseEvent *>(event);
        if ((mouse->position() - m_pressPosition).manhattanLength() < QApplication::startDragDistance())
            return true;
        m_pressed = false;
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
        return true;
    }
    case QEvent::MouseButtonRelease:
        if (!m_pressed)
            return false;
        m_pressed = false;
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
