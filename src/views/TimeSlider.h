#pragma once

#include "support/MediaTime.h"

#include <QSlider>

// A horizontal slider over a time range in seconds. The integer steps underneath are fine enough
// (a microsecond for videos shorter than about half an hour) that a position converts back to its
// time exactly enough for a seek to the nearest 1/600 s.
//
// `seekRequested` reports every change made by the user; setting the time or the range from code
// never emits it.
class TimeSlider : public QSlider
{
    Q_OBJECT

public:
    // Timescale of the times this slider asks to seek to.
    static constexpr std::int32_t seekTimescale = 600;

    explicit TimeSlider(QWidget *parent = nullptr);

    // The range becomes 0 to max(seconds, 0.01).
    void setUpperBound(double seconds);
    double upperBound() const { return m_upperBound; }
    // Moves the handle to `seconds`, limited to the range, without asking for a seek.
    void setSeconds(double seconds);
    double seconds() const;
    // The integer position that stands for `seconds`, for keyboard and pointer interaction.
    int positionForSeconds(double seconds) const;

signals:
    void seekRequested(const MediaTime &target);

protected:
    // Disabled (no video), the groove and handle are drawn faded: the style draws them as it does
    // when enabled.
    void paintEvent(QPaintEvent *event) override;

private:
    void positionChanged(int position);

    double m_upperBound = 0.01;
    double m_stepsPerSecond = 1e6;
    bool m_settingFromCode = false;
};
