#include "PreviewStage.h"

#include "AnnotationCanvas.h"
#include "BusyIndicator.h"
#include "CheckerboardView.h"
#include "EmptyStateView.h"
#include "ViewStyle.h"

#include <QPainter>
#include <QPainterPath>

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
    , m_busy(new BusyIndicator(24, this))
{
    setMinimumHeight(160);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    showEmpty();
}

void PreviewStage::showImage(const QImage &image)
{
    m_content = Content::Image;
    m_image = image;
    m_emptyState->hide();
    m_busy->hide();
    m_canvas->show();
    layoutChildren();
    update();
}

void PreviewStage::showEmpty()
{
    m_content = Content::Empty;
    m_image = QImage();
    m_canvas->hide();
    m_busy->hide();
    m_emptyState->show();
    layoutChildren();
    update();
}

void PreviewStage::showBusy()
{
    m_content = Content::Busy;
    m_image = QImage();
    m_canvas->hide();
    m_emptyState->hide();
    m_busy->show();
    layoutChildren();
    update();
}

QRect PreviewStage::imageRect() const
{
    const QRect area = rect().adjusted(inset, inset, -inset, -inset);
    if (m_image.isNull() || area.isEmpty())
        return {};
    const QSize fitted = m_image.size().scaled(area.size(), Qt::KeepAspectRatio);
    QRect result(QPoint(0, 0), fitted);
    result.moveCenter(area.center());
    return result;
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
    m_canvas->setGeometry(imageRect());
    m_emptyState->setGeometry(rect());
    const QSize busySize = m_busy->sizeHint();
    m_busy->setGeometry(
        QRect(rect().center() - QPoint(busySize.width() / 2, busySize.height() / 2), busySize));
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
        painter.drawImage(imageRect(), m_image);
    } else {
        painter.fillRect(rect(), ViewStyle::controlBackground());
    }
    painter.restore();

    painter.setPen(QPen(ViewStyle::separator(), 1));
    painter.setBrush(Qt::NoBrush);
    painter.drawPath(shape);
}
