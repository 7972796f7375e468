#pragma once

#include <QWidget>

class QLabel;

// A centred message for an empty area: a large symbol (or another figure, such as a busy
// indicator), a title and a description.
class EmptyStateView : public QWidget
{
    Q_OBJECT

public:
    EmptyStateView(const QString &symbolName, const QString &title, const QString &description,
                   QWidget *parent = nullptr);
    // Shows `figure` (taken over) in place of the symbol.
    EmptyStateView(QWidget *figure, const QString &title, const QString &description,
                   QWidget *parent = nullptr);

    QString title() const;
    QString description() const;
    void setDescription(const QString &description);

private:
    void build(QWidget *figure);

    QLabel *m_title;
    QLabel *m_description;
};
