#pragma once

#include <QImage>
#include <QPointer>
#include <QWidget>

#include <memory>

class PlayerRenderContext;
class VideoPlayer;

// Draws a VideoPlayer's picture with mpv's software render API into an image the size of the
// widget, fitted with its aspect ratio kept: the picture where no OpenGL context can be made.
class VideoSoftwareSurface : public QWidget
{
    Q_OBJECT

public:
    explicit VideoSoftwareSurface(VideoPlayer *player, QWidget *parent = nullptr);
    ~VideoSoftwareSurface() override;

    // False when mpv refused the render context; `failure` then says why.
    bool isReady() const { return m_render != nullptr; }
    QString failure() const { return m_failure; }
    // The picture as last drawn.
    QImage picture() const { return m_picture; }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    void releaseRenderContext();

    QPointer<VideoPlayer> m_player;
    std::unique_ptr<PlayerRenderContext> m_render;
    QString m_failure;
    QImage m_picture;
};
