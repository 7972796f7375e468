#pragma once

#include <QWidget>

class AppState;
class QLabel;
class QPushButton;
class QSlider;
class QToolButton;
class TimeSlider;

// The strip under the video: current time, scrubbing slider, duration, the transport buttons,
// the sound controls and the capture button. Everything is disabled while no video is loaded.
// The sound level and muting are the player's, for this window only, and start at full, unmuted.
class TimelineControlsView : public QWidget
{
    Q_OBJECT

public:
    explicit TimelineControlsView(AppState *state, QWidget *parent = nullptr);

    TimeSlider *slider() const { return m_slider; }
    QPushButton *playPauseButton() const { return m_playPause; }
    QToolButton *muteButton() const { return m_mute; }
    QSlider *volumeSlider() const { return m_volume; }

private:
    QPushButton *makeTransportButton(const QString &symbol, const QString &toolTip);
    void updateEnabled();
    void updateCurrentTime();
    void updateDuration();
    void updatePlayPause();
    void updateSound();

    AppState *m_state;
    QLabel *m_currentTime;
    TimeSlider *m_slider;
    QLabel *m_duration;
    QPushButton *m_playPause = nullptr;
    QToolButton *m_mute;
    QSlider *m_volume;
};
