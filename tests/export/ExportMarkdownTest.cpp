#include "TestRegistry.h"

#include "services/ExportMarkdown.h"

#include <QTest>

class ExportMarkdownTest : public QObject
{
    Q_OBJECT

private slots:
    void describesAGroup()
    {
        const QString line = ExportMarkdown::imageLine(u"clip_00-01-15-250.png"_qs, MediaTime(7525, 100),
                                                       u"regard\ncaméra "_qs);
        const QString text = ExportMarkdown::markdown(u"Plan large"_qs, u"Intro"_qs, {line});
        const QByteArray expected =
            "# Plan large\n"
            "\n"
            "Intro\n"
            "\n"
            "## Images\n"
            "- [clip_00-01-15-250.png](clip_00-01-15-250.png) \xe2\x80\x94 01:15.250\n"
            "  > regard cam\xc3\xa9ra\n";
        QCOMPARE(text.toUtf8(), expected);
    }

    void groupWithoutImagesOrNotes()
    {
        QCOMPARE(ExportMarkdown::markdown(u"A/B"_qs, QString(), {}),
                 u"# A/B\n\n## Images\n_Aucune image_\n"_qs);
        // One space is a note all the same.
        QCOMPARE(ExportMarkdown::markdown(u"A"_qs, u" "_qs, {}),
                 u"# A\n\n \n\n## Images\n_Aucune image_\n"_qs);
    }

    void keepsNotesAsTyped()
    {
        const QStringList lines{u"- [a b.png](a b.png) — 00:01.000"_qs, u"- [c.png](c.png) — 62:05.500"_qs};
        QCOMPARE(ExportMarkdown::markdown(u"G"_qs, u"ligne 1\n  *ligne 2*"_qs, lines),
                 u"# G\n\nligne 1\n  *ligne 2*\n\n## Images\n"
                 u"- [a b.png](a b.png) — 00:01.000\n- [c.png](c.png) — 62:05.500\n"_qs);
    }

    void imageLineNotes_data()
    {
        QTest::addColumn<QString>("note");
        QTest::addColumn<QString>("secondLine"); // empty: no second line
        QTest::newRow("no note") << QString() << QString();
        QTest::newRow("only line breaks") << u"\n\n\n"_qs << QString();
        QTest::newRow("only spaces") << u"   "_qs << QString();
        QTest::newRow("inner line breaks") << u"un\ndeux\n\ntrois"_qs << u"un deux  trois"_qs;
        QTest::newRow("outer white space") << u"\u00a0 note \n"_qs << u"note"_qs;
    }

    void imageLineNotes()
    {
        QFETCH(QString, note);
        QFETCH(QString, secondLine);
        const QString line = ExportMarkdown::imageLine(u"x y.png"_qs, MediaTime(3725500, 1000), note);
        const QString first = u"- [x y.png](x y.png) — 62:05.500"_qs;
        QCOMPARE(line, secondLine.isEmpty() ? first : first + u"\n  > "_qs + secondLine);
    }
};

QUINTAREL_TEST(ExportMarkdownTest)
#include "ExportMarkdownTest.moc"
