#include "TestRegistry.h"

#include "platform/CheckedFile.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

namespace {

QByteArray contents(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
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
