#include "TestRegistry.h"

#include "app/ContentView.h"
#include "app/QuintarelApp.h"
#include "state/AppState.h"

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QTest>
#include <QTimer>

namespace {

// Answers the question the window is about to ask by clicking the button with `label`.
void answerWith(const QString &label, QString *question)
{
    QTimer::singleShot(0, [label, question] {
        auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        if (!box)
            return;
        *question = box->text();
        for (QAbstractButton *button : box->buttons()) {
            if (button->text() == label)
                button->click();
        }
    });
}

void addCapture(AppState *state)
{
    QList<CaptureGroup> groups = state->groups();
    groups[0].frames << CapturedFrame(MediaTime(1, 30));
    state->setGroups(groups);
}

} // namespace

class ClosePromptTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QuintarelApp::prepareProcess(); }

    void closingWithUnsavedCapturesAsksFirst()
    {
        QuintarelApp app;
        ContentView *window = app.openWindow();
        QVERIFY(QTest::qWaitForWindowExposed(window));
        addCapture(window->state());

        QString question;
        answerWith(QStringLiteral("Annuler"), &question);
        QVERIFY(!window->close());
        QCOMPARE(question, QStringLiteral("Enregistrer « Quintarel » avant de fermer ?"));
        QVERIFY(window->isVisible());
        QCOMPARE(window->state()->allFrames().size(), 1);

        answerWith(QStringLiteral("Ne pas enregistrer"), &question);
        QVERIFY(window->close());
    }

    void quitAsksEveryUnsavedWindowAndStopsAtTheFirstKept()
    {
        QuintarelApp app;
        ContentView *saved = app.openWindow();
        ContentView *unsaved = app.openWindow();
        QVERIFY(QTest::qWaitForWindowActive(unsaved));
        addCapture(unsaved->state());
        QAction *quit = saved->findChild<QAction *>(QStringLiteral("quit"));
        QVERIFY(quit);

        // The window in front asks first; keeping it keeps every window.
        QString question;
        answerWith(QStringLiteral("Annuler"), &question);
        quit->trigger();
        QCOMPARE(question, QStringLiteral("Enregistrer « Quintarel » avant de fermer ?"));
        QCOMPARE(app.windows().size(), 2);
        QVERIFY(saved->isVisible() && unsaved->isVisible());

        answerWith(QStringLiteral("Ne pas enregistrer"), &question);
        quit->trigger();
        QTRY_COMPARE(app.windows().size(), 0);
    }

    void aWindowWithoutCapturesClosesAtOnce()
    {
        QuintarelApp app;
        ContentView *window = app.openWindow();
        QVERIFY(QTest::qWaitForWindowExposed(window));
        QVERIFY(window->close());
    }
};

QUINTAREL_TEST(ClosePromptTest)
#include "ClosePromptTest.moc"
