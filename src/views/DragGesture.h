#pragma once

#include <QPointF>

#include <optional>

// Tells a drag from a click: a press becomes a drag once the pointer has moved `threshold` points
// from where it went down; a press released before that is a click.
class DragGesture
{
public:
    // A press must move this far (in points) before it counts as a drag.
    static constexpr double defaultThreshold = 2.0;

    explicit DragGesture(double threshold = defaultThreshold) : m_threshold(threshold) {}

    void press(const QPointF &at);
    // Whether the gesture is a drag now that the pointer is at `at`; once it is, it stays one.
    bool move(const QPointF &at);
    // Ends the gesture; returns whether it was a drag.
    bool release();

    bool isPressed() const { return m_press.has_value(); }
    bool isDragging() const { return m_dragging; }
    QPointF pressPosition() const { return m_press.value_or(QPointF()); }

private:
    double m_threshold;
    std::optional<QPointF> m_press;
    bool m_dragging = false;
};
