#pragma once

#include <QImage>
#include <QWidget>

class AnnotationCanvas;
class BusyIndicator;
class EmptyStateView;

// The large preview area: a rendered cut-out aspect-fit over a checkerboard, with the annotation
// canvas laid exactly over the displayed image; or an empty-state message, a busy indicator, or why
// the cut-out could not be made.
// Clipped to a rounded rectangle with a thin border.
class PreviewStage : public QWidget
{
    Q_OBJECT

public:
    enum class Content { Image, Empty, Busy, Failed };

    explicit PreviewStage(QWidget *parent = nullptr);

    AnnotationCanvas *canvas() const { return m_canvas; }
    Content content() const { return m_content; }
    // Shows `image` with the canvas over it.
    void showImage(const QImage &image);
    void showEmpty();
    void showBusy();
    // Shows that the frame's still or cut-out could not be made, and `message` saying why.
    void showFailure(const QString &message);
    // The message shown by `showFailure`.
    QString failureMessage() const;

    // Where the image is drawn: its aspect-fit rectangle inside the inset area.
    QRect imageRect() const;

    QSize minimumSizeHint() const override;
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    void layoutChildren();
    // Shows `content`'s own child and hides the others.
    void showContent(Content content);

    Content m_content = Content::Empty;
    QImage m_image;
    AnnotationCanvas *m_canvas;
    QWidget *m_emptyState;
    EmptyStateView *m_failure;
    BusyIndicator *m_busy;
};
