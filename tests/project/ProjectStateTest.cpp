#include "TestCaptures.h"
#include "TestMedia.h"
#include "TestRegistry.h"
#include "TestVideo.h"

#include "persistence/ProjectFile.h"
#include "state/AppState.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>

namespace {

const QString videoNotFound = QStringLiteral("Vidéo introuvable. Rouvrez-la via « Ouvrir une vidéo ».");

// A window with two groups, notes, an annotation and non-default settings, and no video.
void fillWindow(AppState &state)
{
    state.addGroup();
    QList<CaptureGroup> groups = state.groups();
    groups[0].name = QStringLiteral("Plans larges");
    groups[0].notes = QStringLiteral("Intro");
    CapturedFrame frame(MediaTime(1001, 30000));
    frame.notes = QStringLiteral("regard caméra");
    Annotation arrow;
    arrow.start = {0.1, 0.2};
    arrow.end = {0.7, 0.8};
    frame.annotations << arrow;
    groups[0].frames << frame << CapturedFrame(MediaTime(75, 1));
    groups[1].frames << CapturedFrame(MediaTime(3725, 1));
    state.setGroups(groups);
    state.setActiveGroup(groups[1].id);
    state.setCropToSubject(true);
    state.setSelectedFilter(FilterStyle::Poster);
    EdgeOptions options;
    options.shrink = 1.5;
    options.feather = 2;
    options.outline = true;
    options.outlineWidth = 9;
    options.outlineColor = QColor::fromRgbF(1, 0, 0, 0.5);
    state.setEdgeOptions(options);
}

QJsonObject readJson(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QJsonDocument::fromJson(file.readAll()).object();
}

void writeJson(const QString &path, const QJsonObject &root)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(QJsonDocument(root).toJson());
}

} // namespace

class ProjectStateTest : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;

    QString path(const QString &name) const { return m_dir.filePath(name); }

private slots:
    void savesAndReopensTheWindow()
    {
        AppState original;
        fillWindow(original);
        const QUrl url = QUrl::fromLocalFile(path(QStringLiteral("window.quintarel")));
        original.saveProject(url);
        QVERIFY(!original.errorMessage());
        QCOMPARE(original.projectURL(), url);

        const QJsonObject root = readJson(url.toLocalFile());
        QVERIFY(!root.contains(QStringLiteral("videoBookmark")));
        QVERIFY(!root.contains(QStringLiteral("outputFolderBookmark")));
        QCOMPARE(root.value(QStringLiteral("activeGroupIndex")).toInt(), 1);

        AppState reopened;
        reopened.openProject(url);
        // Without a video the groups and settings come back all the same.
        QCOMPARE(reopened.errorMessage(), videoNotFound);
        QCOMPARE(reopened.projectURL(), url);
        QVERIFY(reopened.cropToSubject());
        QCOMPARE(reopened.selectedFilter(), FilterStyle::Poster);
        QCOMPARE(reopened.edgeOptions().signature(), original.edgeOptions().signature());
        QCOMPARE(reopened.groups().size(), 2);
        QCOMPARE(reopened.activeGroupID(), reopened.groups()[1].id);

        const CaptureGroup &group = reopened.groups()[0];
        QCOMPARE(group.name, QStringLiteral("Plans larges"));
        QCOMPARE(group.notes, QStringLiteral("Intro"));
        QCOMPARE(group.frames.size(), 2);
        QCOMPARE(group.frames[0].time.value(), 1001);
        QCOMPARE(group.frames[0].time.timescale(), 30000);
        QCOMPARE(group.frames[0].notes, QStringLiteral("regard caméra"));
        QVERIFY(!group.frames[0].hasThumbnail());

        // Fresh group and frame identifiers; annotations keep theirs.
        QVERIFY(group.id != original.groups()[0].id);
        QVERIFY(group.frames[0].id != original.groups()[0].frames[0].id);
        QCOMPARE(group.frames[0].annotations, original.groups()[0].frames[0].annotations);

        // Saving the reopened window again gives the same bytes.
        const QUrl again = QUrl::fromLocalFile(path(QStringLiteral("again.quintarel")));
        reopened.saveProject(again);
        QFile first(url.toLocalFile());
        QFile second(again.toLocalFile());
        QVERIFY(first.open(QIODevice::ReadOnly) && second.open(QIODevice::ReadOnly));
        QCOMPARE(second.readAll(), first.readAll());
    }

    // With its video found again, an opened project gets its stills and cut-outs back, and its output
    // folder; a folder that is gone leaves the window's own in place.
    void openingWithTheVideoRebuildsTheImages()
    {
        QTemporaryDir output;
        const QString video = TestMedia::shapesVideo(QStringLiteral("shapes"), QSize(960, 540), 30);
        const QUrl url = QUrl::fromLocalFile(path(QStringLiteral("with-video.quintarel")));
        {
            AppState source(PlayerOutput::Headless);
            QVERIFY(TestVideo::open(source, video));
            TestCaptures::addFrames(source, {{5}, {20}});
            source.setOutputFolder(QUrl::fromLocalFile(output.path()));
            source.saveProject(url);
            QVERIFY(!source.errorMessage());
        }

        AppState reopened(PlayerOutput::Headless);
        reopened.openProject(url);
        QVERIFY2(!reopened.errorMessage(), qPrintable(reopened.errorMessage().value_or(QString())));
        // The video opens off the main thread; the window takes it when it can be shown.
        QTRY_COMPARE_WITH_TIMEOUT(reopened.videoURL(), QUrl::fromLocalFile(video), 30000);
        QCOMPARE(reopened.outputFolder(), QUrl::fromLocalFile(output.path()));
        const auto allLifted = [&reopened] {
            const QList<CapturedFrame> frames = reopened.allFrames();
            return std::all_of(frames.cbegin(), frames.cend(),
                               [](const CapturedFrame &frame) { return frame.subjectExtracted; });
        };
        // Lifting takes seconds per frame, many more on a loaded machine.
        QTRY_VERIFY_WITH_TIMEOUT(allLifted(), 600000);
        const QList<CapturedFrame> frames = reopened.allFrames();
        QCOMPARE(frames.size(), 2);
        QCOMPARE(frames[0].time, MediaTime(5, 30));
        for (const CapturedFrame &frame : frames) {
            QVERIFY(frame.hasThumbnail());
            QCOMPARE(frame.thumbnail.size(), QSize(960, 540));
            QVERIFY(!frame.subjectPreview.isNull());
        }

        QTemporaryDir own;
        AppState elsewhere(PlayerOutput::Headless);
        elsewhere.setOutputFolder(QUrl::fromLocalFile(own.path()));
        QVERIFY(output.remove());
        elsewhere.openProject(url);
        QCOMPARE(elsewhere.outputFolder(), QUrl::fromLocalFile(own.path()));
        QTRY_COMPARE_WITH_TIMEOUT(elsewhere.videoURL(), QUrl::fromLocalFile(video), 30000);
    }

    void tellsWhetherClosingWouldLoseWork()
    {
        AppState state;
        QVERIFY(!state.hasUnsavedChanges()); // nothing captured, nothing to lose
        fillWindow(state);
        QVERIFY(state.hasUnsavedChanges());

        const QUrl url = QUrl::fromLocalFile(path(QStringLiteral("work.quintarel")));
        state.saveProject(url);
        QVERIFY(!state.hasUnsavedChanges());
        state.setNote(QStringLiteral("nouvelle note"), state.groups()[0].frames[0].id);
        QVERIFY(state.hasUnsavedChanges());
        state.saveProject(url);
        QVERIFY(!state.hasUnsavedChanges());
        EdgeOptions options = state.edgeOptions();
        options.feather = 3;
        state.setEdgeOptions(options);
        QVERIFY(state.hasUnsavedChanges());

        // A failed save leaves the work unsaved.
        state.saveProject(QUrl::fromLocalFile(path(QStringLiteral("missing/folder/work.quintarel"))));
        QVERIFY(state.hasUnsavedChanges());

        AppState reopened;
        reopened.openProject(url);
        QVERIFY(!reopened.hasUnsavedChanges());
        reopened.deleteFrame(reopened.groups()[0].frames[0].id);
        QVERIFY(reopened.hasUnsavedChanges());
    }

    void openingResetsSelectionAndFailures()
    {
        AppState source;
        fillWindow(source);
        const QUrl url = QUrl::fromLocalFile(path(QStringLiteral("reset.quintarel")));
        source.saveProject(url);

        AppState target;
        fillWindow(target);
        target.setSelection({target.groups()[0].frames[0].id});
        target.setFailures(
            {ExportFailure{QUuid::createUuid(), QStringLiteral("00:01.000"), QStringLiteral("x")}});
        target.openProject(url);
        QVERIFY(target.selection().isEmpty());
        QVERIFY(target.failures().isEmpty());
    }

    void appliesLenientValues_data()
    {
        QTest::addColumn<QJsonValue>("groups");
        QTest::addColumn<qint64>("activeIndex");
        QTest::addColumn<QString>("filter");
        QTest::addColumn<int>("expectedGroups");
        QTest::addColumn<int>("expectedActive");
        QTest::addColumn<FilterStyle>("expectedFilter");

        const QJsonObject group{{"name", "G"}, {"notes", ""}, {"frames", QJsonArray{}}};
        const QJsonArray three{group, group, group};
        QTest::newRow("no groups") << QJsonValue(QJsonArray{}) << qint64(0) << "none" << 1 << 0
                                   << FilterStyle::None;
        QTest::newRow("negative index")
            << QJsonValue(three) << qint64(-3) << "poster" << 3 << 0 << FilterStyle::Poster;
        QTest::newRow("index too large")
            << QJsonValue(three) << qint64(99) << "sketch" << 3 << 2 << FilterStyle::Sketch;
        QTest::newRow("unknown filter")
            << QJsonValue(three) << qint64(1) << "Poster" << 3 << 1 << FilterStyle::None;
    }

    void appliesLenientValues()
    {
        QFETCH(QJsonValue, groups);
        QFETCH(qint64, activeIndex);
        QFETCH(QString, filter);
        QFETCH(int, expectedGroups);
        QFETCH(int, expectedActive);
        QFETCH(FilterStyle, expectedFilter);

        AppState source;
        const QString file = path(QStringLiteral("lenient.quintarel"));
        source.saveProject(QUrl::fromLocalFile(file));
        QJsonObject root = readJson(file);
        root.insert(QStringLiteral("groups"), groups);
        root.insert(QStringLiteral("activeGroupIndex"), activeIndex);
        root.insert(QStringLiteral("filter"), filter);
        writeJson(file, root);

        AppState state;
        state.setSelectedFilter(FilterStyle::Comic);
        state.openProject(QUrl::fromLocalFile(file));
        QCOMPARE(state.groups().size(), expectedGroups);
        QCOMPARE(state.activeGroupID(), state.groups()[expectedActive].id);
        QCOMPARE(state.selectedFilter(), expectedFilter);
        if (expectedGroups == 1)
            QCOMPARE(state.groups()[0].name, QStringLiteral("Captures"));
    }

    void aFailedOpenChangesNothing_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::newRow("empty") << QByteArray();
        QTest::newRow("truncated") << QByteArray("{\"version\": 1, \"groups\": [");
        QTest::newRow("not JSON") << QByteArray("\x89PNG\r\n\x1a\n", 8);
        QTest::newRow("invalid UTF-8") << QByteArray("{\"videoName\": \"\xff\xfe\"}");
        QTest::newRow("deeply nested") << QByteArray(100000, '[');
    }

    void aFailedOpenChangesNothing()
    {
        QFETCH(QByteArray, content);
        const QString file = path(QStringLiteral("damaged.quintarel"));
        QFile out(file);
        QVERIFY(out.open(QIODevice::WriteOnly));
        out.write(content);
        out.close();

        AppState state;
        fillWindow(state);
        const QList<CaptureGroup> before = state.groups();
        QSignalSpy groupsSpy(&state, &AppState::groupsChanged);
        state.openProject(QUrl::fromLocalFile(file));
        QVERIFY(state.errorMessage());
        QVERIFY2(state.errorMessage()->startsWith(QStringLiteral("Échec de l'ouverture : ")),
                 qPrintable(*state.errorMessage()));
        QVERIFY(state.errorMessage()->size() > QStringLiteral("Échec de l'ouverture : ").size());
        QCOMPARE(groupsSpy.count(), 0);
        QCOMPARE(state.groups(), before);
        QVERIFY(state.projectURL().isEmpty());
    }

    void aMissingFileIsReported()
    {
        AppState state;
        state.openProject(QUrl::fromLocalFile(path(QStringLiteral("absent.quintarel"))));
        QVERIFY(state.errorMessage()->startsWith(QStringLiteral("Échec de l'ouverture : ")));
    }

    // What the user reads is French throughout and says where the damage is.
    void messagesAreFrenchAndSayWhere()
    {
        AppState source;
        fillWindow(source);
        const QString file = path(QStringLiteral("french.quintarel"));
        source.saveProject(QUrl::fromLocalFile(file));
        QJsonObject root = readJson(file);
        QJsonArray groups = root.value(QStringLiteral("groups")).toArray();
        QJsonObject group = groups.at(1).toObject();
        QJsonArray frames = group.value(QStringLiteral("frames")).toArray();
        QJsonObject frame = frames.at(0).toObject();
        frame.remove(QStringLiteral("timeScale"));
        frames.replace(0, frame);
        group.insert(QStringLiteral("frames"), frames);
        groups.replace(1, group);
        root.insert(QStringLiteral("groups"), groups);
        writeJson(file, root);

        AppState state;
        state.openProject(QUrl::fromLocalFile(file));
        QCOMPARE(state.errorMessage(),
                 QStringLiteral(
                     "Échec de l'ouverture : groups[1].frames[0] : le membre « timeScale » est absent"));

        QFile garbage(file);
        QVERIFY(garbage.open(QIODevice::WriteOnly));
        garbage.write("{\"version\": 1,, }");
        garbage.close();
        state.openProject(QUrl::fromLocalFile(file));
        QCOMPARE(state.errorMessage(),
                 QStringLiteral("Échec de l'ouverture : le fichier n'est pas du JSON valide : "
                                "objet non terminé (octet 15)"));

        const QString unreachable = path(QStringLiteral("absent/projet.quintarel"));
        state.saveProject(QUrl::fromLocalFile(unreachable));
        QCOMPARE(
            state.errorMessage(),
            QStringLiteral("Échec de l'enregistrement : impossible d'écrire « %1 » : dossier introuvable")
                .arg(unreachable));
    }

    void aFailedSaveKeepsTheFileAndTheProject()
    {
        const QString blocker = path(QStringLiteral("not-a-folder"));
        QFile file(blocker);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("keep me");
        file.close();

        AppState state;
        state.saveProject(QUrl::fromLocalFile(blocker + QStringLiteral("/inside.quintarel")));
        QVERIFY(state.errorMessage()->startsWith(QStringLiteral("Échec de l'enregistrement : ")));
        QVERIFY(state.projectURL().isEmpty());
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), QByteArray("keep me"));
    }
};

QUINTAREL_TEST(ProjectStateTest)
#include "ProjectStateTest.moc"
