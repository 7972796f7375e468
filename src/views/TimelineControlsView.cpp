#include "TimelineControlsView.h"

#include "BusyIndicator.h"
#include "FramePreviewPopup.h"
#include "KeyboardShortcuts.h"
#include "ProminentButton.h"
#include "SymbolIcons.h"
#include "TimeSlider.h"
#include "ViewStyle.h"
#include "state/CaptureDocument.h"
#include "state/HoverPreview.h"
#include "state/Playback.h"
#include "state/ShotScan.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSlider>
#include <QToolButton>
#include <QVBoxLayout>

#include <cmath>

namespace {

// Caption size with digits of equal width, so the time does not jitter while it runs.
QLabel *makeTimeLabel(QWidget *parent)
{
    auto *label = new QLabel(parent);
    label->setFont(ViewStyle::monospacedDigits(ViewStyle::caption()));
    label->setText(MediaTime::zero().displayString());
    return label;
}

// The colour of a group's marks on the slider: hues far apart for neighbouring groups.
QColor groupColour(int group)
{
    static const int hues[] = {210, 30, 130, 330, 50, 270, 170, 0};
    return QColor::fromHsv(hues[group % int(std::size(hues))], 200, 225);
}

} // namespace

TimelineControlsView::TimelineControlsView(Playback *playback, CaptureDocument *document, QWidget *parent)
    : QWidget(parent)
    , m_playback(playback)
    , m_document(document)
    , m_currentTime(makeTimeLabel(this))
    , m_slider(new TimeSlider(this))
    , m_duration(makeTimeLabel(this))
    , m_mute(new QToolButton(this))
    , m_volume(new QSlider(Qt::Horizontal, this))
    , m_findingSharpest(new BusyIndicator(16, this))
    , m_preview(std::make_unique<FramePreviewPopup>())
{
    auto *timeRow = new QHBoxLayout;
    timeRow->addWidget(m_currentTime);
    timeRow->addWidget(m_slider, 1);
    timeRow->addWidget(m_duration);

    auto *transport = new QHBoxLayout;
    transport->setSpacing(8);
    using namespace KeyboardShortcuts;
    QPushButton *backInterval = makeTransportButton(QStringLiteral("gobackward"),
                                                    withKeys(tr("Reculer d'un intervalle"), intervalBack()));
    QPushButton *previousFrame =
        makeTransportButton(QStringLiteral("backward.frame.fill"),
                            withKeys(tr("Image précédente"), KeyboardShortcuts::previousFrame()));
    m_playPause =
        makeTransportButton(QStringLiteral("play.fill"), withKeys(tr("Lecture / Pause"), playPause()));
    // The same frame for both symbols, so the row does not shift when playback starts.
    m_playPause->setIconSize(QSize(28, 24));
    QPushButton *nextFrame = makeTransportButton(
        QStringLiteral("forward.frame.fill"), withKeys(tr("Image suivante"), KeyboardShortcuts::nextFrame()));
    QPushButton *forwardInterval = makeTransportButton(
        QStringLiteral("goforward"), withKeys(tr("Avancer d'un intervalle"), intervalForward()));
    for (QPushButton *button : {backInterval, previousFrame, m_playPause, nextFrame, forwardInterval})
        transport->addWidget(button);

    auto *capture = new ProminentButton(SymbolIcons::icon(QStringLiteral("camera.fill")), tr("Capturer"));
    capture->setObjectName(QStringLiteral("captureButton"));
    capture->setToolTip(withKeys(tr("Ajouter l'image courante à la liste"), KeyboardShortcuts::capture()));
    capture->setFocusPolicy(Qt::TabFocus);

    m_mute->setObjectName(QStringLiteral("muteButton"));
    m_mute->setCheckable(true);
    m_mute->setAutoRaise(true);
    m_mute->setFocusPolicy(Qt::TabFocus);
    m_volume->setObjectName(QStringLiteral("volumeSlider"));
    m_volume->setRange(0, 100);
    m_volume->setToolTip(tr("Volume"));
    m_volume->setFocusPolicy(Qt::TabFocus);
    m_volume->setMinimumWidth(40);
    m_volume->setMaximumWidth(100);
    auto *sound = new QHBoxLayout;
    sound->setSpacing(2);
    sound->addWidget(m_mute);
    sound->addWidget(m_volume, 1);

    auto *buttonRow = new QHBoxLayout;
    buttonRow->setSpacing(12);
    buttonRow->addLayout(transport);
    buttonRow->addStretch(1);
    buttonRow->addLayout(sound, 1);
    m_findingSharpest->setToolTip(tr("Recherche de l'image la plus nette…"));
    m_findingSharpest->hide();
    buttonRow->addWidget(m_findingSharpest);
    buttonRow->addWidget(capture);

    auto *layout = new QVBoxLayout(this);
    layout->setSpacing(12);
    layout->addLayout(timeRow);
    layout->addLayout(buttonRow);

    connect(backInterval, &QPushButton::clicked, playback, [playback] { playback->stepInterval(false); });
    connect(previousFrame, &QPushButton::clicked, playback, [playback] { playback->stepFrame(-1); });
    connect(m_playPause, &QPushButton::clicked, playback, &Playback::togglePlayPause);
    connect(nextFrame, &QPushButton::clicked, playback, [playback] { playback->stepFrame(1); });
    connect(forwardInterval, &QPushButton::clicked, playback, [playback] { playback->stepInterval(true); });
    connect(capture, &QPushButton::clicked, this, &TimelineControlsView::captureRequested);
    connect(m_mute, &QToolButton::toggled, this, [this](bool muted) {
        m_playback->setMuted(muted);
        updateSound();
    });
    connect(m_volume, &QSlider::valueChanged, this, [this](int percent) {
        m_playback->setVolume(percent);
        // Raising the level of a muted player is asking to hear it.
        if (m_mute->isChecked() && percent > 0)
            m_mute->setChecked(false);
    });
    // The slider runs from the first frame, like the times shown beside it.
    connect(m_slider, &TimeSlider::seekRequested, playback,
            [playback](const MediaTime &offset) { playback->seek(playback->startTime() + offset); });
    // A drag that ends shows the time the player reached, which did not move the handle meanwhile.
    connect(m_slider, &QAbstractSlider::sliderReleased, this, &TimelineControlsView::updateCurrentTime);

    connect(playback, &Playback::videoURLChanged, this, &TimelineControlsView::updateEnabled);
    connect(playback, &Playback::currentTimeChanged, this, &TimelineControlsView::updateCurrentTime);
    connect(playback, &Playback::startTimeChanged, this, &TimelineControlsView::updateCurrentTime);
    connect(playback, &Playback::durationChanged, this, &TimelineControlsView::updateDuration);
    connect(playback, &Playback::isPlayingChanged, this, &TimelineControlsView::updatePlayPause);

    // The frame under the pointer, exact, once its picture is made.
    HoverPreview *hoverPreview = playback->hoverPreview();
    connect(m_slider, &TimeSlider::hovered, this,
            [this, hoverPreview](const MediaTime &offset, const QPoint &pointer) {
                m_pointerX = pointer.x();
                m_hovering = true;
                hoverPreview->request(m_playback->startTime() + offset);
            });
    connect(m_slider, &TimeSlider::hoverEnded, this, [this] {
        m_hovering = false;
        m_preview->hide();
    });
    connect(m_slider, &QAbstractSlider::sliderPressed, m_preview.get(), &QWidget::hide);
    connect(hoverPreview, &HoverPreview::pictureReady, this,
            [this](const MediaTime &frameStart, const QImage &picture) {
                if (!m_hovering || m_slider->isSliderDown())
                    return;
                m_preview->present(picture, frameStart.measuredFrom(m_playback->startTime()).displayString(),
                                   m_slider, m_pointerX);
            });
    connect(playback->shots(), &ShotScan::cutsChanged, this, &TimelineControlsView::updateShotMarks);
    connect(playback, &Playback::startTimeChanged, this, &TimelineControlsView::updateShotMarks);
    connect(document, &CaptureDocument::groupsChanged, this, &TimelineControlsView::updateCaptureMarks);
    connect(playback, &Playback::startTimeChanged, this, &TimelineControlsView::updateCaptureMarks);
    connect(m_slider, &TimeSlider::captureMarkClicked, this, &TimelineControlsView::showCapture);
    updateEnabled();
    updateDuration();
    updateCurrentTime();
    updatePlayPause();
    updateShotMarks();
    updateCaptureMarks();
    // The player's own level: a new window starts at mpv's defaults, nothing is remembered.
    m_volume->setValue(int(std::lround(m_playback->volume())));
    m_mute->setChecked(m_playback->isMuted());
    updateSound();
}

TimelineControlsView::~TimelineControlsView() = default;

QPushButton *TimelineControlsView::makeTransportButton(const QString &symbol, const QString &toolTip)
{
    auto *button = new QPushButton(SymbolIcons::icon(symbol), QString(), this);
    button->setToolTip(toolTip);
    // The keyboard belongs to the window's shortcuts: the space bar plays, it does not press buttons.
    button->setFocusPolicy(Qt::TabFocus);
    return button;
}

void TimelineControlsView::setFindingSharpestFrame(bool finding)
{
    m_findingSharpest->setVisible(finding);
}

void TimelineControlsView::updateEnabled()
{
    setEnabled(!m_playback->videoURL().isEmpty());
}

void TimelineControlsView::updateCurrentTime()
{
    const MediaTime now = m_playback->currentTime().measuredFrom(m_playback->startTime());
    m_currentTime->setText(now.displayString());
    // The handle stays under the pointer while the user drags it.
    if (!m_slider->isSliderDown())
        m_slider->setSeconds(now.safeSeconds());
}

void TimelineControlsView::updateDuration()
{
    const MediaTime duration = m_playback->duration();
    m_duration->setText(duration.displayString());
    m_slider->setUpperBound(duration.safeSeconds());
    m_slider->setSeconds(m_playback->currentTime().measuredFrom(m_playback->startTime()).safeSeconds());
}

void TimelineControlsView::updatePlayPause()
{
    m_playPause->setIcon(SymbolIcons::icon(m_playback->isPlaying() ? QStringLiteral("pause.fill")
                                                                   : QStringLiteral("play.fill")));
}

void TimelineControlsView::updateSound()
{
    const bool muted = m_mute->isChecked();
    m_mute->setIcon(SymbolIcons::icon(muted ? QStringLiteral("speaker.slash.fill")
                                            : QStringLiteral("speaker.wave.2.fill")));
    m_mute->setToolTip(muted ? tr("Rétablir le son") : tr("Couper le son"));
}

void TimelineControlsView::updateShotMarks()
{
    QList<double> marks;
    for (const MediaTime &cut : m_playback->shots()->cutTimes())
        marks << cut.measuredFrom(m_playback->startTime()).safeSeconds();
    m_slider->setShotMarks(marks);
}

void TimelineControlsView::updateCaptureMarks()
{
    QList<TimeSlider::CaptureMark> marks;
    const QList<CaptureGroup> &groups = m_document->groups();
    for (int g = 0; g < groups.size(); ++g) {
        const CaptureGroup &group = groups.at(g);
        for (int f = 0; f < group.frames.size(); ++f) {
            const MediaTime time = group.frames.at(f).time.measuredFrom(m_playback->startTime());
            //: A capture's mark on the time slider: its group, its place in the group and its time.
            const QString label =
                tr("%1, image %2 (%3)").arg(group.name).arg(f + 1).arg(time.displayString());
            marks << TimeSlider::CaptureMark{time.safeSeconds(), group.frames.at(f).id, groupColour(g),
                                             ViewStyle::plainToolTip(label)};
        }
    }
    m_slider->setCaptureMarks(marks);
}

void TimelineControlsView::showCapture(const QUuid &frameId)
{
    const std::optional<CapturedFrame> frame = m_document->frame(frameId);
    if (!frame)
        return;
    m_document->setSelection({frameId});
    m_playback->pause();
    m_playback->seek(frame->time);
}
