#include "BusyIndicator.h"

#include "ViewStyle.h"

#include <QDateTime>
#include <QPainter>
#include <QTimer>

#include <algorithm>
#include <cmath>
#include <numbers>

namespace {
constexpr int tickCount = 8;
constexpr int turnMilliseconds = 900;
} // namespace

BusyIndicator::BusyIndicator(int diameter, QWidget *parent)
    : QWidget(parent), m_diameter(diameter), m_timer(new QTimer(this))
{
    setAttribute(Qt::WA_TransparentForMouseEvents);
    m_timer->setInterval(turnMilliseconds / tickCount);
    connect(m_timer, &QTimer::timeout, this, qOverload<>(&QWidget::update));
}

QSize BusyIndicator::sizeHint() const
{
    return {m_diameter, m_diameter};
}

qreal BusyIndicator::currentPhase()
{
    return double(QDateTime::currentMSecsSinceEpoch() % turnMilliseconds) / turnMilliseconds;
}

void BusyIndicator::paint(QPainter &painter, const QRectF &rect, qreal phase, const QColor &color)
{
    const qreal diameter = std::min(rect.width(), rect.height());
    if (diameter <= 0)
        return;
    const QPointF centre = rect.center();
    const qreal outer = diameter / 2;
    const qreal inner = outer * 0.5;
    const int lead = int(phase * tickCount) % tickCount;
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    for (int i = 0; i < tickCount; ++i) {
        const int age = (lead - i + tickCount) % tickCount;
        QColor tick = color;
        tick.setAlphaF(float(color.alphaF() * (1.0 - 0.8 * age / tickCount)));
        painter.setPen(QPen(tick, std::max(1.5, diameter / 9), Qt::SolidLine, Qt::RoundCap));
        const qreal angle = 2 * std::numbers::pi * i / tickCount - std::numbers::pi / 2;
        const QPointF direction(std::cos(angle), std::sin(angle));
        painter.drawLine(centre + direction * inner, centre + direction * outer);
    }
    painter.restore();
}

void BusyIndicator::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    paint(painter, rect(), currentPhase(), palette().color(QPalette::WindowText));
}

void BusyIndicator::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    m_timer->start();
}

void BusyIndicator::hideEvent(QHideEvent *event)
{
    QWidget::hideEvent(event);
    m_timer->stop();
}
