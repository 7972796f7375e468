#include "VideoSoftwareSurface.h"

#include "platform/PlayerRenderContext.h"
#include "platform/VideoPlayer.h"

#include <QPainter>

VideoSoftwareSurface::VideoSoftwareSurface(VideoPlayer *player, QWidget *parent)
    : QWidget(parent), m_player(player)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
    // The render context must go before the player's mpv instance does.
    connect(player, &VideoPlayer::aboutToBeDestroyed, this, &VideoSoftwareSurface::releaseRenderContext);

    m_render = PlayerRenderContext::createSoftware(*player, &m_failure);
    if (!m_render)
        return;
    // Called on one of mpv's threads: only ask the GUI thread to repaint.
    m_render->setUpdateCallback(
        [this] { QMetaObject::invokeMethod(this, qOverload<>(&QWidget::update), Qt::QueuedConnection); });
}

VideoSoftwareSurface::~VideoSoftwareSurface()
{
    releaseRenderContext();
}

void VideoSoftwareSurface::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    const qreal ratio = devicePixelRatioF();
    const QSize size(qMax(1, qRound(width() * ratio)), qMax(1, qRound(height() * ratio)));
    if (!m_render || size.isEmpty()) {
        painter.fillRect(rect(), Qt::black);
        return;
    }
    if (m_picture.size() != size)
        m_picture = QImage(size, QImage::Format_RGBX8888);
    if (!m_render->renderToImage(m_picture))
        m_picture.fill(Qt::black);
    m_picture.setDevicePixelRatio(ratio);
    painter.drawImage(QPoint(0, 0), m_picture);
}

void VideoSoftwareSurface::releaseRenderContext()
{
    m_render.reset();
}
