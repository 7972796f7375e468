#include "TimeSlider.h"

#include <QPainter>
#include <QScopedValueRollback>
#include <QStyleOptionSlider>

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

constexpr double smallestUpperBound = 0.01;

// The largest power of ten (at most a million) of steps per second that keeps the whole range
// within an int.
double stepsPerSecondFor(double upperBound)
{
    double steps = 1e6;
    while (steps > 1 && upperBound * steps > double(std::numeric_limits<int>::max()))
        steps /= 10;
    return steps;
}

} // namespace

TimeSlider::TimeSlider(QWidget *parent) : QSlider(Qt::Horizontal, parent)
{
    setUpperBound(0);
    connect(this, &QAbstractSlider::valueChanged, this, &TimeSlider::positionChanged);
}

void TimeSlider::paintEvent(QPaintEvent *event)
{
    if (isEnabled()) {
        QSlider::paintEvent(event);
        return;
    }
    QPainter painter(this);
    painter.setOpacity(0.4);
    QStyleOptionSlider option;
    initStyleOption(&option);
    style()->drawComplexControl(QStyle::CC_Slider, &option, &painter, this);
}

void TimeSlider::setUpperBound(double seconds)
{
    const double upper = std::isfinite(seconds) ? std::max(seconds, smallestUpperBound) : smallestUpperBound;
    const double current = this->seconds();
    QScopedValueRollback guard(m_settingFromCode, true);
    m_upperBound = upper;
    m_stepsPerSecond = stepsPerSecondFor(upper);
    setRange(0, int(std::llround(upper * m_stepsPerSecond)));
    setSingleStep(std::max(1, int(std::llround(m_stepsPerSecond / 10))));
    setPageStep(std::max(1, int(std::llround(m_stepsPerSecond))));
    setValue(positionForSeconds(current));
}

void TimeSlider::setSeconds(double seconds)
{
    QScopedValueRollback guard(m_settingFromCode, true);
    setValue(positionForSeconds(seconds));
}

double TimeSlider::seconds() const
{
    return value() / m_stepsPerSecond;
}

int TimeSlider::positionForSeconds(double seconds) const
{
    if (!std::isfinite(seconds))
        return 0;
    const double clamped = std::clamp(seconds, 0.0, m_upperBound);
    return int(std::llround(clamped * m_stepsPerSecond));
}

void TimeSlider::positionChanged(int position)
{
    if (m_settingFromCode)
        return;
    emit seekRequested(MediaTime::fromSeconds(position / m_stepsPerSecond, seekTimescale));
}
