#include "TestProjects.h"
#include "TestRegistry.h"

#include "persistence/ProjectFile.h"
#include "state/AppState.h"
#include "state/CaptureDocument.h"
#include "state/ExportRuns.h"

#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

namespace {

const QByteArray plainEdge =
    R"({"a": 1, "b": 1, "feather": 0, "g": 1, "outline": false, "outlineWidth": 6, "r": 1, "shrink": 0})";

// A small valid project: one group holding one frame at 1001/30000 s with one drawing.
QByteArray project(const QByteArray &edge, const QByteArray &extraRootMember = {},
                   const QByteArray &annotationId = "6F9619FF-8B86-D011-B42D-00C04FC964FF")
{
    return R"({)" + extraRootMember + R"(
  "activeGroupIndex": 0, "cropToSubject": false, "edge": )" +
           edge + R"(, "filter": "none",
  "groups": [{"frames": [{"annotations": [{"a": 1, "b": 0, "end": [0.5, 0.5], "g": 0, "id": ")" +
           annotationId + R"(", "kind": "arrow", "lineWidth": 0.006, "r": 1, "start": [0.1, 0.2]}],
               "notes": "", "timeScale": 30000, "timeValue": 1001}], "name": "Plans", "notes": ""}],
  "version": 1, "videoName": "clip"})";
}

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

} // namespace

class HostileProjectTest : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    ExportRuns m_runs;

    // Opens `bytes` as a project file in a fresh window and returns it.
    std::unique_ptr<AppState> opened(const QByteArray &bytes)
    {
        const QString path = m_dir.filePath(QStringLiteral("hostile.quintarel"));
        if (!writeFile(path, bytes))
            return nullptr;
        auto state = std::make_unique<AppState>(&m_runs, PlayerOutput::Headless);
        if (!TestProjects::open(*state, QUrl::fromLocalFile(path)))
            return nullptr;
        return state;
    }

private slots:
    // A member the program does not know, with a 4 MB name and 10 MB of integers written with a
    // fraction inside it: reading it once kept a copy of that name per integer. What is kept now
    // is bounded by the frames of the file, whatever its unknown members hold.
    void aTenMegabyteHostileFileOpensAtOnce()
    {
        QByteArray hostile = "\"" + QByteArray(4 * 1024 * 1024, 'k') + "\": [";
        const QByteArray element = R"({"timeValue": 1.0, "version": 2.0},)";
        hostile.reserve(10 * 1024 * 1024 + element.size());
        while (hostile.size() < 10 * 1024 * 1024)
            hostile += element;
        hostile += "{}],";
        const QByteArray bytes = project(plainEdge, hostile);
        QVERIFY(bytes.size() > 10 * 1024 * 1024);

        const QString path = m_dir.filePath(QStringLiteral("hostile.quintarel"));
        QVERIFY(writeFile(path, bytes));
        AppState state(&m_runs, PlayerOutput::Headless);
        QElapsedTimer timer;
        timer.start();
        QVERIFY(TestProjects::open(state, QUrl::fromLocalFile(path)));
        const qint64 elapsed = timer.elapsed();
        QCOMPARE(state.document()->groups().size(), 1);
        QCOMPARE(state.document()->groups()[0].frames.size(), 1);
        QCOMPARE(state.document()->groups()[0].frames[0].time, MediaTime(1001, 30000));
        // Well under a second here; the bound only catches work that grows beyond the file's size.
        QVERIFY2(elapsed < 10000, qPrintable(QStringLiteral("%1 ms").arg(elapsed)));
    }

    void aFileTooLargeForAProjectIsRefusedUnread()
    {
        const QString path = m_dir.filePath(QStringLiteral("huge.quintarel"));
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        QVERIFY(file.resize(qint64(200) * 1024 * 1024)); // sparse: takes no room on the disk
        file.close();
        AppState state(&m_runs, PlayerOutput::Headless);
        QVERIFY(TestProjects::open(state, QUrl::fromLocalFile(path)));
        QCOMPARE(
            state.errorMessage(),
            QStringLiteral("Échec de l'ouverture : impossible de lire « %1 » : le fichier dépasse 128 Mo")
                .arg(path));
        QVERIFY(state.document()->projectURL().isEmpty());
    }

    // Edge values that the controls cannot give are brought into their ranges: an outline of 2,000
    // pixels took 90 s per render, and 100,000 a 40 GB allocation.
    void edgeValuesStayWithinTheControls()
    {
        const std::unique_ptr<AppState> state =
            opened(project(R"({"a": 2, "b": -0.5, "feather": 1e9, "g": 0.25, "outline": true,
                               "outlineWidth": 2000, "r": 1, "shrink": -4})"));
        QVERIFY(state);
        const EdgeOptions &options = state->document()->edgeOptions();
        QCOMPARE(options.shrink, 0.0);
        QCOMPARE(options.feather, EdgeOptions::maxFeather);
        QCOMPARE(options.outlineWidth, EdgeOptions::maxOutlineWidth);
        QCOMPARE(options.outlineColor, RgbaColor(1, 0.25, 0, 1));

        const std::unique_ptr<AppState> thin = opened(project(R"({"a": 1, "b": 1, "feather": 0, "g": 1,
            "outline": true, "outlineWidth": 0, "r": 1, "shrink": 0})"));
        QCOMPARE(thin->document()->edgeOptions().outlineWidth, EdgeOptions::minOutlineWidth);
    }

    // The outline colour is written back with the very numbers the file gave.
    void theOutlineColourRoundTripsExactly()
    {
        const std::unique_ptr<AppState> state =
            opened(project(R"({"a": 0.30000000000000004, "b": 1e-7, "feather": 0, "g": 0.123456789012345,
                               "outline": true, "outlineWidth": 6, "r": 0.1, "shrink": 0})"));
        QVERIFY(state);
        const QString saved = m_dir.filePath(QStringLiteral("saved.quintarel"));
        state->saveProject(QUrl::fromLocalFile(saved));
        QFile file(saved);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const std::optional<ProjectFile> read = ProjectFile::fromJson(file.readAll());
        QVERIFY(read);
        // Exact equality: QCOMPARE would forgive the 1/65535 steps of a QColor.
        QVERIFY(read->settings.get<EdgeOptionsSetting>().outlineColor.r == 0.1);
        QVERIFY(read->settings.get<EdgeOptionsSetting>().outlineColor.g == 0.123456789012345);
        QVERIFY(read->settings.get<EdgeOptionsSetting>().outlineColor.b == 1e-7);
        QVERIFY(read->settings.get<EdgeOptionsSetting>().outlineColor.a == 0.30000000000000004);
    }

    void aNilDrawingIdentifierIsAnIdentifierLikeAnother()
    {
        const std::unique_ptr<AppState> state =
            opened(project(plainEdge, {}, "00000000-0000-0000-0000-000000000000"));
        QVERIFY(state);
        QVERIFY2(!state->errorMessage() || !state->errorMessage()->startsWith(QStringLiteral("Échec")),
                 qPrintable(state->errorMessage().value_or(QString())));
        QCOMPARE(state->document()->groups()[0].frames[0].annotations.size(), 1);
        QVERIFY(state->document()->groups()[0].frames[0].annotations[0].id.isNull());
    }
};

QUINTAREL_TEST(HostileProjectTest)
#include "HostileProjectTest.moc"
