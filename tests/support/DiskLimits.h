#pragma once

#include <QString>
#include <QTemporaryDir>

#include <sys/resource.h>

// Real write failures for tests: a tiny file system that fills up, and a limit on the size of the
// files this process writes.
namespace DiskLimits {

// A size-limited tmpfs mounted on a temporary folder for the life of the object. Mounting needs
// the right to mount (root, or a namespace that grants it): check isMounted() and skip otherwise.
class SmallDisk
{
public:
    explicit SmallDisk(qint64 bytes);
    ~SmallDisk();
    SmallDisk(const SmallDisk &) = delete;
    SmallDisk &operator=(const SmallDisk &) = delete;

    bool isMounted() const { return m_mounted; }
    QString path() const { return m_folder.path(); }
    QString filePath(const QString &name) const { return m_folder.filePath(name); }
    qint64 freeBytes() const;
    // Takes space with a filler file until only `bytes` stay free (rounded to the disk's blocks).
    bool fillLeaving(qint64 bytes);

private:
    QTemporaryDir m_folder;
    bool m_mounted = false;
};

// Limits the size of the files this process writes, so that a write fails with EFBIG once a file
// reaches `bytes`, even for root, who ignores permissions. Restores the previous limit when gone.
class FileSizeLimit
{
public:
    explicit FileSizeLimit(rlim_t bytes);
    ~FileSizeLimit();
    FileSizeLimit(const FileSizeLimit &) = delete;
    FileSizeLimit &operator=(const FileSizeLimit &) = delete;

private:
    rlimit m_previous{};
    void (*m_previousHandler)(int) = nullptr;
};

} // namespace DiskLimits
