#include "TestRegistry.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

namespace {

struct Run
{
    int exitCode = -1;
    QString output; // standard output and error together
};

Run run(const QString &program, const QStringList &arguments)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(program, arguments);
    Run result;
    if (!process.waitForStarted(30000) || !process.waitForFinished(900000)) {
        result.output = program + QStringLiteral(": ") + process.errorString();
        return result;
    }
    result.output = QString::fromLocal8Bit(process.readAll());
    result.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    return result;
}

} // namespace

// The Debian package of the build (`make deb`): what it holds, what it depends on, and what
// Debian's own checks say of it.
class PackageTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QVERIFY(m_folder.isValid());
        const Run pack = run(QStringLiteral(QUINTAREL_CPACK_COMMAND),
                             {QStringLiteral("-G"), QStringLiteral("DEB"), QStringLiteral("--config"),
                              QStringLiteral(QUINTAREL_TEST_BUILD_DIR "/CPackConfig.cmake"),
                              QStringLiteral("-B"), m_folder.path()});
        QVERIFY2(pack.exitCode == 0, qPrintable(pack.output));
        const QStringList packages = QDir(m_folder.path()).entryList({QStringLiteral("quintarel_*.deb")});
        QCOMPARE(packages.size(), 1);
        m_package = QDir(m_folder.path()).filePath(packages.first());
    }

    void holdsTheProgramAndItsDesktopFiles()
    {
        const Run contents = run(QStringLiteral("dpkg-deb"), {QStringLiteral("--contents"), m_package});
        QVERIFY2(contents.exitCode == 0, qPrintable(contents.output));
        QStringList files;
        for (const QString &line : contents.output.split(QLatin1Char('\n'), Qt::SkipEmptyParts))
            files << line.section(QLatin1Char(' '), -1);
        for (const char *file :
             {"./usr/bin/quintarel", "./usr/share/applications/org.quintarel.Quintarel.desktop",
              "./usr/share/icons/hicolor/scalable/apps/org.quintarel.Quintarel.svg",
              "./usr/share/metainfo/org.quintarel.Quintarel.metainfo.xml",
              "./usr/share/mime/packages/org.quintarel.Quintarel.xml", "./usr/share/doc/quintarel/copyright",
              "./usr/share/doc/quintarel/changelog.gz", "./usr/share/man/man1/quintarel.1.gz"}) {
            QVERIFY2(files.contains(QLatin1String(file)), file);
        }
        if (QFile::exists(QStringLiteral(QUINTAREL_TEST_BUILD_DIR "/models/isnet-general.onnx")))
            QVERIFY(files.contains(QStringLiteral("./usr/share/quintarel/models/isnet-general.onnx")));
        // The databases are the target machine's to make, by its triggers.
        for (const QString &file : std::as_const(files)) {
            QVERIFY2(!file.startsWith(QLatin1String("./usr/local")), qPrintable(file));
            QVERIFY2(!file.endsWith(QLatin1String("mime.cache")) &&
                         !file.endsWith(QLatin1String("mimeinfo.cache")),
                     qPrintable(file));
        }
    }

    void dependsOnWhatItLinksAndLoads()
    {
        const Run depends = run(QStringLiteral("dpkg-deb"),
                                {QStringLiteral("--field"), m_package, QStringLiteral("Depends")});
        QVERIFY2(depends.exitCode == 0, qPrintable(depends.output));
        QStringList names;
        for (const QString &entry : depends.output.split(QLatin1Char(','), Qt::SkipEmptyParts))
            names << entry.trimmed().section(QLatin1Char(' '), 0, 0);
        // Found from the program's libraries, and named for the plugins it loads.
        for (const char *name :
             {"libqt6widgets6", "libmpv2", "libdnnl2", "libavcodec59", "libopencv-imgproc406",
              "qt6-qpa-plugins", "qt6-image-formats-plugins", "libqt6svg6"})
            QVERIFY2(names.contains(QLatin1String(name)), qPrintable(depends.output));
    }

    void debianChecksFindNoError()
    {
        const Run lintian = run(QStringLiteral("lintian"), {m_package});
        QVERIFY2(lintian.exitCode == 0, qPrintable(lintian.output));
        const QRegularExpression error(QStringLiteral("^E: "), QRegularExpression::MultilineOption);
        QVERIFY2(!error.match(lintian.output).hasMatch(), qPrintable(lintian.output));
    }

private:
    QTemporaryDir m_folder;
    QString m_package;
};

QUINTAREL_TEST(PackageTest)
#include "PackageTest.moc"
