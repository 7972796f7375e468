#include "TestMedia.h"
#include "TestRegistry.h"

#include "app/ContentView.h"
#include "app/QuintarelApp.h"
#include "state/AppState.h"
#include "views/PlayerAreaView.h"

#include <QDir>
#include <QScreen>
#include <QTest>

// Opens a window on a generated video, steps to a known frame and keeps a picture of the whole
// window in the build folder, for a person to look at.
class WindowScreenshotTest : public QObject
{
    Q_OBJECT

private slots:
    // The theme the symbol icons come from, as the application sets it up.
    void initTestCase() { QuintarelApp::prepareProcess(); }

    void windowWithVideo()
    {
        const QString video =
            TestMedia::patternVideo(QStringLiteral("motif-de-test.mp4"), QSize(320, 240), 20);
        QVERIFY(!video.isEmpty());
        QuintarelApp app;
        ContentView *window = app.openWindow();
        window->resize(1400, 820);
        QVERIFY(QTest::qWaitForWindowExposed(window));
        AppState *state = window->state();
        const QDir buildFolder(QStringLiteral(QUINTAREL_TEST_BUILD_DIR));
        // The empty window, with its placeholder (no OpenGL picture yet, so the widgets' own
        // rendering is enough).
        QVERIFY(window->grab().save(buildFolder.filePath(QStringLiteral("window-empty.png"))));

        state->loadVideo(QUrl::fromLocalFile(video));
        QTRY_VERIFY_WITH_TIMEOUT(state->playback()->duration() > MediaTime(10, 1), 10000);
        state->playback()->seek(MediaTime(5, 1));
        QTRY_COMPARE_WITH_TIMEOUT(state->playback()->currentTime(), MediaTime(5, 1), 10000);
        state->playback()->stepFrame(3);
        QTRY_COMPARE_WITH_TIMEOUT(state->playback()->currentTime(), MediaTime(153, 30), 10000);
        // Give the picture a few frames to reach the screen.
        QTest::qWait(300);

        // The screen's pixels include the player's OpenGL picture as it was composed.
        QScreen *screen = window->screen();
        const QPixmap shot =
            screen->grabWindow(0, window->frameGeometry().x(), window->frameGeometry().y(),
                               window->frameGeometry().width(), window->frameGeometry().height());
        QVERIFY(!shot.isNull());
        const QString path =
            QDir(QStringLiteral(QUINTAREL_TEST_BUILD_DIR)).filePath(QStringLiteral("window-video.png"));
        QVERIFY(shot.save(path));

        // The player area is not left black: the test pattern is on screen.
        const QRect area(window->playerArea()->mapTo(window, QPoint(0, 0)), window->playerArea()->size());
        const QImage picture = shot.toImage().copy(
            area.translated(window->geometry().topLeft() - window->frameGeometry().topLeft()));
        int coloured = 0;
        for (int y = 0; y < picture.height(); y += 8) {
            for (int x = 0; x < picture.width(); x += 8) {
                const QColor pixel = picture.pixelColor(x, y);
                if (pixel.saturation() > 80 && pixel.value() > 80)
                    ++coloured;
            }
        }
        QVERIFY2(coloured > 50, qPrintable(QString::number(coloured)));
    }
};

QUINTAREL_TEST(WindowScreenshotTest)
#include "WindowScreenshotTest.moc"
