#pragma once

#include <QWidget>

class AppState;
class QLabel;
class QPushButton;
class TimeSlider;

// The strip under the video: current time, scrubbing slider, duration, the transport buttons
// and the capture button. Everything is disabled while no video is loaded.
class TimelineControlsView : public QWidget
{
    Q_OBJECT

public:
    explicit TimelineControlsView(AppState *state, QWidget *parent = nullptr);

    TimeSlider *slider() const { return m_slider; }
    QPushButton *playPauseButton() const { return m_playPause; }

private:
    QPushButton *makeTransportButton(const QString &symbol, const QString &toolTip);
    void updateEnabled();
    void updateCurrentTime();
    void updateDuration();
    void updatePlayPause();

    AppState *m_state;
    QLabel *m_currentTime;
    TimeSlider *m_slider;
    QLabel *m_duration;
    QPushButton *m_playPause = nullptr;
};
