#include "VideoPlayerView.h"

#include "VideoOpenGLSurface.h"
#include "VideoSoftwareSurface.h"
#include "platform/VideoPlayer.h"

#include <QLabel>
#include <QOpenGLContext>
#include <QVBoxLayout>

VideoPlayerView::VideoPlayerView(VideoPlayer *player, QWidget *parent) : QWidget(parent)
{
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    if (!player->handle()) {
        showMessage(player->startFailure());
        return;
    }
    if (openGLAvailable()) {
        m_openGL = new VideoOpenGLSurface(player, this);
        layout->addWidget(m_openGL);
        return;
    }
    m_software = new VideoSoftwareSurface(player, this);
    if (m_software->isReady()) {
        layout->addWidget(m_software);
        return;
    }
    showMessage(tr("L'image de la vidéo ne peut pas être affichée : %1").arg(m_software->failure()));
}

void VideoPlayerView::showMessage(const QString &text)
{
    m_message = new QLabel(text, this);
    m_message->setAlignment(Qt::AlignCenter);
    m_message->setWordWrap(true);
    QPalette palette = m_message->palette();
    palette.setColor(QPalette::WindowText, Qt::white);
    palette.setColor(QPalette::Window, Qt::black);
    m_message->setPalette(palette);
    m_message->setAutoFillBackground(true);
    layout()->addWidget(m_message);
}

QImage VideoPlayerView::picture() const
{
    if (m_openGL)
        return m_openGL->grabFramebuffer();
    if (m_software && m_software->isReady())
        return m_software->picture();
    return {};
}

QString VideoPlayerView::message() const
{
    return m_message ? m_message->text() : QString();
}

bool VideoPlayerView::openGLAvailable()
{
    // QOpenGLWidget cannot work where no context can be made (the offscreen platform): it would
    // crash on its first paint.
    QOpenGLContext probe;
    return probe.create();
}
