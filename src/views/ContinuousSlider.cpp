#include "ContinuousSlider.h"

#include <algorithm>
#include <cmath>

ContinuousSlider::ContinuousSlider(double minimum, double maximum, QWidget *parent)
    : QSlider(Qt::Horizontal, parent), m_minimum(minimum), m_maximum(maximum), m_value(minimum)
{
    setRange(0, steps);
    setSingleStep(10);
    setPageStep(100);
    connect(this, &QSlider::sliderPressed, this, [this] { m_draggedSincePress = false; });
    connect(this, &QSlider::valueChanged, this, [this](int position) {
        if (m_updating)
            return;
        m_value = valueAt(position);
        // Clicks on the groove and keys move the knob outside a drag: each is a change of its own.
        const bool continuing = isSliderDown() && m_draggedSincePress;
        m_draggedSincePress = isSliderDown();
        emit realValueEdited(m_value, continuing);
    });
}

void ContinuousSlider::setRealValue(double value)
{
    m_value = value;
    m_updating = true;
    setValue(position(value));
    m_updating = false;
}

int ContinuousSlider::position(double value) const
{
    if (m_maximum <= m_minimum)
        return 0;
    const double fraction = std::clamp((value - m_minimum) / (m_maximum - m_minimum), 0.0, 1.0);
    return int(std::lround(fraction * steps));
}

double ContinuousSlider::valueAt(int position) const
{
    if (position <= 0)
        return m_minimum;
    if (position >= steps)
        return m_maximum;
    return m_minimum + (m_maximum - m_minimum) * position / steps;
}
