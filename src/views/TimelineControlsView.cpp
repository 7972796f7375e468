#include "TimelineControlsView.h"

#include "ProminentButton.h"
#include "SymbolIcons.h"
#include "TimeSlider.h"
#include "ViewStyle.h"
#include "state/AppState.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

// Caption size with digits of equal width, so the time does not jitter while it runs.
QLabel *makeTimeLabel(QWidget *parent)
{
    auto *label = new QLabel(parent);
    label->setFont(ViewStyle::monospacedDigits(ViewStyle::caption()));
    label->setText(MediaTime::zero().displayString());
    return label;
}

} // namespace

TimelineControlsView::TimelineControlsView(AppState *state, QWidget *parent)
    : QWidget(parent)
    , m_state(state)
    , m_currentTime(makeTimeLabel(this))
    , m_slider(new TimeSlider(this))
    , m_duration(makeTimeLabel(this))
{
    auto *timeRow = new QHBoxLayout;
    timeRow->addWidget(m_currentTime);
    timeRow->addWidget(m_slider, 1);
    timeRow->addWidget(m_duration);

    auto *transport = new QHBoxLayout;
    transport->setSpacing(8);
    QPushButton *backInterval =
        makeTransportButton(QStringLiteral("gobackward"), tr("Reculer d'un intervalle (Shift+←)"));
    QPushButton *previousFrame =
        makeTransportButton(QStringLiteral("backward.frame.fill"), tr("Image précédente (←)"));
    m_playPause = makeTransportButton(QStringLiteral("play.fill"), tr("Lecture / Pause (Espace)"));
    // The same frame for both symbols, so the row does not shift when playback starts.
    m_playPause->setIconSize(QSize(28, 24));
    QPushButton *nextFrame =
        makeTransportButton(QStringLiteral("forward.frame.fill"), tr("Image suivante (→)"));
    QPushButton *forwardInterval =
        makeTransportButton(QStringLiteral("goforward"), tr("Avancer d'un intervalle (Shift+→)"));
    for (QPushButton *button : {backInterval, previousFrame, m_playPause, nextFrame, forwardInterval})
        transport->addWidget(button);

    auto *capture = new ProminentButton(SymbolIcons::icon(QStringLiteral("camera.fill")), tr("Capturer"));
    capture->setObjectName(QStringLiteral("captureButton"));
    capture->setToolTip(tr("Ajouter l'image courante à la liste (C)"));
    capture->setFocusPolicy(Qt::TabFocus);

    auto *buttonRow = new QHBoxLayout;
    buttonRow->setSpacing(12);
    buttonRow->addLayout(transport);
    buttonRow->addStretch(1);
    buttonRow->addWidget(capture);

    auto *layout = new QVBoxLayout(this);
    layout->setSpacing(12);
    layout->addLayout(timeRow);
    layout->addLayout(buttonRow);

    connect(backInterval, &QPushButton::clicked, state, [state] { state->stepInterval(false); });
    connect(previousFrame, &QPushButton::clicked, state, [state] { state->stepFrame(-1); });
    connect(m_playPause, &QPushButton::clicked, state, &AppState::togglePlayPause);
    connect(nextFrame, &QPushButton::clicked, state, [state] { state->stepFrame(1); });
    connect(forwardInterval, &QPushButton::clicked, state, [state] { state->stepInterval(true); });
    connect(capture, &QPushButton::clicked, state, &AppState::captureCurrentFrame);
    // The slider runs from the first frame, like the times shown beside it.
    connect(m_slider, &TimeSlider::seekRequested, state,
            [state](const MediaTime &offset) { state->seek(state->startTime() + offset); });
    // A drag that ends shows the time the player reached, which did not move the handle meanwhile.
    connect(m_slider, &QAbstractSlider::sliderReleased, this, &TimelineControlsView::updateCurrentTime);

    connect(state, &AppState::videoURLChanged, this, &TimelineControlsView::updateEnabled);
    connect(state, &AppState::currentTimeChanged, this, &TimelineControlsView::updateCurrentTime);
    connect(state, &AppState::startTimeChanged, this, &TimelineControlsView::updateCurrentTime);
    connect(state, &AppState::durationChanged, this, &TimelineControlsView::updateDuration);
    connect(state, &AppState::isPlayingChanged, this, &TimelineControlsView::updatePlayPause);
    updateEnabled();
    updateDuration();
    updateCurrentTime();
    updatePlayPause();
}

QPushButton *TimelineControlsView::makeTransportButton(const QString &symbol, const QString &toolTip)
{
    auto *button = new QPushButton(SymbolIcons::icon(symbol), QString(), this);
    button->setToolTip(toolTip);
    // The keyboard belongs to the window's shortcuts: the space bar plays, it does not press buttons.
    button->setFocusPolicy(Qt::TabFocus);
    return button;
}

void TimelineControlsView::updateEnabled()
{
    setEnabled(!m_state->videoURL().isEmpty());
}

void TimelineControlsView::updateCurrentTime()
{
    const MediaTime now = m_state->currentTime().measuredFrom(m_state->startTime());
    m_currentTime->setText(now.displayString());
    // The handle stays under the pointer while the user drags it.
    if (!m_slider->isSliderDown())
        m_slider->setSeconds(now.safeSeconds());
}

void TimelineControlsView::updateDuration()
{
    const MediaTime duration = m_state->duration();
    m_duration->setText(duration.displayString());
    m_slider->setUpperBound(duration.safeSeconds());
    m_slider->setSeconds(m_state->currentTime().measuredFrom(m_state->startTime()).safeSeconds());
}

void TimelineControlsView::updatePlayPause()
{
    m_playPause->setIcon(
        SymbolIcons::icon(m_state->isPlaying() ? QStringLiteral("pause.fill") : QStringLiteral("play.fill")));
}
