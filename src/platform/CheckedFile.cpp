#include "CheckedFile.h"

#include "platform/SystemErrorText.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QScopeGuard>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

QString tr(const char *text)
{
    return QCoreApplication::translate("CheckedFile", text);
}

QString shown(const QString &path)
{
    return QDir::toNativeSeparators(path);
}

QString writeFailure(const QString &path, const QString &reason)
{
    return tr("impossible d'écrire « %1 » : %2").arg(shown(path), reason);
}

QString readFailure(const QString &path, const QString &reason)
{
    return tr("impossible de lire « %1 » : %2").arg(shown(path), reason);
}

// The permissions a new file gets: those asked for, less the process's umask. The umask is read
// from /proc, since asking the system call for it would change it for every thread meanwhile.
mode_t newFileMode()
{
    static const mode_t mask = [] {
        QFile status(QStringLiteral("/proc/self/status"));
        if (status.open(QIODevice::ReadOnly)) {
            for (const QByteArray &line : status.readAll().split('\n')) {
                if (line.startsWith("Umask:")) {
                    bool ok = false;
                    const uint value = line.mid(6).trimmed().toUInt(&ok, 8);
                    if (ok)
                        return mode_t(value);
                }
            }
        }
        return mode_t(022);
    }();
    return 0666 & ~mask;
}

// A temporary file beside its target; closed, and removed unless it was renamed into place.
class TemporaryFile
{
public:
    explicit TemporaryFile(const QByteArray &target) : m_name(target + ".XXXXXX")
    {
        m_descriptor = ::mkostemp(m_name.data(), O_CLOEXEC);
    }
    ~TemporaryFile()
    {
        if (m_descriptor >= 0)
            ::close(m_descriptor);
        if (!m_renamed && m_created)
            ::unlink(m_name.constData());
    }
    TemporaryFile(const TemporaryFile &) = delete;
    TemporaryFile &operator=(const TemporaryFile &) = delete;

    bool isOpen()
    {
        m_created = m_descriptor >= 0;
        return m_created;
    }
    int descriptor() const { return m_descriptor; }
    const QByteArray &name() const { return m_name; }

    // Closing reports the last write errors on some file systems (NFS among them).
    bool close()
    {
        const int descriptor = m_descriptor;
        m_descriptor = -1;
        return ::close(descriptor) == 0;
    }
    bool renameTo(const QByteArray &target)
    {
        m_renamed = ::rename(m_name.constData(), target.constData()) == 0;
        return m_renamed;
    }

private:
    QByteArray m_name;
    int m_descriptor = -1;
    bool m_created = false;
    bool m_renamed = false;
};

bool writeAll(int descriptor, QByteArrayView bytes)
{
    const char *data = bytes.data();
    qsizetype left = bytes.size();
    while (left > 0) {
        const ssize_t written = ::write(descriptor, data, size_t(left));
        if (written < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        if (written == 0) {
            errno = ENOSPC;
            return false;
        }
        data += written;
        left -= written;
    }
    return true;
}

// Makes the folder and those above it; the reason when it cannot. `asked` tells the folder asked
// for from one above it, which must be a folder too.
std::optional<QString> makeFolder(const QByteArray &name, bool asked)
{
    if (name.contains('\0'))
        return SystemErrorText::describe(EINVAL);
    struct stat status
    {};
    if (::stat(name.constData(), &status) == 0) {
        if (S_ISDIR(status.st_mode))
            return std::nullopt;
        return asked ? tr("un fichier de ce nom existe déjà") : SystemErrorText::describe(ENOTDIR);
    }
    const qsizetype slash = name.lastIndexOf('/');
    if (slash > 0) {
        if (std::optional<QString> reason = makeFolder(name.left(slash), false))
            return reason;
    }
    if (::mkdir(name.constData(), 0777) != 0) {
        const int error = errno;
        if (error == EEXIST && ::stat(name.constData(), &status) == 0 && S_ISDIR(status.st_mode))
            return std::nullopt; // made by someone else meanwhile
        return SystemErrorText::describe(error);
    }
    return std::nullopt;
}

} // namespace

namespace CheckedFile {

Result<QByteArray> read(const QString &path, qint64 maxBytes)
{
    const auto failed = [&path](const QString &reason) {
        return AppError::platformFailure(readFailure(path, reason));
    };
    const QByteArray name = QFile::encodeName(path);
    if (name.isEmpty() || name.contains('\0'))
        return failed(SystemErrorText::describe(ENOENT));
    const int descriptor = ::open(name.constData(), O_RDONLY | O_CLOEXEC);
    if (descriptor < 0)
        return failed(SystemErrorText::describe(errno));
    const auto closeDescriptor = qScopeGuard([descriptor] { ::close(descriptor); });

    struct stat status
    {};
    if (::fstat(descriptor, &status) != 0)
        return failed(SystemErrorText::describe(errno));
    if (S_ISDIR(status.st_mode))
        return failed(SystemErrorText::describe(EISDIR));
    if (!S_ISREG(status.st_mode))
        return failed(tr("ce n'est pas un fichier ordinaire"));
    const auto tooLarge = [&] {
        return failed(tr("le fichier dépasse %1 Mo").arg(maxBytes / (qint64(1024) * 1024)));
    };
    if (status.st_size > maxBytes)
        return tooLarge();

    QByteArray bytes;
    bytes.resize(qsizetype(status.st_size));
    qsizetype filled = 0;
    for (;;) {
        // The file may have grown since it was measured: read on until its end, within the limit.
        if (filled == bytes.size()) {
            if (bytes.size() > maxBytes)
                return tooLarge();
            bytes.resize(std::min<qint64>(maxBytes + 1, bytes.size() + 65536));
        }
        const ssize_t count = ::read(descriptor, bytes.data() + filled, size_t(bytes.size() - filled));
        if (count < 0) {
            if (errno == EINTR)
                continue;
            return failed(SystemErrorText::describe(errno));
        }
        if (count == 0)
            break;
        filled += count;
    }
    if (filled > maxBytes)
        return tooLarge();
    bytes.truncate(filled);
    return bytes;
}

std::optional<QString> replace(const QString &path, QByteArrayView bytes)
{
    const auto failed = [&path](int errorNumber) {
        return writeFailure(path, SystemErrorText::describe(errorNumber));
    };
    QByteArray target = QFile::encodeName(path);
    if (target.isEmpty() || target.contains('\0'))
        return failed(ENOENT);
    const QFileInfo info(path);
    if (info.isSymLink() && !info.canonicalFilePath().isEmpty())
        target = QFile::encodeName(info.canonicalFilePath());

    TemporaryFile temporary(target);
    if (!temporary.isOpen()) {
        if (errno == ENOENT)
            return writeFailure(path, tr("dossier introuvable"));
        return failed(errno);
    }
    struct stat existing
    {};
    const mode_t mode =
        ::stat(target.constData(), &existing) == 0 ? mode_t(existing.st_mode & 07777) : newFileMode();
    // Some file systems (FAT on a memory stick) cannot set permissions; the file is written all the same.
    ::fchmod(temporary.descriptor(), mode);

    if (!writeAll(temporary.descriptor(), bytes))
        return failed(errno);
    // File systems that allocate late report a full disk only when the data reaches it.
    if (::fsync(temporary.descriptor()) != 0 && errno != EINVAL && errno != EROFS)
        return failed(errno);
    struct stat written
    {};
    if (::fstat(temporary.descriptor(), &written) != 0)
        return failed(errno);
    if (written.st_size != bytes.size())
        return writeFailure(path, tr("le fichier écrit est incomplet"));
    if (!temporary.close())
        return failed(errno);
    if (!temporary.renameTo(target))
        return failed(errno);

    // Make the new name last too; a folder that cannot be synced changes nothing for the file.
    const QByteArray folder = QFile::encodeName(QFileInfo(QFile::decodeName(target)).absolutePath());
    const int folderDescriptor = ::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folderDescriptor >= 0) {
        ::fsync(folderDescriptor);
        ::close(folderDescriptor);
    }
    return std::nullopt;
}

std::optional<QString> makeFolders(const QString &path)
{
    const QString absolute = QDir::cleanPath(QFileInfo(path).absoluteFilePath());
    const std::optional<QString> reason = makeFolder(QFile::encodeName(absolute), true);
    if (!reason)
        return std::nullopt;
    return tr("impossible de créer le dossier « %1 » : %2").arg(shown(absolute), *reason);
}

} // namespace CheckedFile
