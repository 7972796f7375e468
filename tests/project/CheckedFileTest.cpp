#include "TestRegistry.h"

#include "platform/CheckedFile.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include <atomic>
#include <thread>

#include <csignal>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

QByteArray contents(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QStringList entries(const QTemporaryDir &folder)
{
    return QDir(folder.path())
        .entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
}

} // namespace

class CheckedFileTest : public QObject
{
    Q_OBJECT

private slots:
    void replacingKeepsPermissionsAndLinks()
    {
        QTemporaryDir folder;
        const QString path = folder.filePath(QStringLiteral("projet.quintarel"));
        QCOMPARE(CheckedFile::replace(path, "first"), std::nullopt);
        QVERIFY(QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup));
        QCOMPARE(CheckedFile::replace(path, "second"), std::nullopt);
        QCOMPARE(contents(path), QByteArray("second"));
        const QFile::Permissions ownerGroupOther(0x7077);
        QCOMPARE(QFile::permissions(path) & ownerGroupOther,
                 QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup);

        // A link keeps pointing where it did; the file it points to gets the new content.
        const QString link = folder.filePath(QStringLiteral("lien.quintarel"));
        QVERIFY(QFile::link(path, link));
        QCOMPARE(CheckedFile::replace(link, "third"), std::nullopt);
        QCOMPARE(QFileInfo(link).symLinkTarget(), path);
        QCOMPARE(contents(path), QByteArray("third"));
        QCOMPARE(QDir(folder.path()).entryList(QDir::Files | QDir::System),
                 (QStringList{"lien.quintarel", "projet.quintarel"}));
    }

    void readingRefusesWhatIsNoFileOfBoundedSize()
    {
        QTemporaryDir folder;
        const QString path = folder.filePath(QStringLiteral("projet.quintarel"));
        QCOMPARE(CheckedFile::replace(path, QByteArray(2000, 'x')), std::nullopt);
        const Result<QByteArray> whole = CheckedFile::read(path, 2000);
        QVERIFY(whole.ok());
        QCOMPARE(whole.value().size(), 2000);

        const auto messageOf = [](const Result<QByteArray> &result) {
            return result.ok() ? QString() : result.error().errorDescription();
        };
        const QString tooLarge = messageOf(CheckedFile::read(path, 1999));
        QVERIFY2(tooLarge.startsWith(QStringLiteral("impossible de lire « ") + path) &&
                     tooLarge.contains(QStringLiteral("dépasse")),
                 qPrintable(tooLarge));
        QCOMPARE(messageOf(CheckedFile::read(folder.path(), 100)),
                 QStringLiteral("impossible de lire « %1 » : c'est un dossier").arg(folder.path()));
        QCOMPARE(messageOf(CheckedFile::read(folder.filePath(QStringLiteral("absent")), 100)),
                 QStringLiteral("impossible de lire « %1 » : fichier ou dossier introuvable")
                     .arg(folder.filePath(QStringLiteral("absent"))));
        // A device never ends: the limit stops the reading.
        QVERIFY(messageOf(CheckedFile::read(QStringLiteral("/dev/zero"), 100))
                    .endsWith(QStringLiteral("ce n'est pas un fichier ordinaire")));
    }

    void aNamedPipeIsRefusedWithoutWaiting()
    {
        QTemporaryDir folder;
        const QString path = folder.filePath(QStringLiteral("x.quintarel"));
        QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
        std::atomic<bool> done = false;
        Result<QByteArray> result = QByteArray();
        std::thread reading([&] {
            result = CheckedFile::read(path, 100);
            done = true;
        });
        QDeadlineTimer deadline(10000);
        while (!done && !deadline.hasExpired())
            QThread::msleep(10);
        const bool finished = done;
        if (!finished) {
            // A writer lets a blocked reader go, so that the test can end.
            const int writer = ::open(QFile::encodeName(path).constData(), O_WRONLY | O_NONBLOCK);
            if (writer >= 0)
                ::close(writer);
        }
        reading.join();
        QVERIFY2(finished, "opening a named pipe waited for a writer");
        QVERIFY(!result.ok());
        QCOMPARE(result.error().errorDescription(),
                 QStringLiteral("impossible de lire « %1 » : ce n'est pas un fichier ordinaire").arg(path));
    }

    void namesUpToTheSystemsLimitAreReplaced()
    {
        // 255 bytes, the most a name can have: two-byte letters with the extension.
        QTemporaryDir folder;
        const QString longest = QString(122, QChar(0x00e9)) + QStringLiteral("x.quintarel");
        QCOMPARE(QFile::encodeName(longest).size(), 255);
        const QString path = folder.filePath(longest);
        QCOMPARE(CheckedFile::replace(path, "first"), std::nullopt);
        QCOMPARE(CheckedFile::replace(path, "second"), std::nullopt);
        QCOMPARE(contents(path), QByteArray("second"));
        QCOMPARE(entries(folder), QStringList{longest});

        // One byte more is the system's refusal, said in French, and leaves nothing.
        const QString tooLong = folder.filePath(QLatin1Char('a') + longest);
        QCOMPARE(CheckedFile::replace(tooLong, "x"),
                 QStringLiteral("impossible d'écrire « %1 » : nom trop long").arg(tooLong));
        QCOMPARE(entries(folder), QStringList{longest});
    }

    void aWriteKilledMidwayLeavesNothingBehind()
    {
        QTemporaryDir folder;
        const QString path = folder.filePath(QStringLiteral("p.quintarel"));
        QCOMPARE(CheckedFile::replace(path, "old"), std::nullopt);
        const QByteArray large(4 * 1024 * 1024, 'n');
        for (int run = 0; run < 3; ++run) {
            // The system itself stops the writer in the middle of its write: a file may not grow past
            // 1 MiB in the child, which the signal then kills.
            const pid_t child = ::fork();
            QVERIFY(child >= 0);
            if (child == 0) {
                const rlimit noCore{0, 0};
                ::setrlimit(RLIMIT_CORE, &noCore);
                const rlimit size{rlim_t(1024 * 1024) * (run + 1), rlim_t(1024 * 1024) * (run + 1)};
                ::setrlimit(RLIMIT_FSIZE, &size);
                ::signal(SIGXFSZ, SIG_DFL);
                CheckedFile::replace(path, large);
                ::_exit(0);
            }
            int status = 0;
            QCOMPARE(::waitpid(child, &status, 0), child);
            QVERIFY(WIFSIGNALED(status));
            QCOMPARE(WTERMSIG(status), SIGXFSZ);
            QCOMPARE(entries(folder), QStringList{QStringLiteral("p.quintarel")});
            QCOMPARE(contents(path), QByteArray("old"));
        }
        QCOMPARE(CheckedFile::replace(path, large), std::nullopt);
        QCOMPARE(contents(path), large);
        QCOMPARE(entries(folder), QStringList{QStringLiteral("p.quintarel")});
    }

    void foldersAreMadeWithTheirParents()
    {
        QTemporaryDir folder;
        const QString deep = folder.filePath(QStringLiteral("a/b/c"));
        QCOMPARE(CheckedFile::makeFolders(deep), std::nullopt);
        QVERIFY(QFileInfo(deep).isDir());
        QCOMPARE(CheckedFile::makeFolders(deep), std::nullopt);

        QCOMPARE(CheckedFile::replace(folder.filePath(QStringLiteral("fichier")), "x"), std::nullopt);
        QCOMPARE(CheckedFile::makeFolders(folder.filePath(QStringLiteral("fichier/d"))),
                 QStringLiteral("impossible de créer le dossier « %1 » : un élément du chemin n'est pas un "
                                "dossier")
                     .arg(folder.filePath(QStringLiteral("fichier/d"))));
    }
};

QUINTAREL_TEST(CheckedFileTest)
#include "CheckedFileTest.moc"
