#include "EventLoopWait.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>

bool waitForEvents(const std::function<bool()> &done, qint64 limitMs)
{
    if (done())
        return true;
    QElapsedTimer clock;
    clock.start();
    QEventLoop loop;
    QTimer check;
    // Looked at every millisecond: often enough for latencies read to the millisecond, rare enough
    // to leave the processor to the threads measured.
    check.setInterval(1);
    check.setTimerType(Qt::PreciseTimer);
    bool met = false;
    QObject::connect(&check, &QTimer::timeout, &loop, [&] {
        met = done();
        if (met || clock.elapsed() > limitMs)
            loop.quit();
    });
    check.start();
    loop.exec();
    return met;
}
