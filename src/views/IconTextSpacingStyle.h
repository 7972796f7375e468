#pragma once

#include <QProxyStyle>

class QToolButton;

// The style of a tool button that shows its text beside its icon: the two are kept apart by the
// spacing the style puts between two widgets of a row, as in a header made of an icon and a title,
// where the platform style leaves them a couple of pixels apart. Everything else is the
// application's style.
class IconTextSpacingStyle : public QProxyStyle
{
    Q_OBJECT

public:
    // Gives `button` the style of this kind, one for the whole application, which owns it.
    static void apply(QToolButton *button);

    // The room between the icon and the text.
    int iconTextSpacing(const QStyleOption *option, const QWidget *widget) const;

    void drawControl(ControlElement element, const QStyleOption *option, QPainter *painter,
                     const QWidget *widget = nullptr) const override;
    QSize sizeFromContents(ContentsType type, const QStyleOption *option, const QSize &size,
                           const QWidget *widget = nullptr) const override;

private:
    IconTextSpacingStyle() = default;
};
