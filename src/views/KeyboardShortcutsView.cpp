#include "KeyboardShortcutsView.h"

#include "KeyboardShortcuts.h"
#include "ViewStyle.h"

#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QScrollArea>
#include <QVBoxLayout>

#include <algorithm>

namespace {

QLabel *plainLabel(const QString &text, QWidget *parent)
{
    auto *label = new QLabel(parent);
    label->setTextFormat(Qt::PlainText);
    label->setText(text);
    return label;
}

} // namespace

KeyboardShortcutsView::KeyboardShortcutsView(const QList<Section> &sections, QWidget *parent)
    : QDialog(parent)
{
    setWindowTitle(tr("Raccourcis clavier"));

    auto *list = new QWidget;
    auto *grid = new QGridLayout(list);
    grid->setHorizontalSpacing(24);
    grid->setVerticalSpacing(6);
    grid->setColumnStretch(0, 1);
    int row = 0;
    for (const Section &section : sections) {
        if (row > 0)
            grid->setRowMinimumHeight(row++, 10);
        QLabel *title = plainLabel(section.title, list);
        title->setFont(ViewStyle::headline());
        grid->addWidget(title, row++, 0, 1, 2);
        for (const Entry &entry : section.entries) {
            QLabel *description = plainLabel(entry.description, list);
            description->setObjectName(QStringLiteral("shortcutDescription"));
            QLabel *keys = plainLabel(KeyboardShortcuts::text(entry.keys), list);
            keys->setObjectName(QStringLiteral("shortcutKeys"));
            QFont keyFont = keys->font();
            keyFont.setBold(true);
            keys->setFont(keyFont);
            grid->addWidget(description, row, 0);
            grid->addWidget(keys, row, 1, Qt::AlignRight);
            ++row;
        }
    }
    grid->setRowStretch(row, 1);

    auto *scroll = new QScrollArea;
    scroll->setWidget(list);
    scroll->setWidgetResizable(true);
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    scroll->setMinimumWidth(list->sizeHint().width());

    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Close);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(scroll, 1);
    layout->addWidget(buttons);
    resize(sizeHint().width(), std::min(list->sizeHint().height() + buttons->sizeHint().height() + 40, 640));
}
