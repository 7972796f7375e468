#include "TestCaptures.h"
#include "TestExports.h"
#include "TestImages.h"
#include "TestMedia.h"
#include "TestRegistry.h"
#include "TestVideo.h"

#include "app/ContentView.h"
#include "app/QuintarelApp.h"
#include "state/AppState.h"
#include "state/CaptureDocument.h"
#include "state/ExportRun.h"
#include "state/FrameImageStore.h"
#include "views/EdgeControlsView.h"
#include "views/ExportPanelView.h"
#include "views/ExportProgressView.h"
#include "views/ExtractionPreviewView.h"
#include "views/PreviewStage.h"
#include "views/StyleThumbnailButton.h"

#include <QAbstractScrollArea>
#include <QCheckBox>
#include <QDir>
#include <QLabel>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QSignalSpy>
#include <QSplitter>
#include <QTemporaryDir>
#include <QTest>

namespace {

QString describe(const QWidget *widget)
{
    QString name = QString::fromLatin1(widget->metaObject()->className());
    if (!widget->objectName().isEmpty())
        name += QLatin1Char('#') + widget->objectName();
    const QRect g = widget->geometry();
    return QStringLiteral("%1 (%2,%3 %4×%5)").arg(name).arg(g.x()).arg(g.y()).arg(g.width()).arg(g.height());
}

bool isScrolledContent(const QWidget *widget)
{
    const auto *area = qobject_cast<const QAbstractScrollArea *>(widget->parentWidget());
    return area && area->viewport() == widget;
}

// Walks the visible widgets under `widget`: each one's visible children lie inside it (except in a
// scrolled viewport, whose content is clipped on purpose), siblings do not overlap, and nothing is
// squeezed below the smallest size its contents need.
void collectLayoutProblems(const QWidget *widget, QStringList &problems)
{
    QList<const QWidget *> children;
    for (const QObject *object : widget->children()) {
        const auto *child = qobject_cast<const QWidget *>(object);
        if (child && !child->isWindow() && child->isVisible())
            children << child;
    }
    for (qsizetype i = 0; i < children.size(); ++i) {
        const QWidget *child = children[i];
        if (!isScrolledContent(widget) && !widget->rect().contains(child->geometry()))
            problems << describe(child) + QStringLiteral(" leaves ") + describe(widget);
        for (qsizetype j = i + 1; j < children.size(); ++j) {
            if (child->geometry().intersects(children[j]->geometry()))
                problems << describe(child) + QStringLiteral(" overlaps ") + describe(children[j]);
        }
        // A minimum set on the widget stands for what its contents need, as layouts take it.
        const QSize hint = child->minimumSizeHint();
        const QSize needed(child->minimumWidth() > 0 ? child->minimumWidth() : hint.width(),
                           child->minimumHeight() > 0 ? child->minimumHeight() : hint.height());
        const QSizePolicy policy = child->sizePolicy();
        if (needed.isValid() && policy.horizontalPolicy() != QSizePolicy::Ignored &&
            policy.verticalPolicy() != QSizePolicy::Ignored &&
            (child->width() < needed.width() || child->height() < needed.height()))
            problems << describe(child) +
                            QStringLiteral(" squeezed below %1×%2").arg(needed.width()).arg(needed.height());
        collectLayoutProblems(child, problems);
    }
}

QStringList layoutProblems(const QWidget *window)
{
    QStringList problems;
    collectLayoutProblems(window, problems);
    return problems;
}

// The part of `widget` that shows in its window: its rectangle less what its ancestors cut off, as a
// scrolled viewport cuts what lies outside it.
QRect shownRect(const QWidget *widget)
{
    const QWidget *window = widget->window();
    QRect shown(widget->mapTo(window, QPoint(0, 0)), widget->size());
    for (const QWidget *ancestor = widget->parentWidget(); ancestor; ancestor = ancestor->parentWidget())
        shown &= QRect(ancestor == window ? QPoint(0, 0) : ancestor->mapTo(window, QPoint(0, 0)),
                       ancestor->size());
    return shown;
}

bool isWhollyShown(const QWidget *widget)
{
    return widget->isVisible() && shownRect(widget).size() == widget->size();
}

// Waits until every posted layout change has been applied.
void settle()
{
    for (int i = 0; i < 3; ++i) {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
        QTest::qWait(20);
    }
}

// A window at work: two groups of captures with their cut-outs, one previewed, an output folder,
// a finished run with failures.
void fillWindow(QuintarelApp &app, ContentView *window, const QString &outputFolder)
{
    CaptureDocument *document = window->state()->document();
    FrameImageStore *images = window->state()->images();
    TestCaptures::fill(*document, {1, 2});
    const QImage still = TestImages::shapesOnGradient(QSize(480, 270), TestImages::twoShapes());
    const QImage cutOut = TestImages::flat(QSize(200, 150), QColor(230, 90, 40));
    for (const CapturedFrame &frame : document->allFrames()) {
        const FrameImageStore::Ticket ticket = images->track(frame.id);
        images->setStill(frame.id, ticket, still);
        images->setSubject(frame.id, ticket, cutOut);
    }
    document->setSelection({document->allFrames().constFirst().id});
    document->setOutputFolder(QUrl::fromLocalFile(outputFolder));
    ExportRun *run = TestExports::runWithoutVideo(*app.exportRuns(), 3, outputFolder);
    if (!QTest::qWaitFor([run] { return !run->isRunning(); }, 30000))
        qWarning("the run did not end");
    run->acknowledgeFinish();
    window->exportPanel()->setRun(run);
    window->exportProgress()->setRun(run);
}

} // namespace

class LayoutTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QuintarelApp::prepareProcess(); }

    void nothingOverlapsOrClips_data()
    {
        QTest::addColumn<QSize>("size"); // empty: the window's minimum size
        QTest::addColumn<bool>("working");
        QTest::newRow("empty, minimum size") << QSize() << false;
        QTest::newRow("at work, minimum size") << QSize() << true;
        QTest::newRow("at work, 1280×800") << QSize(1280, 800) << true;
        QTest::newRow("at work, 1900×1150") << QSize(1900, 1150) << true;
    }

    void nothingOverlapsOrClips()
    {
        QFETCH(QSize, size);
        QFETCH(bool, working);
        QTemporaryDir output;
        QuintarelApp app;
        ContentView *window = app.openWindow();
        QVERIFY(QTest::qWaitForWindowExposed(window));
        auto *preview = window->findChild<ExtractionPreviewView *>();
        QVERIFY(preview);
        if (working) {
            QSignalSpy rendered(preview, &ExtractionPreviewView::rendersChanged);
            fillWindow(app, window, output.path());
            QVERIFY(!rendered.isEmpty() || rendered.wait(30000));
            QCOMPARE(preview->stage()->content(), PreviewStage::Content::Image);
        }
        // Asked for less than its minimum, a window takes its minimum.
        window->resize(size.isValid() ? size : QSize(1, 1));
        settle();
        if (!size.isValid())
            QCOMPARE(window->size(), window->minimumSize());
        else
            QCOMPARE(window->size(), size);

        const QStringList problems = layoutProblems(window);
        QVERIFY2(problems.isEmpty(), qPrintable(problems.join(QLatin1Char('\n'))));

        if (!size.isValid()) {
            const QString name =
                working ? QStringLiteral("window-minimum.png") : QStringLiteral("window-minimum-empty.png");
            QVERIFY(window->grab().save(QDir(QStringLiteral(QUINTAREL_TEST_BUILD_DIR)).filePath(name)));
        }
    }

    void theFirstCaptureDoesNotGrowTheSmallestWindow()
    {
        QTemporaryDir output;
        QuintarelApp app;
        ContentView *window = app.openWindow();
        QVERIFY(QTest::qWaitForWindowExposed(window));
        window->resize(1, 1);
        settle();
        const QSize smallest = window->size();
        auto *preview = window->findChild<ExtractionPreviewView *>();
        QSignalSpy rendered(preview, &ExtractionPreviewView::rendersChanged);
        fillWindow(app, window, output.path());
        QVERIFY(!rendered.isEmpty() || rendered.wait(30000));
        settle();
        // The toolbar and the note have appeared inside the same window.
        QVERIFY(preview->noteEditor()->isVisible());
        QCOMPARE(window->size(), smallest);
        QCOMPARE(window->minimumSize(), smallest);
    }

    void thePictureGivesWayBeforeTheTilesAndTheNote()
    {
        QTemporaryDir output;
        QuintarelApp app;
        ContentView *window = app.openWindow();
        QVERIFY(QTest::qWaitForWindowExposed(window));
        auto *preview = window->findChild<ExtractionPreviewView *>();
        QSignalSpy rendered(preview, &ExtractionPreviewView::rendersChanged);
        fillWindow(app, window, output.path());
        QVERIFY(!rendered.isEmpty() || rendered.wait(30000));
        StyleThumbnailButton *tile = preview->styleThumbnail(FilterStyle::Comic);

        window->resize(1600, 1100);
        settle();
        const int tallPicture = preview->stage()->height();
        const QSize tallTile = tile->size();
        const int tallNote = preview->noteEditor()->height();

        window->resize(1, 1);
        settle();
        QVERIFY2(preview->stage()->height() < tallPicture, qPrintable(QString::number(tallPicture)));
        QVERIFY(preview->stage()->height() >= 160);
        QCOMPARE(tile->size(), tallTile);
        QCOMPARE(preview->noteEditor()->height(), tallNote);
        QCOMPARE(preview->noteEditor()->height(), 60);
    }

    // The progress of an export sits under the scrolled controls, not in them: at the smallest
    // size, wherever the controls are scrolled, it is in sight.
    void theExportProgressStaysInSight()
    {
        QTemporaryDir output;
        QuintarelApp app;
        ContentView *window = app.openWindow();
        QVERIFY(QTest::qWaitForWindowExposed(window));
        TestCaptures::fill(*window->state(), {3});
        window->state()->document()->setOutputFolder(QUrl::fromLocalFile(output.path()));
        window->resize(1, 1);
        settle();

        auto *controls = window->findChild<QScrollArea *>(QStringLiteral("controlsScrollArea"));
        ExportProgressView *progress = window->exportProgress();
        QVERIFY(controls && progress);
        QVERIFY(!progress->isVisible());
        progress->setRun(TestExports::runWithoutVideo(*app.exportRuns(), 3, output.path()));
        settle();
        QVERIFY(!controls->isAncestorOf(progress));
        // The controls need more height than they get: they scroll.
        QVERIFY(controls->verticalScrollBar()->maximum() > 0);
        for (const int scrolled : {0, controls->verticalScrollBar()->maximum()}) {
            controls->verticalScrollBar()->setValue(scrolled);
            settle();
            const QRect shown(progress->mapTo(window, QPoint(0, 0)), progress->size());
            QVERIFY(progress->isVisible());
            QVERIFY2(window->rect().contains(shown), qPrintable(describe(progress)));
        }
        QVERIFY(progress->bar()->isVisible());
    }

    // "Exporter" and the line asking for a folder sit under the scrolled controls, with the
    // progress: whatever the window's size and however the controls are scrolled, they are whole in
    // sight, even with every edge control unfolded.
    void theExportButtonStaysInSight_data()
    {
        QTest::addColumn<QSize>("size"); // empty: the minimum size; 0×0: the size it opens at
        QTest::newRow("minimum size") << QSize();
        QTest::newRow("default size") << QSize(0, 0);
        QTest::newRow("1280×800") << QSize(1280, 800);
        QTest::newRow("1600×1000") << QSize(1600, 1000);
        QTest::newRow("1900×1150") << QSize(1900, 1150);
    }

    void theExportButtonStaysInSight()
    {
        QFETCH(QSize, size);
        QTemporaryDir output;
        QuintarelApp app;
        ContentView *window = app.openWindow();
        QVERIFY(QTest::qWaitForWindowExposed(window));
        CaptureDocument *document = window->state()->document();
        TestCaptures::fill(*window->state(), {3});
        auto *edges = window->findChild<EdgeControlsView *>();
        QVERIFY(edges);
        edges->setExpanded(true);
        edges->outlineToggle()->click();
        if (!size.isEmpty())
            window->resize(size);
        else if (!size.isValid())
            window->resize(1, 1);
        settle();

        auto *controls = window->findChild<QScrollArea *>(QStringLiteral("controlsScrollArea"));
        QPushButton *button = window->exportPanel()->exportButton();
        QVERIFY(controls && button);
        QVERIFY(!controls->isAncestorOf(button));
        const auto checkInSight = [&](const QWidget *widget) {
            const int end = controls->verticalScrollBar()->maximum();
            for (const int scrolled : {0, end / 2, end}) {
                controls->verticalScrollBar()->setValue(scrolled);
                settle();
                if (!isWhollyShown(widget))
                    return false;
            }
            return true;
        };
        // With no folder, the button is disabled and says why under it.
        QLabel *warning = nullptr;
        for (QLabel *label : window->findChildren<QLabel *>()) {
            if (label->text() == QStringLiteral("Choisissez un dossier de sortie pour exporter."))
                warning = label;
        }
        QVERIFY(warning);
        QVERIFY(!button->isEnabled());
        QVERIFY2(checkInSight(button), qPrintable(describe(button)));
        QVERIFY2(checkInSight(warning), qPrintable(describe(warning)));

        document->setOutputFolder(QUrl::fromLocalFile(output.path()));
        settle();
        QVERIFY(button->isEnabled());
        QVERIFY(!warning->isVisible());
        QVERIFY2(checkInSight(button), qPrintable(describe(button)));
        window->exportProgress()->setRun(TestExports::runWithoutVideo(*app.exportRuns(), 3, output.path()));
        settle();
        QVERIFY2(checkInSight(button), qPrintable(describe(button)));
        QVERIFY2(checkInSight(window->exportProgress()), qPrintable(describe(window->exportProgress())));
        const QStringList problems = layoutProblems(window);
        QVERIFY2(problems.isEmpty(), qPrintable(problems.join(QLatin1Char('\n'))));
    }

    // A run that ends with failures brings their list into sight, with at least five of its lines
    // whole, at every window size, without the user scrolling anything.
    void theFailuresShowFiveLines_data()
    {
        QTest::addColumn<QSize>("size"); // empty: the minimum size; 0×0: the size it opens at
        QTest::addColumn<QString>("picture");
        QTest::newRow("default size") << QSize(0, 0) << QStringLiteral("window-export-default.png");
        QTest::newRow("1600×1000") << QSize(1600, 1000) << QStringLiteral("window-export-1600x1000.png");
        QTest::newRow("minimum size") << QSize() << QStringLiteral("window-export-minimum.png");
    }

    void theFailuresShowFiveLines()
    {
        QFETCH(QSize, size);
        QFETCH(QString, picture);
        // A flat picture has no subject: each frame of the run fails.
        TestMedia::VideoOptions options;
        options.name = QStringLiteral("aplat");
        options.size = QSize(320, 180);
        options.frameCount = 30;
        options.picture = [](int, QSize frame) { return TestImages::flat(frame, QColor(90, 140, 200)); };
        const QString video = TestMedia::video(options);
        QVERIFY(!video.isEmpty());
        QTemporaryDir output;
        QuintarelApp app;
        ContentView *window = app.openWindow();
        QVERIFY(QTest::qWaitForWindowExposed(window));
        AppState *state = window->state();
        QVERIFY(TestVideo::open(*state, video));
        TestCaptures::addFramesWithoutPictures(*state, {{1, 2, 3, 4, 5, 6, 7}});
        auto *edges = window->findChild<EdgeControlsView *>();
        edges->setExpanded(true);
        edges->outlineToggle()->click();
        state->document()->setOutputFolder(QUrl::fromLocalFile(output.path()));
        if (!size.isEmpty())
            window->resize(size);
        else if (!size.isValid())
            window->resize(1, 1);
        settle();

        state->runExport(ExportMode::Merged);
        ExportRun *run = state->exportRun();
        QVERIFY(run);
        QVERIFY(QTest::qWaitFor([run] { return !run->isRunning(); }, 120000));
        QCOMPARE(run->failures().size(), 7);
        settle();

        QWidget *failures = window->exportPanel()->failuresList();
        QVERIFY(failures->isVisible());
        QList<QLabel *> lines;
        for (QLabel *label : failures->findChildren<QLabel *>()) {
            if (label->text().contains(QStringLiteral(" — ")))
                lines << label;
        }
        std::sort(lines.begin(), lines.end(), [](const QLabel *a, const QLabel *b) {
            return a->mapTo(a->window(), QPoint(0, 0)).y() < b->mapTo(b->window(), QPoint(0, 0)).y();
        });
        QCOMPARE(lines.size(), 7);
        for (int i = 0; i < 5; ++i)
            QVERIFY2(isWhollyShown(lines[i]), qPrintable(describe(lines[i])));
        QVERIFY(isWhollyShown(window->exportPanel()->exportButton()));
        QVERIFY(isWhollyShown(window->exportProgress()));
        QVERIFY(window->grab().save(QDir(QStringLiteral(QUINTAREL_TEST_BUILD_DIR)).filePath(picture)));
        if (QMessageBox *alert = window->exportPanel()->finishedAlert())
            alert->reject();
    }
};

QUINTAREL_TEST(LayoutTest)
#include "LayoutTest.moc"
