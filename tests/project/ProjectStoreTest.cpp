#include "DiskLimits.h"
#include "TestRegistry.h"

#include "persistence/FileBookmark.h"
#include "persistence/ProjectFile.h"
#include "services/ProjectStore.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <limits>

namespace {

ProjectFile projectWithFrames(int frameCount)
{
    ProjectFile file;
    file.videoName = QStringLiteral("clip");
    GroupDTO group{QStringLiteral("Captures"), {}, {}};
    for (int i = 0; i < frameCount; ++i)
        group.frames.append(
            FrameDTO{i * 1001, 30000, QStringLiteral("note %1").arg(i), QList<Annotation>{Annotation()}, {}});
    file.groups.append(group);
    return file;
}

QByteArray contents(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

} // namespace

class ProjectStoreTest : public QObject
{
    Q_OBJECT

private slots:
    void savesAndReplaces()
    {
        QTemporaryDir folder;
        const QString path = folder.filePath(QStringLiteral("Mon projet.quintarel"));
        const ProjectFile first = projectWithFrames(3);
        QCOMPARE(ProjectStore::save(first, path), std::nullopt);
        QCOMPARE(contents(path), first.toJson());

        const ProjectFile second = projectWithFrames(1);
        QCOMPARE(ProjectStore::save(second, path), std::nullopt);
        const std::optional<ProjectFile> read = ProjectFile::fromJson(contents(path));
        QVERIFY(read);
        QVERIFY(*read == second);
        // Nothing but the project is left in the folder.
        QCOMPARE(QDir(folder.path()).entryList(QDir::Files), QStringList{"Mon projet.quintarel"});
    }

    void failedSaveKeepsTheExistingFile()
    {
        QTemporaryDir folder;
        const QString path = folder.filePath(QStringLiteral("projet.quintarel"));
        const QByteArray previous = projectWithFrames(1).toJson();
        QVERIFY(writeFile(path, previous));

        // The disk refuses the bytes half way.
        {
            const DiskLimits::FileSizeLimit limit(previous.size() + 100);
            const std::optional<QString> error = ProjectStore::save(projectWithFrames(50), path);
            QVERIFY(error);
            QVERIFY2(error->contains(path), qPrintable(*error));
        }
        QCOMPARE(contents(path), previous);

        // A number JSON cannot hold would make a file that never opens again.
        ProjectFile broken = projectWithFrames(2);
        broken.settings.get<EdgeOptionsSetting>().shrink = std::numeric_limits<double>::quiet_NaN();
        const std::optional<QString> error = ProjectStore::save(broken, path);
        QVERIFY(error);
        QVERIFY2(error->contains(QStringLiteral("edge.shrink")), qPrintable(*error));
        QCOMPARE(contents(path), previous);
        QCOMPARE(QDir(folder.path()).entryList(QDir::Files), QStringList{"projet.quintarel"});
    }

    // A small project is written in one go when the file is closed; a disk that takes only part
    // of it must not leave a cut-off project in place of the old one.
    void aFullDiskKeepsTheOldProject_data()
    {
        QTest::addColumn<qint64>("freeBytes");
        QTest::newRow("4 KiB free") << qint64(4096);
        QTest::newRow("nothing free") << qint64(0);
    }

    void aFullDiskKeepsTheOldProject()
    {
        QFETCH(qint64, freeBytes);
        DiskLimits::SmallDisk disk(64 * 1024);
        if (!disk.isMounted())
            QSKIP("mounting a small file system is not permitted here");
        const QString path = disk.filePath(QStringLiteral("projet.quintarel"));
        const QByteArray previous = projectWithFrames(1).toJson();
        QVERIFY(writeFile(path, previous));
        QVERIFY(disk.fillLeaving(freeBytes));

        const ProjectFile larger = projectWithFrames(12);
        QVERIFY(larger.toJson().size() > 4096 && larger.toJson().size() < 16384);
        const std::optional<QString> error = ProjectStore::save(larger, path);
        QVERIFY(error);
        QVERIFY2(error->contains(path) && error->endsWith(QStringLiteral(" : disque plein")),
                 qPrintable(*error));
        QCOMPARE(contents(path), previous);
        QCOMPARE(QDir(disk.path()).entryList(QDir::Files), QStringList{"projet.quintarel"});
    }

    // The same through a file-size limit, which every machine allows.
    void aWriteCutShortKeepsTheOldProject()
    {
        QTemporaryDir folder;
        const QString path = folder.filePath(QStringLiteral("projet.quintarel"));
        const QByteArray previous = projectWithFrames(1).toJson();
        QVERIFY(writeFile(path, previous));
        {
            const DiskLimits::FileSizeLimit limit(4096);
            const std::optional<QString> error = ProjectStore::save(projectWithFrames(12), path);
            QVERIFY(error);
            QVERIFY2(error->endsWith(QStringLiteral(" : fichier trop volumineux")), qPrintable(*error));
        }
        QCOMPARE(contents(path), previous);
        QCOMPARE(QDir(folder.path()).entryList(QDir::Files), QStringList{"projet.quintarel"});
    }

    void reportsAFolderThatCannotBeMade()
    {
        QTemporaryDir folder;
        const QString plainFile = folder.filePath(QStringLiteral("notes.txt"));
        QVERIFY(writeFile(plainFile, "x"));
        const QString path = plainFile + QStringLiteral("/projet.quintarel");
        const std::optional<QString> error = ProjectStore::save(projectWithFrames(1), path);
        QVERIFY(error);
        QVERIFY2(error->contains(path), qPrintable(*error));
        QCOMPARE(contents(plainFile), QByteArray("x"));
    }

    void bookmarksFindTheFileAgain()
    {
        QTemporaryDir folder;
        const QString video = folder.filePath(QStringLiteral("Vidéo d'été.mov"));
        QVERIFY(writeFile(video, "movie"));

        const std::optional<QByteArray> bookmark = FileBookmark::make(QUrl::fromLocalFile(video));
        QCOMPARE(bookmark, video.toUtf8());
        QCOMPARE(FileBookmark::resolve(*bookmark), QUrl::fromLocalFile(video));

        const std::optional<QByteArray> folderBookmark =
            FileBookmark::make(QUrl::fromLocalFile(folder.path()));
        QVERIFY(folderBookmark);
        QCOMPARE(FileBookmark::resolve(*folderBookmark), QUrl::fromLocalFile(folder.path()));

        QVERIFY(QFile::remove(video));
        QCOMPARE(FileBookmark::resolve(*bookmark), std::nullopt);
    }

    void refusesWhatIsNoBookmark_data()
    {
        QTest::addColumn<QByteArray>("bookmark");
        QTest::newRow("empty") << QByteArray();
        QTest::newRow("relative path") << QByteArray("tmp");
        QTest::newRow("NUL inside") << QByteArray("/tmp\0/x", 7);
        QTest::newRow("invalid UTF-8") << QByteArray("/tmp/\xff");
        QTest::newRow("missing file") << QByteArray("/nonexistent/clip.mov");
    }

    void refusesWhatIsNoBookmark()
    {
        QFETCH(QByteArray, bookmark);
        QCOMPARE(FileBookmark::resolve(bookmark), std::nullopt);
    }

    void makesNoBookmarkForOtherUrls()
    {
        QCOMPARE(FileBookmark::make(QUrl(QStringLiteral("https://example.org/clip.mov"))), std::nullopt);
        QCOMPARE(FileBookmark::make(QUrl()), std::nullopt);
    }
};

QUINTAREL_TEST(ProjectStoreTest)
#include "ProjectStoreTest.moc"
