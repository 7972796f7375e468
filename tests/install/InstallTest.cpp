#include "TestRegistry.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QIcon>
#include <QMap>
#include <QMimeDatabase>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

namespace {

const QString desktopId = QStringLiteral("org.quintarel.Quintarel");

struct Run
{
    int exitCode = -1;
    QString output; // standard output and error together
    QString standardOutput;
};

// Runs a program to its end; `environment` replaces the test's own when given.
Run run(const QString &program, const QStringList &arguments,
        const QProcessEnvironment &environment = QProcessEnvironment::systemEnvironment())
{
    QProcess process;
    process.setProcessEnvironment(environment);
    process.start(program, arguments);
    Run result;
    if (!process.waitForStarted(30000) || !process.waitForFinished(300000)) {
        result.output = program + QStringLiteral(": ") + process.errorString();
        return result;
    }
    result.standardOutput = QString::fromLocal8Bit(process.readAllStandardOutput());
    result.output = result.standardOutput + QString::fromLocal8Bit(process.readAllStandardError());
    result.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    return result;
}

} // namespace

// Installs the build into a temporary prefix, as `make install PREFIX=…` does, and checks what a
// desktop makes of it: the menu entry, the AppStream description, the project file type, the icon
// and the program's answers on the command line.
class InstallTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QVERIFY(m_prefix.isValid());
        const Run install = run(QStringLiteral(QUINTAREL_CMAKE_COMMAND),
                                {QStringLiteral("--install"), QStringLiteral(QUINTAREL_TEST_BUILD_DIR),
                                 QStringLiteral("--prefix"), m_prefix.path()});
        QVERIFY2(install.exitCode == 0, qPrintable(install.output));
    }

    void installsTheProgramAndItsDesktopFiles()
    {
        QVERIFY(QFileInfo(path("bin/quintarel")).isExecutable());
        for (const QString &file : {QStringLiteral("share/applications/%1.desktop"),
                                    QStringLiteral("share/metainfo/%1.metainfo.xml"),
                                    QStringLiteral("share/icons/hicolor/scalable/apps/%1.svg"),
                                    QStringLiteral("share/mime/packages/%1.xml")}) {
            QVERIFY2(QFile::exists(path(file.arg(desktopId))), qPrintable(file.arg(desktopId)));
        }
        // The model goes with the program when the build has it (the build warns otherwise).
        if (QFile::exists(QStringLiteral(QUINTAREL_TEST_BUILD_DIR "/models/isnet-general.onnx")))
            QVERIFY(QFile::exists(path("share/quintarel/models/isnet-general.onnx")));
    }

    void validatorsAcceptTheDesktopEntryAndTheMetadata()
    {
        const Run desktop = run(QStringLiteral("desktop-file-validate"),
                                {path("share/applications/%1.desktop").arg(desktopId)});
        QVERIFY2(desktop.exitCode == 0, qPrintable(desktop.output));
        // Not even a hint.
        QVERIFY2(desktop.output.trimmed().isEmpty(), qPrintable(desktop.output));

        const Run metainfo =
            run(QStringLiteral("appstreamcli"), {QStringLiteral("validate"), QStringLiteral("--no-net"),
                                                 path("share/metainfo/%1.metainfo.xml").arg(desktopId)});
        QVERIFY2(metainfo.exitCode == 0, qPrintable(metainfo.output));
        // The whole tree: the metadata's launchable names the installed desktop entry and its icon.
        const Run tree = run(QStringLiteral("appstreamcli"),
                             {QStringLiteral("validate-tree"), QStringLiteral("--no-net"), m_prefix.path()});
        QVERIFY2(tree.exitCode == 0, qPrintable(tree.output));
    }

    void desktopEntryOpensProjectsAndVideos()
    {
        QFile desktop(path("share/applications/%1.desktop").arg(desktopId));
        QVERIFY(desktop.open(QIODevice::ReadOnly | QIODevice::Text));
        QMap<QString, QString> entry;
        for (const QString &line : QString::fromUtf8(desktop.readAll()).split(QLatin1Char('\n'))) {
            const qsizetype equals = line.indexOf(QLatin1Char('='));
            if (equals > 0)
                entry.insert(line.left(equals), line.mid(equals + 1));
        }
        QCOMPARE(entry.value(QStringLiteral("Exec")), QStringLiteral("quintarel %F"));
        QCOMPARE(entry.value(QStringLiteral("Icon")), desktopId);
        const QStringList types = entry.value(QStringLiteral("MimeType")).split(QLatin1Char(';'));
        for (const QString &type : {QStringLiteral("application/x-quintarel"), QStringLiteral("video/mp4"),
                                    QStringLiteral("video/quicktime"), QStringLiteral("video/mp2t")}) {
            QVERIFY2(types.contains(type), qPrintable(type));
        }
        // Installing straight into the prefix indexed the entry by the types it opens.
        QFile cache(path("share/applications/mimeinfo.cache"));
        QVERIFY(cache.open(QIODevice::ReadOnly));
        QVERIFY(QString::fromUtf8(cache.readAll())
                    .contains(QStringLiteral("application/x-quintarel=%1.desktop").arg(desktopId)));
    }

    void projectFilesGetTheirType()
    {
        // update-mime-database accepted the package and compiled it.
        QVERIFY(QFile::exists(path("share/mime/application/x-quintarel.xml")));
        // And a program reading the installed database types project files by their name.
        qputenv("XDG_DATA_DIRS",
                (path("share") + QStringLiteral(":/usr/local/share:/usr/share")).toLocal8Bit());
        const QMimeDatabase database;
        const QMimeType type = database.mimeTypeForFile(QStringLiteral("/nulle-part/match.quintarel"),
                                                        QMimeDatabase::MatchExtension);
        QCOMPARE(type.name(), QStringLiteral("application/x-quintarel"));
        QVERIFY(type.inherits(QStringLiteral("application/json")));
        QVERIFY(!type.comment().isEmpty());
    }

    void iconDrawsAtMenuSizes()
    {
        const QIcon icon(path("share/icons/hicolor/scalable/apps/%1.svg").arg(desktopId));
        for (const int size : {16, 48, 128}) {
            const QImage image = icon.pixmap(size, size).toImage();
            QCOMPARE(image.size(), QSize(size, size));
            // Drawn: opaque in the middle, transparent in the rounded corner.
            QCOMPARE(image.pixelColor(size / 2, size / 2).alpha(), 255);
            QCOMPARE(image.pixelColor(0, 0).alpha(), 0);
        }
    }

    void answersOnTheCommandLineWithoutADisplay()
    {
        QProcessEnvironment console = QProcessEnvironment::systemEnvironment();
        for (const char *name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
            console.remove(QLatin1String(name));
        const QString program = path("bin/quintarel");

        const Run version = run(program, {QStringLiteral("--version")}, console);
        QVERIFY2(version.exitCode == 0, qPrintable(version.output));
        // The version the AppStream metadata announces.
        QFile metainfo(path("share/metainfo/%1.metainfo.xml").arg(desktopId));
        QVERIFY(metainfo.open(QIODevice::ReadOnly));
        const QRegularExpressionMatch release =
            QRegularExpression(QStringLiteral("<release version=\"([^\"]+)\"")).match(metainfo.readAll());
        QVERIFY(release.hasMatch());
        QCOMPARE(version.standardOutput, QStringLiteral("Quintarel %1\n").arg(release.captured(1)));

        const Run help = run(program, {QStringLiteral("--help")}, console);
        QVERIFY2(help.exitCode == 0, qPrintable(help.output));
        QVERIFY2(help.standardOutput.contains(QStringLiteral("--version")), qPrintable(help.output));
        QVERIFY2(help.standardOutput.contains(QStringLiteral("Vidéos ou projets (.quintarel)")),
                 qPrintable(help.output));

        // A mistake is told once Qt has taken its own options; the program opens no window.
        QProcessEnvironment offscreen = console;
        offscreen.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        const Run mistake =
            run(program, {QStringLiteral("--nimporte"), QStringLiteral("clip.mp4")}, offscreen);
        QCOMPARE(mistake.exitCode, 1);
        QVERIFY2(mistake.output.contains(QStringLiteral("quintarel --help")), qPrintable(mistake.output));
        QVERIFY2(mistake.output.contains(QStringLiteral("nimporte")), qPrintable(mistake.output));
    }

private:
    QString path(const QString &relative) const { return QDir(m_prefix.path()).filePath(relative); }
    QString path(const char *relative) const { return path(QString::fromUtf8(relative)); }

    QTemporaryDir m_prefix;
};

QUINTAREL_TEST(InstallTest)
#include "InstallTest.moc"
