#include "TestRegistry.h"

#include "platform/CheckedFile.h"
#include "services/ExportNaming.h"
#include "services/ImageExportService.h"

#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

class ExportNamingTest : public QObject
{
    Q_OBJECT

private slots:
    void foldersFromGroupNames_data()
    {
        QTest::addColumn<QString>("groupName");
        QTest::addColumn<QString>("folder");
        QTest::newRow("separators") << u"Plans/serrés: 2"_qs << u"Plans-serrés- 2"_qs;
        QTest::newRow("backslash and outer spaces") << u"  A\\B  "_qs << u"A-B"_qs;
        QTest::newRow("three spaces") << u"   "_qs << u"Sans-nom"_qs;
        QTest::newRow("empty") << QString() << u"Sans-nom"_qs;
        QTest::newRow("slash only") << u"/"_qs << u"-"_qs;
        QTest::newRow("consecutive separators") << u"a//:b"_qs << u"a---b"_qs;
        QTest::newRow("no-break space at the end") << u"Scène 1\u00a0"_qs << u"Scène 1"_qs;
        QTest::newRow("line breaks and separators")
            << u"\n\tPlan\u2028 large\u2029\r\n"_qs << u"Plan\u2028 large"_qs;
        QTest::newRow("only white space of every kind") << u"\u3000\u2007\u0085\u000b"_qs << u"Sans-nom"_qs;
        QTest::newRow("dots and punctuation stay") << u"..*?\"<>|"_qs << u"..*?\"<>|"_qs;
    }

    void foldersFromGroupNames()
    {
        QFETCH(QString, groupName);
        QFETCH(QString, folder);
        QCOMPARE(ExportNaming::folderName(groupName), folder);
        // Ordinary names keep their folder when exported side by side.
        QCOMPARE(ExportNaming::distinctFolderNames({u"Autre"_qs, groupName}),
                 (QStringList{u"Autre"_qs, folder}));
    }

    void foldersSideBySideAreSafeAndDistinct_data()
    {
        QTest::addColumn<QStringList>("groupNames");
        QTest::addColumn<QStringList>("folders");
        QTest::newRow("parent and current folder")
            << QStringList{u".."_qs, u"."_qs, u" .. "_qs}
            << QStringList{u"Sans-nom"_qs, u"Sans-nom (2)"_qs, u"Sans-nom (3)"_qs};
        QTest::newRow("names that clean alike")
            << QStringList{u"A/B"_qs, u"A-B"_qs, u" A-B"_qs, u"A:B"_qs}
            << QStringList{u"A-B"_qs, u"A-B (2)"_qs, u"A-B (3)"_qs, u"A-B (4)"_qs};
        QTest::newRow("a numbered name a later group owns")
            << QStringList{u"Plan"_qs, u"Plan"_qs, u"Plan (2)"_qs}
            << QStringList{u"Plan"_qs, u"Plan (3)"_qs, u"Plan (2)"_qs};
        QTest::newRow("letter case alone")
            << QStringList{u"Plan"_qs, u"plan"_qs} << QStringList{u"Plan"_qs, u"plan (2)"_qs};
        QTest::newRow("empty after cleaning beside Sans-nom")
            << QStringList{u"Sans-nom"_qs, u"   "_qs} << QStringList{u"Sans-nom"_qs, u"Sans-nom (2)"_qs};
    }

    void foldersSideBySideAreSafeAndDistinct()
    {
        QFETCH(QStringList, groupNames);
        QFETCH(QStringList, folders);
        QCOMPARE(ExportNaming::distinctFolderNames(groupNames), folders);
    }

    void longNamesFitTheFileSystem()
    {
        // 300 two-byte letters, then the same name again: each folder and its ".md" file must stay
        // within 255 bytes, and the two must still differ.
        const QString name(300, QChar(0x00e9));
        const QStringList folders = ExportNaming::distinctFolderNames({name, name});
        QCOMPARE(folders.size(), 2);
        QVERIFY(folders[0] != folders[1]);
        for (const QString &folder : folders) {
            QVERIFY(ExportNaming::markdownFileName(folder).toUtf8().size() <= 255);
            QVERIFY(folder.toUtf8().size() > 240);
        }
        QVERIFY(folders[1].endsWith(u" (2)"_qs));

        // Both folders and their descriptions can be written.
        QTemporaryDir output;
        for (const QString &folder : folders) {
            const QString path = output.filePath(folder);
            QCOMPARE(CheckedFile::makeFolders(path), std::nullopt);
            const QString markdown = path + QLatin1Char('/') + ExportNaming::markdownFileName(folder);
            QCOMPARE(ImageExportService().writeText(u"# Notes"_qs, markdown), std::nullopt);
            QVERIFY(QFileInfo(markdown).isFile());
        }
    }

    void imageFileNames()
    {
        const MediaTime at75s(7525, 100);
        QCOMPARE(ExportNaming::mergedFileName(u"clip"_qs, at75s), u"clip_00-01-15-250.png"_qs);
        QCOMPARE(ExportNaming::subjectFileName(u"clip"_qs, at75s, 2), u"clip_00-01-15-250_s2.png"_qs);
        QCOMPARE(ExportNaming::subjectFileName(u"clip"_qs, at75s, 12), u"clip_00-01-15-250_s12.png"_qs);
        QCOMPARE(ExportNaming::mergedFileName(u"clip"_qs, MediaTime(7451, 2)), u"clip_01-02-05-500.png"_qs);
        // The video name is used as it is, without the folder cleaning.
        QCOMPARE(ExportNaming::mergedFileName(u" a:b "_qs, MediaTime::indefinite()),
                 u" a:b _00-00-00-000.png"_qs);
        QCOMPARE(ExportNaming::numbered(u"clip_00-01-15-250_s2.png"_qs, 1), u"clip_00-01-15-250_s2.png"_qs);
        QCOMPARE(ExportNaming::numbered(u"clip_00-01-15-250_s2.png"_qs, 3),
                 u"clip_00-01-15-250_s2 (3).png"_qs);
    }
};

QUINTAREL_TEST(ExportNamingTest)
#include "ExportNamingTest.moc"
