#pragma once

#include <QColor>
#include <QWidget>

class QPainter;

// The transparency background behind cut-outs: squares alternating dark and light, the top-left
// square dark. Takes no input.
class CheckerboardView : public QWidget
{
    Q_OBJECT

public:
    static QColor defaultLight(); // sRGB grey 0.82
    static QColor defaultDark();  // sRGB grey 0.68

    explicit CheckerboardView(QWidget *parent = nullptr);
    CheckerboardView(qreal squareSize, QWidget *parent = nullptr);

    qreal squareSize() const { return m_squareSize; }
    void setSquareSize(qreal size);

    // Fills `rect` with squares of side `squareSize` starting at its top-left corner; squares on the
    // right and bottom edges are cut by the rectangle.
    static void paint(QPainter &painter, const QRectF &rect, qreal squareSize,
                      const QColor &light = defaultLight(), const QColor &dark = defaultDark());

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    qreal m_squareSize = 6;
    QColor m_light = defaultLight();
    QColor m_dark = defaultDark();
};
