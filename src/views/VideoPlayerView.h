#pragma once

#include <QImage>
#include <QWidget>

class QLabel;
class VideoOpenGLSurface;
class VideoPlayer;
class VideoSoftwareSurface;

// Shows a VideoPlayer's picture, fitted to the view with its aspect ratio kept. Drawn with OpenGL
// where the platform can make a context, otherwise by mpv's software renderer; when neither can
// draw, the picture area says so and the rest of the window works on. The player must have been
// made for a view (PlayerOutput::View).
class VideoPlayerView : public QWidget
{
    Q_OBJECT

public:
    explicit VideoPlayerView(VideoPlayer *player, QWidget *parent = nullptr);

    bool drawsWithOpenGL() const { return m_openGL != nullptr; }
    // The picture as last drawn; null while nothing can be drawn.
    QImage picture() const;
    // The text shown instead of the picture, or empty.
    QString message() const;

    // Whether this platform can make an OpenGL context.
    static bool openGLAvailable();

private:
    // Shows `text` in the picture's place, white on black.
    void showMessage(const QString &text);

    VideoOpenGLSurface *m_openGL = nullptr;
    VideoSoftwareSurface *m_software = nullptr;
    QLabel *m_message = nullptr;
};
