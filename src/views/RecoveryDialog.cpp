#include "RecoveryDialog.h"

#include <QDialogButtonBox>
#include <QHeaderView>
#include <QLabel>
#include <QLocale>
#include <QMessageBox>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

RecoveryDialog::RecoveryDialog(const QList<Entry> &entries, QWidget *parent)
    : QDialog(parent), m_list(new QTreeWidget(this)), m_count(entries.size())
{
    setWindowTitle(tr("Travail non enregistré"));
    setModal(true);

    auto *text = new QLabel(tr("Le programme s'est arrêté sans que ce travail soit enregistré."), this);
    text->setWordWrap(true);

    m_list->setObjectName(QStringLiteral("recoveryList"));
    m_list->setRootIsDecorated(false);
    m_list->setSelectionMode(QAbstractItemView::NoSelection);
    m_list->setHeaderLabels({tr("Projet"), tr("Vidéo"), tr("Captures"), tr("Dernière modification")});
    const QLocale locale(QLocale::French, QLocale::France);
    bool anyReadable = false;
    for (const Entry &entry : entries) {
        auto *item = new QTreeWidgetItem(m_list);
        if (!entry.problem.isEmpty()) {
            item->setText(0, entry.fileName);
            item->setText(1, tr("Illisible : %1").arg(entry.problem));
            item->setToolTip(1, entry.problem);
            continue;
        }
        anyReadable = true;
        item->setText(0, entry.projectName.isEmpty() ? tr("Sans titre") : entry.projectName);
        item->setText(1, entry.videoName);
        item->setText(2, QString::number(entry.captureCount));
        item->setTextAlignment(2, Qt::AlignRight | Qt::AlignVCenter);
        item->setText(
            3, locale.toString(entry.lastChange.toLocalTime(), QStringLiteral("d MMMM yyyy, HH:mm:ss")));
    }
    m_list->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    m_list->header()->setStretchLastSection(true);

    auto *buttons = new QDialogButtonBox(this);
    QPushButton *restore = buttons->addButton(tr("Restaurer"), QDialogButtonBox::AcceptRole);
    QPushButton *ignore = buttons->addButton(tr("Ignorer"), QDialogButtonBox::RejectRole);
    QPushButton *remove = buttons->addButton(tr("Supprimer"), QDialogButtonBox::DestructiveRole);
    restore->setEnabled(anyReadable);
    (anyReadable ? restore : ignore)->setDefault(true);
    connect(restore, &QPushButton::clicked, this, [this] { choose(Choice::Restore); });
    connect(ignore, &QPushButton::clicked, this, [this] { choose(Choice::Ignore); });
    connect(remove, &QPushButton::clicked, this, [this] {
        if (confirmDeletion())
            choose(Choice::Delete);
    });

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(text);
    layout->addWidget(m_list, 1);
    layout->addWidget(buttons);
    resize(720, 320);
}

void RecoveryDialog::choose(Choice choice)
{
    m_choice = choice;
    if (choice == Choice::Restore)
        accept();
    else
        reject();
}

bool RecoveryDialog::confirmDeletion()
{
    QMessageBox question(this);
    question.setIcon(QMessageBox::Warning);
    question.setWindowTitle(windowTitle());
    question.setTextFormat(Qt::PlainText);
    question.setText(m_count == 1 ? tr("Supprimer ce travail non enregistré ?")
                                  : tr("Supprimer ces %1 travaux non enregistrés ?").arg(m_count));
    question.setInformativeText(tr("Il ne pourra plus être restauré."));
    QPushButton *remove = question.addButton(tr("Supprimer"), QMessageBox::DestructiveRole);
    QPushButton *cancel = question.addButton(tr("Annuler"), QMessageBox::RejectRole);
    question.setDefaultButton(cancel);
    question.exec();
    return question.clickedButton() == remove;
}
