#include "ViewStyle.h"

#include <QApplication>
#include <QFontDatabase>
#include <QPalette>
#include <QTextDocument>
#include <QWidget>

namespace {

QFont scaled(double factor, QFont::Weight weight = QFont::Normal)
{
    QFont font = QApplication::font();
    const double size = font.pointSizeF() > 0 ? font.pointSizeF() : 10.0;
    font.setPointSizeF(size * factor);
    font.setWeight(weight);
    return font;
}

QColor withAlpha(QColor color, double alpha)
{
    color.setAlphaF(float(alpha));
    return color;
}

} // namespace

QFont ViewStyle::headline()
{
    return scaled(1.0, QFont::Bold);
}

QFont ViewStyle::subheadline()
{
    return scaled(0.92, QFont::DemiBold);
}

QFont ViewStyle::callout()
{
    return scaled(0.95);
}

QFont ViewStyle::caption()
{
    return scaled(0.85);
}

QFont ViewStyle::caption2()
{
    return scaled(0.78);
}

QFont ViewStyle::monospacedDigits(const QFont &base)
{
    QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    font.setPointSizeF(base.pointSizeF());
    font.setWeight(base.weight());
    return font;
}

QColor ViewStyle::accent()
{
    return QApplication::palette().color(QPalette::Highlight);
}

QColor ViewStyle::secondary()
{
    return withAlpha(QApplication::palette().color(QPalette::WindowText), 0.55);
}

QColor ViewStyle::quaternary()
{
    return withAlpha(QApplication::palette().color(QPalette::WindowText), 0.12);
}

QColor ViewStyle::separator()
{
    return withAlpha(QApplication::palette().color(QPalette::WindowText), 0.2);
}

QColor ViewStyle::controlBackground()
{
    return QApplication::palette().color(QPalette::Base);
}

void ViewStyle::setTextColor(QWidget *widget, const QColor &color)
{
    QPalette palette = widget->palette();
    palette.setColor(QPalette::WindowText, color);
    palette.setColor(QPalette::Text, color);
    widget->setPalette(palette);
}

QString ViewStyle::plainToolTip(const QString &text)
{
    if (!Qt::mightBeRichText(text))
        return text;
    return QStringLiteral("<p style='white-space:pre'>%1</p>").arg(text.toHtmlEscaped());
}
