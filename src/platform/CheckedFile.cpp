#include "CheckedFile.h"

#include "platform/SystemErrorText.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
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

// Prefix of the temporary files; short, so that any name the file system takes can be replaced.
constexpr char temporaryPrefix[] = ".qtmp-";

// A temporary file in the target's folder; closed, and removed unless it was renamed into place.
// Where the file system allows, it has no name while it is written (O_TMPFILE): a process killed
// meanwhile leaves nothing behind. It gets a short name only to be renamed over the target.
class TemporaryFile
{
public:
    explicit TemporaryFile(const QByteArray &folder) : m_folder(folder)
    {
        m_descriptor = ::open(m_folder.constData(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0600);
        if (m_descriptor >= 0)
            return;
        // File systems without unnamed files (some network and FUSE ones) get a named one.
        if (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL)
            return;
        m_name = m_folder + '/' + temporaryPrefix + "XXXXXX";
        m_descriptor = ::mkostemp(m_name.data(), O_CLOEXEC);
        m_named = m_descriptor >= 0;
    }
    ~TemporaryFile()
    {
        if (m_descriptor >= 0)
            ::close(m_descriptor);
        if (!m_renamed && m_named)
            ::unlink(m_name.constData());
    }
    TemporaryFile(const TemporaryFile &) = delete;
    TemporaryFile &operator=(const TemporaryFile &) = delete;

    bool isOpen() const { return m_descriptor >= 0; }
    int descriptor() const { return m_descriptor; }

    // Gives the unnamed file a short unused name in its folder.
    bool link()
    {
        if (m_named)
            return true;
        const QByteArray source = "/proc/self/fd/" + QByteArray::number(m_descriptor);
        for (int attempt = 0; attempt < 100; ++attempt) {
            QByteArray name = m_folder + '/' + temporaryPrefix +
                              QByteArray::number(QRandomGenerator::global()->generate64(), 36);
            if (::linkat(AT_FDCWD, source.constData(), AT_FDCWD, name.constData(), AT_SYMLINK_FOLLOW) == 0) {
                m_name = std::move(name);
                m_named = true;
                return true;
            }
            if (errno != EEXIST)
                return false;
        }
        return false;
    }
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
    QByteArray m_folder;
    QByteArray m_name;
    int m_descriptor = -1;
    bool m_named = false;
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
    // Not blocking: opening a named pipe would otherwise wait for a writer that never comes. The
    // file's kind is checked before anything is read.
    const int descriptor = ::open(name.constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
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
    const int flags = ::fcntl(descriptor, F_GETFL);
    if (flags >= 0)
        ::fcntl(descriptor, F_SETFL, flags & ~O_NONBLOCK);
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

    const QByteArray folder = QFile::encodeName(QFileInfo(QFile::decodeName(target)).absolutePath());
    TemporaryFile temporary(folder);
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
    if (!temporary.link())
        return failed(errno);
    if (!temporary.close())
        return failed(errno);
    if (!temporary.renameTo(target))
        return failed(errno);

    // Make the new name last too; a folder that cannot be synced changes nothing for the file.
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
