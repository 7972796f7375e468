#include "VideoOpenGLSurface.h"

#include "platform/PlayerRenderContext.h"
#include "platform/VideoPlayer.h"

#include <QOpenGLContext>

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

    QString failure;
    m_render = PlayerRenderContext::createOpenGL(*m_player, &failure);
    if (!m_render) {
        qWarning("mpv render context: %s", qUtf8Printable(failure));
        return;
    }
    // Called on one of mpv's threads: only ask the GUI thread to repaint.
    m_render->setUpdateCallback(
        [this] { QMetaObject::invokeMethod(this, qOverload<>(&QWidget::update), Qt::QueuedConnection); });
}

void VideoOpenGLSurface::paintGL()
{
    if (!m_render)
        return;
    const qreal ratio = devicePixelRatioF();
    m_render->renderToFramebuffer(int(defaultFramebufferObject()),
                                  QSize(int(width() * ratio), int(height() * ratio)));
}

void VideoOpenGLSurface::releaseRenderContext()
{
    if (!m_render)
        return;
    makeCurrent();
    m_render.reset();
    doneCurrent();
}
