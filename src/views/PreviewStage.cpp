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
    , m_failure(new EmptyStateView(QStringLiteral("exclamationmark.triangle.fill"),
                                   tr("Échec de l'extraction"), QString(), this))
    , m_busy(new BusyIndicator(24, this))
{
    setMinimumHeight(160);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    showEmpty();
}

void PreviewStage::showContent(Content content)
{
    m_content = content;
    m_canvas->setVisible(content == Content::Image);
    m_emptyState->setVisible(content == Content::Empty);
    m_failure->setVisible(content == Content::Failed);
    m_busy->setVisible(content == Content::Busy);
    setToolTip(content == Content::Failed ? m_failure->description() : QString());
    layoutChildren();
    update();
}

void PreviewStage::showImage(const QImage &image)
{
    m_image = image;
    showContent(Content::Image);
}

void PreviewStage::showEmpty()
{
    m_image = QImage();
    showContent(Content::Empty);
}

void PreviewStage::showBusy()
{
    m_image = QImage();
    showContent(Content::Busy);
}

void PreviewStage::showFailure(const QString &message)
{
    m_image = QImage();
    m_failure->setDescription(message);
    showContent(Content::Failed);
}

QString PreviewStage::failureMessage() const
{
    return m_failure->description();
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
    m_failure->setGeometry(rect());
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
