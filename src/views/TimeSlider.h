#pragma once

#include "support/MediaTime.h"

#include <QColor>
#include <QList>
#include <QSlider>
#include <QUuid>

#include <optional>

// A horizontal slider over a time range in seconds. The integer steps underneath are fine enough
// (a microsecond for videos shorter than about half an hour) that a position converts back to its
// time exactly enough for a seek to the nearest 1/600 s.
//
// `seekRequested` reports every change made by the user: a drag, a key, or a click on the groove,
// which puts the handle where the user clicked, as in every player. Setting the time or the range
// from code never emits it.
//
// Over the groove it marks the cuts between shots (thin lines) and the captured frames (small
// flags in their group's colour, which a click goes to). The pointer over the slider reports the
// time under it, for a preview.
class TimeSlider : public QSlider
{
    Q_OBJECT

public:
    // Timescale of the times this slider asks to seek to.
    static constexpr std::int32_t seekTimescale = 600;

    // A captured frame shown on the slider.
    struct CaptureMark
    {
        double seconds = 0.0; // from the slider's start
        QUuid frameId;
        QColor colour;
        QString label; // its tooltip
    };

    explicit TimeSlider(QWidget *parent = nullptr);

    // The range becomes 0 to max(seconds, 0.01).
    void setUpperBound(double seconds);
    double upperBound() const { return m_upperBound; }
    // Moves the handle to `seconds`, limited to the range, without asking for a seek.
    void setSeconds(double seconds);
    double seconds() const;
    // The integer position that stands for `seconds`, for keyboard and pointer interaction.
    int positionForSeconds(double seconds) const;

    // Where the handle's centre stands for `seconds`, and the seconds at a point of the groove.
    int pixelForSeconds(double seconds) const;
    double secondsAtPixel(int x) const;

    // The starts of the shots after the first, from the slider's start.
    void setShotMarks(const QList<double> &seconds);
    const QList<double> &shotMarks() const { return m_shotMarks; }
    void setCaptureMarks(const QList<CaptureMark> &marks);
    const QList<CaptureMark> &captureMarks() const { return m_captureMarks; }
    // The capture whose flag is under `x`, nearest first; none when no flag is.
    std::optional<CaptureMark> captureMarkAt(int x) const;

signals:
    void seekRequested(const MediaTime &target);
    // The pointer stands over the slider at `offset` from its start; `pointer` is where, on the screen.
    void hovered(const MediaTime &offset, const QPoint &pointer);
    void hoverEnded();
    void captureMarkClicked(const QUuid &frameId);

protected:
    // Disabled (no video), the groove and handle are drawn faded: the style draws them as it does
    // when enabled. Enabled, the marks are drawn over them.
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void leaveEvent(QEvent *event) override;

private:
    void positionChanged(int position);
    // The groove's span the handle's centre moves along, in widget pixels.
    QRect handleTravel() const;
    void paintMarks(QPainter &painter) const;

    QList<double> m_shotMarks;
    QList<CaptureMark> m_captureMarks;

    double m_upperBound = 0.01;
    double m_stepsPerSecond = 1e6;
    bool m_settingFromCode = false;
};
