#include "TimeSlider.h"

#include <QMouseEvent>
#include <QPainter>
#include <QScopedValueRollback>
#include <QStyleOptionSlider>

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

constexpr double smallestUpperBound = 0.01;
// How near to a capture's flag, in pixels, a click picks it.
constexpr int markReach = 4;
constexpr int flagHeight = 5;

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
    setMouseTracking(true);
    setUpperBound(0);
    connect(this, &QAbstractSlider::valueChanged, this, &TimeSlider::positionChanged);
}

void TimeSlider::paintEvent(QPaintEvent *event)
{
    if (!isEnabled()) {
        QPainter painter(this);
        painter.setOpacity(0.4);
        QStyleOptionSlider option;
        initStyleOption(&option);
        style()->drawComplexControl(QStyle::CC_Slider, &option, &painter, this);
        return;
    }
    QSlider::paintEvent(event);
    QPainter painter(this);
    paintMarks(painter);
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

QRect TimeSlider::handleTravel() const
{
    QStyleOptionSlider option;
    initStyleOption(&option);
    const QRect groove = style()->subControlRect(QStyle::CC_Slider, &option, QStyle::SC_SliderGroove, this);
    const QRect handle = style()->subControlRect(QStyle::CC_Slider, &option, QStyle::SC_SliderHandle, this);
    const int half = handle.width() / 2;
    return QRect(groove.left() + half, groove.top(), std::max(1, groove.width() - handle.width()),
                 groove.height());
}

int TimeSlider::pixelForSeconds(double seconds) const
{
    const QRect travel = handleTravel();
    return travel.left() +
           QStyle::sliderPositionFromValue(minimum(), maximum(), positionForSeconds(seconds), travel.width());
}

double TimeSlider::secondsAtPixel(int x) const
{
    const QRect travel = handleTravel();
    const int position =
        QStyle::sliderValueFromPosition(minimum(), maximum(), x - travel.left(), travel.width());
    return position / m_stepsPerSecond;
}

void TimeSlider::setShotMarks(const QList<double> &seconds)
{
    if (m_shotMarks == seconds)
        return;
    m_shotMarks = seconds;
    update();
}

void TimeSlider::setCaptureMarks(const QList<CaptureMark> &marks)
{
    m_captureMarks = marks;
    update();
}

std::optional<TimeSlider::CaptureMark> TimeSlider::captureMarkAt(int x) const
{
    std::optional<CaptureMark> nearest;
    int nearestDistance = markReach + 1;
    for (const CaptureMark &mark : m_captureMarks) {
        const int distance = std::abs(pixelForSeconds(mark.seconds) - x);
        if (distance < nearestDistance) {
            nearest = mark;
            nearestDistance = distance;
        }
    }
    return nearest;
}

void TimeSlider::paintMarks(QPainter &painter) const
{
    const QRect travel = handleTravel();
    const int middle = travel.center().y();
    QColor cut = palette().color(QPalette::WindowText);
    cut.setAlphaF(0.45);
    painter.setPen(QPen(cut, 1));
    for (double seconds : m_shotMarks) {
        const int x = pixelForSeconds(seconds);
        painter.drawLine(x, middle - 5, x, middle + 5);
    }
    // A flag above the groove for each capture, pointing down at its frame.
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    for (const CaptureMark &mark : m_captureMarks) {
        const int x = pixelForSeconds(mark.seconds);
        const int tip = std::max(flagHeight, middle - 3);
        const QPointF flag[] = {{x - 3.5, double(tip - flagHeight)},
                                {x + 3.5, double(tip - flagHeight)},
                                {double(x), double(tip)}};
        painter.setBrush(mark.colour);
        painter.drawPolygon(flag, 3);
    }
}

void TimeSlider::mousePressEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton) {
        const QPoint point = event->position().toPoint();
        if (const std::optional<CaptureMark> mark = captureMarkAt(point.x())) {
            emit captureMarkClicked(mark->frameId);
            event->accept();
            return;
        }
        QStyleOptionSlider option;
        initStyleOption(&option);
        const QRect handle =
            style()->subControlRect(QStyle::CC_Slider, &option, QStyle::SC_SliderHandle, this);
        // A click beside the handle puts it under the pointer (and seeks there), where the press then
        // takes hold of it: a drag can follow at once.
        if (!handle.contains(point))
            setValue(positionForSeconds(secondsAtPixel(point.x())));
    }
    QSlider::mousePressEvent(event);
}

void TimeSlider::mouseMoveEvent(QMouseEvent *event)
{
    QSlider::mouseMoveEvent(event);
    const int x = event->position().toPoint().x();
    const std::optional<CaptureMark> mark = captureMarkAt(x);
    setToolTip(mark ? mark->label : QString());
    const double seconds = mark ? mark->seconds : std::clamp(secondsAtPixel(x), 0.0, m_upperBound);
    emit hovered(MediaTime::fromSeconds(seconds, seekTimescale), event->globalPosition().toPoint());
}

void TimeSlider::leaveEvent(QEvent *event)
{
    QSlider::leaveEvent(event);
    emit hoverEnded();
}
