#include "PreviewStage.h"

#include "AnnotationCanvas.h"
#include "BusyIndicator.h"
#include "CheckerboardView.h"
#include "EmptyStateView.h"
#include "ViewStyle.h"

#include <QCoreApplication>
#include <QGestureEvent>
#include <QMouseEvent>
#include <QNativeGestureEvent>
#include <QPainter>
#include <QPainterPath>
#include <QPinchGesture>
#include <QRegion>
#include <QWheelEvent>

#include <cmath>

namespace {
constexpr int inset = 8;
constexpr qreal cornerRadius = 8;
constexpr qreal squareSize = 12;
} // namespace

PreviewStage::PreviewStage(QWidget *parent)
    : QWidget(parent)
    , m_canvas(new AnnotationCanvas(this))
    , m_emptyState(new EmptyStateView(QStringLiteral("photo"), tr("Aucun aperçu"),
                                      tr("Capturez une image pour prévisualiser les rendus."), this))
    , m_lifting(new EmptyStateView(new BusyIndicator(24), tr("Détourage en cours"),
                                   tr("Le sujet de l'image est en train d'être détouré."), this))
    , m_noSubject(new EmptyStateView(QStringLiteral("person.slash"), tr("Aucun sujet trouvé"),
                                     tr("Le détourage n'a trouvé aucun sujet dans cette image."), this))
    , m_failure(new EmptyStateView(QStringLiteral("exclamationmark.triangle.fill"),
                                   tr("Échec de l'extraction"), QString(), this))
    , m_busy(new BusyIndicator(24, this))
{
    setMinimumHeight(160);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    connect(m_canvas, &AnnotationCanvas::coversPictureChanged, this, qOverload<>(&QWidget::update));
    showEmpty();
}

void PreviewStage::showImage(const QImage &image)
{
    present(Content::Image, image);
}

void PreviewStage::showEmpty()
{
    present(Content::Empty);
}

void PreviewStage::showLifting()
{
    present(Content::Lifting);
}

void PreviewStage::showNoSubject(const QImage &still)
{
    present(Content::NoSubject, still);
}

void PreviewStage::showBusy()
{
    present(Content::Busy);
}

void PreviewStage::showFailure(const QString &message)
{
    m_failure->setDescription(message);
    present(Content::Failed);
}

QString PreviewStage::failureMessage() const
{
    return m_failure->description();
}

void PreviewStage::present(Content content, const QImage &image)
{
    m_content = content;
    m_image = image;
    // A picture of another size starts fitted; one of the same size (another style, a corrected
    // cut-out) keeps the zoom, through the messages shown in between.
    if (!image.isNull()) {
        if (image.size() != m_zoom.pictureSize())
            m_zoom.fit();
        m_zoom.setPictureSize(image.size());
    }
    m_canvas->setVisible(showsPicture());
    // Annotations that read the picture under them are shown on the cut-out itself.
    m_canvas->setBackdrop(content == Content::Image ? image : QImage());
    // Over the faded frame, the message lets the pointer through to the canvas.
    m_noSubject->setAttribute(Qt::WA_TransparentForMouseEvents, showsPicture());
    m_emptyState->setVisible(content == Content::Empty);
    m_lifting->setVisible(content == Content::Lifting);
    m_noSubject->setVisible(content == Content::NoSubject);
    m_failure->setVisible(content == Content::Failed);
    m_busy->setVisible(content == Content::Busy);
    if (m_sideTools)
        m_sideTools->setVisible(content == Content::Image || content == Content::NoSubject ||
                                content == Content::Busy);
    setToolTip(content == Content::Failed ? m_failure->description() : QString());
    layoutChildren();
    update();
}

void PreviewStage::setSideTools(QWidget *tools)
{
    m_sideTools = tools;
    tools->setParent(this);
    present(m_content, m_image);
}

EmptyStateView *PreviewStage::message() const
{
    switch (m_content) {
    case Content::Empty:
        return m_emptyState;
    case Content::Lifting:
        return m_lifting;
    case Content::NoSubject:
        return m_noSubject;
    case Content::Failed:
        return m_failure;
    case Content::Image:
    case Content::Busy:
        break;
    }
    return nullptr;
}

QRect PreviewStage::contentArea() const
{
    const int tools = m_sideTools && !m_sideTools->isHidden() ? m_sideTools->sizeHint().width() + inset : 0;
    return rect().adjusted(0, 0, -tools, 0);
}

QRect PreviewStage::pictureArea() const
{
    return contentArea().adjusted(inset, inset, -inset, -inset);
}

QRect PreviewStage::imageRect() const
{
    const QRect area = pictureArea();
    if (m_image.isNull() || area.isEmpty())
        return {};
    if (m_zoomable)
        return m_zoom.pictureRect();
    const QSize fitted = m_image.size().scaled(area.size(), Qt::KeepAspectRatio);
    QRect result(QPoint(0, 0), fitted);
    result.moveCenter(area.center());
    return result;
}

void PreviewStage::setZoomable(bool zoomable)
{
    if (zoomable == m_zoomable)
        return;
    m_zoomable = zoomable;
    if (zoomable) {
        grabGesture(Qt::PinchGesture);
        m_canvas->installEventFilter(this);
    } else {
        ungrabGesture(Qt::PinchGesture);
        m_canvas->removeEventFilter(this);
        m_zoom.fit();
    }
    zoomMoved();
}

void PreviewStage::zoomToFit()
{
    m_zoom.fit();
    zoomMoved();
}

void PreviewStage::zoomTo(double zoom, std::optional<QPointF> anchor)
{
    if (!m_zoomable || !showsPicture())
        return;
    if (anchor)
        m_zoom.setZoom(zoom, *anchor);
    else
        m_zoom.setZoom(zoom);
    zoomMoved();
}

void PreviewStage::zoomBy(double factor, std::optional<QPointF> anchor)
{
    zoomTo(m_zoom.zoom() * factor, anchor);
}

void PreviewStage::panBy(const QPointF &offset)
{
    if (!m_zoomable)
        return;
    m_zoom.panBy(offset);
    zoomMoved();
}

void PreviewStage::zoomMoved()
{
    layoutChildren();
    update();
    emit zoomChanged();
}

bool PreviewStage::pan(QMouseEvent *event, const QPointF &position)
{
    if (!m_zoomable)
        return false;
    switch (event->type()) {
    case QEvent::MouseButtonPress:
        if (event->button() != Qt::MiddleButton)
            return false;
        m_panFrom = position;
        setCursor(Qt::ClosedHandCursor);
        return true;
    case QEvent::MouseMove:
        if (!m_panFrom)
            return false;
        panBy(position - *m_panFrom);
        m_panFrom = position;
        return true;
    case QEvent::MouseButtonRelease:
        if (!m_panFrom || event->button() != Qt::MiddleButton)
            return false;
        m_panFrom.reset();
        unsetCursor();
        return true;
    default:
        return false;
    }
}

bool PreviewStage::eventFilter(QObject *watched, QEvent *event)
{
    // The middle button pans over the picture too, whatever tool the canvas has in hand.
    if (watched == m_canvas &&
        (event->type() == QEvent::MouseButtonPress || event->type() == QEvent::MouseMove ||
         event->type() == QEvent::MouseButtonRelease)) {
        auto *mouse = static_cast<QMouseEvent *>(event);
        if (pan(mouse, mouse->position() + QPointF(m_canvas->pos())))
            return true;
    }
    return QWidget::eventFilter(watched, event);
}

bool PreviewStage::event(QEvent *event)
{
    if (m_zoomable && event->type() == QEvent::NativeGesture) {
        const auto *gesture = static_cast<QNativeGestureEvent *>(event);
        if (gesture->gestureType() == Qt::ZoomNativeGesture) {
            zoomBy(1.0 + gesture->value(), mapFromGlobal(gesture->globalPosition()));
            return true;
        }
    }
    if (m_zoomable && event->type() == QEvent::Gesture) {
        auto *gestures = static_cast<QGestureEvent *>(event);
        if (auto *pinch = static_cast<QPinchGesture *>(gestures->gesture(Qt::PinchGesture))) {
            if (pinch->changeFlags() & QPinchGesture::ScaleFactorChanged)
                zoomBy(pinch->scaleFactor(), mapFromGlobal(pinch->centerPoint()));
            gestures->accept(pinch);
            return true;
        }
    }
    return QWidget::event(event);
}

void PreviewStage::wheelEvent(QWheelEvent *event)
{
    if (!m_zoomable || !showsPicture()) {
        QWidget::wheelEvent(event);
        return;
    }
    if (event->modifiers() & Qt::ControlModifier) {
        // One notch of the wheel zooms by a quarter.
        const double notches = event->angleDelta().y() / 120.0;
        zoomBy(std::pow(1.25, notches), event->position());
    } else {
        const QPoint pixels = event->pixelDelta();
        const QPointF offset = !pixels.isNull() ? QPointF(pixels) : QPointF(event->angleDelta()) / 2.0;
        // Shift turns the wheel sideways.
        panBy(event->modifiers() & Qt::ShiftModifier ? QPointF(offset.y(), offset.x()) : offset);
    }
    event->accept();
}

QSize PreviewStage::minimumSizeHint() const
{
    return {160, 160};
}

QSize PreviewStage::sizeHint() const
{
    return {480, 300};
}

void PreviewStage::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    layoutChildren();
}

void PreviewStage::layoutChildren()
{
    m_zoom.setArea(pictureArea());
    const QRect picture = imageRect();
    m_canvas->setGeometry(picture);
    // A zoomed picture shows only within its area: so does what is drawn over it.
    if (m_zoomable && !picture.isEmpty())
        m_canvas->setMask(QRegion(pictureArea().intersected(picture).translated(-picture.topLeft())));
    else
        m_canvas->clearMask();
    for (QWidget *message : {m_emptyState, m_lifting, m_noSubject, m_failure})
        message->setGeometry(contentArea());
    const QSize busySize = m_busy->sizeHint();
    m_busy->setGeometry(
        QRect(contentArea().center() - QPoint(busySize.width() / 2, busySize.height() / 2), busySize));
    if (m_sideTools) {
        const QSize toolsSize = m_sideTools->sizeHint();
        m_sideTools->setGeometry(QRect(QPoint(width() - inset - toolsSize.width(), inset), toolsSize));
    }
}

bool PreviewStage::showsPicture() const
{
    return !m_image.isNull() && (m_content == Content::Image || m_content == Content::NoSubject);
}

bool PreviewStage::forwardToCanvas(QMouseEvent *event)
{
    if (!showsPicture())
        return false;
    QMouseEvent mapped(event->type(), event->position() - QPointF(m_canvas->pos()), event->globalPosition(),
                       event->button(), event->buttons(), event->modifiers(), event->pointingDevice());
    QCoreApplication::sendEvent(m_canvas, &mapped);
    event->setAccepted(mapped.isAccepted());
    return true;
}

void PreviewStage::mousePressEvent(QMouseEvent *event)
{
    if (pan(event, event->position()))
        return;
    if (!forwardToCanvas(event))
        QWidget::mousePressEvent(event);
}

void PreviewStage::mouseMoveEvent(QMouseEvent *event)
{
    if (pan(event, event->position()))
        return;
    if (!forwardToCanvas(event))
        QWidget::mouseMoveEvent(event);
}

void PreviewStage::mouseReleaseEvent(QMouseEvent *event)
{
    if (pan(event, event->position()))
        return;
    if (!forwardToCanvas(event))
        QWidget::mouseReleaseEvent(event);
}

void PreviewStage::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    const QRectF bounds = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
    QPainterPath shape;
    shape.addRoundedRect(bounds, cornerRadius, cornerRadius);

    painter.save();
    painter.setClipPath(shape);
    if (m_content == Content::Image) {
        CheckerboardView::paint(painter, rect(), squareSize);
        // The canvas shows the picture itself while it has annotations drawn from it.
        if (!m_canvas->coversPicture())
            drawPicture(painter);
    } else {
        painter.fillRect(rect(), ViewStyle::controlBackground());
        if (showsPicture()) {
            painter.setOpacity(0.35);
            drawPicture(painter);
        }
    }
    painter.restore();

    painter.setPen(QPen(ViewStyle::separator(), 1));
    painter.setBrush(Qt::NoBrush);
    painter.drawPath(shape);
}

void PreviewStage::drawPicture(QPainter &painter) const
{
    const QRect picture = imageRect();
    if (!m_zoomable) {
        painter.drawImage(picture, m_image);
        return;
    }
    // Only the part in sight, from the part of the image it shows: a picture zoomed far in is many
    // times the stage's size. Its pixels show as squares from 200 %.
    const QRectF shown = QRectF(pictureArea().intersected(picture));
    if (shown.isEmpty())
        return;
    const double sx = m_image.width() / double(picture.width());
    const double sy = m_image.height() / double(picture.height());
    const QRectF source((shown.left() - picture.left()) * sx, (shown.top() - picture.top()) * sy,
                        shown.width() * sx, shown.height() * sy);
    painter.setRenderHint(QPainter::SmoothPixmapTransform, m_zoom.zoom() < 2.0);
    painter.drawImage(shown, m_image, source);
}
