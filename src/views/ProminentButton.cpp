#include "ProminentButton.h"

#include <QApplication>
#include <QEvent>

ProminentButton::ProminentButton(const QIcon &icon, const QString &text, Size size, QWidget *parent)
    : QPushButton(icon, text, parent)
{
    if (size == Size::Large) {
        QFont larger = font();
        larger.setPointSizeF(larger.pointSizeF() * 1.15);
        setFont(larger);
        setIconSize(QSize(20, 20));
        setMinimumHeight(36);
    }
    applyAccent();
}

void ProminentButton::changeEvent(QEvent *event)
{
    QPushButton::changeEvent(event);
    if (event->type() == QEvent::ApplicationPaletteChange)
        applyAccent();
}

// The button face takes the selection colour of the application palette and its text the
// matching text colour; a disabled button keeps the style's dimmed look.
void ProminentButton::applyAccent()
{
    const QPalette application = QApplication::palette();
    QPalette accent = application;
    for (QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive}) {
        accent.setColor(group, QPalette::Button, application.color(group, QPalette::Highlight));
        accent.setColor(group, QPalette::ButtonText, application.color(group, QPalette::HighlightedText));
    }
    setPalette(accent);
}
