#pragma once

#include <QColor>
#include <QFont>
#include <QString>

class QWidget;

// The fonts and semantic colours the panels share, derived from the application's font and palette.
namespace ViewStyle {

QFont headline();
QFont subheadline(); // semibold, slightly smaller than the body
QFont callout();
QFont caption();
QFont caption2();
// A font whose digits all have the same width, for times and counters.
QFont monospacedDigits(const QFont &base);

QColor accent();
QColor secondary();  // secondary text
QColor quaternary(); // faint fills and borders
QColor separator();
QColor controlBackground();

// Sets the widget's text colour.
void setTextColor(QWidget *widget, const QColor &color);
// A tooltip that shows `text` as it is, even when it looks like markup ("<b>x</b>").
QString plainToolTip(const QString &text);

} // namespace ViewStyle
