#include "VideoOpenGLSurface.h"

#include "platform/VideoPlayer.h"

#include <QOpenGLContext>

#include <mpv/client.h>
#include <mpv/render_gl.h>

namespace {

void *procAddress(void *, const char *name)
{
    QOpenGLContext *context = QOpenGLContext::currentContext();
    return context ? reinterpret_cast<void *>(context->getProcAddress(name)) : nullptr;
}

} // namespace

VideoOpenGLSurface::VideoOpenGLSurface(VideoPlayer *player, QWidget *parent)
    : QOpenGLWidget(parent), m_player(player)
{
    // The render context must go before the player's mpv instance does.
    connect(player, &VideoPlayer::aboutToBeDestroyed, this, &VideoOpenGLSurface::releaseRenderContext);
}

VideoOpenGLSurface::~VideoOpenGLSurface()
{
    releaseRenderContext();
    // QOpenGLWidget's own destructor destroys the GL context, whose aboutToBeDestroyed must not
    // reach this object any more: by then only the base class is left.
    if (QOpenGLContext *gl = context())
        disconnect(gl, nullptr, this, nullptr);
}

void VideoOpenGLSurface::initializeGL()
{
    if (!m_player || m_render)
        return;
    // The GL context goes away when the widget changes window: the render context goes with it.
    connect(context(), &QOpenGLContext::aboutToBeDestroyed, this, &VideoOpenGLSurface::releaseRenderContext,
            Qt::UniqueConnection);

    mpv_opengl_init_params glParameters{&procAddress, nullptr};
    const char *api = MPV_RENDER_API_TYPE_OPENGL;
    mpv_render_param parameters[] = {
        {MPV_RENDER_PARAM_API_TYPE, const_cast<char *>(api)},
        {MPV_RENDER_PARAM_OPENGL_INIT_PARAMS, &glParameters},
        {MPV_RENDER_PARAM_INVALID, nullptr},
    };
    const int status = mpv_render_context_create(&m_render, m_player->handle(), parameters);
    if (status < 0) {
        qWarning("mpv render context: %s", mpv_error_string(status));
        m_render = nullptr;
        return;
    }
    mpv_render_context_set_update_callback(m_render, &VideoOpenGLSurface::requestUpdate, this);
}

void VideoOpenGLSurface::requestUpdate(void *context)
{
    // Called on one of mpv's threads: only ask the GUI thread to repaint.
    QMetaObject::invokeMethod(static_cast<VideoOpenGLSurface *>(context), qOverload<>(&QWidget::update),
                              Qt::QueuedConnection);
}

void VideoOpenGLSurface::paintGL()
{
    if (!m_render)
        return;
    const qreal ratio = devicePixelRatioF();
    mpv_opengl_fbo target{int(defaultFramebufferObject()), int(width() * ratio), int(height() * ratio), 0};
    int flipY = 1;
    int blockForTargetTime = 0;
    mpv_render_param parameters[] = {
        {MPV_RENDER_PARAM_OPENGL_FBO, &target},
        {MPV_RENDER_PARAM_FLIP_Y, &flipY},
        {MPV_RENDER_PARAM_BLOCK_FOR_TARGET_TIME, &blockForTargetTime},
        {MPV_RENDER_PARAM_INVALID, nullptr},
    };
    mpv_render_context_render(m_render, parameters);
}

void VideoOpenGLSurface::releaseRenderContext()
{
    if (!m_render)
        return;
    makeCurrent();
    mpv_render_context_free(m_render);
    m_render = nullptr;
    doneCurrent();
}
