#pragma once

#include <QColor>
#include <QToolButton>

// A button showing a colour swatch; clicking it opens the colour dialog, opacity included.
class ColorWellButton : public QToolButton
{
    Q_OBJECT

public:
    explicit ColorWellButton(QWidget *parent = nullptr);

    QColor color() const { return m_color; }
    // Shows `color` without emitting `colorEdited`.
    void setColor(const QColor &color);

    QSize sizeHint() const override;

signals:
    // The user chose `color` in the dialog.
    void colorEdited(const QColor &color);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    void chooseColor();

    QColor m_color = Qt::white;
};
