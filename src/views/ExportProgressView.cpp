#include "ExportProgressView.h"

#include "SymbolIcons.h"
#include "ViewStyle.h"
#include "state/ExportRun.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

ExportProgressView::ExportProgressView(QWidget *parent)
    : QWidget(parent)
    , m_bar(new QProgressBar(this))
    , m_count(new QLabel(this))
    , m_status(new QLabel(this))
    , m_cancel(new QPushButton(SymbolIcons::icon(QStringLiteral("xmark.circle")), tr("Arrêter"), this))
{
    m_bar->setRange(0, 1000);
    m_bar->setTextVisible(false);
    m_count->setFont(ViewStyle::monospacedDigits(ViewStyle::caption()));
    m_status->setFont(ViewStyle::caption());
    ViewStyle::setTextColor(m_status, ViewStyle::secondary());
    m_cancel->setToolTip(tr("Arrêter l'export après l'image en cours"));
    connect(m_cancel, &QPushButton::clicked, this, [this] {
        if (m_run)
            m_run->cancel();
    });

    auto *row = new QHBoxLayout;
    row->addWidget(m_bar, 1);
    row->addWidget(m_cancel);
    auto *captions = new QHBoxLayout;
    captions->addWidget(m_count);
    captions->addStretch();
    captions->addWidget(m_status);
    auto *column = new QVBoxLayout(this);
    column->setSpacing(2);
    column->addLayout(row);
    column->addLayout(captions);
    refresh();
}

void ExportProgressView::setRun(ExportRun *run)
{
    if (m_run == run)
        return;
    if (m_run)
        m_run->disconnect(this);
    m_run = run;
    if (run) {
        connect(run, &ExportRun::progressChanged, this, &ExportProgressView::refresh);
        connect(run, &QObject::destroyed, this, &ExportProgressView::refresh);
    }
    refresh();
}

QString ExportProgressView::countText() const
{
    return m_count->text();
}

QString ExportProgressView::statusText() const
{
    return m_status->text();
}

void ExportProgressView::refresh()
{
    setVisible(m_run != nullptr);
    if (!m_run)
        return;
    const ExportProgress &progress = m_run->progress();
    m_bar->setValue(int(std::lround(std::clamp(progress.fraction(), 0.0, 1.0) * 1000)));
    m_count->setText(QString::number(progress.completed) + QStringLiteral(" / ") +
                     QString::number(progress.total));
    m_status->setText(m_run->wasCancelled() ? tr("Export arrêté") : QString());
    m_cancel->setVisible(progress.isRunning);
}
