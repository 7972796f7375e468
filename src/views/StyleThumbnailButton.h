#pragma once

#include <QAbstractButton>
#include <QImage>

class QTimer;

// One entry of the styles strip: a 60-point square with the style's render over a checkerboard
// (or a busy indicator while it is pending), and the style's name below. The selected entry has an
// accent border and an accent caption.
class StyleThumbnailButton : public QAbstractButton
{
    Q_OBJECT

public:
    StyleThumbnailButton(const QString &caption, QWidget *parent = nullptr);

    void setImage(const QImage &image);
    QImage image() const { return m_image; }
    // Shows a busy indicator when there is no image.
    void setPending(bool pending);
    bool isPending() const { return m_pending; }
    void setSelected(bool selected);
    bool isSelected() const { return m_selected; }

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QImage m_image;
    bool m_pending = false;
    bool m_selected = false;
    QTimer *m_animation;
};
