#include "TestRegistry.h"

#include "persistence/ProjectFile.h"
#include "persistence/RecoveryFile.h"
#include "services/RecoveryStore.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QTest>

#include <limits>

namespace {

ProjectFile sampleProject()
{
    ProjectFile project;
    project.videoBookmark = QByteArray("/home/ana/Vidéos/plage.mp4");
    project.videoName = QStringLiteral("plage");
    project.settings.get<SelectedFilterSetting>() = QStringLiteral("comic");
    project.activeGroupIndex = 1;
    Annotation arrow;
    arrow.start = {0.25, 0.5};
    arrow.end = {0.75, 0.125};
    project.groups << GroupDTO{QStringLiteral("Plans larges"),
                               QStringLiteral("Intro"),
                               {FrameDTO{1001, 30000, QStringLiteral("regard"), QList<Annotation>{arrow}, {}},
                                FrameDTO{2002, 30000, QString(), QList<Annotation>{}, {}}}}
                   << GroupDTO{QStringLiteral("Groupe 2"),
                               QString(),
                               {FrameDTO{90, 1, QString(), QList<Annotation>{}, {}}}};
    return project;
}

RecoveryFile sampleRecovery()
{
    RecoveryFile file;
    file.project = sampleProject();
    file.projectPath = QStringLiteral("/home/ana/Plans/essai.quintarel");
    file.selection = {{0, 1}, {1, 0}};
    file.lastChange = QDateTime(QDate(2026, 12, 10), QTime(8, 30, 0, 123), Qt::UTC);
    return file;
}

// The sample's text with one member of "recovery" replaced by `value` (or removed when it is
// undefined).
QByteArray withRecoveryMember(const QString &name, const QJsonValue &value)
{
    QJsonObject root = QJsonDocument::fromJson(sampleRecovery().toJson()).object();
    QJsonObject recovery = root.value(QStringLiteral("recovery")).toObject();
    if (value.isUndefined())
        recovery.remove(name);
    else
        recovery.insert(name, value);
    root.insert(QStringLiteral("recovery"), recovery);
    return QJsonDocument(root).toJson();
}

QString refusal(const QByteArray &bytes)
{
    QString error;
    const std::optional<RecoveryFile> file = RecoveryFile::fromJson(bytes, &error);
    return file ? QString() : error;
}

} // namespace

class RecoveryFileTest : public QObject
{
    Q_OBJECT

private slots:
    void roundTripKeepsEverything()
    {
        const RecoveryFile file = sampleRecovery();
        const QByteArray json = file.toJson();
        QString error;
        const std::optional<RecoveryFile> read = RecoveryFile::fromJson(json, &error);
        QVERIFY2(read, qPrintable(error));
        QCOMPARE(*read, file);
        QCOMPARE(read->toJson(), json);

        // An untitled window with nothing selected leaves the project's path out.
        RecoveryFile untitled = file;
        untitled.projectPath.reset();
        untitled.selection.clear();
        const QByteArray untitledJson = untitled.toJson();
        QVERIFY(!untitledJson.contains("projectPath"));
        const std::optional<RecoveryFile> untitledRead = RecoveryFile::fromJson(untitledJson, &error);
        QVERIFY2(untitledRead, qPrintable(error));
        QCOMPARE(*untitledRead, untitled);

        // A time written in another zone is the same moment.
        const std::optional<RecoveryFile> zoned =
            RecoveryFile::fromJson(withRecoveryMember("lastChange", "2026-12-10T09:30:00.123+01:00"), &error);
        QVERIFY2(zoned, qPrintable(error));
        QCOMPARE(zoned->lastChange, file.lastChange);
    }

    // A recovery file is a project file with one member more, in its sorted place; the project's own
    // members are written exactly as a project file writes them.
    void isAProjectFileWithOneMemberMore()
    {
        const RecoveryFile file = sampleRecovery();
        const QByteArray json = file.toJson();
        QString error;
        const std::optional<ProjectFile> project = ProjectFile::fromJson(json, &error);
        QVERIFY2(project, qPrintable(error));
        QCOMPARE(*project, file.project);

        QJsonObject root = QJsonDocument::fromJson(json).object();
        QCOMPARE(root.keys(), (QStringList{"activeGroupIndex", "cropToSubject", "edge", "filter", "groups",
                                           "recovery", "version", "videoBookmark", "videoName"}));
        root.remove(QStringLiteral("recovery"));
        QCOMPARE(root, QJsonDocument::fromJson(file.project.toJson()).object());
        const qsizetype recovery = json.indexOf("\"recovery\"");
        QVERIFY(json.indexOf("\"groups\"") < recovery && recovery < json.indexOf("\"version\""));

        // With an output folder, the member goes after it, still before "version".
        RecoveryFile withFolder = file;
        withFolder.project.settings.get<OutputFolderSetting>() = QByteArray("/tmp/exports");
        const QByteArray folderJson = withFolder.toJson();
        QVERIFY(folderJson.indexOf("\"outputFolderBookmark\"") < folderJson.indexOf("\"recovery\""));
        QVERIFY(folderJson.indexOf("\"recovery\"") < folderJson.indexOf("\"version\""));
    }

    void refusesWhatIsNotItsOwn_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("reason");
        QTest::newRow("plain project")
            << sampleProject().toJson() << "ce n'est pas un fichier de récupération";
        QTest::newRow("empty") << QByteArray("  \n") << "le fichier est vide";
        QTest::newRow("not JSON") << QByteArray("\x89PNG\r\n") << "le fichier n'est pas du JSON valide";
        QTest::newRow("cut short") << sampleRecovery().toJson().left(700)
                                   << "le fichier n'est pas du JSON valide";
        QTest::newRow("array") << QByteArray("[1, 2]") << "le document n'est pas un objet JSON";
        QTest::newRow("recovery not an object")
            << QByteArray(R"({"recovery": 1})") << "ce n'est pas un fichier de récupération";
        QTest::newRow("newer format") << withRecoveryMember("format", 2) << "version plus récente";
        QTest::newRow("format zero") << withRecoveryMember("format", 0) << "le format 0 n'existe pas";
        QTest::newRow("format missing")
            << withRecoveryMember("format", QJsonValue::Undefined) << "le membre « format » est absent";
        QTest::newRow("format fraction") << withRecoveryMember("format", 1.5) << "n'est pas un nombre entier";
        QTest::newRow("no time") << withRecoveryMember("lastChange", QJsonValue::Undefined)
                                 << "le membre « lastChange » est absent";
        QTest::newRow("bad time") << withRecoveryMember("lastChange", "hier") << "n'est pas valide";
        QTest::newRow("path not text") << withRecoveryMember("projectPath", 3) << "projectPath";
        QTest::newRow("position alone")
            << withRecoveryMember("selection", QJsonArray{QJsonArray{1}}) << "recovery.selection[0]";
        QTest::newRow("negative position")
            << withRecoveryMember("selection", QJsonArray{QJsonArray{0, 0}, QJsonArray{-1, 0}})
            << "recovery.selection[1]";
        QTest::newRow("fractional position")
            << withRecoveryMember("selection", QJsonArray{QJsonArray{0.5, 0}}) << "recovery.selection[0]";
        QTest::newRow("selection not array")
            << withRecoveryMember("selection", "0,1") << "le membre « selection » n'est pas un tableau";
        QByteArray damagedProject = sampleRecovery().toJson();
        damagedProject.replace("\"timeScale\": 30000", "\"timeScale\": 3e10");
        QTest::newRow("damaged project") << damagedProject << "groups[0].frames[0]";
    }

    void refusesWhatIsNotItsOwn()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, reason);
        const QString error = refusal(bytes);
        QVERIFY2(!error.isEmpty(), "the file was read");
        QVERIFY2(error.contains(reason), qPrintable(error));
    }

    // A missing selection reads as none; a null path as none.
    void optionalMembers()
    {
        QString error;
        const std::optional<RecoveryFile> noSelection =
            RecoveryFile::fromJson(withRecoveryMember("selection", QJsonValue::Undefined), &error);
        QVERIFY2(noSelection, qPrintable(error));
        QVERIFY(noSelection->selection.isEmpty());
        const std::optional<RecoveryFile> nullPath =
            RecoveryFile::fromJson(withRecoveryMember("projectPath", QJsonValue::Null), &error);
        QVERIFY2(nullPath, qPrintable(error));
        QVERIFY(!nullPath->projectPath);
    }

    void storeWritesAndReads()
    {
        QTemporaryDir folder;
        // The folder is made on the first write.
        const QString path = folder.filePath(QStringLiteral("a/b/window.quintarel"));
        const RecoveryFile file = sampleRecovery();
        QCOMPARE(RecoveryStore::write(file, path), std::nullopt);
        const Result<RecoveryFile> read = RecoveryStore::read(path);
        QVERIFY2(read.ok(), qPrintable(read.ok() ? QString() : read.error().errorDescription()));
        QCOMPARE(read.value(), file);

        // A number JSON cannot hold is refused, and the previous file stays.
        RecoveryFile broken = file;
        broken.project.settings.get<EdgeOptionsSetting>().shrink = std::numeric_limits<double>::quiet_NaN();
        const std::optional<QString> error = RecoveryStore::write(broken, path);
        QVERIFY(error && error->contains("edge.shrink"));
        QCOMPARE(RecoveryStore::read(path).value(), file);

        const Result<RecoveryFile> missing =
            RecoveryStore::read(folder.filePath(QStringLiteral("none.quintarel")));
        QVERIFY(!missing.ok());
        QVERIFY(!missing.error().errorDescription().isEmpty());
    }

    void failedWriteSaysWhere()
    {
        QTemporaryDir folder;
        // A file stands where the folder should be.
        QFile blocker(folder.filePath(QStringLiteral("recovery")));
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        const std::optional<QString> error = RecoveryStore::write(
            sampleRecovery(), folder.filePath(QStringLiteral("recovery/window.quintarel")));
        QVERIFY(error);
        QVERIFY2(error->contains(QStringLiteral("recovery")), qPrintable(*error));
        // A folder where the file should be.
        QVERIFY(QDir().mkpath(folder.filePath(QStringLiteral("taken.quintarel"))));
        QVERIFY(RecoveryStore::write(sampleRecovery(), folder.filePath(QStringLiteral("taken.quintarel"))));
    }
};

QUINTAREL_TEST(RecoveryFileTest)
#include "RecoveryFileTest.moc"
