#include "IconTextSpacingStyle.h"

#include <QCoreApplication>
#include <QPainter>
#include <QPointer>
#include <QStyleOptionToolButton>
#include <QToolButton>

#include <algorithm>

namespace {

// The room the application's style leaves after the icon of a tool button with text beside it,
// which it draws centred in a box 4 pixels wider than the icon: the text already starts 2 pixels
// after the icon.
constexpr int styleIconMargin = 2;

const QStyleOptionToolButton *textBesideIcon(const QStyleOption *option)
{
    const auto *button = qstyleoption_cast<const QStyleOptionToolButton *>(option);
    if (!button || button->toolButtonStyle != Qt::ToolButtonTextBesideIcon || button->text.isEmpty() ||
        button->icon.isNull() || (button->features & QStyleOptionToolButton::Arrow))
        return nullptr;
    return button;
}

} // namespace

void IconTextSpacingStyle::apply(QToolButton *button)
{
    // One style for every such button, which the application owns: a widget reads its style while it
    // is destroyed, after its children are gone, so the style cannot be one of them.
    static QPointer<IconTextSpacingStyle> shared;
    if (!shared) {
        shared = new IconTextSpacingStyle;
        shared->setParent(QCoreApplication::instance());
    }
    button->setStyle(shared);
}

int IconTextSpacingStyle::iconTextSpacing(const QStyleOption *option, const QWidget *widget) const
{
    const int spacing = layoutSpacing(QSizePolicy::Label, QSizePolicy::Label, Qt::Horizontal, option, widget);
    return spacing >= 0 ? spacing : pixelMetric(PM_LayoutHorizontalSpacing, option, widget);
}

void IconTextSpacingStyle::drawControl(ControlElement element, const QStyleOption *option, QPainter *painter,
                                       const QWidget *widget) const
{
    const QStyleOptionToolButton *button = element == CE_ToolButtonLabel ? textBesideIcon(option) : nullptr;
    if (!button) {
        QProxyStyle::drawControl(element, option, painter, widget);
        return;
    }
    // The icon where the application's style puts it, then the text after the spacing.
    QStyleOptionToolButton iconOnly = *button;
    iconOnly.text.clear();
    QProxyStyle::drawControl(element, &iconOnly, painter, widget);

    int shiftX = 0;
    int shiftY = 0;
    if (button->state & (State_Sunken | State_On)) {
        shiftX = pixelMetric(PM_ButtonShiftHorizontal, button, widget);
        shiftY = pixelMetric(PM_ButtonShiftVertical, button, widget);
    }
    const QSize iconSize = button->icon.actualSize(button->rect.size().boundedTo(button->iconSize));
    QRect textRect =
        button->rect.adjusted(styleIconMargin + iconSize.width() + iconTextSpacing(button, widget), 0, 0, 0);
    textRect.translate(shiftX, shiftY);
    int alignment = Qt::AlignLeft | Qt::AlignVCenter | Qt::TextShowMnemonic;
    if (!styleHint(SH_UnderlineShortcut, button, widget))
        alignment |= Qt::TextHideMnemonic;
    painter->save();
    painter->setFont(button->font);
    const QString text =
        QFontMetrics(button->font)
            .elidedText(button->text, Qt::ElideRight, textRect.width(), Qt::TextShowMnemonic);
    drawItemText(painter, visualRect(button->direction, button->rect, textRect), alignment, button->palette,
                 button->state & State_Enabled, text, QPalette::ButtonText);
    painter->restore();
}

QSize IconTextSpacingStyle::sizeFromContents(ContentsType type, const QStyleOption *option, const QSize &size,
                                             const QWidget *widget) const
{
    QSize contents = size;
    if (type == CT_ToolButton) {
        if (const QStyleOptionToolButton *button = textBesideIcon(option))
            contents.rwidth() += std::max(iconTextSpacing(button, widget) - styleIconMargin, 0);
    }
    return QProxyStyle::sizeFromContents(type, option, contents, widget);
}
