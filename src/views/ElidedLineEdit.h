#pragma once

#include <QLineEdit>

// A one-line text field that, while it does not have the keyboard focus, shows a text too long for
// it from its beginning, ended by an ellipsis, instead of scrolled to its end with the first letters
// cut. While the user types it is an ordinary field.
class ElidedLineEdit : public QLineEdit
{
    Q_OBJECT

public:
    explicit ElidedLineEdit(QWidget *parent = nullptr);

protected:
    void paintEvent(QPaintEvent *event) override;
};
