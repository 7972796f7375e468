#include "DragGesture.h"

#include <cmath>

void DragGesture::press(const QPointF &at)
{
    m_press = at;
    m_dragging = false;
}

bool DragGesture::move(const QPointF &at)
{
    if (!m_press)
        return false;
    if (!m_dragging) {
        const QPointF offset = at - *m_press;
        m_dragging = std::hypot(offset.x(), offset.y()) >= m_threshold;
    }
    return m_dragging;
}

bool DragGesture::release()
{
    const bool dragged = m_dragging;
    m_press.reset();
    m_dragging = false;
    return dragged;
}
