#pragma once

#include <QImage>
#include <QSize>
#include <QString>

#include <functional>
#include <memory>

struct mpv_render_context;
class VideoPlayer;

// Draws a VideoPlayer's pictures through mpv's render API, either into the framebuffer of the
// current OpenGL context or, in software, into an image. The context must go before the player's
// mpv instance does: views drop it on VideoPlayer::aboutToBeDestroyed.
class PlayerRenderContext
{
public:
    // Needs the OpenGL context it will draw with to be current; null with `failure` set when mpv
    // refuses.
    static std::unique_ptr<PlayerRenderContext> createOpenGL(VideoPlayer &player, QString *failure);
    static std::unique_ptr<PlayerRenderContext> createSoftware(VideoPlayer &player, QString *failure);
    // An OpenGL context must be freed with its OpenGL context current.
    ~PlayerRenderContext();

    PlayerRenderContext(const PlayerRenderContext &) = delete;
    PlayerRenderContext &operator=(const PlayerRenderContext &) = delete;

    // Called on one of mpv's threads whenever a new picture is ready to draw; it must only ask the
    // GUI thread to repaint. Never called once this object is gone.
    void setUpdateCallback(std::function<void()> callback);

    // Draws the current picture into `framebuffer` (upside down, as OpenGL counts rows), without
    // waiting for the picture's display time.
    void renderToFramebuffer(int framebuffer, QSize size);
    // Draws the current picture scaled into `picture` (Format_RGBX8888); false when mpv failed.
    bool renderToImage(QImage &picture);

private:
    explicit PlayerRenderContext(mpv_render_context *render);
    static void notifyUpdate(void *self);

    mpv_render_context *m_render;
    std::function<void()> m_updateCallback;
};
