#include "PreviewStage.h"

#include "AnnotationCanvas.h"
#include "BusyIndicator.h"
#include "CheckerboardView.h"
#include "EmptyStateView.h"
#include "ViewStyle.h"

#include <QCoreApplication>
#include <QMouseEvent>
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
    m_canvas->setVisible(showsPicture());
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

QRect PreviewStage::imageRect() const
{
    const QRect area = contentArea().adjusted(inset, inset, -inset, -inset);
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
    if (!forwardToCanvas(event))
        QWidget::mousePressEvent(event);
}

void PreviewStage::mouseMoveEvent(QMouseEvent *event)
{
    if (!forwardToCanvas(event))
        QWidget::mouseMoveEvent(event);
}

void PreviewStage::mouseReleaseEvent(QMouseEvent *event)
{
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
        painter.drawImage(imageRect(), m_image);
    } else {
        painter.fillRect(rect(), ViewStyle::controlBackground());
        if (showsPicture()) {
            painter.setOpacity(0.35);
            painter.drawImage(imageRect(), m_image);
        }
    }
    painter.restore();

    painter.setPen(QPen(ViewStyle::separator(), 1));
    painter.setBrush(Qt::NoBrush);
    painter.drawPath(shape);
}
