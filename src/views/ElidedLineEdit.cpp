#include "ElidedLineEdit.h"

#include <QPainter>
#include <QStyleOptionFrame>

#include <algorithm>

namespace {

// The room QLineEdit leaves between its contents and its text.
constexpr int horizontalMargin = 2;

} // namespace

ElidedLineEdit::ElidedLineEdit(QWidget *parent) : QLineEdit(parent) {}

void ElidedLineEdit::paintEvent(QPaintEvent *event)
{
    if (hasFocus() || text().isEmpty() || echoMode() != QLineEdit::Normal) {
        QLineEdit::paintEvent(event);
        return;
    }
    QPainter painter(this);
    QStyleOptionFrame panel;
    initStyleOption(&panel);
    style()->drawPrimitive(QStyle::PE_PanelLineEdit, &panel, &painter, this);

    // Where QLineEdit puts its text, with the same line height and vertical centring.
    const QRect contents = style()->subElementRect(QStyle::SE_LineEditContents, &panel, this) - textMargins();
    const QFontMetrics metrics = fontMetrics();
    const int lineHeight = std::max(metrics.boundingRect(text()).height(), metrics.height());
    const QRect line(contents.x() + horizontalMargin, contents.y() + (contents.height() - lineHeight + 1) / 2,
                     contents.width() - 2 * horizontalMargin, lineHeight);
    const QString shown = metrics.elidedText(text(), Qt::ElideRight, line.width());
    painter.setClipRect(contents);
    painter.setPen(palette().color(isEnabled() ? QPalette::Active : QPalette::Disabled, QPalette::Text));
    painter.drawText(line, int(Qt::AlignLeft | Qt::AlignTop) | Qt::TextSingleLine, shown);
}
