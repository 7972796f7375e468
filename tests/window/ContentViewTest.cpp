#include "TestDrop.h"
#include "TestMedia.h"
#include "TestRegistry.h"
#include "TestVideo.h"

#include "app/ContentView.h"
#include "app/QuintarelApp.h"
#include "platform/FrameIndex.h"
#include "platform/VideoPlayer.h"
#include "state/AppState.h"
#include "state/CaptureDocument.h"
#include "state/ExportRuns.h"
#include "views/BusyIndicator.h"
#include "views/PlayerAreaView.h"
#include "views/TimelineControlsView.h"

#include <QDir>
#include <QFile>
#include <QLabel>
#include <QMessageBox>
#include <QMimeData>
#include <QPushButton>
#include <QRegularExpression>
#include <QSplitter>
#include <QTest>
#include <QUndoStack>
#include <QWindow>

#include <algorithm>
#include <clocale>

namespace {

QUrl fileUrl(const QString &path)
{
    return QUrl::fromLocalFile(path);
}

} // namespace

class ContentViewTest : public QObject
{
    Q_OBJECT

    ExportRuns m_runs;

private slots:
    // The theme the symbol icons come from, as the application sets it up.
    void initTestCase() { QuintarelApp::prepareProcess(); }

    void freshWindowShowsThePlaceholder()
    {
        ContentView window(&m_runs);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QCOMPARE(window.windowTitleText(), QStringLiteral("Quintarel"));
        QVERIFY(!window.isWindowModified());
        QVERIFY(window.playerArea()->placeholder()->isVisible());
        QVERIFY(!window.playerArea()->isShowingPlayer());
        QVERIFY(!window.toolbarVideoName()->isVisible());
        auto *title = window.findChild<QLabel *>(QStringLiteral("placeholderTitle"));
        QVERIFY(title);
        QCOMPARE(title->text(), QStringLiteral("Aucune vidéo"));
        auto *open = window.findChild<QPushButton *>(QStringLiteral("placeholderOpenButton"));
        QVERIFY(open);
        QCOMPARE(open->text(), QStringLiteral("Ouvrir une vidéo"));
        QVERIFY(!window.timelineControls()->isEnabled());
    }

    void loadingAVideoShowsThePlayerAndItsName()
    {
        const QString video = TestMedia::patternVideo(QStringLiteral("clip.final.mp4"), QSize(320, 240), 20);
        QVERIFY(!video.isEmpty());
        ContentView window(&m_runs);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));

        QVERIFY(TestVideo::open(*window.state(), video));
        QVERIFY(window.playerArea()->isShowingPlayer());
        QVERIFY(window.playerArea()->playerView()->isVisible());
        QVERIFY(!window.playerArea()->placeholder()->isVisible());
        QTRY_VERIFY(window.toolbarVideoName()->isVisible());
        QCOMPARE(window.toolbarVideoName()->text(), QStringLiteral("clip.final"));
        QCOMPARE(window.windowTitleText(), QStringLiteral("clip.final"));
        QVERIFY(window.timelineControls()->isEnabled());

        // Unsaved work marks the title until it is saved; a saved project names the window after its
        // file, without the extension.
        window.state()->document()->addGroup();
        QVERIFY(window.isWindowModified());
        QCOMPARE(window.windowTitle(), QStringLiteral("clip.final[*]"));
        window.state()->document()->markSaved(fileUrl(QStringLiteral("/projets/match.aller.quintarel")));
        QCOMPARE(window.windowTitleText(), QStringLiteral("match.aller"));
        QVERIFY(!window.isWindowModified());
        window.state()->document()->undoStack()->undo();
        QVERIFY(window.isWindowModified());
    }

    // The strip's capture button captures the frame on screen into the window's document, and the
    // busy sign beside it shows while the sharpest frame is looked for, then goes.
    void timelineCaptureButtonCapturesTheFrameOnScreen()
    {
        const QString video = TestMedia::patternVideo(QStringLiteral("capture.mp4"), QSize(320, 240), 3);
        QVERIFY(!video.isEmpty());
        ContentView window(&m_runs);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        AppState *state = window.state();
        QVERIFY(TestVideo::open(*state, video));
        QVERIFY(TestVideo::settled(*state));
        const MediaTime shown = state->playback()->player()->frameIndex()->time(21);
        state->playback()->seek(shown);
        QVERIFY(TestVideo::settled(*state));
        QCOMPARE(state->playback()->player()->currentTime(), shown);

        auto *capture = window.timelineControls()->findChild<QPushButton *>(QStringLiteral("captureButton"));
        QVERIFY(capture);
        capture->click();
        QCOMPARE(state->document()->frameCount(), 1);
        QCOMPARE(state->document()->allFrames().constFirst().time, shown);

        const QList<BusyIndicator *> busy = window.timelineControls()->findChildren<BusyIndicator *>();
        QCOMPARE(busy.size(), 1);
        QVERIFY(!busy.first()->isVisible());
        state->captureSharpestFrame();
        QVERIFY(state->isFindingSharpestFrame());
        QVERIFY(busy.first()->isVisible());
        QTRY_VERIFY_WITH_TIMEOUT(!state->isFindingSharpestFrame(), 30000);
        QVERIFY(!busy.first()->isVisible());
        QCOMPARE(state->document()->frameCount(), 2);
    }

    // The window system's mark of unsaved work is written "[*]"; a name holding those three
    // characters shows them as they are.
    void aNameHoldingTheModifiedMarkShowsItAsItIs()
    {
        ContentView window(&m_runs);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        DocumentContent content = window.state()->document()->content();
        content.videoURL = fileUrl(QStringLiteral("/vidéos/clip[*].mp4"));
        window.state()->document()->reset(content);
        QCOMPARE(window.windowTitleText(), QStringLiteral("clip[*]"));
        QCOMPARE(window.windowHandle()->title(), QStringLiteral("clip[*]"));
        window.state()->document()->addGroup();
        QVERIFY(window.windowHandle()->title().startsWith(QStringLiteral("clip[*]")));
        window.state()->document()->markSaved(fileUrl(QStringLiteral("/projets/a[*]b[*][*].quintarel")));
        QCOMPARE(window.windowHandle()->title(), QStringLiteral("a[*]b[*][*]"));
    }

    void recognisesMovieFilesByExtension_data()
    {
        QTest::addColumn<QUrl>("url");
        QTest::addColumn<bool>("movie");
        QTest::newRow("MPEG-4") << fileUrl(QStringLiteral("/v/a.mp4")) << true;
        QTest::newRow("QuickTime") << fileUrl(QStringLiteral("/v/a.mov")) << true;
        QTest::newRow("QuickTime, capitals") << fileUrl(QStringLiteral("/v/A.MOV")) << true;
        QTest::newRow("Matroska") << fileUrl(QStringLiteral("/v/a.mkv")) << true;
        QTest::newRow("M4V, a kind of MPEG-4") << fileUrl(QStringLiteral("/v/a.m4v")) << true;
        // ".ts" is also the extension of translation sources, which the platform prefers.
        QTest::newRow("MPEG transport stream") << fileUrl(QStringLiteral("/v/a.ts")) << true;
        QTest::newRow("plain text") << fileUrl(QStringLiteral("/v/a.txt")) << false;
        QTest::newRow("still image") << fileUrl(QStringLiteral("/v/a.png")) << false;
        QTest::newRow("audio only") << fileUrl(QStringLiteral("/v/a.mp3")) << false;
        QTest::newRow("unknown extension") << fileUrl(QStringLiteral("/v/a.zzqq")) << false;
        QTest::newRow("no extension") << fileUrl(QStringLiteral("/v/mp4")) << false;
        QTest::newRow("not a local file") << QUrl(QStringLiteral("https://example.org/a.mp4")) << false;
    }

    void recognisesMovieFilesByExtension()
    {
        QFETCH(QUrl, url);
        QFETCH(bool, movie);
        QCOMPARE(ContentView::isMovieFile(url), movie);
    }

    void dropLoadsTheFirstMovieOnly()
    {
        const QString first = TestMedia::patternVideo(QStringLiteral("premier.mp4"), QSize(320, 240), 20);
        const QString second = TestMedia::patternVideo(QStringLiteral("second.mp4"), QSize(320, 240), 20);
        const QString text = TestMedia::textFile(QStringLiteral("notes.txt"));
        QVERIFY(!first.isEmpty() && !second.isEmpty() && !text.isEmpty());
        ContentView window(&m_runs);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));

        QVERIFY(TestDrop::urls(window.playerArea(), {fileUrl(text), fileUrl(first), fileUrl(second)}));
        QTRY_COMPARE_WITH_TIMEOUT(window.state()->playback()->videoURL(), fileUrl(first), 30000);
        QVERIFY(window.playerArea()->isShowingPlayer());
        QVERIFY(!window.playerArea()->isDropTargeted());
    }

    void dropOfATransportStreamLoadsIt()
    {
        const QString stream = TestMedia::clip(TestMedia::Clip::TransportStream);
        QVERIFY(stream.endsWith(QLatin1String(".ts")));
        ContentView window(&m_runs);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));

        QVERIFY(TestDrop::urls(window.playerArea(), {fileUrl(stream)}));
        QTRY_COMPARE_WITH_TIMEOUT(window.state()->playback()->videoURL(), fileUrl(stream), 30000);
        QTRY_VERIFY(window.state()->playback()->duration() > MediaTime::zero());
        QVERIFY(!window.state()->errorMessage());
    }

    void dropWithoutMovieIsRefused()
    {
        const QString text = TestMedia::textFile(QStringLiteral("lisez-moi.txt"));
        const QString unknown = TestMedia::textFile(QStringLiteral("donnees.zzqq"));
        ContentView window(&m_runs);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        const QList<CaptureGroup> groups = window.state()->document()->groups();

        QVERIFY(!TestDrop::urls(window.playerArea(), {fileUrl(text), fileUrl(unknown)}));
        QTest::qWait(50);
        QVERIFY(window.state()->playback()->videoURL().isEmpty());
        QCOMPARE(window.state()->document()->groups(), groups);
        QVERIFY(!window.state()->errorMessage());
        QVERIFY(!window.playerArea()->isShowingPlayer());
    }

    void dragHoverHighlightsTheArea()
    {
        ContentView window(&m_runs);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        PlayerAreaView *area = window.playerArea();
        QMimeData data;
        data.setUrls({fileUrl(QStringLiteral("/v/a.mov"))});

        QDragEnterEvent enter(area->rect().center(), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(area, &enter);
        QVERIFY(enter.isAccepted());
        QVERIFY(area->isDropTargeted());
        QDragLeaveEvent leave;
        QApplication::sendEvent(area, &leave);
        QVERIFY(!area->isDropTargeted());
    }

    void errorShowsAnAlertUntilOk()
    {
        ContentView window(&m_runs);
        ContentView other(&m_runs);
        window.show();
        other.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));

        window.state()->setErrorMessage(QStringLiteral("Échec de l'ouverture : fichier illisible"));
        QMessageBox *alert = window.errorAlert();
        QVERIFY(alert);
        QVERIFY(QTest::qWaitForWindowExposed(alert));
        QCOMPARE(alert->windowTitle(), QStringLiteral("Erreur"));
        QCOMPARE(alert->text(), QStringLiteral("Échec de l'ouverture : fichier illisible"));
        QCOMPARE(alert->buttons().size(), 1);
        QCOMPARE(alert->buttons().first()->text(), QStringLiteral("OK"));
        // The other window's state has no error and shows no alert.
        QVERIFY(!other.errorAlert());
        QVERIFY(!other.findChild<QMessageBox *>());

        QTest::mouseClick(alert->buttons().first(), Qt::LeftButton);
        QVERIFY(!window.state()->errorMessage());
        QVERIFY(!window.errorAlert());

        // Escape closes the alert too, and clears the message all the same.
        window.state()->setErrorMessage(QStringLiteral("Vidéo introuvable."));
        QVERIFY(window.errorAlert());
        QTest::keyClick(window.errorAlert(), Qt::Key_Escape);
        QTRY_VERIFY(!window.state()->errorMessage());
    }

    void unreadableVideoFromTheDialogIsReported()
    {
        ContentView window(&m_runs);
        window.importVideo(fileUrl(QStringLiteral("/nulle-part/absente.mp4")));
        QVERIFY(window.state()->playback()->videoURL().isEmpty());
        QVERIFY(window.state()->errorMessage());
        QVERIFY(!window.state()->errorMessage()->isEmpty());
        QVERIFY(window.errorAlert());
    }

    // The video library refuses to start under a number format other than "C": the window opens all
    // the same, says why in French, and every video given to it is refused with that reason.
    void videoLibraryThatCannotStartIsReported()
    {
        const QByteArray numeric = std::setlocale(LC_NUMERIC, nullptr);
        QVERIFY(std::setlocale(LC_NUMERIC, "C.utf8"));
        ContentView window(&m_runs);
        std::setlocale(LC_NUMERIC, numeric.constData());
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));

        const QString failure = QStringLiteral("Le lecteur vidéo n'a pas pu démarrer.");
        QCOMPARE(window.state()->errorMessage().value_or(QString()), failure);
        QVERIFY(window.errorAlert());
        const QList<QLabel *> labels = window.findChildren<QLabel *>();
        QVERIFY(std::any_of(labels.begin(), labels.end(),
                            [&](const QLabel *label) { return label->text() == failure; }));

        window.state()->clearErrorMessage();
        window.importVideo(fileUrl(TestMedia::clip(TestMedia::Clip::Fps30)));
        QTRY_VERIFY_WITH_TIMEOUT(window.state()->errorMessage().has_value(), 30000);
        QVERIFY2(window.state()->errorMessage()->endsWith(failure),
                 qPrintable(*window.state()->errorMessage()));
        QVERIFY(window.state()->playback()->videoURL().isEmpty());
    }

    // Every kind of file the video library refuses is told as a video that could not be opened,
    // with the cause in French; the library's own words stay out of the alert.
    void refusedFilesSayWhyInFrench()
    {
        TestMedia::VideoOptions oneGroup;
        oneGroup.name = QStringLiteral("un-groupe");
        oneGroup.frameCount = 10;
        const QString folder = TestMedia::folder() + QStringLiteral("/dossier.mp4");
        QDir().mkpath(folder);
        QFile empty(TestMedia::folder() + QStringLiteral("/vide.mp4"));
        QVERIFY(empty.open(QIODevice::WriteOnly));
        empty.close();
        const QString opening = QStringLiteral("Impossible d'ouvrir la vidéo : ");
        const QList<std::pair<QString, QString>> cases{
            {TestMedia::notAVideo(),
             opening + QStringLiteral("notes.mp4 : contenu non reconnu ou endommagé")},
            {empty.fileName(), opening + QStringLiteral("vide.mp4 : ")},
            {TestMedia::folder() + QStringLiteral("/absente.mp4"),
             opening + QStringLiteral("absente.mp4 : fichier ou dossier introuvable")},
            {folder, opening + QStringLiteral("dossier.mp4 : ")},
            {TestMedia::truncatedCopy(TestMedia::clip(TestMedia::Clip::Fps30), 3), opening},
            {TestMedia::damagedStartCopy(TestMedia::video(oneGroup)),
             opening + QStringLiteral("un-groupe-damaged.mp4 : ")},
            {TestMedia::audioOnly(QStringLiteral("tone")),
             QStringLiteral("Ce fichier ne contient aucune image vidéo : tone.mp4")},
        };
        // Words of the libraries' English texts.
        const QRegularExpression english(
            QStringLiteral("\\b(invalid|data|found|error|such|file|directory|not|failed|unknown)\\b"),
            QRegularExpression::CaseInsensitiveOption);
        ContentView window(&m_runs);
        for (const auto &[path, expected] : cases) {
            window.state()->clearErrorMessage();
            window.importVideo(fileUrl(path));
            QTRY_VERIFY_WITH_TIMEOUT(window.state()->errorMessage().has_value(), 30000);
            const QString message = *window.state()->errorMessage();
            QVERIFY2(message.startsWith(expected), qPrintable(message));
            // A cause follows the file's name.
            QVERIFY2(!message.section(QStringLiteral(" : "), 2).isEmpty() ||
                         message.startsWith(QLatin1String("Ce fichier")),
                     qPrintable(message));
            QVERIFY2(!english.match(message).hasMatch(), qPrintable(message));
            QVERIFY(window.errorAlert());
            QCOMPARE(window.errorAlert()->text(), message);
            QVERIFY(window.state()->playback()->videoURL().isEmpty());
        }
    }

    void columnsKeepTheirMinimumSizes()
    {
        ContentView window(&m_runs);
        window.resize(1400, 800);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        auto *columns = window.findChild<QSplitter *>(QStringLiteral("columns"));
        QVERIFY(columns);
        columns->setSizes({10, 10, 2000});
        const QList<int> sizes = columns->sizes();
        QVERIFY2(sizes.at(0) >= 460, qPrintable(QString::number(sizes.at(0))));
        QVERIFY2(sizes.at(1) >= 260, qPrintable(QString::number(sizes.at(1))));
        columns->setSizes({2000, 2000, 10});
        QVERIFY(columns->sizes().at(2) >= 320);
        QVERIFY(window.minimumSizeHint().width() >= 460 + 260 + 320);
        QVERIFY(window.findChild<QWidget *>(QStringLiteral("leftColumn"))->minimumHeight() >= 360);

        auto *right = window.findChild<QSplitter *>(QStringLiteral("rightColumn"));
        QVERIFY(right);
        right->setSizes({10, 2000});
        QVERIFY(right->sizes().at(0) >= 240);
        right->setSizes({2000, 10});
        QVERIFY(right->sizes().at(1) >= 150);
    }
};

QUINTAREL_TEST(ContentViewTest)
#include "ContentViewTest.moc"
