#pragma once

#include <QDateTime>
#include <QDialog>
#include <QList>
#include <QString>

class QTreeWidget;

// Offers back, at start, the unsaved work that a program which ended without saving it left: one
// line per recovery file with its project name (or "Sans titre"), its video, its number of captures
// and the time of its last change, or, for a file that cannot be read, why. "Restaurer" brings the
// work back, "Ignorer" keeps the files for the next start, "Supprimer" deletes them once confirmed.
class RecoveryDialog : public QDialog
{
    Q_OBJECT

public:
    enum class Choice { Restore, Ignore, Delete };

    struct Entry
    {
        // Empty for work never saved as a project.
        QString projectName;
        QString videoName;
        qsizetype captureCount = 0;
        QDateTime lastChange;
        // Set for a file that cannot be read, with its file name in `fileName`.
        QString problem;
        QString fileName;
    };

    explicit RecoveryDialog(const QList<Entry> &entries, QWidget *parent = nullptr);

    // What the user chose; Ignore until a button is clicked, and when the dialog is closed otherwise.
    Choice choice() const { return m_choice; }
    QTreeWidget *list() const { return m_list; }

private:
    void choose(Choice choice);
    // Asks before deleting; true once confirmed.
    bool confirmDeletion();

    QTreeWidget *m_list;
    qsizetype m_count;
    Choice m_choice = Choice::Ignore;
};
