#include "VideoSoftwareSurface.h"

#include "platform/VideoPlayer.h"

#include <QPainter>

#include <mpv/client.h>
#include <mpv/render.h>

VideoSoftwareSurface::VideoSoftwareSurface(VideoPlayer *player, QWidget *parent)
    : QWidget(parent), m_player(player)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
    // The render context must go before the player's mpv instance does.
    connect(player, &VideoPlayer::aboutToBeDestroyed, this, &VideoSoftwareSurface::releaseRenderContext);

    const char *api = MPV_RENDER_API_TYPE_SW;
    mpv_render_param parameters[] = {
        {MPV_RENDER_PARAM_API_TYPE, const_cast<char *>(api)},
        {MPV_RENDER_PARAM_INVALID, nullptr},
    };
    const int status = mpv_render_context_create(&m_render, player->handle(), parameters);
    if (status < 0) {
        m_render = nullptr;
        m_failure = QString::fromUtf8(mpv_error_string(status));
        return;
    }
    mpv_render_context_set_update_callback(m_render, &VideoSoftwareSurface::requestUpdate, this);
}

VideoSoftwareSurface::~VideoSoftwareSurface()
{
    releaseRenderContext();
}

void VideoSoftwareSurface::requestUpdate(void *context)
{
    // Called on one of mpv's threads: only ask the GUI thread to repaint.
    QMetaObject::invokeMethod(static_cast<VideoSoftwareSurface *>(context), qOverload<>(&QWidget::update),
                              Qt::QueuedConnection);
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
    // "rgb0": red, green, blue and one unused byte, as QImage's RGBX8888 lays them out.
    int renderSize[2] = {size.width(), size.height()};
    char format[] = "rgb0";
    std::size_t stride = std::size_t(m_picture.bytesPerLine());
    mpv_render_param parameters[] = {
        {MPV_RENDER_PARAM_SW_SIZE, renderSize}, {MPV_RENDER_PARAM_SW_FORMAT, format},
        {MPV_RENDER_PARAM_SW_STRIDE, &stride},  {MPV_RENDER_PARAM_SW_POINTER, m_picture.bits()},
        {MPV_RENDER_PARAM_INVALID, nullptr},
    };
    if (mpv_render_context_render(m_render, parameters) < 0)
        m_picture.fill(Qt::black);
    m_picture.setDevicePixelRatio(ratio);
    painter.drawImage(QPoint(0, 0), m_picture);
}

void VideoSoftwareSurface::releaseRenderContext()
{
    if (!m_render)
        return;
    mpv_render_context_free(m_render);
    m_render = nullptr;
}
