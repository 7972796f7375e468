#include "MainThreadStallProbe.h"

#include <algorithm>

MainThreadStallProbe::MainThreadStallProbe()
{
    m_timer.setInterval(intervalMs);
    QObject::connect(&m_timer, &QTimer::timeout, [this] {
        const qint64 now = m_clock.elapsed();
        m_longestStall = std::max(m_longestStall, now - m_lastFired - intervalMs);
        m_lastFired = now;
    });
}

void MainThreadStallProbe::start()
{
    m_clock.start();
    m_lastFired = 0;
    m_longestStall = 0;
    m_timer.start();
}

void MainThreadStallProbe::stop()
{
    m_timer.stop();
}
