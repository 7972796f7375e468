#include "StyleThumbnailButton.h"

#include "BusyIndicator.h"
#include "CheckerboardView.h"
#include "ViewStyle.h"

#include <QPainter>
#include <QPainterPath>
#include <QTimer>

#include <algorithm>

namespace {
constexpr int side = 60;
constexpr int spacing = 4;
} // namespace

StyleThumbnailButton::StyleThumbnailButton(const QString &caption, QWidget *parent)
    : QAbstractButton(parent), m_animation(new QTimer(this))
{
    setText(caption);
    setFont(ViewStyle::caption2());
    setCursor(Qt::PointingHandCursor);
    m_animation->setInterval(110);
    connect(m_animation, &QTimer::timeout, this, qOverload<>(&QWidget::update));
}

void StyleThumbnailButton::setImage(const QImage &image)
{
    m_image = image;
    if (m_pending && m_image.isNull())

        m_animation->start();

    else

        m_animation->stop();
    update();
}

void StyleThumbnailButton::setPending(bool pending)
{
    m_pending = pending;
    if (m_pending && m_image.isNull())

        m_animation->start();

    else

        m_animation->stop();
    update();
}

void StyleThumbnailButton::setSelected(bool selected)
{
    if (selected == m_selected)
        return;
    m_selected = selected;
    update();
}

QSize StyleThumbnailButton::sizeHint() const
{
    return {std::max(side, fontMetrics().horizontalAdvance(text())), side + spacing + fontMetrics().height()};
}

void StyleThumbnailButton::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);

    const QRectF square((width() - side) / 2.0, 0, side, side);
    QPainterPath shape;
    shape.addRoundedRect(square, 6, 6);
    painter.save();
    painter.setClipPath(shape);
    CheckerboardView::paint(painter, square, 5);
    if (!m_image.isNull()) {
        const QRectF area = square.adjusted(2, 2, -2, -2);
        QSizeF fitted = QSizeF(m_image.size()).scaled(area.size(), Qt::KeepAspectRatio);
        QRectF target(QPointF(), fitted);
        target.moveCenter(area.center());
        painter.drawImage(target, m_image);
    } else if (m_pending) {
        const QRectF spinner(square.center() - QPointF(8, 8), QSizeF(16, 16));
        BusyIndicator::paint(painter, spinner, BusyIndicator::currentPhase(),
                             palette().color(QPalette::WindowText));
    }
    painter.restore();
    if (m_selected) {
        painter.setPen(QPen(ViewStyle::accent(), 2));
        painter.setBrush(Qt::NoBrush);
        QPainterPath border;
        border.addRoundedRect(square.adjusted(1, 1, -1, -1), 5, 5);
        painter.drawPath(border);
    }

    painter.setPen(m_selected ? ViewStyle::accent() : ViewStyle::secondary());
    const QRectF captionRect(0, side + spacing, width(), fontMetrics().height());
    painter.drawText(captionRect, Qt::AlignHCenter | Qt::AlignVCenter | Qt::TextSingleLine,
                     fontMetrics().elidedText(text(), Qt::ElideRight, width()));
}
