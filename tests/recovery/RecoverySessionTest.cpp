#include "RecoveryTestFiles.h"
#include "TestRegistry.h"

#include "persistence/RecoveryFile.h"
#include "services/RecoverySession.h"
#include "services/RecoveryStore.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

namespace {

RecoveryFile work(const QString &groupName, int minute)
{
    RecoveryFile file;
    file.project.videoName = QStringLiteral("plage");
    file.project.groups << GroupDTO{
        groupName, QString(), {FrameDTO{30, 30, QString(), QList<Annotation>{}, {}}}};
    file.lastChange = QDateTime(QDate(2026, 12, 10), QTime(8, minute), Qt::UTC);
    return file;
}

QStringList entries(const QString &folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden, QDir::Name);
}

} // namespace

class RecoverySessionTest : public QObject
{
    Q_OBJECT

private slots:
    void runningProgramsKeepTheirFiles()
    {
        QTemporaryDir root;
        RecoverySession first(root.path());
        RecoverySession second(root.path());
        QVERIFY(first.isActive() && second.isActive());
        QVERIFY(first.folder() != second.folder());
        QVERIFY(first.newFilePath() != first.newFilePath());
        QCOMPARE(RecoveryStore::write(work("A", 1), first.newFilePath()), std::nullopt);
        QCOMPARE(RecoveryStore::write(work("B", 2), second.newFilePath()), std::nullopt);

        // Neither takes the other's file, nor does a third program starting now.
        QVERIFY(first.claimOrphans().isEmpty());
        QVERIFY(second.claimOrphans().isEmpty());
        RecoverySession third(root.path());
        QVERIFY(third.claimOrphans().isEmpty());
        QCOMPARE(entries(first.folder()).size(), 2);
        QCOMPARE(entries(second.folder()).size(), 2);
    }

    // A program that quits normally leaves nothing behind: its windows removed their files, and its
    // folder goes with it.
    void normalEndRemovesTheFolder()
    {
        QTemporaryDir root;
        QString folder;
        {
            RecoverySession session(root.path());
            folder = session.folder();
            QVERIFY(QFileInfo::exists(QDir(folder).filePath("lock")));
        }
        QVERIFY(!QFileInfo::exists(folder));
        QVERIFY(entries(root.path()).isEmpty());
    }

    void filesOfEndedProgramsAreOffered()
    {
        QTemporaryDir root;
        const QString killed = RecoveryTestFiles::killedProgramFolder(root.path(), "killed");
        QCOMPARE(RecoveryStore::write(work("Ancien", 5), QDir(killed).filePath("old.quintarel")),
                 std::nullopt);
        QCOMPARE(RecoveryStore::write(work("Récent", 40), QDir(killed).filePath("new.quintarel")),
                 std::nullopt);
        QFile damaged(QDir(killed).filePath("damaged.quintarel"));
        QVERIFY(damaged.open(QIODevice::WriteOnly));
        damaged.write(work("Coupé", 9).toJson().left(300));
        damaged.close();
        // A folder whose program never took its lock counts as left too; one with no file is removed.
        const QString unlocked = QDir(root.path()).filePath("unlocked");
        QDir().mkpath(unlocked);
        QCOMPARE(RecoveryStore::write(work("Sans verrou", 20), QDir(unlocked).filePath("w.quintarel")),
                 std::nullopt);
        const QString empty = RecoveryTestFiles::killedProgramFolder(root.path(), "empty");

        RecoverySession session(root.path());
        const QList<RecoverySession::Orphan> orphans = session.claimOrphans();
        QCOMPARE(orphans.size(), 4);
        // The latest change first, those that do not read last, with their reason.
        QCOMPARE(orphans[0].file->project.groups[0].name, "Récent");
        QCOMPARE(orphans[1].file->project.groups[0].name, "Sans verrou");
        QCOMPARE(orphans[2].file->project.groups[0].name, "Ancien");
        QVERIFY(!orphans[3].file);
        QVERIFY2(orphans[3].problem.contains("JSON"), qPrintable(orphans[3].problem));
        QVERIFY(!QFileInfo::exists(empty));

        // While this program holds them, another starting program does not see them.
        {
            RecoverySession other(root.path());
            QVERIFY(other.claimOrphans().isEmpty());
        }
        // Claiming again finds nothing new.
        QVERIFY(session.claimOrphans().isEmpty());

        const QString adopted = session.adopt(orphans[0].path);
        QVERIFY(adopted.startsWith(session.folder()));
        QCOMPARE(RecoveryStore::read(adopted).value(), *orphans[0].file);
        QVERIFY(!QFileInfo::exists(orphans[0].path));
        QVERIFY(session.discard(orphans[3].path));
        QVERIFY(session.discard(orphans[1].path));
        session.releaseClaims();
        // The folder emptied goes; the one still holding a file stays for the next start, unlocked.
        QVERIFY(!QFileInfo::exists(unlocked));
        QCOMPARE(entries(killed), QStringList{"old.quintarel"});

        RecoverySession next(root.path());
        const QList<RecoverySession::Orphan> again = next.claimOrphans();
        QCOMPARE(again.size(), 1);
        QCOMPARE(again[0].file->project.groups[0].name, "Ancien");
    }
};

QUINTAREL_TEST(RecoverySessionTest)
#include "RecoverySessionTest.moc"
