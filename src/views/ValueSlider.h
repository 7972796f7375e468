#pragma once

#include <QWidget>

class ContinuousSlider;
class QLabel;

// A titled slider over a real range: the title and the current value (rounded, in the user's
// locale) above a continuous slider. The help text covers the whole.
class ValueSlider : public QWidget
{
    Q_OBJECT

public:
    ValueSlider(const QString &title, double minimum, double maximum, const QString &help,
                QWidget *parent = nullptr);

    double value() const;
    // Shows `value` at full precision without emitting `valueEdited`.
    void setValue(double value);
    ContinuousSlider *slider() const { return m_slider; }
    QString valueText() const;

signals:
    // See ContinuousSlider::realValueEdited.
    void valueEdited(double value, bool continuing);

private:
    void showValue(double value);

    ContinuousSlider *m_slider;
    QLabel *m_valueLabel;
};
