#include "TestCaptures.h"
#include "TestMedia.h"
#include "TestProjects.h"
#include "TestRegistry.h"
#include "TestVideo.h"

#include "models/AnnotationShape.h"
#include "persistence/ProjectFile.h"
#include "platform/VideoPlayer.h"
#include "state/AppState.h"
#include "state/CaptureDocument.h"
#include "state/ExportRuns.h"
#include "state/FrameImageStore.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QUndoStack>

#include <algorithm>

namespace {

const QString videoNotFound = QStringLiteral("Vidéo introuvable. Localisez-la via « Localiser la vidéo… ».");

// A window with two groups, notes, an annotation and non-default settings, and no video, made by
// the edits a user makes.
void fillWindow(AppState &state)
{
    CaptureDocument *document = state.document();
    const QUuid first = document->groups()[0].id;
    document->setGroupName(first, QStringLiteral("Plans larges"));
    document->setGroupNotes(first, QStringLiteral("Intro"));
    const QUuid frame = document->captureFrame(MediaTime(1001, 30000));
    document->setNote(QStringLiteral("regard caméra"), frame);
    Annotation arrow;
    arrow.start = {0.1, 0.2};
    arrow.end = {0.7, 0.8};
    document->addAnnotation(frame, arrow);
    document->captureFrame(MediaTime(75, 1));
    document->addGroup();
    document->captureFrame(MediaTime(3725, 1));
    document->setCropToSubject(true);
    document->setSelectedFilter(FilterStyle::Poster);
    EdgeOptions options;
    options.shrink = 1.5;
    options.feather = 2;
    options.outline = true;
    options.outlineWidth = 9;
    options.outlineColor = QColor::fromRgbF(1, 0, 0, 0.5);
    document->setEdgeOptions(options);
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
    ExportRuns m_runs;

    QString path(const QString &name) const { return m_dir.filePath(name); }

private slots:
    void savesAndReopensTheWindow()
    {
        AppState original(&m_runs, PlayerOutput::Headless);
        fillWindow(original);
        const QUrl url = QUrl::fromLocalFile(path(QStringLiteral("window.quintarel")));
        original.saveProject(url);
        QVERIFY(!original.errorMessage());
        QCOMPARE(original.document()->projectURL(), url);

        const QJsonObject root = readJson(url.toLocalFile());
        QVERIFY(!root.contains(QStringLiteral("videoBookmark")));
        QVERIFY(!root.contains(QStringLiteral("outputFolderBookmark")));
        QCOMPARE(root.value(QStringLiteral("activeGroupIndex")).toInt(), 1);

        AppState reopened(&m_runs, PlayerOutput::Headless);
        QVERIFY(TestProjects::open(reopened, url));
        // Without a video the groups and settings come back all the same.
        const CaptureDocument *document = reopened.document();
        QCOMPARE(reopened.errorMessage(), videoNotFound);
        QCOMPARE(document->projectURL(), url);
        QVERIFY(document->cropToSubject());
        QCOMPARE(document->selectedFilter(), FilterStyle::Poster);
        QCOMPARE(document->edgeOptions().signature(), original.document()->edgeOptions().signature());
        QCOMPARE(document->groups().size(), 2);
        QCOMPARE(document->activeGroupID(), document->groups()[1].id);
        QVERIFY(!reopened.hasUnsavedChanges());
        QVERIFY(!document->undoStack()->canUndo());

        const CaptureGroup &group = document->groups()[0];
        QCOMPARE(group.name, QStringLiteral("Plans larges"));
        QCOMPARE(group.notes, QStringLiteral("Intro"));
        QCOMPARE(group.frames.size(), 2);
        QCOMPARE(group.frames[0].time.value(), 1001);
        QCOMPARE(group.frames[0].time.timescale(), 30000);
        QCOMPARE(group.frames[0].notes, QStringLiteral("regard caméra"));
        // Without their video, the frames say why they have no pictures.
        QVERIFY(reopened.images()->images(group.frames[0].id).hasFailed());
        QVERIFY(!reopened.images()->images(group.frames[0].id).hasStill());

        // Fresh group and frame identifiers; annotations keep theirs.
        const CaptureGroup &originalGroup = original.document()->groups()[0];
        QVERIFY(group.id != originalGroup.id);
        QVERIFY(group.frames[0].id != originalGroup.frames[0].id);
        QCOMPARE(group.frames[0].annotations, originalGroup.frames[0].annotations);

        // Saving the reopened window again gives the same bytes.
        const QUrl again = QUrl::fromLocalFile(path(QStringLiteral("again.quintarel")));
        reopened.saveProject(again);
        QFile first(url.toLocalFile());
        QFile second(again.toLocalFile());
        QVERIFY(first.open(QIODevice::ReadOnly) && second.open(QIODevice::ReadOnly));
        QCOMPARE(second.readAll(), first.readAll());
    }

    // A file of a later version, with drawings of kinds this one does not know: it opens with a note,
    // those drawings stay out of sight, and saving writes them back as they were, beside the edits.
    void keepsDrawingsOfUnknownKinds()
    {
        AppState original(&m_runs, PlayerOutput::Headless);
        fillWindow(original);
        const QString written = path(QStringLiteral("later.quintarel"));
        original.saveProject(QUrl::fromLocalFile(written));
        QJsonObject root = readJson(written);
        QJsonArray groups = root.value("groups").toArray();
        QJsonObject group = groups.at(0).toObject();
        QJsonArray frames = group.value("frames").toArray();
        QJsonObject frame = frames.at(0).toObject();
        QJsonArray annotations = frame.value("annotations").toArray();
        const QJsonObject text{{"id", "6F9619FF-8B86-D011-B42D-00C04FC964FF"},
                               {"kind", "sticker"},
                               {"text", "Regard\ncaméra"},
                               {"size", 0.04},
                               {"anchor", QJsonArray{0.5, 0.25}}};
        const QJsonObject marker{
            {"id", "7F9619FF-8B86-D011-B42D-00C04FC964FF"}, {"kind", "stamp"}, {"number", 2}};
        annotations.prepend(text);
        annotations.append(marker);
        frame.insert("annotations", annotations);
        frames.replace(0, frame);
        group.insert("frames", frames);
        groups.replace(0, group);
        root.insert("groups", groups);
        writeJson(written, root);

        AppState reopened(&m_runs, PlayerOutput::Headless);
        QVERIFY(TestProjects::open(reopened, QUrl::fromLocalFile(written)));
        QVERIFY(reopened.errorMessage());
        QVERIFY2(reopened.errorMessage()->startsWith(videoNotFound), qPrintable(*reopened.errorMessage()));
        QVERIFY2(reopened.errorMessage()->contains(
                     QStringLiteral("Ce projet contient 2 annotations de types que cette version ne "
                                    "connaît pas (« sticker », « stamp »)")),
                 qPrintable(*reopened.errorMessage()));
        CaptureDocument *document = reopened.document();
        const CapturedFrame shown = document->groups()[0].frames[0];
        QCOMPARE(shown.annotations.size(), 3);
        QVERIFY(shown.annotations[0].isUnread());
        QVERIFY(!shown.annotations[1].isUnread());
        // The known drawing is edited; the others keep their places around it.
        Annotation arrow = shown.annotations[1];
        arrow.shape().translate(arrow, {0.1, 0.1});
        document->editAnnotation(shown.id, arrow, CaptureDocument::AnnotationEdit::Move);

        const QString saved = path(QStringLiteral("later-saved.quintarel"));
        reopened.saveProject(QUrl::fromLocalFile(saved));
        const QJsonArray savedAnnotations = readJson(saved)
                                                .value("groups")[0]
                                                .toObject()
                                                .value("frames")[0]
                                                .toObject()
                                                .value("annotations")
                                                .toArray();
        QCOMPARE(savedAnnotations.size(), 3);
        QCOMPARE(savedAnnotations.at(0).toObject(), text);
        QCOMPARE(savedAnnotations.at(2).toObject(), marker);
        QCOMPARE(savedAnnotations.at(1).toObject().value("start").toArray().at(0).toDouble(), 0.1 + 0.1);

        // A file with one of them says so in the singular.
        AppState single(&m_runs, PlayerOutput::Headless);
        annotations.removeLast();
        frame.insert("annotations", annotations);
        frames.replace(0, frame);
        group.insert("frames", frames);
        groups.replace(0, group);
        root.insert("groups", groups);
        writeJson(written, root);
        QVERIFY(TestProjects::open(single, QUrl::fromLocalFile(written)));
        QVERIFY2(single.errorMessage()->contains(QStringLiteral(
                     "une annotation d'un type que cette version ne connaît pas (« sticker »)")),
                 qPrintable(*single.errorMessage()));
    }

    // The edge colour switch reaches the file only when it is on, and comes back with the project.
    void keepsTheEdgeColourSwitchOnlyWhenOn()
    {
        AppState original(&m_runs, PlayerOutput::Headless);
        fillWindow(original);
        const QUrl plain = QUrl::fromLocalFile(path(QStringLiteral("plain.quintarel")));
        original.saveProject(plain);
        QVERIFY(!readJson(plain.toLocalFile())
                     .value(QStringLiteral("edge"))
                     .toObject()
                     .contains(QStringLiteral("cleanColors")));

        EdgeOptions options = original.document()->edgeOptions();
        options.cleanColors = true;
        original.document()->setEdgeOptions(options);
        const QUrl cleaned = QUrl::fromLocalFile(path(QStringLiteral("cleaned.quintarel")));
        original.saveProject(cleaned);
        const QJsonObject edge = readJson(cleaned.toLocalFile()).value(QStringLiteral("edge")).toObject();
        QCOMPARE(edge.value(QStringLiteral("cleanColors")), QJsonValue(true));

        AppState reopened(&m_runs, PlayerOutput::Headless);
        QVERIFY(TestProjects::open(reopened, cleaned));
        QVERIFY(reopened.document()->edgeOptions().cleanColors);
        QVERIFY(reopened.document()->edgeOptions().cleanColors);
        const QUrl again = QUrl::fromLocalFile(path(QStringLiteral("cleaned-again.quintarel")));
        reopened.saveProject(again);
        QFile first(cleaned.toLocalFile());
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
            AppState source(&m_runs, PlayerOutput::Headless);
            QVERIFY(TestVideo::open(source, video));
            TestCaptures::addFramesWithoutPictures(source, {{5}, {20}});
            source.document()->setOutputFolder(QUrl::fromLocalFile(output.path()));
            source.saveProject(url);
            QVERIFY(!source.errorMessage());
        }

        AppState reopened(&m_runs, PlayerOutput::Headless);
        QVERIFY(TestProjects::open(reopened, url));
        QVERIFY2(!reopened.errorMessage(), qPrintable(reopened.errorMessage().value_or(QString())));
        // The video opens off the main thread; the window takes it when it can be shown.
        QTRY_COMPARE_WITH_TIMEOUT(reopened.playback()->videoURL(), QUrl::fromLocalFile(video), 30000);
        QCOMPARE(reopened.document()->outputFolder(), QUrl::fromLocalFile(output.path()));
        const QList<CapturedFrame> frames = reopened.document()->allFrames();
        const auto allLifted = [&] {
            return std::all_of(frames.cbegin(), frames.cend(), [&](const CapturedFrame &frame) {
                return reopened.images()->images(frame.id).isFinished();
            });
        };
        // Lifting takes seconds per frame, many more on a loaded machine.
        QTRY_VERIFY_WITH_TIMEOUT(allLifted(), 600000);
        QCOMPARE(frames.size(), 2);
        QCOMPARE(frames[0].time, MediaTime(5, 30));
        for (const CapturedFrame &frame : frames) {
            const FrameImages images = reopened.images()->images(frame.id);
            QVERIFY(images.hasStill());
            QCOMPARE(images.still.size(), QSize(960, 540));
            QVERIFY(images.hasSubject());
        }

        QTemporaryDir own;
        AppState elsewhere(&m_runs, PlayerOutput::Headless);
        elsewhere.document()->setOutputFolder(QUrl::fromLocalFile(own.path()));
        QVERIFY(output.remove());
        QVERIFY(TestProjects::open(elsewhere, url));
        QCOMPARE(elsewhere.document()->outputFolder(), QUrl::fromLocalFile(own.path()));
        QTRY_COMPARE_WITH_TIMEOUT(elsewhere.playback()->videoURL(), QUrl::fromLocalFile(video), 30000);
    }

    void tellsWhetherClosingWouldLoseWork()
    {
        AppState state(&m_runs, PlayerOutput::Headless);
        QVERIFY(!state.hasUnsavedChanges()); // nothing captured, nothing to lose
        fillWindow(state);
        QVERIFY(state.hasUnsavedChanges());

        const QUrl url = QUrl::fromLocalFile(path(QStringLiteral("work.quintarel")));
        state.saveProject(url);
        QVERIFY(!state.hasUnsavedChanges());
        CaptureDocument *document = state.document();
        document->setNote(QStringLiteral("nouvelle note"), document->groups()[0].frames[0].id);
        QVERIFY(state.hasUnsavedChanges());
        // Undoing back to what was saved leaves nothing to lose.
        document->undoStack()->undo();
        QVERIFY(!state.hasUnsavedChanges());
        document->undoStack()->redo();
        state.saveProject(url);
        QVERIFY(!state.hasUnsavedChanges());
        EdgeOptions options = document->edgeOptions();
        options.feather = 3;
        document->setEdgeOptions(options);
        QVERIFY(state.hasUnsavedChanges());

        // A failed save leaves the work unsaved.
        state.saveProject(QUrl::fromLocalFile(path(QStringLiteral("missing/folder/work.quintarel"))));
        QVERIFY(state.hasUnsavedChanges());

        AppState reopened(&m_runs, PlayerOutput::Headless);
        QVERIFY(TestProjects::open(reopened, url));
        QVERIFY(!reopened.hasUnsavedChanges());
        reopened.document()->deleteFrame(reopened.document()->groups()[0].frames[0].id);
        QVERIFY(reopened.hasUnsavedChanges());
    }

    void openingResetsSelectionAndFailures()
    {
        AppState source(&m_runs, PlayerOutput::Headless);
        fillWindow(source);
        const QUrl url = QUrl::fromLocalFile(path(QStringLiteral("reset.quintarel")));
        source.saveProject(url);

        AppState target(&m_runs, PlayerOutput::Headless);
        fillWindow(target);
        target.document()->setSelection({target.document()->groups()[0].frames[0].id});
        QVERIFY(TestProjects::open(target, url));
        QVERIFY(target.document()->selection().isEmpty());
        QVERIFY(!target.document()->undoStack()->canUndo());
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

        AppState source(&m_runs, PlayerOutput::Headless);
        const QString file = path(QStringLiteral("lenient.quintarel"));
        source.saveProject(QUrl::fromLocalFile(file));
        QJsonObject root = readJson(file);
        root.insert(QStringLiteral("groups"), groups);
        root.insert(QStringLiteral("activeGroupIndex"), activeIndex);
        root.insert(QStringLiteral("filter"), filter);
        writeJson(file, root);

        AppState state(&m_runs, PlayerOutput::Headless);
        state.document()->setSelectedFilter(FilterStyle::Comic);
        QVERIFY(TestProjects::open(state, QUrl::fromLocalFile(file)));
        const CaptureDocument *document = state.document();
        QCOMPARE(document->groups().size(), expectedGroups);
        QCOMPARE(document->activeGroupID(), document->groups()[expectedActive].id);
        QCOMPARE(document->selectedFilter(), expectedFilter);
        if (expectedGroups == 1)
            QCOMPARE(document->groups()[0].name, QStringLiteral("Captures"));
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

        AppState state(&m_runs, PlayerOutput::Headless);
        fillWindow(state);
        const QList<CaptureGroup> before = state.document()->groups();
        QSignalSpy groupsSpy(state.document(), &CaptureDocument::groupsChanged);
        QVERIFY(TestProjects::open(state, QUrl::fromLocalFile(file)));
        QVERIFY(state.errorMessage());
        QVERIFY2(state.errorMessage()->startsWith(QStringLiteral("Échec de l'ouverture : ")),
                 qPrintable(*state.errorMessage()));
        QVERIFY(state.errorMessage()->size() > QStringLiteral("Échec de l'ouverture : ").size());
        QCOMPARE(groupsSpy.count(), 0);
        QCOMPARE(state.document()->groups(), before);
        QVERIFY(state.document()->projectURL().isEmpty());
        QVERIFY(state.document()->undoStack()->canUndo());
    }

    void aMissingFileIsReported()
    {
        AppState state(&m_runs, PlayerOutput::Headless);
        QVERIFY(TestProjects::open(state, QUrl::fromLocalFile(path(QStringLiteral("absent.quintarel")))));
        QVERIFY(state.errorMessage()->startsWith(QStringLiteral("Échec de l'ouverture : ")));
    }

    // What the user reads is French throughout and says where the damage is.
    void messagesAreFrenchAndSayWhere()
    {
        AppState source(&m_runs);
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

        AppState state(&m_runs);
        QVERIFY(TestProjects::open(state, QUrl::fromLocalFile(file)));
        QCOMPARE(state.errorMessage(),
                 QStringLiteral(
                     "Échec de l'ouverture : groups[1].frames[0] : le membre « timeScale » est absent"));

        QFile garbage(file);
        QVERIFY(garbage.open(QIODevice::WriteOnly));
        garbage.write("{\"version\": 1,, }");
        garbage.close();
        QVERIFY(TestProjects::open(state, QUrl::fromLocalFile(file)));
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

        AppState state(&m_runs, PlayerOutput::Headless);
        state.saveProject(QUrl::fromLocalFile(blocker + QStringLiteral("/inside.quintarel")));
        QVERIFY(state.errorMessage()->startsWith(QStringLiteral("Échec de l'enregistrement : ")));
        QVERIFY(state.document()->projectURL().isEmpty());
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), QByteArray("keep me"));
    }

    // A project whose video is there but no longer opens (overwritten, damaged) is treated as one
    // whose video is missing: its work stays, bound to no video, waiting to be located.
    void aVideoThatNoLongerOpensIsAsGoodAsMissing()
    {
        const QString video = path(QStringLiteral("ecrasee.mp4"));
        QVERIFY(QFile::copy(TestMedia::clip(TestMedia::Clip::Fps30), video));
        const QUrl url = QUrl::fromLocalFile(path(QStringLiteral("ecrasee.quintarel")));
        {
            AppState saved(&m_runs, PlayerOutput::Headless);
            QVERIFY(TestVideo::open(saved, video));
            saved.document()->captureFrame(MediaTime(3, 30));
            saved.saveProject(url);
        }
        QVERIFY(QFile::remove(video));
        QVERIFY(QFile::copy(TestMedia::notAVideo(), video));

        AppState state(&m_runs, PlayerOutput::Headless);
        QVERIFY(TestProjects::open(state, url));
        const CaptureDocument *document = state.document();
        QTRY_VERIFY_WITH_TIMEOUT(document->needsVideo(), 30000);
        QVERIFY(state.errorMessage());
        QVERIFY(state.playback()->videoURL().isEmpty());
        QCOMPARE(document->missingVideoURL(), QUrl::fromLocalFile(video));
        QCOMPARE(document->frameCount(), 1);
        const FrameImages images = state.images()->images(document->allFrames()[0].id);
        QVERIFY(images.hasFailed() && !images.hasStill());
        QVERIFY(!state.hasUnsavedChanges());
    }

    // A project whose video has moved opens with its work, bound to no video, until the video is
    // located: a file that is no video or is too short for the captures is refused; the right one
    // binds the captures, whose pictures are then made from it.
    void aMovedVideoIsLocatedAndChecked()
    {
        TestMedia::VideoOptions options;
        options.name = QStringLiteral("deplacee");
        options.frameCount = 100;
        const QString made = TestMedia::video(options);
        QVERIFY(!made.isEmpty());
        const QString before = path(QStringLiteral("match.mp4"));
        const QString after = path(QStringLiteral("rangement/match.mp4"));
        QVERIFY(QFile::copy(made, before));
        const QUrl url = QUrl::fromLocalFile(path(QStringLiteral("deplacement.quintarel")));
        {
            AppState saved(&m_runs, PlayerOutput::Headless);
            QVERIFY(TestVideo::open(saved, before));
            const QUuid frame = saved.document()->captureFrame(MediaTime(60, 30));
            saved.document()->setNote(QStringLiteral("à garder"), frame);
            saved.saveProject(url);
            QVERIFY(!saved.errorMessage());
        }
        QVERIFY(QDir().mkpath(path(QStringLiteral("rangement"))));
        QVERIFY(QFile::rename(before, after));

        // A window showing another video: that video goes, the captures come without any.
        AppState state(&m_runs, PlayerOutput::Headless);
        QVERIFY(TestVideo::open(state, TestMedia::clip(TestMedia::Clip::Fps30)));
        QVERIFY(TestProjects::open(state, url));
        const CaptureDocument *document = state.document();
        QCOMPARE(state.errorMessage(), videoNotFound);
        QVERIFY(state.playback()->videoURL().isEmpty());
        QVERIFY(document->needsVideo());
        QCOMPARE(document->missingVideoURL(), QUrl::fromLocalFile(before));
        QCOMPARE(document->videoName(), QStringLiteral("match"));
        const QUuid frame = document->groups()[0].frames[0].id;
        QCOMPARE(document->frame(frame)->notes, QStringLiteral("à garder"));
        QVERIFY(state.images()->images(frame).hasFailed());
        state.clearErrorMessage();

        // Saved meanwhile, the project still names its own video.
        const QUrl unbound = QUrl::fromLocalFile(path(QStringLiteral("sans-video.quintarel")));
        state.saveProject(unbound);
        QCOMPARE(readJson(unbound.toLocalFile()).value(QStringLiteral("videoBookmark")).toString(),
                 QString::fromLatin1(before.toUtf8().toBase64()));

        // Neither a text file nor a video shorter than the captures will do.
        state.locateVideo(QUrl::fromLocalFile(TestMedia::notAVideo()));
        QTRY_VERIFY_WITH_TIMEOUT(state.errorMessage(), 20000);
        QVERIFY2(state.errorMessage()->startsWith(QStringLiteral("Impossible d'utiliser cette vidéo : ")),
                 qPrintable(*state.errorMessage()));
        QVERIFY(document->needsVideo());
        state.clearErrorMessage();
        state.locateVideo(QUrl::fromLocalFile(TestMedia::clip(TestMedia::Clip::Fps30)));
        QTRY_VERIFY_WITH_TIMEOUT(state.errorMessage(), 20000);
        QVERIFY2(state.errorMessage()->contains(QStringLiteral("trop courte")),
                 qPrintable(*state.errorMessage()));
        QVERIFY(document->needsVideo());
        QVERIFY(state.playback()->videoURL().isEmpty());
        state.clearErrorMessage();

        state.locateVideo(QUrl::fromLocalFile(after));
        QTRY_VERIFY_WITH_TIMEOUT(!document->needsVideo(), 20000);
        QVERIFY(!state.errorMessage());
        QCOMPARE(document->videoURL(), QUrl::fromLocalFile(after));
        QCOMPARE(state.playback()->videoURL(), QUrl::fromLocalFile(after));
        QVERIFY(document->missingVideoURL().isEmpty());
        // The file must be written again to name the video's new place.
        QVERIFY(state.hasUnsavedChanges());
        QTRY_VERIFY_WITH_TIMEOUT(state.images()->images(frame).hasStill(), 60000);
        QCOMPARE(TestMedia::frameNumber(state.images()->images(frame).still), 60);
        state.saveProject(url);
        QCOMPARE(readJson(url.toLocalFile()).value(QStringLiteral("videoBookmark")).toString(),
                 QString::fromLatin1(after.toUtf8().toBase64()));
    }

    // A frame stored far beyond its video (10^15 s) or before it opens showing the picture the video
    // really has for it, and is named and saved as that picture; the user is told why.
    void framesOutsideTheVideoAreTheFramesReallyShown()
    {
        TestMedia::VideoOptions options;
        options.name = QStringLiteral("courte");
        options.frameCount = 45;
        const QString video = TestMedia::video(options);
        QVERIFY(!video.isEmpty());
        const QUrl url = QUrl::fromLocalFile(path(QStringLiteral("hors-video.quintarel")));
        {
            AppState saved(&m_runs, PlayerOutput::Headless);
            QVERIFY(TestVideo::open(saved, video));
            saved.document()->captureFrame(MediaTime(3, 30));
            saved.document()->captureFrame(MediaTime(10, 30));
            saved.document()->captureFrame(MediaTime(20, 30));
            saved.saveProject(url);
            QVERIFY(!saved.errorMessage());
        }
        QJsonObject root = readJson(url.toLocalFile());
        QJsonArray groups = root.value(QStringLiteral("groups")).toArray();
        QJsonObject group = groups[0].toObject();
        QJsonArray frames = group.value(QStringLiteral("frames")).toArray();
        QJsonObject far = frames[1].toObject();
        far[QStringLiteral("timeValue")] = 1'000'000'000'000'000.0;
        far[QStringLiteral("timeScale")] = 1;
        frames[1] = far;
        QJsonObject early = frames[2].toObject();
        early[QStringLiteral("timeValue")] = -7;
        early[QStringLiteral("timeScale")] = 1;
        frames[2] = early;
        group[QStringLiteral("frames")] = frames;
        groups[0] = group;
        root[QStringLiteral("groups")] = groups;
        writeJson(url.toLocalFile(), root);

        AppState state(&m_runs, PlayerOutput::Headless);
        QVERIFY(TestProjects::open(state, url));
        QTRY_COMPARE_WITH_TIMEOUT(state.playback()->videoURL(), QUrl::fromLocalFile(video), 30000);
        QTRY_VERIFY_WITH_TIMEOUT(state.errorMessage(), 20000);
        QCOMPARE(*state.errorMessage(),
                 QStringLiteral("Cette vidéo est trop courte pour ce projet : elle dure 00:01.500, mais une "
                                "image est capturée à 16666666666666:40.000. Les images capturées au-delà "
                                "de sa fin montrent sa dernière image. Les images capturées avant son "
                                "début montrent sa première image."));
        const CaptureDocument *document = state.document();
        const QList<CapturedFrame> opened = document->allFrames();
        QCOMPARE(opened.size(), 3);
        QCOMPARE(opened[0].time, MediaTime(3, 30));
        QCOMPARE(opened[1].time, MediaTime(44, 30));
        QCOMPARE(opened[1].time.measuredFrom(state.playback()->startTime()).fileNameString(),
                 QStringLiteral("00-00-01-466"));
        QCOMPARE(opened[2].time, MediaTime::zero());
        QTRY_VERIFY_WITH_TIMEOUT(state.images()->images(opened[1].id).hasStill(), 60000);
        QCOMPARE(TestMedia::frameNumber(state.images()->images(opened[1].id).still), 44);
        QTRY_VERIFY_WITH_TIMEOUT(state.images()->images(opened[2].id).hasStill(), 60000);
        QCOMPARE(TestMedia::frameNumber(state.images()->images(opened[2].id).still), 0);

        // A project within its video opens without a word.
        state.clearErrorMessage();
        const QUrl within = QUrl::fromLocalFile(path(QStringLiteral("dans-video.quintarel")));
        state.saveProject(within);
        AppState again(&m_runs, PlayerOutput::Headless);
        QVERIFY(TestProjects::open(again, within));
        QTRY_COMPARE_WITH_TIMEOUT(again.playback()->videoURL(), QUrl::fromLocalFile(video), 30000);
        QTRY_VERIFY_WITH_TIMEOUT(again.images()->images(again.document()->allFrames()[1].id).hasStill(),
                                 60000);
        QVERIFY(!again.errorMessage());
        QCOMPARE(again.document()->allFrames()[1].time, MediaTime(44, 30));
    }
};

QUINTAREL_TEST(ProjectStateTest)
#include "ProjectStateTest.moc"
