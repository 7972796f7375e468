#pragma once

#include <QObject>
#include <QPointF>

#include <functional>

class QMimeData;
class QWidget;

// Drags a picture out of the window from a widget: a press of the left button with `modifiers`
// held (none: any press) that moves the platform's drag distance starts a drag of what `makeData`
// gives, to be copied wherever it is dropped. Watches the widget's pointer events and keeps those of
// its own gestures from the widget, so that what the widget does with other presses (drawing) is
// left undisturbed. A null from `makeData` starts no drag.
class DragOutGesture : public QObject
{
    Q_OBJECT

public:
    DragOutGesture(QWidget *widget, Qt::KeyboardModifiers modifiers, std::function<QMimeData *()> makeData);

    // Set while a drag that this gesture started is going on.
    bool isDragging() const { return m_dragging; }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QWidget *m_widget;
    Qt::KeyboardModifiers m_modifiers;
    std::function<QMimeData *()> m_makeData;
    bool m_pressed = false; // a press of the gesture, not released yet
    bool m_started = false; // its drag has been started (or there was nothing to drag)
    bool m_dragging = false;
    QPointF m_pressPosition;
};
