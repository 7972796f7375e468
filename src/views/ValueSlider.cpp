#include "ValueSlider.h"

#include "ContinuousSlider.h"
#include "ViewStyle.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLocale>
#include <QVBoxLayout>

ValueSlider::ValueSlider(const QString &title, double minimum, double maximum, const QString &help,
                         QWidget *parent)
    : QWidget(parent), m_slider(new ContinuousSlider(minimum, maximum, this)), m_valueLabel(new QLabel(this))
{
    auto *column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(2);
    auto *row = new QHBoxLayout;
    auto *titleLabel = new QLabel(title, this);
    titleLabel->setFont(ViewStyle::caption());
    m_valueLabel->setFont(ViewStyle::monospacedDigits(ViewStyle::caption()));
    ViewStyle::setTextColor(m_valueLabel, ViewStyle::secondary());
    row->addWidget(titleLabel);
    row->addStretch();
    row->addWidget(m_valueLabel);
    column->addLayout(row);
    column->addWidget(m_slider);

    setToolTip(help);
    m_slider->setToolTip(help);
    connect(m_slider, &ContinuousSlider::realValueEdited, this, [this](double value, bool continuing) {
        showValue(value);
        emit valueEdited(value, continuing);
    });
    showValue(minimum);
}

double ValueSlider::value() const
{
    return m_slider->realValue();
}

void ValueSlider::setValue(double value)
{
    if (value == m_slider->realValue())
        return;
    m_slider->setRealValue(value);
    showValue(value);
}

QString ValueSlider::valueText() const
{
    return m_valueLabel->text();
}

void ValueSlider::showValue(double value)
{
    // Rounded for display only; the value itself keeps its precision.
    m_valueLabel->setText(QLocale().toString(value, 'f', 0));
}
