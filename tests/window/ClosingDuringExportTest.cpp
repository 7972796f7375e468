#include "ModalAnswers.h"
#include "TestMedia.h"
#include "TestRegistry.h"
#include "TestVideo.h"

#include "app/ContentView.h"
#include "app/QuintarelApp.h"
#include "state/AppState.h"
#include "state/CaptureDocument.h"
#include "state/ExportRun.h"
#include "state/ExportRuns.h"
#include "views/ExportProgressView.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

namespace {

QStringList entries(const QString &folder)
{
    return QDir(folder).entryList(QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name);
}

// A window on the shapes video with frames in two groups and an output folder, exporting.
ContentView *exportingWindow(QuintarelApp &app, const QString &output)
{
    ContentView *window = app.openWindow();
    AppState *state = window->state();
    if (!TestVideo::open(*state, TestMedia::shapesVideo(QStringLiteral("fermeture"), QSize(640, 360), 30)))
        return nullptr;
    CaptureDocument *document = state->document();
    document->captureFrame(MediaTime(3, 30));
    document->captureFrame(MediaTime(6, 30));
    document->addGroup();
    document->captureFrame(MediaTime(9, 30));
    document->setNote(QStringLiteral("dernière"), document->groups()[1].frames[0].id);
    document->setOutputFolder(QUrl::fromLocalFile(output));
    state->runExport(ExportMode::Merged);
    return window;
}

} // namespace

// A window closed while it exports asks what to do with the export; let finish, the export writes
// every image and Markdown file without the window.
class ClosingDuringExportTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QuintarelApp::prepareProcess(); }

    void anExportLetFinishWritesEverythingAfterItsWindowIsGone()
    {
        QTemporaryDir output;
        QuintarelApp app;
        QPointer<ContentView> window = exportingWindow(app, output.path());
        QVERIFY(window && QTest::qWaitForWindowExposed(window));
        QPointer<ExportRun> run = window->state()->exportRun();
        QVERIFY(run && run->isRunning());
        // Its progress is in sight, under the scrolled controls, with a way to stop it.
        QVERIFY(window->exportProgress()->isVisible());
        QVERIFY(window->exportProgress()->cancelButton()->isVisible());

        // "Annuler" keeps the window and its export.
        ModalAnswers keep({ModalAnswers::click(QStringLiteral("Ne pas enregistrer")),
                           ModalAnswers::click(QStringLiteral("Annuler"))});
        QVERIFY(!window->close());
        QCOMPARE(keep.questions().size(), 2);
        QVERIFY2(keep.questions().at(1).startsWith(QStringLiteral("L'export de « fermeture » est en cours")),
                 qPrintable(keep.questions().at(1)));
        QVERIFY(run->isRunning());

        ModalAnswers finish({ModalAnswers::click(QStringLiteral("Ne pas enregistrer")),
                             ModalAnswers::click(QStringLiteral("Laisser terminer"))});
        QVERIFY(window->close());
        QTRY_VERIFY(!window);
        QVERIFY(app.windows().isEmpty());
        QVERIFY(run);
        QTRY_VERIFY_WITH_TIMEOUT(!app.exportRuns()->isRunning(), 600000);

        QCOMPARE(entries(output.path()), (QStringList{"Captures", "Groupe 2"}));
        QCOMPARE(entries(output.filePath("Captures")),
                 (QStringList{"Captures.md", "fermeture_00-00-00-100.png", "fermeture_00-00-00-200.png"}));
        QCOMPARE(entries(output.filePath("Groupe 2")),
                 (QStringList{"Groupe 2.md", "fermeture_00-00-00-300.png"}));
        QFile markdown(output.filePath("Groupe 2/Groupe 2.md"));
        QVERIFY(markdown.open(QIODevice::ReadOnly));
        QVERIFY(QString::fromUtf8(markdown.readAll()).contains(QStringLiteral("> dernière")));
        // Held by no window, the ended run goes.
        QTRY_VERIFY(!run);
    }

    void anExportStoppedOnClosingWritesNoMore()
    {
        QTemporaryDir output;
        QuintarelApp app;
        QPointer<ContentView> window = exportingWindow(app, output.path());
        QVERIFY(window);
        ExportRun *run = window->state()->exportRun();
        QVERIFY(run && run->isRunning());
        // What the run did, read as it ends: once no window holds it, it goes.
        int done = -1;
        bool cancelled = false;
        connect(run, &ExportRun::finished, this, [&] {
            done = run->progress().completed;
            cancelled = run->wasCancelled();
        });
        QSignalSpy allFinished(app.exportRuns(), &ExportRuns::allFinished);

        ModalAnswers stop({ModalAnswers::click(QStringLiteral("Ne pas enregistrer")),
                           ModalAnswers::click(QStringLiteral("Arrêter l'export"))});
        QVERIFY(window->close());
        QVERIFY(allFinished.wait(600000));
        QVERIFY(cancelled);
        // Asked for while the first frame was still being lifted, the stop leaves the frames done by
        // then, and writes nothing after them: no later image, no Markdown file.
        QVERIFY2(done >= 1 && done < 3, qPrintable(QString::number(done)));
        QCOMPARE(entries(output.path()), QStringList{"Captures"});
        QStringList expected{"fermeture_00-00-00-100.png", "fermeture_00-00-00-200.png"};
        QCOMPARE(entries(output.filePath("Captures")), expected.mid(0, done));
    }

    // An export that ends while the close question is open: the question's count follows it, and
    // the end-of-export alert waits until the question is answered instead of covering it.
    void anExportEndingDuringTheQuestionWaitsForTheAnswer()
    {
        QTemporaryDir output;
        QuintarelApp app;
        QPointer<ContentView> window = exportingWindow(app, output.path());
        QVERIFY(window && QTest::qWaitForWindowExposed(window));
        QPointer<ExportRun> run = window->state()->exportRun();
        QVERIFY(run && run->isRunning());

        QString textAtTheEnd;
        int alertsOverTheQuestion = -1;
        const auto finishedAlerts = [] {
            int shown = 0;
            for (QWidget *widget : QApplication::topLevelWidgets()) {
                const auto *box = qobject_cast<QMessageBox *>(widget);
                if (box && box->isVisible() && box->windowTitle() == QStringLiteral("Export terminé"))
                    ++shown;
            }
            return shown;
        };
        const ModalAnswers::Answer waitThenCancel = [&](QWidget *dialog) {
            auto *question = qobject_cast<QMessageBox *>(dialog);
            QVERIFY(question);
            QTRY_VERIFY_WITH_TIMEOUT(!run->isRunning(), 600000);
            // Time for an alert to come up, were it going to.
            QTest::qWait(600);
            textAtTheEnd = question->text();
            alertsOverTheQuestion = finishedAlerts();
            ModalAnswers::click(QStringLiteral("Annuler"))(dialog);
        };
        ModalAnswers answers({ModalAnswers::click(QStringLiteral("Ne pas enregistrer")), waitThenCancel});
        QVERIFY(!window->close());
        QVERIFY(answers.allAnswered());
        QVERIFY2(textAtTheEnd.contains(QStringLiteral("(3 / 3 images)")), qPrintable(textAtTheEnd));
        QCOMPARE(alertsOverTheQuestion, 0);
        // Answered, the question makes way for the alert.
        QTRY_COMPARE(finishedAlerts(), 1);
        QVERIFY(window);
    }
};

QUINTAREL_TEST(ClosingDuringExportTest)
#include "ClosingDuringExportTest.moc"
