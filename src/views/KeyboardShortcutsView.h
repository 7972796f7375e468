#pragma once

#include <QDialog>
#include <QKeySequence>
#include <QList>
#include <QString>

// A window listing the program's keys section by section: what each key does and the keys that do
// it, named as the menus name them.
class KeyboardShortcutsView : public QDialog
{
    Q_OBJECT

public:
    struct Entry
    {
        QString description;
        QList<QKeySequence> keys;
    };
    struct Section
    {
        QString title;
        QList<Entry> entries;
    };

    explicit KeyboardShortcutsView(const QList<Section> &sections, QWidget *parent = nullptr);
};
