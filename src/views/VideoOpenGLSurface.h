#pragma once

#include <QOpenGLWidget>
#include <QPointer>

#include <memory>

class PlayerRenderContext;
class VideoPlayer;

// Draws a VideoPlayer's picture with mpv's OpenGL render API, fitted to the widget with its aspect
// ratio kept. Only for platforms that can make an OpenGL context (VideoPlayerView chooses).
class VideoOpenGLSurface : public QOpenGLWidget
{
    Q_OBJECT

public:
    explicit VideoOpenGLSurface(VideoPlayer *player, QWidget *parent = nullptr);
    ~VideoOpenGLSurface() override;

protected:
    void initializeGL() override;
    void paintGL() override;

private:
    // Frees the render context with this widget's GL context current.
    void releaseRenderContext();

    QPointer<VideoPlayer> m_player;
    std::unique_ptr<PlayerRenderContext> m_render;
};
