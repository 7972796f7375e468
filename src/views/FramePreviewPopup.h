#pragma once

#include <QFrame>
#include <QImage>
#include <QString>

class QLabel;

// The small picture that floats above the time slider while the pointer is over it: the frame
// under the pointer and its time. It shows what it is given and takes no focus.
class FramePreviewPopup : public QFrame
{
    Q_OBJECT

public:
    explicit FramePreviewPopup(QWidget *parent = nullptr);

    // Shows `picture` with its time above `anchor`'s top edge, centred on `pointerX` (screen
    // coordinates), within the screen.
    void present(const QImage &picture, const QString &time, const QWidget *anchor, int pointerX);

    QImage picture() const { return m_picture; }
    QString time() const;

private:
    QLabel *m_image;
    QLabel *m_time;
    QImage m_picture;
};
