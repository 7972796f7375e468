#include "TestCaptures.h"
#include "TestMedia.h"
#include "TestRegistry.h"

#include "app/ContentView.h"
#include "app/KeyboardCoordinator.h"
#include "app/QuintarelApp.h"
#include "state/AppState.h"
#include "state/CaptureDocument.h"
#include "views/CapturedFramesListView.h"
#include "views/ExtractionPreviewView.h"
#include "views/GroupHeaderView.h"
#include "views/TimeSlider.h"
#include "views/TimelineControlsView.h"

#include <QAction>
#include <QComboBox>
#include <QLineEdit>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QSpinBox>
#include <QTest>
#include <QTextEdit>
#include <QToolBar>

#include <memory>

namespace {

bool bringToFront(ContentView *window)
{
    window->raise();
    window->activateWindow();
    return QTest::qWaitForWindowActive(window);
}

// A window with the test video, at a time after its start, paused and settled.
bool loadVideo(ContentView *window, const QString &path)
{
    AppState *state = window->state();
    state->loadVideo(QUrl::fromLocalFile(path));
    if (!QTest::qWaitFor([&] { return state->playback()->duration() > MediaTime(10, 1); }, 10000))
        return false;
    state->playback()->seek(MediaTime(2, 1));
    return QTest::qWaitFor([&] { return state->playback()->currentTime() == MediaTime(2, 1); }, 10000);
}

// A text field in the window's toolbar, with the keyboard focus.
QLineEdit *addFocusedTextField(ContentView *window)
{
    auto *field = new QLineEdit;
    window->findChild<QToolBar *>()->addWidget(field);
    if (!QTest::qWaitFor([&] { return field->isVisible(); }))
        return nullptr;
    field->setFocus();
    return field->hasFocus() ? field : nullptr;
}

QAction *menuAction(ContentView *window, const char *name)
{
    return window->findChild<QAction *>(QLatin1String(name));
}

} // namespace

class KeyboardTest : public QObject
{
    Q_OBJECT

private slots:
    // The theme the symbol icons come from, as the application sets it up.
    void initTestCase() { QuintarelApp::prepareProcess(); }

    void recognisesEditableText_data()
    {
        QTest::addColumn<std::shared_ptr<QWidget>>("widget");
        QTest::addColumn<bool>("editable");
        auto readOnlyLine = std::make_shared<QLineEdit>();
        readOnlyLine->setReadOnly(true);
        auto readOnlyText = std::make_shared<QTextEdit>();
        readOnlyText->setReadOnly(true);
        auto editableCombo = std::make_shared<QComboBox>();
        editableCombo->setEditable(true);
        QTest::newRow("line") << std::shared_ptr<QWidget>(std::make_shared<QLineEdit>()) << true;
        QTest::newRow("read-only line") << std::shared_ptr<QWidget>(readOnlyLine) << false;
        QTest::newRow("text") << std::shared_ptr<QWidget>(std::make_shared<QTextEdit>()) << true;
        QTest::newRow("read-only text") << std::shared_ptr<QWidget>(readOnlyText) << false;
        QTest::newRow("plain text") << std::shared_ptr<QWidget>(std::make_shared<QPlainTextEdit>()) << true;
        QTest::newRow("spin box") << std::shared_ptr<QWidget>(std::make_shared<QSpinBox>()) << true;
        QTest::newRow("editable combo") << std::shared_ptr<QWidget>(editableCombo) << true;
        QTest::newRow("combo") << std::shared_ptr<QWidget>(std::make_shared<QComboBox>()) << false;
        QTest::newRow("button") << std::shared_ptr<QWidget>(std::make_shared<QPushButton>()) << false;
        QTest::newRow("slider") << std::shared_ptr<QWidget>(std::make_shared<TimeSlider>()) << false;
        QTest::newRow("nothing") << std::shared_ptr<QWidget>() << false;
    }

    void recognisesEditableText()
    {
        QFETCH(std::shared_ptr<QWidget>, widget);
        QFETCH(bool, editable);
        QCOMPARE(KeyboardCoordinator::isEditableText(widget.get()), editable);
    }

    void focusedStateFollowsTheFrontWindow()
    {
        QuintarelApp app;
        ContentView *first = app.openWindow();
        QVERIFY(bringToFront(first));
        QCOMPARE(app.focusedState(), first->state());

        // "Nouveau projet" opens a second window with a state of its own.
        menuAction(first, "newProject")->trigger();
        QCOMPARE(app.windows().size(), 2);
        ContentView *second = app.windows().last();
        QVERIFY(second->state() != first->state());
        QVERIFY(bringToFront(second));
        QCOMPARE(app.focusedState(), second->state());
        QVERIFY(bringToFront(first));
        QCOMPARE(app.focusedState(), first->state());

        // Closing the window in front leaves no focused state behind.
        first->close();
        QTRY_VERIFY(!app.focusedState());
        QCOMPARE(app.windows().size(), 1);
    }

    void spaceWithoutVideoChangesNothing()
    {
        QuintarelApp app;
        ContentView *window = app.openWindow();
        QVERIFY(bringToFront(window));
        QTest::keyClick(window, Qt::Key_Space);
        QVERIFY(!window->state()->playback()->isPlaying());
        QLineEdit *field = addFocusedTextField(window);
        QVERIFY(field);
        QTest::keyClicks(field, QStringLiteral("a b"));
        QCOMPARE(field->text(), QStringLiteral("a b"));
    }

    void spaceTogglesPlaybackButTypesInTextFields()
    {
        const QString video = TestMedia::patternVideo(QStringLiteral("pattern.mp4"), QSize(320, 240), 20);
        QVERIFY(!video.isEmpty());
        QuintarelApp app;
        ContentView *window = app.openWindow();
        QVERIFY(bringToFront(window));
        QVERIFY(loadVideo(window, video));
        AppState *state = window->state();

        window->timelineControls()->slider()->setFocus();
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Space);
        QTRY_VERIFY(state->playback()->isPlaying());
        QCOMPARE(menuAction(window, "playPause")->text(), QStringLiteral("Pause (Espace)"));
        // Modifiers do not matter.
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Space, Qt::ShiftModifier);
        QTRY_VERIFY(!state->playback()->isPlaying());
        QCOMPARE(menuAction(window, "playPause")->text(), QStringLiteral("Lecture (Espace)"));

        QLineEdit *field = addFocusedTextField(window);
        QVERIFY(field);
        QTest::keyClicks(field, QStringLiteral("a b"));
        QCOMPARE(field->text(), QStringLiteral("a b"));
        QTest::qWait(100);
        QVERIFY(!state->playback()->isPlaying());
    }

    void shortcutsActOnTheWindowInFront()
    {
        const QString video = TestMedia::patternVideo(QStringLiteral("pattern.mp4"), QSize(320, 240), 20);
        QVERIFY(!video.isEmpty());
        QuintarelApp app;
        ContentView *back = app.openWindow();
        ContentView *front = app.openWindow();
        QVERIFY(loadVideo(back, video));
        QVERIFY(loadVideo(front, video));
        QVERIFY(bringToFront(front));
        const MediaTime start(2, 1);

        // The slider has the focus: the arrows still step through the video.
        front->timelineControls()->slider()->setFocus();
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Right);
        QTRY_COMPARE(front->state()->playback()->currentTime(), MediaTime(61, 30));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Left);
        QTRY_COMPARE(front->state()->playback()->currentTime(), start);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Right, Qt::ShiftModifier);
        QTRY_COMPARE(front->state()->playback()->currentTime(), MediaTime(3, 1));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Left, Qt::ShiftModifier);
        QTRY_COMPARE(front->state()->playback()->currentTime(), start);

        QTest::keyClick(QApplication::focusWidget(), Qt::Key_C);
        QCOMPARE(front->state()->document()->frameCount(), 1);
        QCOMPARE(front->state()->document()->allFrames().first().time, start);

        // Nothing of that reached the window behind.
        QCOMPARE(back->state()->playback()->currentTime(), start);
        QCOMPARE(back->state()->document()->frameCount(), 0);

        // Brought to the front, the other window takes the keys.
        QVERIFY(bringToFront(back));
        QTest::keyClick(back, Qt::Key_Right);
        QTRY_COMPARE(back->state()->playback()->currentTime(), MediaTime(61, 30));
        QCOMPARE(front->state()->playback()->currentTime(), start);
    }

    void textFieldsKeepPlainKeys()
    {
        const QString video = TestMedia::patternVideo(QStringLiteral("pattern.mp4"), QSize(320, 240), 20);
        QVERIFY(!video.isEmpty());
        QuintarelApp app;
        ContentView *window = app.openWindow();
        QVERIFY(bringToFront(window));
        QVERIFY(loadVideo(window, video));
        QLineEdit *field = addFocusedTextField(window);
        QVERIFY(field);

        QTest::keyClicks(field, QStringLiteral("cc"));
        QTest::keyClick(field, Qt::Key_Left);
        QTest::keyClicks(field, QStringLiteral("a"));
        QCOMPARE(field->text(), QStringLiteral("cac"));
        QCOMPARE(window->state()->document()->frameCount(), 0);
        QTest::qWait(100);
        QCOMPARE(window->state()->playback()->currentTime(), MediaTime(2, 1));
    }

    void ctrlShortcutsReachTheWindowFromTextFields_data()
    {
        QTest::addColumn<QString>("field");
        QTest::newRow("group name") << QStringLiteral("group name");
        QTest::newRow("frame note") << QStringLiteral("frame note");
    }

    void ctrlShortcutsReachTheWindowFromTextFields()
    {
        QFETCH(QString, field);
        QuintarelApp app;
        ContentView *window = app.openWindow();
        QVERIFY(bringToFront(window));
        AppState *state = window->state();
        TestCaptures::fill(*state, {1, 1});
        CaptureDocument *document = state->document();
        document->setSelection({document->allFrames().constFirst().id});
        QWidget *editor = nullptr;
        if (field == QLatin1String("group name")) {
            GroupHeaderView *header =
                window->findChild<CapturedFramesListView *>()->header(document->groups().constFirst().id);
            QVERIFY(header);
            editor = header->nameField();
        } else {
            editor = window->findChild<ExtractionPreviewView *>()->noteEditor();
        }
        QTRY_VERIFY(editor->isVisible());
        const auto focus = [&] {
            editor->setFocus();
            return QTest::qWaitFor([&] { return editor->hasFocus(); });
        };
        QVERIFY(focus());
        QSignalSpy merged(menuAction(window, "exportMerged"), &QAction::triggered);
        QSignalSpy perSubject(menuAction(window, "exportPerSubject"), &QAction::triggered);

        // Ctrl+E is "end of line" to a Linux text field; here it exports.
        QTest::keyClicks(editor, QStringLiteral("ab"));
        QTest::keyClick(editor, Qt::Key_E, Qt::ControlModifier);
        QCOMPARE(merged.size(), 1);
        // Without a video the export says so; the alert closes and the field takes the keys again.
        QVERIFY(state->errorMessage());
        state->clearErrorMessage();
        QVERIFY(focus());
        QTest::keyClick(editor, Qt::Key_E, Qt::ControlModifier | Qt::ShiftModifier);
        QCOMPARE(perSubject.size(), 1);
        state->clearErrorMessage();
        QVERIFY(focus());

        // The field's own editing keys stay with it: select all, then type over it.
        QTest::keyClick(editor, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClicks(editor, QStringLiteral("c"));
        const QString text = field == QLatin1String("group name") ? document->groups().constFirst().name
                                                                  : document->allFrames().constFirst().notes;
        QCOMPARE(text, QStringLiteral("c"));
        QCOMPARE(document->allFrames().size(), 2); // "c" typed, nothing captured
    }
};

QUINTAREL_TEST(KeyboardTest)
#include "KeyboardTest.moc"
