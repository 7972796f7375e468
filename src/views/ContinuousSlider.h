#pragma once

#include <QSlider>

// A horizontal slider over a real range with no step. Its ends give exactly the range's minimum and
// maximum, and a value set from outside is kept at full precision until the user moves the knob.
class ContinuousSlider : public QSlider
{
    Q_OBJECT

public:
    ContinuousSlider(double minimum, double maximum, QWidget *parent = nullptr);

    double minimumValue() const { return m_minimum; }
    double maximumValue() const { return m_maximum; }
    double realValue() const { return m_value; }
    // Moves the knob without emitting `realValueEdited`.
    void setRealValue(double value);

signals:
    // The user moved the knob to `value`. `continuing` is true for the moves of a drag after its
    // first one, so that a whole drag can count as one change.
    void realValueEdited(double value, bool continuing);

private:
    static constexpr int steps = 1000;
    int position(double value) const;
    double valueAt(int position) const;

    double m_minimum;
    double m_maximum;
    double m_value;
    bool m_updating = false;
    bool m_draggedSincePress = false;
};
