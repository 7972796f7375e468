#pragma once

#include "PictureZoom.h"

#include <QImage>
#include <QWidget>

#include <optional>

class AnnotationCanvas;
class BusyIndicator;
class EmptyStateView;
class QPainter;

// The large preview area: a rendered cut-out aspect-fit over a checkerboard, with the annotation
// canvas laid exactly over the displayed image; or a message saying why there is none yet: no
// frame to preview, its subject being lifted, no subject found, or why the cut-out could not be
// made; or a busy indicator while the styles render. Clipped to a rounded rectangle with a thin
// border. A drag that starts on the checkerboard around the picture goes to the canvas, which
// clamps it to the picture.
//
// A zoomable stage shows the picture fitted at first, and zoomed (Ctrl+wheel, a pinch, the zoom
// operations) and panned (the wheel, a drag with the middle button) on request; the canvas follows
// the picture, so that what is drawn on it lands where it was drawn at any zoom.
class PreviewStage : public QWidget
{
    Q_OBJECT

public:
    enum class Content { Image, Empty, Lifting, NoSubject, Failed, Busy };

    explicit PreviewStage(QWidget *parent = nullptr);

    AnnotationCanvas *canvas() const { return m_canvas; }
    Content content() const { return m_content; }
    // Shows `image` with the canvas over it.
    void showImage(const QImage &image);
    // No frame to preview.
    void showEmpty();
    // The frame's subject is being lifted.
    void showLifting();
    // Lifting found no subject in the frame. With `still`, the frame shows faded behind the message
    // and the canvas lies over it, so that the tools adding a subject can reach the picture.
    void showNoSubject(const QImage &still = QImage());
    // The cut-out exists; its styles are rendering.
    void showBusy();
    // Shows that the frame's still or cut-out could not be made, and `message` saying why.
    void showFailure(const QString &message);
    // The message shown by `showFailure`.
    QString failureMessage() const;
    // The message shown for the current content, or null for the picture and the busy indicator.
    EmptyStateView *message() const;

    // Lays `tools` (the stage takes it) along its right side, beside the picture or the message,
    // while a frame is there to work on: a picture, or the message that it has no subject.
    void setSideTools(QWidget *tools);
    QWidget *sideTools() const { return m_sideTools; }

    // Where the image is drawn: its aspect-fit rectangle inside the inset area, or, on a zoomable
    // stage, its zoomed and panned rectangle (which may reach beyond the stage).
    QRect imageRect() const;

    // --- Zoom ---------------------------------------------------------------------------------------

    void setZoomable(bool zoomable);
    bool isZoomable() const { return m_zoomable; }
    // The scale the picture is shown at: 1 shows one pixel of it per point.
    double zoom() const { return m_zoom.zoom(); }
    bool fitsPicture() const { return m_zoom.fits(); }
    void zoomToFit();
    // Zooms to `zoom`, the picture's point under `anchor` (in the stage's coordinates) staying there;
    // about the middle of the picture's area without an anchor.
    void zoomTo(double zoom, std::optional<QPointF> anchor = std::nullopt);
    // Zooms in (factor above 1) or out by `factor`.
    void zoomBy(double factor, std::optional<QPointF> anchor = std::nullopt);
    void panBy(const QPointF &offset);

    QSize minimumSizeHint() const override;
    QSize sizeHint() const override;

signals:
    // The zoom or the pan changed.
    void zoomChanged();

protected:
    bool event(QEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;
    void wheelEvent(QWheelEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;

private:
    void present(Content content, const QImage &image = QImage());
    void layoutChildren();
    // The stage without the tools along its side.
    QRect contentArea() const;
    // Whether a picture shows, with the canvas over it.
    bool showsPicture() const;
    // Hands a pointer event on the margin to the canvas, in its coordinates; false without a picture.
    bool forwardToCanvas(QMouseEvent *event);
    // The inset area the picture is shown in.
    QRect pictureArea() const;
    // A middle-button drag pans a zoomable stage; true when `event` (in the stage's coordinates) was
    // part of one.
    bool pan(QMouseEvent *event, const QPointF &position);
    void zoomMoved();
    // Paints the picture where imageRect() says, only its part in sight on a zoomable stage.
    void drawPicture(QPainter &painter) const;

    // Before the children made in the constructor: making them sends this stage events that read it.
    bool m_zoomable = false;
    Content m_content = Content::Empty;
    QImage m_image;
    AnnotationCanvas *m_canvas;
    EmptyStateView *m_emptyState;
    EmptyStateView *m_lifting;
    EmptyStateView *m_noSubject;
    EmptyStateView *m_failure;
    BusyIndicator *m_busy;
    QWidget *m_sideTools = nullptr;
    PictureZoom m_zoom;
    std::optional<QPointF> m_panFrom; // where the middle-button drag is, in the stage's coordinates
};
