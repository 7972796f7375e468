#include "TestCaptures.h"
#include "TestRegistry.h"

#include "app/ContentView.h"
#include "app/QuintarelApp.h"
#include "app/QuintarelCommands.h"
#include "services/LiftedFrame.h"
#include "services/SubjectExtractionService.h"
#include "state/AppState.h"
#include "state/CaptureDocument.h"
#include "state/ExportRequest.h"
#include "state/ExportRun.h"
#include "state/ExportRuns.h"
#include "state/FrameImageStore.h"
#include "views/CapturedFramesListView.h"
#include "views/CapturedFramesModel.h"
#include "views/ExtractionPreviewView.h"
#include "views/TakeoutMimeData.h"

#include <QClipboard>
#include <QColorSpace>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QTemporaryDir>
#include <QTest>
#include <QToolBar>
#include <QTreeView>

#include <vector>

namespace {

const QSize frameSize(320, 240);
// The subject: a square, opaque inside, its edge fading out over a few pixels.
const QRect subjectBox(100, 60, 120, 100);

QImage stillFrame()
{
    QImage still(frameSize, QImage::Format_RGBA8888_Premultiplied);
    for (int y = 0; y < still.height(); ++y) {
        for (int x = 0; x < still.width(); ++x)
            still.setPixelColor(x, y, QColor(x * 255 / frameSize.width(), 90, y * 255 / frameSize.height()));
    }
    return still;
}

SubjectMask maskOf(const QImage &still)
{
    std::vector<float> map(std::size_t(frameSize.width() * frameSize.height()), 0.0F);
    for (int y = 0; y < frameSize.height(); ++y) {
        for (int x = 0; x < frameSize.width(); ++x) {
            const int outside = std::max({subjectBox.left() - x, x - subjectBox.right(), subjectBox.top() - y,
                                          y - subjectBox.bottom(), 0});
            map[std::size_t(y) * std::size_t(frameSize.width()) + std::size_t(x)] =
                float(std::max(0.0, 1.0 - outside / 8.0));
        }
    }
    return SubjectMask::fromProbability(still, map).value();
}

// Puts a lifted frame's pictures into the window's store, as its lifting would.
void lift(AppState &state, const QUuid &frameId)
{
    const QImage still = stillFrame();
    const SubjectMask mask = maskOf(still);
    const QImage cutOut = SubjectExtractionService::images(mask, ExportMode::Merged, false).value().first();
    FrameImageStore *store = state.images();
    const FrameImageStore::Ticket ticket = store->ticket(frameId);
    store->setStill(frameId, ticket, still);
    store->setLifted(frameId, ticket, LiftedFrame::of(still, mask, cutOut));
    store->setSubject(frameId, ticket, cutOut);
}

// One frame at 1 s, lifted, with a red line across it and its picture cut to what shows.
QUuid prepare(AppState &state)
{
    TestCaptures::addFramesWithoutPictures(state, {{30}});
    const QUuid frameId = state.document()->groups().first().frames.first().id;
    lift(state, frameId);
    Annotation line;
    line.kind = QStringLiteral("line");
    line.start = {0.1, 0.5};
    line.end = {0.9, 0.5};
    line.lineWidth = 0.02;
    state.document()->addAnnotation(frameId, line);
    state.document()->setCropToSubject(true);
    state.document()->setSelection({frameId});
    return frameId;
}

// The bytes of the PNG file a merged export of the window writes for its only frame.
QByteArray exportedPNG(AppState &state, const QString &folder)
{
    ExportRequest request =
        ExportRequest::of(*state.document(), ExportMode::Merged, state.playback()->startTime());
    request.settings.outputFolder = folder;
    for (const CapturedFrame &frame : state.document()->allFrames()) {
        const FrameImages images = state.images()->images(frame.id);
        request.settings.masks.insert(frame.id, images.mask);
        request.settings.stills.insert(frame.id, images.still);
    }
    ExportRun run(state.exportServices(), request.groups, request.settings);
    run.start();
    if (!QTest::qWaitFor([&] { return !run.isRunning(); }, 60000) || !run.failures().isEmpty())
        return {};
    QFile file(QDir(folder).filePath(QStringLiteral("video_00-00-01-000.png")));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The pixels as PNG holds them, in straight 8-bit RGBA; sRGB when untagged, as PNG files are.
QImage pixelsOf(const QImage &image)
{
    QImage pixels = image.convertToFormat(QImage::Format_RGBA8888);
    if (!pixels.colorSpace().isValid())
        pixels.setColorSpace(QColorSpace(QColorSpace::SRgb));
    return pixels;
}

// Whether some pixel is neither transparent nor opaque.
bool hasPartialAlpha(const QImage &image)
{
    const QImage pixels = pixelsOf(image);
    for (int y = 0; y < pixels.height(); ++y) {
        for (int x = 0; x < pixels.width(); ++x) {
            const int alpha = pixels.pixelColor(x, y).alpha();
            if (alpha > 0 && alpha < 255)
                return true;
        }
    }
    return false;
}

QByteArray clipboardPNG()
{
    const QMimeData *data = QGuiApplication::clipboard()->mimeData();
    return data && data->hasFormat(QStringLiteral("image/png")) ? data->data(QStringLiteral("image/png"))
                                                                : QByteArray();
}

} // namespace

// A frame's finished picture taken out of the window: copied to the clipboard, or dragged out as a
// file and image data. It is the very picture the merged export writes, and a frame whose cut-out
// is not ready is refused with a message instead.
class TakeoutTest : public QObject
{
    Q_OBJECT

    ExportRuns m_runs;

private slots:
    void init() { QGuiApplication::clipboard()->setText(QStringLiteral("avant")); }

    void copyPutsTheExportedPictureOnTheClipboard()
    {
        AppState state(&m_runs, PlayerOutput::Headless);
        prepare(state);

        QuintarelCommands::copyImage(&state);
        QVERIFY(QTest::qWaitFor([] { return !clipboardPNG().isEmpty(); }, 30000));
        QVERIFY(!state.errorMessage());

        // Byte for byte the file a merged export writes, with the crop, the line and the soft edge.
        QTemporaryDir folder;
        const QByteArray exported = exportedPNG(state, folder.path());
        QVERIFY(!exported.isEmpty());
        QCOMPARE(clipboardPNG(), exported);

        const QImage copied = QImage::fromData(clipboardPNG(), "PNG");
        QVERIFY(copied.hasAlphaChannel());
        // Cut to the subject and the line, which reaches beyond the subject on both sides.
        QVERIFY(copied.width() > subjectBox.width() + 16);
        QVERIFY(copied.height() < frameSize.height());
        QVERIFY(hasPartialAlpha(copied));
        // The line's ends lie on the transparent background, opaque red; the corners stay
        // transparent.
        bool redEnd = false;
        for (int y = 0; y < copied.height(); ++y)
            redEnd = redEnd || copied.pixelColor(2, y) == QColor(255, 0, 0);
        QVERIFY(redEnd);
        QCOMPARE(copied.pixelColor(0, 0).alpha(), 0);
        QCOMPARE(copied.pixelColor(copied.width() - 1, copied.height() - 1).alpha(), 0);

        // The image for programs that take no PNG has the same pixels.
        const QImage image = QGuiApplication::clipboard()->image();
        QCOMPARE(pixelsOf(image), pixelsOf(copied));
    }

    // Ctrl+C copies the picture, except in a text field, which keeps it for its text.
    void ctrlCCopiesThePictureUnlessATextFieldHasTheFocus()
    {
        QuintarelApp app;
        ContentView &window = *app.openWindow();
        window.raise();
        window.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        prepare(*window.state());

        auto *field = new QLineEdit(QStringLiteral("une note"));
        window.findChild<QToolBar *>()->addWidget(field);
        QVERIFY(QTest::qWaitFor([&] { return field->isVisible(); }));
        field->setFocus();
        field->selectAll();
        QTest::keyClick(field, Qt::Key_C, Qt::ControlModifier);
        QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("une note"));
        QVERIFY(clipboardPNG().isEmpty());

        QTreeView *list = window.findChild<CapturedFramesListView *>()->tree();
        list->setFocus();
        QTest::keyClick(list, Qt::Key_C, Qt::ControlModifier);
        QVERIFY(QTest::qWaitFor([] { return !clipboardPNG().isEmpty(); }, 30000));
        QVERIFY(!window.state()->errorMessage());
    }

    void aFrameWithoutItsCutOutIsRefused()
    {
        AppState state(&m_runs, PlayerOutput::Headless);
        TestCaptures::addFramesWithoutPictures(state, {{30, 60}});
        const QList<CapturedFrame> frames = state.document()->allFrames();
        FrameImageStore *store = state.images();
        store->setNoSubject(frames.at(1).id, store->ticket(frames.at(1).id));

        // Still being lifted.
        state.document()->setSelection({frames.at(0).id});
        QuintarelCommands::copyImage(&state);
        QCOMPARE(state.errorMessage().value_or(QString()),
                 QStringLiteral("Le détourage de cette image n'est pas encore prêt."));
        // Lifted, nothing found.
        state.clearErrorMessage();
        state.document()->setSelection({frames.at(1).id});
        QuintarelCommands::copyImage(&state);
        QCOMPARE(state.errorMessage().value_or(QString()),
                 QStringLiteral("Aucun sujet détecté dans cette image."));
        // No frame at all.
        AppState empty(&m_runs, PlayerOutput::Headless);
        QuintarelCommands::copyImage(&empty);
        QVERIFY(empty.errorMessage().has_value());

        QTest::qWait(100);
        QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("avant"));
    }

    void aDragCarriesAFileNamedAsTheExportAndTheSamePixels()
    {
        AppState state(&m_runs, PlayerOutput::Headless);
        const QUuid frameId = prepare(state);
        ExtractionPreviewView preview(state.document(), state.images(), state.renderer());
        QVERIFY(!preview.makeDragData());
        preview.setTakeout(&state.takeout());
        QVERIFY(preview.dragHandle()->isEnabled());

        std::unique_ptr<QMimeData> data(preview.makeDragData());
        QVERIFY(data);
        QVERIFY(data->hasUrls());
        QVERIFY(data->hasImage());
        const QList<QUrl> urls = data->urls();
        QCOMPARE(urls.size(), 1);
        const QString path = urls.first().toLocalFile();
        QCOMPARE(QFileInfo(path).fileName(), QStringLiteral("video_00-00-01-000.png"));
        QVERIFY(QFileInfo::exists(path));
        // The file is written once, however often a program asks.
        QCOMPARE(data->urls(), urls);

        QuintarelCommands::copyImage(&state);
        QVERIFY(QTest::qWaitFor([] { return !clipboardPNG().isEmpty(); }, 30000));
        const QImage copied = pixelsOf(QImage::fromData(clipboardPNG(), "PNG"));
        QCOMPARE(pixelsOf(QImage(path)), copied);
        QCOMPARE(pixelsOf(qvariant_cast<QImage>(data->imageData())), copied);
        QCOMPARE(data->data(QStringLiteral("image/png")), clipboardPNG());

        // A later drag of the same frame goes to a file of its own: the first one stays as it was.
        std::unique_ptr<QMimeData> again(preview.makeDragData());
        const QString second = again->urls().value(0).toLocalFile();
        QVERIFY(!second.isEmpty());
        QVERIFY(second != path);
        QCOMPARE(QFileInfo(second).fileName(), QFileInfo(path).fileName());
        QVERIFY(QFileInfo::exists(path));

        // The frames list drags the same picture, and still the frame's place for moves inside it.
        CapturedFramesModel model(state.document(), state.images());
        model.setTakeout(&state.takeout());
        std::unique_ptr<QMimeData> listed(model.mimeData({model.frameIndex(frameId)}));
        QVERIFY(listed->hasFormat(model.mimeTypes().first()));
        QCOMPARE(listed->urls().size(), 1);
        QCOMPARE(pixelsOf(QImage(listed->urls().first().toLocalFile())), copied);
        QVERIFY(model.supportedDragActions() & Qt::CopyAction);
    }

    void aFrameNotReadyDragsNoPicture()
    {
        AppState state(&m_runs, PlayerOutput::Headless);
        TestCaptures::addFramesWithoutPictures(state, {{30}});
        const QUuid frameId = state.document()->allFrames().first().id;
        ExtractionPreviewView preview(state.document(), state.images(), state.renderer());
        preview.setTakeout(&state.takeout());
        QVERIFY(!preview.dragHandle()->isEnabled());
        QVERIFY(!preview.makeDragData());

        CapturedFramesModel model(state.document(), state.images());
        model.setTakeout(&state.takeout());
        std::unique_ptr<QMimeData> listed(model.mimeData({model.frameIndex(frameId)}));
        QVERIFY(listed->hasFormat(model.mimeTypes().first()));
        QVERIFY(!listed->hasUrls());
        QVERIFY(!listed->hasImage());

        // Once lifted, the handle can be used.
        lift(state, frameId);
        QVERIFY(preview.dragHandle()->isEnabled());
    }
};

QUINTAREL_TEST(TakeoutTest)
#include "TakeoutTest.moc"
