#include "DiskLimits.h"

#include <QFile>

#include <csignal>
#include <sys/mount.h>
#include <sys/statvfs.h>

namespace DiskLimits {

SmallDisk::SmallDisk(qint64 bytes)
{
    if (!m_folder.isValid())
        return;
    const QByteArray options = "size=" + QByteArray::number(bytes) + ",mode=0755";
    m_mounted = ::mount("tmpfs", QFile::encodeName(m_folder.path()).constData(), "tmpfs", 0,
                        options.constData()) == 0;
}

SmallDisk::~SmallDisk()
{
    if (m_mounted)
        ::umount2(QFile::encodeName(m_folder.path()).constData(), MNT_DETACH);
}

qint64 SmallDisk::freeBytes() const
{
    struct statvfs info
    {};
    if (::statvfs(QFile::encodeName(m_folder.path()).constData(), &info) != 0)
        return -1;
    return qint64(info.f_bavail) * qint64(info.f_frsize);
}

bool SmallDisk::fillLeaving(qint64 bytes)
{
    const qint64 toTake = freeBytes() - bytes;
    if (toTake < 0)
        return false;
    QFile filler(filePath(QStringLiteral(".filler")));
    if (!filler.open(QIODevice::Append))
        return false;
    const bool written = filler.write(QByteArray(toTake, 'f')) == toTake && filler.flush();
    filler.close();
    return written && freeBytes() <= bytes;
}

FileSizeLimit::FileSizeLimit(rlim_t bytes)
{
    getrlimit(RLIMIT_FSIZE, &m_previous);
    m_previousHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit limit = m_previous;
    limit.rlim_cur = bytes;
    setrlimit(RLIMIT_FSIZE, &limit);
}

FileSizeLimit::~FileSizeLimit()
{
    setrlimit(RLIMIT_FSIZE, &m_previous);
    std::signal(SIGXFSZ, m_previousHandler);
}

} // namespace DiskLimits
