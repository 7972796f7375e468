#include "EmptyStateView.h"

#include "SymbolIcons.h"
#include "ViewStyle.h"

#include <QLabel>
#include <QVBoxLayout>

EmptyStateView::EmptyStateView(const QString &symbolName, const QString &title, const QString &description,
                               QWidget *parent)
    : QWidget(parent), m_title(new QLabel(title, this)), m_description(new QLabel(description, this))
{
    auto *symbol = new QLabel(this);
    symbol->setPixmap(SymbolIcons::icon(symbolName).pixmap(40, 40));
    symbol->setAlignment(Qt::AlignCenter);
    build(symbol);
}

EmptyStateView::EmptyStateView(QWidget *figure, const QString &title, const QString &description,
                               QWidget *parent)
    : QWidget(parent), m_title(new QLabel(title, this)), m_description(new QLabel(description, this))
{
    figure->setParent(this);
    build(figure);
}

void EmptyStateView::build(QWidget *figure)
{
    m_title->setTextFormat(Qt::PlainText);
    m_description->setTextFormat(Qt::PlainText);
    QFont titleFont = ViewStyle::headline();
    titleFont.setPointSizeF(titleFont.pointSizeF() * 1.3);
    m_title->setFont(titleFont);
    m_title->setAlignment(Qt::AlignCenter);

    m_description->setAlignment(Qt::AlignCenter);
    m_description->setWordWrap(true);
    ViewStyle::setTextColor(m_description, ViewStyle::secondary());

    auto *layout = new QVBoxLayout(this);
    layout->addStretch();
    layout->addWidget(figure, 0, Qt::AlignHCenter);
    layout->addWidget(m_title);
    layout->addWidget(m_description);
    layout->addStretch();
}

QString EmptyStateView::title() const
{
    return m_title->text();
}

QString EmptyStateView::description() const
{
    return m_description->text();
}

void EmptyStateView::setDescription(const QString &description)
{
    m_description->setText(description);
}
