#pragma once

#include <QWidget>

class QLabel;

// A centred message for an empty area: a large symbol, a title and a description.
class EmptyStateView : public QWidget
{
    Q_OBJECT

public:
    EmptyStateView(const QString &symbolName, const QString &title, const QString &description,
                   QWidget *parent = nullptr);

    QString title() const;
    QString description() const;
    void setDescription(const QString &description);

private:
    QLabel *m_title;
    QLabel *m_description;
};
