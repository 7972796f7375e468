#pragma once

#include <QPushButton>

// A filled button in the accent colour, for the main action of a place.
class ProminentButton : public QPushButton
{
    Q_OBJECT

public:
    enum class Size { Regular, Large };

    ProminentButton(const QIcon &icon, const QString &text, Size size = Size::Regular,
                    QWidget *parent = nullptr);

protected:
    void changeEvent(QEvent *event) override;

private:
    void applyAccent();
};
