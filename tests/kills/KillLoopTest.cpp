#include "SessionRun.h"
#include "TestMedia.h"
#include "TestRegistry.h"

#include <QDir>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <memory>

namespace {

// The work a kill may lose: the document brought back is one the session held at some moment of the
// last three seconds before it.
constexpr qint64 lossBoundMs = 3000;
constexpr int startTimeoutMs = 60000;

enum class Moment {
    Starting, // while the program starts and takes back the work of the run before
    Editing,  // at any moment of the editing
    Writing,  // just after the autosave has begun a write
};

// What a run left behind for the next one to bring back.
struct Leftover
{
    // The documents the recovery may bring back.
    QList<QByteArray> documents{QByteArrayLiteral("none")};
    // For a kill during a write: the document written before it, and the one it was writing. The
    // file holds one of them whole.
    std::optional<std::pair<QByteArray, QByteArray>> interruptedWrite;
    // The states and kill time it comes from, to measure what was lost.
    QList<SessionRun::State> states;
    qint64 killedAt = 0;
};

QString text(const QByteArray &document)
{
    return document == "none" ? QStringLiteral("(no unsaved work)")
                              : QString::fromUtf8(QByteArray::fromBase64(document));
}

Leftover leftoverOf(const SessionRun &run, qint64 killedAt)
{
    Leftover left;
    left.documents.clear();
    left.states = run.states;
    left.killedAt = killedAt;
    const QList<SessionRun::State> &states = run.states;
    // A state lasts until the next edit begins.
    for (qsizetype i = 0; i < states.size(); ++i) {
        if (i + 1 == states.size() || states.at(i + 1).startMs > killedAt - lossBoundMs)
            left.documents << states.at(i).document;
    }
    const auto documentOf = [&states](int number) {
        const auto state = std::find_if(states.begin(), states.end(),
                                        [number](const SessionRun::State &s) { return s.number == number; });
        return state == states.end() ? QByteArray() : state->document;
    };
    if (!run.writesBegun.isEmpty() && run.writesEnded.size() < run.writesBegun.size()) {
        const int writing = run.writesBegun.constLast();
        const int before = run.writesEnded.isEmpty() ? 0 : run.writesEnded.constLast();
        QByteArray previous = documentOf(before);
        // Work saved or given up in between removed the file.
        for (const SessionRun::State &state : states) {
            if (state.number > before && state.number < writing && state.document == "none")
                previous = QByteArrayLiteral("none");
        }
        left.interruptedWrite = std::pair(previous, documentOf(writing));
    }
    return left;
}

// How long before the kill the session last held `document`.
qint64 lostMs(const Leftover &left, const QByteArray &document)
{
    for (qsizetype i = left.states.size() - 1; i >= 0; --i) {
        if (left.states.at(i).document != document)
            continue;
        if (i + 1 == left.states.size())
            return 0;
        return std::max<qint64>(0, left.killedAt - left.states.at(i + 1).startMs);
    }
    return -1;
}

// The lines of `document` missing from `other`, and those of `other` it lacks.
QString difference(const QByteArray &document, const QByteArray &other)
{
    const QStringList mine = text(document).split(QLatin1Char('\n'));
    const QStringList theirs = text(other).split(QLatin1Char('\n'));
    QStringList lines;
    for (const QString &line : mine) {
        if (!theirs.contains(line))
            lines << QStringLiteral("+ ") + line;
    }
    for (const QString &line : theirs) {
        if (!mine.contains(line))
            lines << QStringLiteral("- ") + line;
    }
    return lines.join(QLatin1Char('\n'));
}

// Whether `shown`, a restored document once its window shows it, is `restored`: the frames list
// highlights the frame shown in the preview when nothing is selected, so an empty selection may
// have become that frame.
bool sameOnceShown(const QByteArray &shown, const QByteArray &restored)
{
    if (shown == restored)
        return true;
    QStringList shownLines = text(shown).split(QLatin1Char('\n'));
    QStringList restoredLines = text(restored).split(QLatin1Char('\n'));
    if (restoredLines.constLast() != QStringLiteral("selection ") ||
        shownLines.constLast().count(QLatin1Char(' ')) != 1)
        return false;
    shownLines.removeLast();
    restoredLines.removeLast();
    return shownLines == restoredLines;
}

} // namespace

// The program killed again and again at random moments (while it starts and takes back the work of
// the run before, while it is edited, while it writes its recovery file) loses at most the last
// three seconds of work each time, and never leaves a file that does not read.
class KillLoopTest : public QObject
{
    Q_OBJECT

    QString m_video;
    quint32 m_seed = 0;
    int m_run = 0;
    Moment m_moment = Moment::Editing;

    QByteArray failure(const SessionRun &run, const QString &what) const
    {
        static const char *const names[] = {"starting", "editing", "writing"};
        return QStringLiteral("%1 (run %2 of seed %3, killed while %4)\nproblems: %5\nerror output:\n%6")
            .arg(what)
            .arg(m_run)
            .arg(m_seed)
            .arg(QLatin1String(names[int(m_moment)]), run.problems.join(QStringLiteral("; ")),
                 run.errorOutput())
            .toUtf8();
    }

    // What the run brought back at its start, checked against what the run before left.
    void checkStart(const SessionRun &run, const Leftover &left, int *previousKept, qint64 *largestLoss)
    {
        QVERIFY2(run.problems.isEmpty(), failure(run, QStringLiteral("the session met a problem")));
        if (run.offeredRows) {
            QVERIFY2(*run.offeredRows <= 1, failure(run, QStringLiteral("more than one file offered")));
            QVERIFY2(run.unreadableRows == 0, failure(run, QStringLiteral("a recovery file did not read")));
        }
        if (run.states.isEmpty())
            return;
        const QByteArray &restored = run.states.constFirst().document;
        if (!left.documents.contains(restored)) {
            qWarning("brought back:\n%s", qPrintable(text(restored)));
            for (const QByteArray &document : left.documents)
                qWarning("differs from a document of the last seconds by:\n%s",
                         qPrintable(difference(restored, document)));
            QFAIL(failure(run, QStringLiteral("not a document of the last seconds before the kill")));
        }
        if (left.interruptedWrite) {
            const auto &[previous, writing] = *left.interruptedWrite;
            QVERIFY2(restored == previous || restored == writing,
                     failure(run, QStringLiteral("a write cut short left neither the file before nor the "
                                                 "new one:\n%1")
                                      .arg(text(restored))));
            if (restored == previous && previous != writing)
                ++*previousKept;
        }
        if (run.settled && !sameOnceShown(*run.settled, restored)) {
            qWarning("brought back:\n%s\nonce its video had opened, differs from it by:\n%s",
                     qPrintable(text(restored)), qPrintable(difference(*run.settled, restored)));
            QFAIL(failure(run, QStringLiteral("the document changed when its video opened")));
        }
        *largestLoss = std::max(*largestLoss, lostMs(left, restored));
    }

private slots:
    void initTestCase()
    {
        m_video = TestMedia::clip(TestMedia::Clip::Fps30);
        const QByteArray seed = qgetenv("QUINTAREL_KILL_SEED");
        m_seed = seed.isEmpty() ? QRandomGenerator::global()->generate() : seed.toUInt();
        qInfo("seed %u (QUINTAREL_KILL_SEED repeats a run)", m_seed);
    }

    void killedAtRandomMomentsLosesOnlyTheLastSeconds()
    {
        QTemporaryDir work;
        const QString root = work.filePath(QStringLiteral("recovery"));
        const QString project = work.filePath(QStringLiteral("séance.quintarel"));
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        // Liftings kept across the runs, as on the user's machine.
        environment.insert(QStringLiteral("XDG_CACHE_HOME"), work.filePath(QStringLiteral("cache")));
        const QString program = QStringLiteral(QUINTAREL_KILLS_SESSION);

        QRandomGenerator random(m_seed);
        QList<Moment> moments;
        moments.fill(Moment::Starting, 6);
        moments.append(QList<Moment>(10, Moment::Writing));
        moments.append(QList<Moment>(18, Moment::Editing));
        std::shuffle(moments.begin(), moments.end(), random);

        Leftover left;
        int inWrites = 0;
        int previousKept = 0;
        qint64 largestLoss = 0;
        QList<qint64> writeMs{20};
        for (m_run = 0; m_run < moments.size(); ++m_run) {
            m_moment = moments.at(m_run);
            SessionRun run(program, {root, m_video, project, QString::number(m_seed + quint32(m_run))},
                           environment);
            if (m_moment == Moment::Starting) {
                run.readFor(int(random.bounded(1500)));
            } else {
                QVERIFY2(run.readUntil([&run] { return run.ready; }, startTimeoutMs),
                         failure(run, QStringLiteral("the session did not start")));
                if (m_moment == Moment::Editing) {
                    run.readFor(200 + int(random.bounded(4300)));
                } else {
                    const qsizetype begun = run.writesBegun.size();
                    QVERIFY2(run.readUntil([&] { return run.writesBegun.size() > begun; }, 15000),
                             failure(run, QStringLiteral("no write within 15 s of editing")));
                    std::sort(writeMs.begin(), writeMs.end());
                    // Writes take as long as seen from here, less the time their end takes to be told.
                    const qint64 typical = writeMs.at(writeMs.size() / 2);
                    run.readFor(int(random.bounded(int(typical * 2 / 3 + 1))));
                }
            }
            QVERIFY2(!run.hasEnded(), failure(run, QStringLiteral("the session ended by itself")));
            const qint64 killedAt = run.kill();
            checkStart(run, left, &previousKept, &largestLoss);
            if (QTest::currentTestFailed())
                return;
            writeMs.append(run.writeMs);
            if (!run.states.isEmpty()) {
                left = leftoverOf(run, killedAt);
                inWrites += left.interruptedWrite ? 1 : 0;
            }
        }

        // A last start takes the work back, then gives it up: nothing is left of all the runs.
        m_moment = Moment::Editing;
        SessionRun last(program, {root, m_video, project, QString::number(m_seed), QStringLiteral("finish")},
                        environment);
        QVERIFY2(last.waitForEnd(startTimeoutMs),
                 failure(last, QStringLiteral("the last session did not end")));
        QVERIFY2(last.exitCode() == 0 && last.finished,
                 failure(last, QStringLiteral("the last session failed")));
        checkStart(last, left, &previousKept, &largestLoss);
        if (QTest::currentTestFailed())
            return;
        QCOMPARE(QDir(root).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden), QStringList());

        std::sort(writeMs.begin(), writeMs.end());
        qInfo("%lld kills, %d during a write (%d of them leaving the file before it); largest loss %lld ms; "
              "median write %lld ms",
              qlonglong(moments.size()), inWrites, previousKept, qlonglong(largestLoss),
              qlonglong(writeMs.at(writeMs.size() / 2)));
        // The kills meant to fall within a write did, some of them before the new file was in place.
        QVERIFY(inWrites >= 3);
        QVERIFY(previousKept >= 1);
    }

    // Two programs running at once each keep their own file: the one that starts second offers
    // nothing of the first, and after a kill only the killed one's work is offered, while the other
    // runs on.
    void runningProgramsKeepTheirOwnFiles()
    {
        QTemporaryDir work;
        const QString root = work.filePath(QStringLiteral("recovery"));
        const QString project = work.filePath(QStringLiteral("séance.quintarel"));
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("XDG_CACHE_HOME"), work.filePath(QStringLiteral("cache")));
        const QString program = QStringLiteral(QUINTAREL_KILLS_SESSION);
        const auto start = [&](int number, bool finish) {
            QStringList arguments{root, m_video, project, QString::number(m_seed + quint32(number))};
            if (finish)
                arguments << QStringLiteral("finish");
            return std::make_unique<SessionRun>(program, arguments, environment);
        };
        const auto hasWritten = [](SessionRun &run) {
            return run.readUntil([&run] { return !run.writesEnded.isEmpty(); }, startTimeoutMs);
        };
        m_moment = Moment::Editing;

        m_run = 0;
        const std::unique_ptr<SessionRun> first = start(0, false);
        QVERIFY2(hasWritten(*first), failure(*first, QStringLiteral("the first program wrote nothing")));
        m_run = 1;
        const std::unique_ptr<SessionRun> second = start(1, false);
        QVERIFY2(hasWritten(*second), failure(*second, QStringLiteral("the second program wrote nothing")));
        QCOMPARE(second->offeredRows, std::optional<int>(0));
        QCOMPARE(QDir(root).entryList(QDir::Dirs | QDir::NoDotAndDotDot).size(), 2);

        // The second is killed: a third program takes its work back, and only its.
        const qint64 killedAt = second->kill();
        const Leftover left = leftoverOf(*second, killedAt);
        int previousKept = 0;
        qint64 largestLoss = 0;
        m_run = 2;
        const std::unique_ptr<SessionRun> third = start(2, true);
        QVERIFY2(third->waitForEnd(startTimeoutMs), failure(*third, QStringLiteral("the third did not end")));
        QCOMPARE(third->offeredRows, std::optional<int>(1));
        checkStart(*third, left, &previousKept, &largestLoss);
        if (QTest::currentTestFailed())
            return;

        // The first has run on all along, writing its file, and ends as it was killed: its work is
        // offered whole to the next start.
        const qsizetype written = first->writesEnded.size();
        QVERIFY2(first->readUntil([&] { return first->writesEnded.size() > written; }, startTimeoutMs),
                 failure(*first, QStringLiteral("the first program stopped writing")));
        QVERIFY(first->problems.isEmpty());
        const qint64 firstKilledAt = first->kill();
        m_run = 3;
        const std::unique_ptr<SessionRun> fourth = start(3, true);
        QVERIFY2(fourth->waitForEnd(startTimeoutMs),
                 failure(*fourth, QStringLiteral("the fourth did not end")));
        QCOMPARE(fourth->offeredRows, std::optional<int>(1));
        checkStart(*fourth, leftoverOf(*first, firstKilledAt), &previousKept, &largestLoss);
        if (QTest::currentTestFailed())
            return;
        QCOMPARE(QDir(root).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden), QStringList());
    }
};

QUINTAREL_TEST(KillLoopTest)
#include "KillLoopTest.moc"
