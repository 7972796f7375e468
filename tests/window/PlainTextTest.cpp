#include "TestCaptures.h"
#include "TestMedia.h"
#include "TestRegistry.h"

#include "app/ContentView.h"
#include "app/QuintarelApp.h"
#include "state/AppState.h"
#include "views/CapturedFramesListView.h"
#include "views/ElidedLabel.h"
#include "views/GroupHeaderView.h"

#include <QDir>
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
        state->loadVideo(QUrl::fromLocalFile(video));
        TestCaptures::fill(*state, {1, 1});
        const QUuid named = state->groups().at(1).id;
        state->setGroupName(named, name);
        state->setGroupNotes(named, name);
        state->setOutputFolder(QUrl::fromLocalFile(folder.filePath(fileName)));
        state->setFailures({ExportFailure{QUuid::createUuid(), QStringLiteral("00:00.033"), name}});
        state->setProgress(ExportProgress{1, 1, false});
        QCOMPARE(window->windowTitle(), fileName);

        // The other group's frame offers a move to the named group, "&" and all.
        auto *list = window->findChild<CapturedFramesListView *>();
        const std::unique_ptr<QMenu> menu(
            list->createFrameMenu(state->groups().at(0).frames.at(0).id, window));
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
