#include "TestRegistry.h"

#include "services/ExportMarkdown.h"

#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTest>
#include <QUrl>

namespace {

// The HTML that the CommonMark reference renderer makes of `markdown`; empty when it cannot run.
QString rendered(const QString &markdown)
{
    QProcess cmark;
    cmark.start(QStringLiteral("cmark"), {QStringLiteral("--to"), QStringLiteral("html")});
    if (!cmark.waitForStarted(10000))
        return {};
    cmark.write(markdown.toUtf8());
    cmark.closeWriteChannel();
    if (!cmark.waitForFinished(10000) || cmark.exitCode() != 0)
        return {};
    return QString::fromUtf8(cmark.readAllStandardOutput());
}

QString unescapedHtml(QString text)
{
    text.replace(u"&lt;"_qs, u"<"_qs).replace(u"&gt;"_qs, u">"_qs).replace(u"&quot;"_qs, u"\""_qs);
    return text.replace(u"&amp;"_qs, u"&"_qs);
}

} // namespace

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

    // Every entry is a link to its own file in CommonMark, whatever the name holds; names that need
    // nothing keep the plain form.
    void entriesAreLinksToTheirFiles()
    {
        QVERIFY2(!QStandardPaths::findExecutable(u"cmark"_qs).isEmpty(),
                 "the CommonMark renderer cmark is missing (scripts/bootstrap installs it)");
        const QStringList names{
            u"my clip_00-00-01-000.png"_qs,    u"clip (2)_00-00-01-000.png"_qs,
            u"été à Noël_00-00-01-000.png"_qs, u"prise(1_00-00-01-000.png"_qs,
            u"a<b>c_00-00-01-000.png"_qs,      u"crochet]seul_00-00-01-000_s2.png"_qs,
            u"C:\\dos\\v_00-00-01-000.png"_qs, u"plain_00-00-01-000.png"_qs,
        };
        QStringList lines;
        for (const QString &name : names)
            lines << ExportMarkdown::imageLine(name, MediaTime(1, 1), u"note"_qs);
        const QString html = rendered(ExportMarkdown::markdown(u"Groupe"_qs, QString(), lines));
        QVERIFY(!html.isEmpty());

        static const QRegularExpression link(u"<li><a href=\"([^\"]*)\">([^<]*)</a> — 00:01\\.000"_qs);
        QList<QRegularExpressionMatch> found;
        for (auto it = link.globalMatch(html); it.hasNext();)
            found << it.next();
        QCOMPARE(found.size(), names.size());
        for (qsizetype i = 0; i < names.size(); ++i) {
            QCOMPARE(unescapedHtml(found.at(i).captured(2)), names.at(i));
            QCOMPARE(QUrl::fromPercentEncoding(unescapedHtml(found.at(i).captured(1)).toUtf8()), names.at(i));
        }
        // A name that needs nothing is written as before, byte for byte.
        QCOMPARE(lines.last(),
                 u"- [plain_00-00-01-000.png](plain_00-00-01-000.png) — 00:01.000\n  > note"_qs);
        QCOMPARE(lines.at(2).section(u" — "_qs, 0, 0),
                 u"- [été à Noël_00-00-01-000.png](<été à Noël_00-00-01-000.png>)"_qs);
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
        const QString first = u"- [x y.png](<x y.png>) — 62:05.500"_qs;
        QCOMPARE(line, secondLine.isEmpty() ? first : first + u"\n  > "_qs + secondLine);
    }
};

QUINTAREL_TEST(ExportMarkdownTest)
#include "ExportMarkdownTest.moc"
