#include "PlayerRenderContext.h"

#include "VideoPlayer.h"

#include <QOpenGLContext>

#include <mpv/client.h>
#include <mpv/render_gl.h>

namespace {

void *procAddress(void *, const char *name)
{
    QOpenGLContext *context = QOpenGLContext::currentContext();
    return context ? reinterpret_cast<void *>(context->getProcAddress(name)) : nullptr;
}

// Null, with `failure` set, when mpv refuses.
mpv_render_context *create(VideoPlayer &player, mpv_render_param *parameters, QString *failure)
{
    mpv_render_context *render = nullptr;
    const int status = mpv_render_context_create(&render, player.handle(), parameters);
    if (status >= 0)
        return render;
    if (failure)
        *failure = QString::fromUtf8(mpv_error_string(status));
    return nullptr;
}

} // namespace

PlayerRenderContext::PlayerRenderContext(mpv_render_context *render) : m_render(render) {}

std::unique_ptr<PlayerRenderContext> PlayerRenderContext::createOpenGL(VideoPlayer &player, QString *failure)
{
    mpv_opengl_init_params glParameters{&procAddress, nullptr};
    const char *api = MPV_RENDER_API_TYPE_OPENGL;
    mpv_render_param parameters[] = {
        {MPV_RENDER_PARAM_API_TYPE, const_cast<char *>(api)},
        {MPV_RENDER_PARAM_OPENGL_INIT_PARAMS, &glParameters},
        {MPV_RENDER_PARAM_INVALID, nullptr},
    };
    mpv_render_context *render = create(player, parameters, failure);
    return render ? std::unique_ptr<PlayerRenderContext>(new PlayerRenderContext(render)) : nullptr;
}

std::unique_ptr<PlayerRenderContext> PlayerRenderContext::createSoftware(VideoPlayer &player,
                                                                         QString *failure)
{
    const char *api = MPV_RENDER_API_TYPE_SW;
    mpv_render_param parameters[] = {
        {MPV_RENDER_PARAM_API_TYPE, const_cast<char *>(api)},
        {MPV_RENDER_PARAM_INVALID, nullptr},
    };
    mpv_render_context *render = create(player, parameters, failure);
    return render ? std::unique_ptr<PlayerRenderContext>(new PlayerRenderContext(render)) : nullptr;
}

PlayerRenderContext::~PlayerRenderContext()
{
    // Once freed, mpv calls the update callback no more.
    mpv_render_context_free(m_render);
}

void PlayerRenderContext::setUpdateCallback(std::function<void()> callback)
{
    // mpv may call the old callback until the new one is set: set it while none is installed.
    mpv_render_context_set_update_callback(m_render, nullptr, nullptr);
    m_updateCallback = std::move(callback);
    if (m_updateCallback)
        mpv_render_context_set_update_callback(m_render, &PlayerRenderContext::notifyUpdate, this);
}

void PlayerRenderContext::notifyUpdate(void *self)
{
    static_cast<PlayerRenderContext *>(self)->m_updateCallback();
}

void PlayerRenderContext::renderToFramebuffer(int framebuffer, QSize size)
{
    mpv_opengl_fbo target{framebuffer, size.width(), size.height(), 0};
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

bool PlayerRenderContext::renderToImage(QImage &picture)
{
    Q_ASSERT(picture.format() == QImage::Format_RGBX8888);
    // "rgb0": red, green, blue and one unused byte, as QImage's RGBX8888 lays them out.
    int renderSize[2] = {picture.width(), picture.height()};
    char format[] = "rgb0";
    std::size_t stride = std::size_t(picture.bytesPerLine());
    mpv_render_param parameters[] = {
        {MPV_RENDER_PARAM_SW_SIZE, renderSize}, {MPV_RENDER_PARAM_SW_FORMAT, format},
        {MPV_RENDER_PARAM_SW_STRIDE, &stride},  {MPV_RENDER_PARAM_SW_POINTER, picture.bits()},
        {MPV_RENDER_PARAM_INVALID, nullptr},
    };
    return mpv_render_context_render(m_render, parameters) >= 0;
}
