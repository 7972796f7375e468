#include "TestMedia.h"
#include "TestRegistry.h"
#include "TestVideo.h"

#include "app/ContentView.h"
#include "app/QuintarelApp.h"
#include "state/AppState.h"
#include "state/CaptureDocument.h"
#include "views/KeyboardShortcuts.h"
#include "views/KeyboardShortcutsView.h"
#include "views/PlayerAreaView.h"
#include <QKeySequence>

#include <QAction>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <functional>

namespace {

QAction *menuAction(ContentView *window, const char *name)
{
    return window->findChild<QAction *>(QLatin1String(name));
}

// Runs `answer` on the file dialog once it is up (the dialog runs its own event loop), then
// triggers `action`; returns what the dialog's name field suggested.
QString answerFileDialog(QAction *action, const std::function<void(QFileDialog *)> &answer)
{
    QString suggested;
    QTimer poll;
    poll.setInterval(20);
    QObject::connect(&poll, &QTimer::timeout, [&] {
        auto *dialog = qobject_cast<QFileDialog *>(QApplication::activeModalWidget());
        if (!dialog)
            return;
        poll.stop();
        if (auto *name = dialog->findChild<QLineEdit *>(QStringLiteral("fileNameEdit")))
            suggested = name->text();
        answer(dialog);
        // A dialog that did not take the answer is closed, so the test fails instead of hanging.
        if (dialog->isVisible())
            dialog->reject();
    });
    poll.start();
    action->trigger();
    return suggested;
}

// Whether `text` reads as keys ("Maj+Gauche", "Suppr / Retour arrière", "Shift+←") in the
// platform's words or Qt's portable ones.
bool namesKeys(const QString &text)
{
    const QStringList parts = text.split(QStringLiteral(" / "));
    return std::all_of(parts.cbegin(), parts.cend(), [](const QString &part) {
        for (const auto format : {QKeySequence::NativeText, QKeySequence::PortableText}) {
            const QKeySequence keys = QKeySequence::fromString(part, format);
            if (keys.count() == 1 && keys[0].key() != Qt::Key_unknown)
                return true;
        }
        return false;
    });
}

} // namespace

class CommandsTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QuintarelApp::prepareProcess(); }

    void saveAsAddsTheExtension_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("written");
        QTest::newRow("no extension") << QStringLiteral("match") << QStringLiteral("match.quintarel");
        QTest::newRow("its extension")
            << QStringLiteral("match.quintarel") << QStringLiteral("match.quintarel");
        QTest::newRow("another extension")
            << QStringLiteral("match.json") << QStringLiteral("match.json.quintarel");
    }

    void saveAsAddsTheExtension()
    {
        QFETCH(QString, typed);
        QFETCH(QString, written);
        QTemporaryDir folder;
        QuintarelApp app;
        ContentView *window = app.openWindow();

        const QString suggested = answerFileDialog(menuAction(window, "save"), [&](QFileDialog *dialog) {
            // What the user does: go to the folder and type a name.
            dialog->setDirectory(folder.path());
            dialog->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"))->setText(typed);
            static_cast<QDialog *>(dialog)->accept(); // QFileDialog checks the name, then closes
        });
        // Without a video the suggestion is the window state's fallback name.
        QCOMPARE(suggested, QStringLiteral("video.quintarel"));
        QVERIFY(QFile::exists(folder.filePath(written)));
        QCOMPARE(window->state()->document()->projectURL(), QUrl::fromLocalFile(folder.filePath(written)));
        QCOMPARE(window->windowTitleText(), QFileInfo(written).completeBaseName());
    }

    void saveWritesToTheProjectWithoutAsking()
    {
        QTemporaryDir folder;
        const QString path = folder.filePath(QStringLiteral("deja.quintarel"));
        QuintarelApp app;
        ContentView *window = app.openWindow();
        window->state()->document()->markSaved(QUrl::fromLocalFile(path));

        menuAction(window, "save")->trigger();
        QVERIFY(!QApplication::activeModalWidget());
        QVERIFY(QFile::exists(path));
    }

    void cancellingTheDialogsChangesNothing()
    {
        QuintarelApp app;
        ContentView *window = app.openWindow();
        for (const char *name : {"saveAs", "openProject"}) {
            answerFileDialog(menuAction(window, name), [](QFileDialog *dialog) { dialog->reject(); });
            QVERIFY(window->state()->document()->projectURL().isEmpty());
            QVERIFY(!window->state()->errorMessage());
        }
    }

    void openProjectRestoresIntoTheWindow()
    {
        const QString video = TestMedia::patternVideo(QStringLiteral("ouverture.mp4"), QSize(320, 240), 20);
        QVERIFY(!video.isEmpty());
        QTemporaryDir folder;
        const QString path = folder.filePath(QStringLiteral("seance.quintarel"));
        QuintarelApp app;
        ContentView *saved = app.openWindow();
        QVERIFY(TestVideo::open(*saved->state(), video));
        saved->state()->saveProject(QUrl::fromLocalFile(path));
        QVERIFY(QFile::exists(path));

        // "Nouveau projet", then "Ouvrir un projet…" in the new window.
        menuAction(saved, "newProject")->trigger();
        ContentView *window = app.windows().last();
        QVERIFY(window != saved);
        answerFileDialog(menuAction(window, "openProject"), [&](QFileDialog *dialog) {
            dialog->setDirectory(folder.path());
            dialog->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"))
                ->setText(QFileInfo(path).fileName());
            static_cast<QDialog *>(dialog)->accept(); // QFileDialog checks the name, then closes
        });
        // The project is read off the main thread.
        QTRY_COMPARE_WITH_TIMEOUT(window->state()->document()->projectURL(), QUrl::fromLocalFile(path),
                                  30000);
        QTRY_COMPARE_WITH_TIMEOUT(window->state()->playback()->videoURL(), QUrl::fromLocalFile(video), 30000);
        QCOMPARE(window->windowTitleText(), QStringLiteral("seance"));
        QTRY_VERIFY(window->playerArea()->isShowingPlayer());

        // While a project is read, the pointer says the window is at work.
        QCOMPARE(window->cursor().shape(), Qt::ArrowCursor);
        window->state()->openProject(QUrl::fromLocalFile(path));
        QCOMPARE(window->cursor().shape(), Qt::BusyCursor);
        QTRY_VERIFY(!window->state()->isOpeningProject());
        QCOMPARE(window->cursor().shape(), Qt::ArrowCursor);
    }

    // "Édition" takes steps of the window's work back and forth, naming each one.
    void editMenuUndoesAndRedoesNamedSteps()
    {
        QuintarelApp app;
        ContentView *window = app.openWindow();
        QVERIFY(QTest::qWaitForWindowActive(window));
        CaptureDocument *document = window->state()->document();
        QAction *undo = menuAction(window, "undo");
        QAction *redo = menuAction(window, "redo");
        QCOMPARE(undo->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_Z));
        QCOMPARE(redo->shortcut(), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z));
        QVERIFY(!undo->isEnabled());
        QCOMPARE(undo->text(), QStringLiteral("Annuler"));

        document->addGroup();
        document->deleteGroup(document->groups()[1].id);
        QCOMPARE(undo->text(), QStringLiteral("Annuler la suppression du groupe"));
        QTest::keyClick(window, Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(document->groups().size(), 2);
        QCOMPARE(undo->text(), QStringLiteral("Annuler l'ajout du groupe"));
        QCOMPARE(redo->text(), QStringLiteral("Rétablir la suppression du groupe"));
        QTest::keyClick(window, Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
        QCOMPARE(document->groups().size(), 1);
        QVERIFY(!redo->isEnabled());
    }

    void openVideoItemShowsTheVideoDialog()
    {
        QuintarelApp app;
        ContentView *window = app.openWindow();
        QAction *openVideo = menuAction(window, "openVideo");
        QVERIFY(openVideo);
        QString title;
        answerFileDialog(openVideo, [&](QFileDialog *dialog) {
            title = dialog->windowTitle();
            dialog->reject();
        });
        QCOMPARE(title, QStringLiteral("Ouvrir une vidéo"));
        QVERIFY(window->state()->playback()->videoURL().isEmpty());
    }

    // Menus, tooltips, the export menu, hints and the shortcuts window name every key the same way:
    // as the platform writes the menus' own shortcuts.
    void everyTextNamesKeysAsTheMenusDo()
    {
        QuintarelApp app;
        ContentView *window = app.openWindow();
        const QString deleteKeys = QKeySequence(Qt::Key_Delete).toString(QKeySequence::NativeText) +
                                   QStringLiteral(" / ") +
                                   QKeySequence(Qt::Key_Backspace).toString(QKeySequence::NativeText);
        // Space plays, Delete and Backspace delete the selected frames in the list and the selected
        // annotation in the preview.
        QStringList menuKeys{QKeySequence(Qt::Key_Space).toString(QKeySequence::NativeText), deleteKeys,
                             deleteKeys};
        // The keys of the preview's annotation actions, which live on the canvas, not in a menu.
        const auto spelled = [](const QList<QKeySequence> &keys) {
            QStringList names;
            for (const QKeySequence &key : keys)
                names << key.toString(QKeySequence::NativeText);
            return names.join(QStringLiteral(" / "));
        };
        menuKeys << spelled({KeyboardShortcuts::duplicateAnnotation()})
                 << spelled({KeyboardShortcuts::copyAnnotation()})
                 << spelled({KeyboardShortcuts::pasteAnnotation()})
                 << spelled(KeyboardShortcuts::nudgeAnnotation())
                 << spelled(KeyboardShortcuts::nudgeAnnotationFurther())
                 << spelled({KeyboardShortcuts::bringAnnotationToFront()})
                 << spelled({KeyboardShortcuts::sendAnnotationToBack()});
        for (const QAction *menu : window->menuBar()->actions()) {
            for (const QAction *item : menu->menu()->actions()) {
                if (!item->shortcut().isEmpty())
                    menuKeys << item->shortcut().toString(QKeySequence::NativeText);
            }
        }

        // The editing view's buttons name their keys too.
        const QStringList zoomKeys{
            spelled({KeyboardShortcuts::zoomToFit()}), spelled({KeyboardShortcuts::zoomToActualSize()}),
            spelled(KeyboardShortcuts::zoomIn()), spelled({KeyboardShortcuts::closeEditing()}),
            spelled({KeyboardShortcuts::zoomOut()})};

        QStringList texts;
        for (const QWidget *widget : window->findChildren<QWidget *>())
            texts << widget->toolTip();
        for (const QAction *action : window->findChildren<QAction *>())
            texts << action->text();
        menuAction(window, "showShortcuts")->trigger();
        auto *shortcuts = window->findChild<KeyboardShortcutsView *>();
        QVERIFY(shortcuts && QTest::qWaitForWindowExposed(shortcuts));
        // For a person to look at.
        QVERIFY(shortcuts->grab().save(
            QDir(QStringLiteral(QUINTAREL_TEST_BUILD_DIR)).filePath(QStringLiteral("window-shortcuts.png"))));
        int keyLabels = 0;
        for (const QLabel *label : shortcuts->findChildren<QLabel *>(QStringLiteral("shortcutKeys"))) {
            texts << QStringLiteral("(%1)").arg(label->text());
            ++keyLabels;
        }
        QCOMPARE(keyLabels, menuKeys.size());
        QStringList descriptions;
        for (const QLabel *label : shortcuts->findChildren<QLabel *>(QStringLiteral("shortcutDescription")))
            descriptions << label->text();
        QVERIFY(descriptions.contains(QStringLiteral("Supprimer les images sélectionnées")));

        // "Image précédente (Gauche)", "Fusionné (Ctrl+E)": the part in brackets names keys.
        const QRegularExpression named(QStringLiteral("\\(([^()]+)\\)$"));
        int checked = 0;
        for (const QString &text : std::as_const(texts)) {
            const QRegularExpressionMatch match = named.match(text);
            if (!match.hasMatch() || !namesKeys(match.captured(1)))
                continue; // "(cible des captures)", "(.mp4, .mov)"
            QVERIFY2(menuKeys.contains(match.captured(1)) || zoomKeys.contains(match.captured(1)),
                     qPrintable(text));
            ++checked;
        }
        // The five transport tooltips, the capture button, the annotation delete button, the play
        // item, both export items, and one line per key in the shortcuts window.
        QVERIFY2(checked >= 10 + keyLabels, qPrintable(QString::number(checked)));

        // The shortcuts window is one per window.
        menuAction(window, "showShortcuts")->trigger();
        QCOMPARE(window->findChildren<KeyboardShortcutsView *>().size(), 1);
    }
};

QUINTAREL_TEST(CommandsTest)
#include "CommandsTest.moc"
