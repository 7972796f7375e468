#include "TestCaptures.h"
#include "TestExports.h"
#include "TestMedia.h"
#include "TestRegistry.h"
#include "TestVideo.h"

#include "app/ContentView.h"
#include "app/QuintarelApp.h"
#include "state/AppState.h"
#include "state/CaptureDocument.h"
#include "state/ExportRun.h"
#include "views/CapturedFramesListView.h"
#include "views/ElidedLabel.h"
#include "views/ExportPanelView.h"
#include "views/GroupHeaderView.h"

#include <QDir>
#include <QFile>
#include <QFrame>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QTemporaryDir>
#include <QTest>
#include <QTextDocument>
#include <QToolButton>

#include <memory>

// Names, notes, file names and messages are the user's text: shown letter for letter, never read as
// markup or as a menu's accelerator mark.
class PlainTextTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QuintarelApp::prepareProcess(); }

    void namesThatLookLikeMarkupAreShownAsTheyAre()
    {
        const QString name = QStringLiteral("A & B <b>x</b>");
        // A video and an output folder named alike (a file name cannot hold the "/" of "</b>").
        const QString fileName = QStringLiteral("A & B <b>x");
        QTemporaryDir folder;
        const QString pattern = TestMedia::patternVideo(QStringLiteral("balises.mp4"), QSize(320, 240), 2);
        QVERIFY(!pattern.isEmpty());
        const QString video = folder.filePath(fileName + QStringLiteral(".mp4"));
        QVERIFY(QFile::copy(pattern, video));
        QVERIFY(QDir(folder.path()).mkdir(fileName));

        QuintarelApp app;
        ContentView *window = app.openWindow();
        QVERIFY(QTest::qWaitForWindowExposed(window));
        AppState *state = window->state();
        QVERIFY(TestVideo::open(*state, video));
        TestCaptures::fill(*state, {1, 1});
        CaptureDocument *document = state->document();
        const QUuid named = document->groups().at(1).id;
        document->setGroupName(named, name);
        document->setGroupNotes(named, name);
        document->setOutputFolder(QUrl::fromLocalFile(folder.filePath(fileName)));
        // A run that fails to make its folder, whose failure line quotes the name in the path.
        QFile blocker(folder.filePath(fileName + QStringLiteral("/bloque")));
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        ExportRun *run = TestExports::runWithoutVideo(*app.exportRuns(), 1,
                                                      blocker.fileName() + QStringLiteral("/sortie"));
        QVERIFY(QTest::qWaitFor([run] { return !run->isRunning(); }, 30000));
        run->acknowledgeFinish();
        window->exportPanel()->setRun(run);
        QCOMPARE(window->windowTitleText(), fileName);

        // The other group's frame offers a move to the named group, "&" and all.
        auto *list = window->findChild<CapturedFramesListView *>();
        const std::unique_ptr<QMenu> menu(
            list->createFrameMenu(document->groups().at(0).frames.at(0).id, window));
        QMenu *moveTo = menu->actions().constFirst()->menu();
        QVERIFY(moveTo);
        QCOMPARE(moveTo->actions().size(), 1);
        QCOMPARE(moveTo->actions().constFirst()->iconText(), name);

        // The group's description popover is titled with the name.
        GroupHeaderView *header = list->header(named);
        QVERIFY(header);
        header->notesButton()->click();
        QVERIFY(header->notesPopup() && header->notesPopup()->isVisible());

        // An error quoting it.
        state->setErrorMessage(QStringLiteral("Échec de l'ouverture : ") + name);
        QVERIFY(window->errorAlert());

        // Every label that shows these names shows them as plain text: the toolbar's video name, the
        // popover's title, the failure line, the alert.
        QList<QLabel *> labels = window->findChildren<QLabel *>();
        labels += header->notesPopup()->findChildren<QLabel *>();
        int showing = 0;
        for (const QLabel *label : std::as_const(labels)) {
            if (!label->text().contains(fileName))
                continue;
            QVERIFY2(label->textFormat() == Qt::PlainText, qPrintable(label->text()));
            ++showing;
        }
        QVERIFY2(showing >= 4, qPrintable(QString::number(showing)));
        QCOMPARE(window->errorAlert()->textFormat(), Qt::PlainText);

        // The output folder's tooltip reads as the name too.
        const QString tip = window->findChild<ElidedLabel *>()->toolTip();
        QTextDocument shown;
        if (Qt::mightBeRichText(tip))
            shown.setHtml(tip);
        else
            shown.setPlainText(tip);
        QCOMPARE(shown.toPlainText(), fileName);

        header->notesPopup()->hide();
        state->clearErrorMessage();
    }
};

QUINTAREL_TEST(PlainTextTest)
#include "PlainTextTest.moc"
