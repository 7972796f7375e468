#pragma once

#include <QElapsedTimer>
#include <QTimer>

// A timer that should fire every 5 ms on the main thread: how late it comes is how long the main
// thread was held at a time.
class MainThreadStallProbe
{
public:
    MainThreadStallProbe();

    void start();
    void stop();
    // The longest lateness seen since start(), in milliseconds.
    qint64 longestStall() const { return m_longestStall; }

private:
    static constexpr int intervalMs = 5;

    QTimer m_timer;
    QElapsedTimer m_clock;
    qint64 m_lastFired = 0;
    qint64 m_longestStall = 0;
};
