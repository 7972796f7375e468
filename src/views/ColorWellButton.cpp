#include "ColorWellButton.h"

#include "CheckerboardView.h"
#include "ViewStyle.h"

#include <QColorDialog>
#include <QPainter>
#include <QPainterPath>
#include <QStyleOptionToolButton>
#include <QStylePainter>

ColorWellButton::ColorWellButton(QWidget *parent) : QToolButton(parent)
{
    setAutoRaise(true);
    connect(this, &QToolButton::clicked, this, &ColorWellButton::chooseColor);
}

void ColorWellButton::setColor(const QColor &color)
{
    if (color == m_color)
        return;
    m_color = color;
    update();
}

QSize ColorWellButton::sizeHint() const
{
    return {38, 22};
}

void ColorWellButton::paintEvent(QPaintEvent *)
{
    QStylePainter painter(this);
    QStyleOptionToolButton option;
    initStyleOption(&option);
    option.icon = QIcon();
    option.text.clear();
    painter.drawComplexControl(QStyle::CC_ToolButton, option);

    const QRectF swatch = QRectF(rect()).adjusted(5, 4, -5, -4);
    QPainterPath shape;
    shape.addRoundedRect(swatch, 3, 3);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.save();
    painter.setClipPath(shape);
    CheckerboardView::paint(painter, swatch, 4);
    painter.fillRect(swatch, m_color);
    painter.restore();
    painter.setPen(QPen(ViewStyle::separator(), 1));
    painter.setBrush(Qt::NoBrush);
    painter.drawPath(shape);
}

void ColorWellButton::chooseColor()
{
    const QColor chosen = QColorDialog::getColor(m_color, this, toolTip(), QColorDialog::ShowAlphaChannel);
    if (!chosen.isValid())
        return;
    setColor(chosen);
    emit colorEdited(chosen);
}
