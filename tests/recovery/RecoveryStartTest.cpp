#include "ModalAnswers.h"
#include "RecoveryTestFiles.h"
#include "TestMedia.h"
#include "TestRegistry.h"
#include "TestVideo.h"

#include "app/ContentView.h"
#include "app/QuintarelApp.h"
#include "persistence/FileBookmark.h"
#include "services/ProjectStore.h"
#include "services/RecoverySession.h"
#include "services/RecoveryStore.h"
#include "state/AppState.h"
#include "state/CaptureDocument.h"
#include "state/RecoveryAutosave.h"
#include "views/RecoveryDialog.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QMessageBox>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>

namespace {

using Answers = QList<ModalAnswers::Answer>;

// Clicks the button labelled `label` of the dialog, whatever kind it is.
ModalAnswers::Answer press(const QString &label)
{
    return [label](QWidget *dialog) {
        for (QPushButton *button : dialog->findChildren<QPushButton *>()) {
            if (button->text() == label) {
                button->click();
                return;
            }
        }
    };
}

// Clicks "Supprimer" in the dialog, and then in the question it asks. The question runs its own event
// loop within the click, where the timer of ModalAnswers, still in its own call, does not fire.
ModalAnswers::Answer deleteAndConfirm(QString *question)
{
    return [question](QWidget *dialog) {
        QTimer::singleShot(100, [question] {
            for (QWidget *widget : QApplication::topLevelWidgets()) {
                auto *box = qobject_cast<QMessageBox *>(widget);
                if (box && box->isVisible()) {
                    *question = box->text();
                    press("Supprimer")(box);
                }
            }
        });
        press("Supprimer")(dialog);
    };
}

RecoveryFile work(const QString &video, const QString &note, const std::optional<QString> &projectPath)
{
    RecoveryFile file;
    file.project.videoBookmark = FileBookmark::make(QUrl::fromLocalFile(video));
    file.project.videoName = QFileInfo(video).completeBaseName();
    file.project.groups << GroupDTO{QStringLiteral("Plans"),
                                    QString(),
                                    {FrameDTO{10, 30, note, QList<Annotation>{}, {}},
                                     FrameDTO{20, 30, QString(), QList<Annotation>{}, {}}}};
    file.projectPath = projectPath;
    file.selection = {{0, 1}};
    file.lastChange = QDateTime::currentDateTimeUtc().addSecs(-60);
    return file;
}

} // namespace

// At start, the work that a killed program left is offered back: restored in windows of their own
// as unsaved work, kept for the next start, or deleted once confirmed.
class RecoveryStartTest : public QObject
{
    Q_OBJECT

    QString m_video;

private slots:
    void initTestCase()
    {
        QuintarelApp::prepareProcess();
        m_video = TestMedia::clip(TestMedia::Clip::Fps30);
    }

    void dialogListsTheWork()
    {
        RecoveryDialog::Entry untitled{QString(), QStringLiteral("plage"),
                                       12,        QDateTime(QDate(2026, 12, 10), QTime(8, 30), Qt::UTC),
                                       {},        {}};
        RecoveryDialog::Entry project{QStringLiteral("essai"),
                                      QStringLiteral("port"),
                                      3,
                                      QDateTime(QDate(2026, 12, 9), QTime(17, 5), Qt::UTC),
                                      {},
                                      {}};
        RecoveryDialog::Entry damaged{
            {}, {}, 0, {}, QStringLiteral("le fichier est vide"), QStringLiteral("a.quintarel")};
        RecoveryDialog dialog({untitled, project, damaged});
        QTreeWidget *list = dialog.list();
        QCOMPARE(list->topLevelItemCount(), 3);
        QCOMPARE(list->topLevelItem(0)->text(0), "Sans titre");
        QCOMPARE(list->topLevelItem(0)->text(1), "plage");
        QCOMPARE(list->topLevelItem(0)->text(2), "12");
        QVERIFY(list->topLevelItem(0)->text(3).contains("décembre 2026"));
        QCOMPARE(list->topLevelItem(1)->text(0), "essai");
        QCOMPARE(list->topLevelItem(2)->text(0), "a.quintarel");
        QCOMPARE(list->topLevelItem(2)->text(1), "Illisible : le fichier est vide");

        // Deleting asks first; "Annuler" keeps the dialog open.
        dialog.show();
        {
            ModalAnswers answers({ModalAnswers::click("Annuler")});
            press("Supprimer")(&dialog);
            QVERIFY(answers.allAnswered());
            QCOMPARE(answers.questions(), QStringList{"Supprimer ces 3 travaux non enregistrés ?"});
        }
        QVERIFY(dialog.isVisible());
        {
            ModalAnswers answers({ModalAnswers::click("Supprimer")});
            press("Supprimer")(&dialog);
            QVERIFY(answers.allAnswered());
        }
        QVERIFY(!dialog.isVisible());
        QCOMPARE(dialog.choice(), RecoveryDialog::Choice::Delete);

        // With nothing readable there is nothing to restore.
        RecoveryDialog onlyDamaged({damaged});
        QPushButton *restore = nullptr;
        for (QPushButton *button : onlyDamaged.findChildren<QPushButton *>())
            restore = button->text() == "Restaurer" ? button : restore;
        QVERIFY(restore && !restore->isEnabled());
    }

    void restoreOpensEachInAWindow()
    {
        QTemporaryDir root;
        const QString killed = RecoveryTestFiles::killedProgramFolder(root.path(), "killed");
        const QString projectPath = QDir(root.path()).filePath("essai.quintarel");
        const QString gone = QDir(root.path()).filePath("disparue.mp4");
        const RecoveryFile firstWork = work(m_video, "première", projectPath);
        QCOMPARE(RecoveryStore::write(firstWork, QDir(killed).filePath("1.quintarel")), std::nullopt);
        RecoveryFile missing = work(m_video, "seconde", std::nullopt);
        missing.project.videoBookmark = gone.toUtf8();
        // Offered after the first: its change is older.
        missing.lastChange = missing.lastChange.addSecs(-60);
        QCOMPARE(RecoveryStore::write(missing, QDir(killed).filePath("2.quintarel")), std::nullopt);
        QFile damaged(QDir(killed).filePath("3.quintarel"));
        QVERIFY(damaged.open(QIODevice::WriteOnly));
        damaged.write("{\"recovery\": ");
        damaged.close();

        QuintarelApp app(nullptr, root.path());
        ModalAnswers answers({press("Restaurer")});
        const QList<ContentView *> windows = app.offerRecovery();
        QVERIFY(answers.allAnswered());
        QCOMPARE(windows.size(), 2);
        QSignalSpy firstWritten(windows[0]->state()->recovery(), &RecoveryAutosave::written);
        // An empty window is not added to the restored ones.
        app.openFiles({});
        QCOMPARE(app.windows().size(), 2);

        AppState *first = windows[0]->state();
        QVERIFY(first->hasUnsavedChanges());
        QCOMPARE(first->document()->projectURL(), QUrl::fromLocalFile(projectPath));
        QCOMPARE(first->document()->allFrames().first().notes, "première");
        QCOMPARE(first->document()->selection(), QSet<QUuid>{first->document()->allFrames().at(1).id});
        QVERIFY(TestVideo::settled(*first));
        QCOMPARE(first->playback()->videoURL(), QUrl::fromLocalFile(m_video));

        AppState *second = windows[1]->state();
        QVERIFY(second->hasUnsavedChanges());
        QVERIFY(second->document()->needsVideo());
        QVERIFY(second->errorMessage() && second->errorMessage()->contains("Localiser la vidéo"));
        QAction *locate = windows[1]->findChild<QAction *>("locateVideo");
        QVERIFY(locate && locate->isEnabled());

        // The restored files moved to this program; the damaged one stays for the next start.
        QCOMPARE(QDir(killed).entryList({"*.quintarel"}, QDir::Files), QStringList{"3.quintarel"});
        QCOMPARE(QDir(app.recoverySession()->folder()).entryList({"*.quintarel"}, QDir::Files).size(), 2);
        // Written again by this program, the work keeps the time it last changed before the crash.
        QTRY_COMPARE(firstWritten.size(), 1);
        QCOMPARE(firstWritten.first().first().toDateTime(), firstWork.lastChange);
        const Result<RecoveryFile> rewritten = RecoveryStore::read(first->recovery()->path());
        QVERIFY(rewritten.ok());
        QCOMPARE(rewritten.value().lastChange, firstWork.lastChange);
        QCOMPARE(rewritten.value().project.groups.first().frames.first().notes, "première");
        RecoverySession other(root.path());
        const QList<RecoverySession::Orphan> left = other.claimOrphans();
        QCOMPARE(left.size(), 1);
        QVERIFY(!left[0].file);
        other.releaseClaims();

        // Closing without saving gives the work up: its file goes.
        ModalAnswers discard(
            {ModalAnswers::click("Ne pas enregistrer"), ModalAnswers::click("Ne pas enregistrer")});
        QVERIFY(app.closeAllWindows());
        QTRY_VERIFY(app.windows().isEmpty());
        QTRY_COMPARE(QDir(app.recoverySession()->folder()).entryList({"*.quintarel"}, QDir::Files).size(), 0);
    }

    void ignoreKeepsAndDeleteRemoves()
    {
        QTemporaryDir root;
        const QString killed = RecoveryTestFiles::killedProgramFolder(root.path(), "killed");
        QCOMPARE(
            RecoveryStore::write(work(m_video, "gardée", std::nullopt), QDir(killed).filePath("1.quintarel")),
            std::nullopt);
        {
            QuintarelApp app(nullptr, root.path());
            ModalAnswers answers({press("Ignorer")});
            QVERIFY(app.offerRecovery().isEmpty());
            QVERIFY(answers.allAnswered());
            QVERIFY(QFileInfo::exists(QDir(killed).filePath("1.quintarel")));
        }
        {
            QuintarelApp app(nullptr, root.path());
            QString question;
            ModalAnswers answers({deleteAndConfirm(&question)});
            QVERIFY(app.offerRecovery().isEmpty());
            QVERIFY(answers.allAnswered());
            QCOMPARE(question, "Supprimer ce travail non enregistré ?");
        }
        // Nothing is left, not even the folder.
        QCOMPARE(QDir(root.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), QStringList{});
        // And nothing to offer: no dialog.
        QuintarelApp app(nullptr, root.path());
        QVERIFY(app.offerRecovery().isEmpty());
    }
};

QUINTAREL_TEST(RecoveryStartTest)
#include "RecoveryStartTest.moc"
