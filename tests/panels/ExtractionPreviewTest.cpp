#include "TestRegistry.h"

#include "state/AppState.h"
#include "views/AnnotationCanvas.h"
#include "views/BusyIndicator.h"
#include "views/EmptyStateView.h"
#include "views/ExtractionPreviewView.h"
#include "views/PreviewStage.h"
#include "views/StyleThumbnailButton.h"

#include <QMouseEvent>
#include <QPainter>
#include <QPlainTextEdit>
#include <QSignalSpy>
#include <QTest>
#include <QToolButton>

namespace {

// A cut-out: a disc on a transparent background.
QImage subject()
{
    QImage image(160, 90, QImage::Format_RGBA8888_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setBrush(QColor(40, 120, 220));
    painter.setPen(Qt::NoPen);
    painter.drawEllipse(QPointF(80, 45), 30, 30);
    return image;
}

// Adds a frame to the first group; with a cut-out when asked.
QUuid addFrame(AppState &state, bool withSubject)
{
    QList<CaptureGroup> groups = state.groups();
    CapturedFrame frame(MediaTime(groups[0].frames.size() + 1, 30));
    if (withSubject) {
        frame.subjectPreview = subject();
        frame.subjectExtracted = true;
    }
    groups[0].frames << frame;
    state.setGroups(groups);
    return frame.id;
}

void send(QWidget *widget, QEvent::Type type, const QPointF &position, Qt::MouseButtons buttons)
{
    QMouseEvent event(type, position, widget->mapToGlobal(position), Qt::LeftButton, buttons, Qt::NoModifier);
    QCoreApplication::sendEvent(widget, &event);
}

void setShrink(AppState &state, double shrink)
{
    EdgeOptions options = state.edgeOptions();
    options.shrink = shrink;
    state.setEdgeOptions(options);
}

} // namespace

class ExtractionPreviewTest : public QObject
{
    Q_OBJECT

private slots:
    void withoutFrameThereIsNothingToEdit()
    {
        AppState state;
        ExtractionPreviewView view(&state);
        QCOMPARE(view.previewKey(), QStringLiteral("none"));
        QVERIFY(!view.annotationToolbar()->isVisibleTo(&view));
        QVERIFY(!view.noteEditorBox()->isVisibleTo(&view));
        QCOMPARE(view.stage()->content(), PreviewStage::Content::Empty);
        QVERIFY(!view.styleThumbnail(FilterStyle::Comic)->isPending());
        QCOMPARE(view.styleThumbnail(FilterStyle::Sketch)->toolTip(),
                 QStringLiteral("Appliquer le style Croquis"));
    }

    void keyNamesFrameSubjectAndEdgeSignature()
    {
        AppState state;
        ExtractionPreviewView view(&state);
        const QUuid id = addFrame(state, false);
        const QString prefix = id.toString(QUuid::WithoutBraces).toUpper();
        QCOMPARE(view.previewKey(), prefix + QStringLiteral("-false-0.0-0.0-0-6.0-1.00,1.00,1.00,1.00"));
        QCOMPARE(view.stage()->content(), PreviewStage::Content::Lifting);
        state.updateFrame(id, [](CapturedFrame &frame) { frame.subjectPreview = subject(); });
        QCOMPARE(view.previewKey(), prefix + QStringLiteral("-true-0.0-0.0-0-6.0-1.00,1.00,1.00,1.00"));
        QCOMPARE(view.stage()->content(), PreviewStage::Content::Busy);
    }

    void rendersFollowThePrintedEdgeSettingsOnly()
    {
        AppState state;
        ExtractionPreviewView view(&state);
        QSignalSpy started(&view, &ExtractionPreviewView::renderingStarted);
        QSignalSpy finished(&view, &ExtractionPreviewView::rendersChanged);
        addFrame(state, true);
        QCOMPARE(started.size(), 1);
        QVERIFY(finished.wait(20000));
        QCOMPARE(view.renders().size(), 4);

        setShrink(state, 1.01);
        QCOMPARE(started.size(), 2);
        setShrink(state, 1.04); // prints as 1.0 again
        QCOMPARE(started.size(), 2);
        setShrink(state, 1.06); // prints as 1.1
        QCOMPARE(started.size(), 3);
        QVERIFY(finished.wait(20000));
        QVERIFY(view.previewKey().contains(QStringLiteral("-1.1-")));

        // Neither the style, the note nor the annotations ask for new renders.
        state.setSelectedFilter(FilterStyle::Poster);
        state.setNote(QStringLiteral("note"), state.previewFrame()->id);
        state.setAnnotations({Annotation()}, state.previewFrame()->id);
        QCOMPARE(started.size(), 3);
        QCOMPARE(view.stage()->content(), PreviewStage::Content::Image);
        QVERIFY(view.styleThumbnail(FilterStyle::Poster)->isSelected());
    }

    void canvasCoversTheDisplayedImage()
    {
        AppState state;
        ExtractionPreviewView view(&state);
        view.resize(700, 600);
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        QSignalSpy finished(&view, &ExtractionPreviewView::rendersChanged);
        addFrame(state, true);
        QVERIFY(finished.wait(20000));
        QCOMPARE(view.stage()->content(), PreviewStage::Content::Image);
        const QRect image = view.stage()->imageRect();
        QCOMPARE(view.canvas()->geometry(), image);
        QVERIFY(qAbs(double(image.width()) / image.height() - 160.0 / 90.0) < 0.02);
    }

    // The large preview says what is going on: nothing captured, a subject being lifted, no subject
    // found; never "capture an image" for a frame that is already there.
    void previewTellsWhatBecameOfTheSubject()
    {
        AppState state;
        ExtractionPreviewView view(&state);
        view.resize(500, 600);
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        const auto shown = [&view] {
            EmptyStateView *message = view.stage()->message();
            return message && message->isVisible() ? message->title() : QString();
        };
        QCOMPARE(shown(), QStringLiteral("Aucun aperçu"));

        const QUuid id = addFrame(state, false);
        QCOMPARE(view.stage()->content(), PreviewStage::Content::Lifting);
        QCOMPARE(shown(), QStringLiteral("Détourage en cours"));
        const QList<BusyIndicator *> turning = view.stage()->message()->findChildren<BusyIndicator *>();
        QCOMPARE(turning.size(), 1);
        QVERIFY(turning.first()->isVisible());

        state.updateFrame(id, [](CapturedFrame &frame) { frame.subjectExtracted = true; });
        QCOMPARE(view.stage()->content(), PreviewStage::Content::NoSubject);
        QCOMPARE(shown(), QStringLiteral("Aucun sujet trouvé"));

        state.deleteFrame(id);
        QCOMPARE(shown(), QStringLiteral("Aucun aperçu"));
    }

    // A drag may start on the checkerboard around the picture: it draws from the picture's edge.
    void dragsBesideThePictureDrawClampedToIt()
    {
        AppState state;
        ExtractionPreviewView view(&state);
        view.resize(700, 600);
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        QSignalSpy finished(&view, &ExtractionPreviewView::rendersChanged);
        const QUuid id = addFrame(state, true);
        QVERIFY(finished.wait(20000));
        view.setTool(AnnotationTool::Line);
        PreviewStage *stage = view.stage();
        const QRect picture = stage->imageRect();
        // A wide stage: the picture is fitted by its height, with margins left and right.
        QVERIFY(picture.left() >= 20);

        const QPointF outside(picture.left() / 2.0, picture.center().y());
        const QPointF middle = QRectF(picture).center();
        send(stage, QEvent::MouseButtonPress, outside, Qt::LeftButton);
        send(stage, QEvent::MouseMove, outside + QPointF(10, 0), Qt::LeftButton);
        send(stage, QEvent::MouseMove, middle, Qt::LeftButton);
        send(stage, QEvent::MouseButtonRelease, middle, Qt::NoButton);

        const QList<Annotation> drawn = state.frame(id)->annotations;
        QCOMPARE(drawn.size(), 1);
        QCOMPARE(drawn.first().start.x(), 0.0);
        QVERIFY(qAbs(drawn.first().start.y() - 0.5) < 0.02);
        QVERIFY(qAbs(drawn.first().end.x() - 0.5) < 0.02);
        QCOMPARE(view.selectedAnnotationID(), drawn.first().id);

        // Without a picture the margin takes nothing.
        state.updateFrame(id, [](CapturedFrame &frame) { frame.subjectPreview = QImage(); });
        QVERIFY(stage->content() != PreviewStage::Content::Image);
        send(stage, QEvent::MouseButtonPress, outside, Qt::LeftButton);
        send(stage, QEvent::MouseMove, middle, Qt::LeftButton);
        send(stage, QEvent::MouseButtonRelease, middle, Qt::NoButton);
        QCOMPARE(state.frame(id)->annotations.size(), 1);
    }

    void annotationSelectionFollowsThePreviewedFrame()
    {
        AppState state;
        ExtractionPreviewView view(&state);
        const QUuid first = addFrame(state, false);
        Annotation annotation;
        state.setAnnotations({annotation}, first);
        QVERIFY(!view.deleteButton()->isEnabled());
        view.setSelectedAnnotationID(annotation.id);
        QVERIFY(view.deleteButton()->isEnabled());

        // Deleting writes the list without it and clears the selection.
        view.deleteButton()->click();
        QVERIFY(state.frame(first)->annotations.isEmpty());
        QVERIFY(!view.deleteButton()->isEnabled());

        state.setAnnotations({annotation}, first);
        view.setSelectedAnnotationID(annotation.id);
        addFrame(state, false); // the last frame is previewed now
        QVERIFY(view.selectedAnnotationID().isNull());
        QVERIFY(!view.deleteButton()->isEnabled());
        QVERIFY(view.canvas()->annotations().isEmpty());
    }

    void noteEditorWritesEveryKeystroke()
    {
        AppState state;
        ExtractionPreviewView view(&state);
        const QUuid id = addFrame(state, false);
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        QTest::keyClicks(view.noteEditor(), QStringLiteral("ab"));
        QCOMPARE(state.frame(id)->notes, QStringLiteral("ab"));
        QTest::keyClick(view.noteEditor(), Qt::Key_Left);
        QTest::keyClicks(view.noteEditor(), QStringLiteral("c"));
        QCOMPARE(state.frame(id)->notes, QStringLiteral("acb"));
        QCOMPARE(view.noteEditor()->textCursor().position(), 2);
    }
};

QUINTAREL_TEST(ExtractionPreviewTest)
#include "ExtractionPreviewTest.moc"
