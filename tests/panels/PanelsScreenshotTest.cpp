#include "TestMedia.h"
#include "TestRegistry.h"
#include "TestVideo.h"

#include "app/ContentView.h"
#include "app/QuintarelApp.h"
#include "models/AnnotationShape.h"
#include "models/AnnotationShapes.h"
#include "platform/VideoPlayer.h"
#include "state/AppState.h"
#include "state/CaptureDocument.h"
#include "state/FrameImageStore.h"
#include "views/AnnotationCanvas.h"
#include "views/ExtractionPreviewView.h"
#include "views/FrameEditorView.h"
#include "views/InPlaceTextEditor.h"
#include "views/PlayerAreaView.h"
#include "views/PreviewStage.h"
#include "views/StyleThumbnailButton.h"

#include <QDir>
#include <QMouseEvent>
#include <QScreen>
#include <QTest>

namespace {

void send(QWidget *widget, QEvent::Type type, QPointF position, Qt::MouseButtons buttons)
{
    QMouseEvent event(type, position, widget->mapToGlobal(position), Qt::LeftButton, buttons, Qt::NoModifier);
    QCoreApplication::sendEvent(widget, &event);
}

// A drag across the canvas between two points given as fractions of its size.
void drag(QWidget *canvas, QPointF from, QPointF to)
{
    const auto at = [canvas](QPointF fraction) {
        return QPointF(fraction.x() * canvas->width(), fraction.y() * canvas->height());
    };
    send(canvas, QEvent::MouseButtonPress, at(from), Qt::LeftButton);
    for (int step = 1; step <= 8; ++step)
        send(canvas, QEvent::MouseMove, at(from + (to - from) * step / 8.0), Qt::LeftButton);
    send(canvas, QEvent::MouseButtonRelease, at(to), Qt::NoButton);
}

bool allLifted(const AppState &state)
{
    const QList<CapturedFrame> frames = state.document()->allFrames();
    return std::all_of(frames.cbegin(), frames.cend(), [&](const CapturedFrame &frame) {
        return state.images()->images(frame.id).isFinished();
    });
}

} // namespace

// Builds a window with captures in two groups, draws on the preview in the comic style, and keeps
// a picture of the whole window in the build folder for a person to look at.
class PanelsScreenshotTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QuintarelApp::prepareProcess(); }

    void windowWithCapturesAndDrawings()
    {
        const QString video = TestMedia::shapesVideo(QStringLiteral("formes"), QSize(960, 540), 60, 2);
        QuintarelApp app;
        ContentView *window = app.openWindow();
        window->resize(1400, 900);
        QVERIFY(QTest::qWaitForWindowExposed(window));
        AppState *state = window->state();

        QVERIFY(TestVideo::open(*state, video));
        QVERIFY(TestVideo::settled(*state));
        const QList<int> frames{5, 20, 40};
        for (int i = 0; i < frames.size(); ++i) {
            if (i == 1)
                state->document()->addGroup(); // the later captures go into "Groupe 2"
            state->playback()->seek(MediaTime(frames[i], 30));
            QVERIFY(TestVideo::settled(*state));
            state->captureCurrentFrame();
        }
        QCOMPARE(state->document()->groups().size(), 2);
        QCOMPARE(state->document()->groups()[0].frames.size(), 1);
        QCOMPARE(state->document()->groups()[1].frames.size(), 2);
        QTRY_VERIFY_WITH_TIMEOUT(allLifted(*state), 180000);

        const QUuid previewed = state->document()->groups()[1].frames[0].id;
        state->document()->setSelection({previewed});
        auto *preview = window->findChild<ExtractionPreviewView *>();
        QVERIFY(preview);
        QTRY_VERIFY_WITH_TIMEOUT(preview->canvas() && preview->canvas()->isVisible(), 30000);
        AnnotationCanvas *canvas = preview->canvas();

        preview->setTool(QStringLiteral("annotation.arrow"));
        drag(canvas, {0.15, 0.8}, {0.4, 0.45});
        preview->setTool(QStringLiteral("annotation.circle"));
        preview->setAnnotationColor(QColor(255, 200, 0));
        drag(canvas, {0.6, 0.2}, {0.9, 0.75});
        const QList<Annotation> drawn = state->document()->frame(previewed)->annotations;
        QCOMPARE(drawn.size(), 2);
        QCOMPARE(drawn[0].kind, QStringLiteral("arrow"));
        QCOMPARE(drawn[1].kind, QStringLiteral("circle"));
        QVERIFY(drawn[0].start.y() > drawn[0].end.y()); // drawn upwards, y measured from the top

        StyleThumbnailButton *comic = nullptr;
        for (StyleThumbnailButton *button : window->findChildren<StyleThumbnailButton *>()) {
            if (button->toolTip() == QStringLiteral("Appliquer le style BD"))
                comic = button;
        }
        QVERIFY(comic);
        QTest::mouseClick(comic, Qt::LeftButton);
        QCOMPARE(state->document()->selectedFilter(), FilterStyle::Comic);
        QTest::qWait(500);

        QScreen *screen = window->screen();
        const QRect frame = window->frameGeometry();
        const QPixmap shot = screen->grabWindow(0, frame.x(), frame.y(), frame.width(), frame.height());
        QVERIFY(!shot.isNull());
        QVERIFY(shot.save(
            QDir(QStringLiteral(QUINTAREL_TEST_BUILD_DIR)).filePath(QStringLiteral("window-panels.png"))));

        // The same frame in the large editing view, with one drawing of every kind, the last one
        // selected with its handles, zoomed in a little.
        window->setEditing(true);
        QVERIFY(window->isEditing());
        QVERIFY(!window->playerArea()->isVisible());
        PreviewStage *stage = window->frameEditor()->stage();
        QTRY_VERIFY_WITH_TIMEOUT(stage->canvas()->isVisible(), 30000);
        AnnotationCanvas *large = stage->canvas();
        const QList<const AnnotationShape *> &kinds = AnnotationShapes::all();
        for (qsizetype i = 0; i < kinds.size(); ++i) {
            preview->setTool(QStringLiteral("annotation.") + kinds.at(i)->kind());
            preview->setAnnotationColor(QColor::fromHsv(int(40 * i) % 360, 220, 240));
            const double x = 0.06 + 0.88 * double(i) / double(kinds.size());
            if (kinds.at(i)->holdsText()) {
                // Words are typed where the tool is clicked.
                drag(large, {x, 0.12}, {x, 0.12});
                QVERIFY(large->textEditor());
                QTest::keyClicks(large->textEditor(), QStringLiteral("Entree"));
                QTest::keyClick(large->textEditor(), Qt::Key_Return);
                QTest::keyClicks(large->textEditor(), QStringLiteral("sortie"));
                large->textEditor()->finish();
                continue;
            }
            drag(large, {x, 0.12}, {x + 0.7 / double(kinds.size()), 0.4 + 0.05 * double(i % 3)});
        }
        QCOMPARE(state->document()->frame(previewed)->annotations.size(), 2 + kinds.size());
        preview->setTool(QStringLiteral("annotation.select"));
        stage->zoomTo(stage->zoom() * 1.15);
        QTest::qWait(500);
        const QRect editing = window->frameGeometry();
        const QPixmap editingShot =
            screen->grabWindow(0, editing.x(), editing.y(), editing.width(), editing.height());
        QVERIFY(editingShot.save(
            QDir(QStringLiteral(QUINTAREL_TEST_BUILD_DIR)).filePath(QStringLiteral("window-editing.png"))));
        window->setEditing(false);
        QVERIFY(window->playerArea()->isVisible());
    }
};

QUINTAREL_TEST(PanelsScreenshotTest)
#include "PanelsScreenshotTest.moc"
