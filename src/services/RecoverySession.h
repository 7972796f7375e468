#pragma once

#include "persistence/RecoveryFile.h"

#include <QList>
#include <QString>

#include <memory>
#include <optional>
#include <vector>

class QLockFile;

// Where the running program keeps the recovery files of its windows: one folder per process below
// the recovery folder, locked by that process for as long as it runs, so that two running programs
// never take each other's files. The files of a folder whose process has gone (it crashed, was
// killed, the machine lost power) are orphans: the next program to start claims them, locking their
// folder in turn, and offers them back.
class RecoverySession
{
public:
    // A recovery file left by a process that is no longer running.
    struct Orphan
    {
        QString path;
        // The work it holds when it reads; otherwise `problem` says why it does not, in French.
        std::optional<RecoveryFile> file;
        QString problem;
    };

    // `root` holds the processes' folders; by default the folder "recovery" of the user's data.
    explicit RecoverySession(const QString &root = defaultRoot());
    // Releases the claimed folders, and removes this process's folder when no file is left in it.
    ~RecoverySession();
    RecoverySession(const RecoverySession &) = delete;
    RecoverySession &operator=(const RecoverySession &) = delete;

    static QString defaultRoot();

    // Whether this process holds its folder; without it no window keeps a recovery file.
    bool isActive() const { return m_lock != nullptr; }
    QString folder() const { return m_folder; }
    // A new file name in this process's folder, for one window.
    QString newFilePath() const;

    // Claims the folders of the processes that are no longer running and lists their files, the
    // latest change first, those that do not read last. A claimed folder without files is removed.
    QList<Orphan> claimOrphans();
    // Moves a claimed orphan into this process's folder under a new name, which it returns; empty
    // when the file could not be moved.
    QString adopt(const QString &orphanPath);
    // Deletes a claimed orphan; false when it could not be deleted.
    bool discard(const QString &orphanPath);
    // Lets the claimed folders go: the files left in them are offered again at the next start; the
    // folders left empty are removed.
    void releaseClaims();

private:
    struct Claim
    {
        QString folder;
        std::unique_ptr<QLockFile> lock;
    };

    QString m_root;
    QString m_folder;
    std::unique_ptr<QLockFile> m_lock;
    std::vector<Claim> m_claims;
};
