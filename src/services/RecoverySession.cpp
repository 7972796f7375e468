#include "RecoverySession.h"

#include "services/RecoveryStore.h"

#include <QDir>
#include <QFile>
#include <QLockFile>
#include <QStandardPaths>
#include <QUuid>

#include <algorithm>

namespace {

constexpr QLatin1StringView lockName("lock");

QStringList recoveryFiles(const QString &folder)
{
    QStringList paths;
    const QDir dir(folder);
    const QStringList names = dir.entryList({QStringLiteral("*") + QLatin1String(RecoveryStore::fileSuffix)},
                                            QDir::Files | QDir::Hidden, QDir::Name);
    for (const QString &name : names)
        paths << dir.filePath(name);
    return paths;
}

// A lock that only the end of its process makes stale: a running program keeps its folder however
// long ago it started.
std::unique_ptr<QLockFile> tryLock(const QString &folder)
{
    auto lock = std::make_unique<QLockFile>(QDir(folder).filePath(lockName));
    lock->setStaleLockTime(0);
    if (!lock->tryLock(0))
        return nullptr;
    return lock;
}

// Removes a folder that holds nothing but its lock (and the temporary files of writes cut short).
void removeIfEmpty(const QString &folder, std::unique_ptr<QLockFile> lock)
{
    if (!recoveryFiles(folder).isEmpty())
        return;
    QDir dir(folder);
    for (const QString &name : dir.entryList(QDir::Files | QDir::Hidden)) {
        if (name != lockName)
            dir.remove(name);
    }
    lock.reset();
    QDir(folder).rmdir(folder);
}

QString freshName()
{
    return QUuid::createUuid().toString(QUuid::WithoutBraces) + QLatin1String(RecoveryStore::fileSuffix);
}

} // namespace

RecoverySession::RecoverySession(const QString &root) : m_root(QDir::cleanPath(root))
{
    // A folder of a new name each time: a process that starts while another claims its folder
    // simply takes another one.
    for (int attempt = 0; attempt < 3 && !m_lock; ++attempt) {
        const QString folder = QDir(m_root).filePath(QUuid::createUuid().toString(QUuid::WithoutBraces));
        if (!QDir().mkpath(folder))
            return;
        m_lock = tryLock(folder);
        if (m_lock)
            m_folder = folder;
    }
}

RecoverySession::~RecoverySession()
{
    releaseClaims();
    if (m_lock)
        removeIfEmpty(m_folder, std::move(m_lock));
}

QString RecoverySession::defaultRoot()
{
    return QDir(QStandardPaths::writableLocation(QStandardPaths::AppLocalDataLocation))
        .filePath(QStringLiteral("recovery"));
}

QString RecoverySession::newFilePath() const
{
    if (!isActive())
        return {};
    return QDir(m_folder).filePath(freshName());
}

QList<RecoverySession::Orphan> RecoverySession::claimOrphans()
{
    QList<Orphan> orphans;
    const QDir root(m_root);
    for (const QString &name : root.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        const QString folder = root.filePath(name);
        if (folder == m_folder || std::any_of(m_claims.begin(), m_claims.end(),
                                              [&](const Claim &claim) { return claim.folder == folder; }))
            continue;
        std::unique_ptr<QLockFile> lock = tryLock(folder);
        if (!lock)
            continue; // its program is running
        const QStringList files = recoveryFiles(folder);
        if (files.isEmpty()) {
            removeIfEmpty(folder, std::move(lock));
            continue;
        }
        for (const QString &path : files) {
            Orphan orphan;
            orphan.path = path;
            Result<RecoveryFile> file = RecoveryStore::read(path);
            if (file)
                orphan.file = std::move(file).value();
            else
                orphan.problem = file.error().errorDescription();
            orphans << orphan;
        }
        m_claims.push_back(Claim{folder, std::move(lock)});
    }
    std::stable_sort(orphans.begin(), orphans.end(), [](const Orphan &a, const Orphan &b) {
        if (a.file.has_value() != b.file.has_value())
            return a.file.has_value();
        return a.file && a.file->lastChange > b.file->lastChange;
    });
    return orphans;
}

QString RecoverySession::adopt(const QString &orphanPath)
{
    if (!isActive())
        return {};
    QString path = newFilePath();
    if (!QFile::rename(orphanPath, path))
        return {};
    return path;
}

bool RecoverySession::discard(const QString &orphanPath)
{
    return QFile::remove(orphanPath);
}

void RecoverySession::releaseClaims()
{
    for (Claim &claim : m_claims)
        removeIfEmpty(claim.folder, std::move(claim.lock));
    m_claims.clear();
}
