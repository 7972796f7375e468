#pragma once

#include <QUuid>
#include <QWidget>

#include <memory>

class BusyIndicator;
class CaptureDocument;
class FramePreviewPopup;
class Playback;
class QLabel;
class QPushButton;
class QSlider;
class QToolButton;
class TimeSlider;

// The strip under the video: current time, scrubbing slider, duration, the transport buttons,
// the sound controls and the capture button. Everything is disabled while no video is loaded.
// The slider marks the cuts between shots and the captured frames; a click on a capture's mark
// selects it and shows it, and the pointer over the slider previews the frame under it.
// The sound level and muting are the playback's, for this window only, and start at full, unmuted.
// It reads and drives the playback, and reads the document's captures; the capture button asks for
// a capture, which its owner makes.
class TimelineControlsView : public QWidget
{
    Q_OBJECT

public:
    TimelineControlsView(Playback *playback, CaptureDocument *document, QWidget *parent = nullptr);
    ~TimelineControlsView() override;

    // Shows, beside the capture button, that the sharpest frame is being looked for.
    void setFindingSharpestFrame(bool finding);

    TimeSlider *slider() const { return m_slider; }
    QPushButton *playPauseButton() const { return m_playPause; }
    QToolButton *muteButton() const { return m_mute; }
    QSlider *volumeSlider() const { return m_volume; }
    FramePreviewPopup *framePreview() const { return m_preview.get(); }

signals:
    // The capture button was pressed: the frame on screen is to be captured.
    void captureRequested();

private:
    QPushButton *makeTransportButton(const QString &symbol, const QString &toolTip);
    void updateEnabled();
    void updateCurrentTime();
    void updateDuration();
    void updatePlayPause();
    void updateSound();
    void updateShotMarks();
    void updateCaptureMarks();
    void showCapture(const QUuid &frameId);

    Playback *m_playback;
    CaptureDocument *m_document;
    QLabel *m_currentTime;
    TimeSlider *m_slider;
    QLabel *m_duration;
    QPushButton *m_playPause = nullptr;
    QToolButton *m_mute;
    QSlider *m_volume;
    BusyIndicator *m_findingSharpest;
    // A window of its own, floating above the slider, not a child: the strip's widgets are its own.
    std::unique_ptr<FramePreviewPopup> m_preview;
    // Where the pointer last stood over the slider, on the screen; the preview follows it.
    int m_pointerX = 0;
    bool m_hovering = false;
};
