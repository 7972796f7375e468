#pragma once

#include <QColor>
#include <QWidget>

class QPainter;
class QTimer;

// A small indeterminate progress indicator: a ring of ticks turning while the widget is visible.
class BusyIndicator : public QWidget
{
    Q_OBJECT

public:
    explicit BusyIndicator(int diameter = 16, QWidget *parent = nullptr);

    QSize sizeHint() const override;

    // Draws the indicator centred in `rect` at animation `phase` (0 to 1, one turn).
    static void paint(QPainter &painter, const QRectF &rect, qreal phase, const QColor &color);
    // The phase of the shared clock, so that every indicator drawn at one moment turns together.
    static qreal currentPhase();

protected:
    void paintEvent(QPaintEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;

private:
    int m_diameter;
    QTimer *m_timer;
};
