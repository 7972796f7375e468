#include "TestRegistry.h"

#include "state/CaptureDocument.h"
#include "state/FrameImageStore.h"
#include "state/PreviewRenderer.h"
#include "views/AnnotationCanvas.h"
#include "views/AnnotationEditActions.h"
#include "views/BusyIndicator.h"
#include "views/EmptyStateView.h"
#include "views/ExtractionPreviewView.h"
#include "views/PreviewStage.h"
#include "views/StyleThumbnailButton.h"

#include <QAction>
#include <QMouseEvent>
#include <QPainter>
#include <QPlainTextEdit>
#include <QSignalSpy>
#include <QTest>
#include <QToolButton>
#include <QUndoStack>

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

// The pieces of a window the preview shows.
struct Window
{
    CaptureDocument document;
    FrameImageStore images;
    PreviewRenderer renderer;
    ExtractionPreviewView view{&document, &images, &renderer};
};

// Gives the frame the cut-out that its lifting would have made.
void lift(Window &window, const QUuid &frameId)
{
    const FrameImageStore::Ticket ticket = window.images.track(frameId);
    window.images.setStill(frameId, ticket, QImage(160, 90, QImage::Format_RGBA8888_Premultiplied));
    window.images.setSubject(frameId, ticket, subject());
}

// Adds a frame to the first group, with its cut-out already made when asked.
QUuid addFrame(Window &window, bool withSubject)
{
    DocumentContent content = window.document.content();
    CapturedFrame frame(MediaTime(content.groups[0].frames.size() + 1, 30));
    content.groups[0].frames << frame;
    if (withSubject)
        lift(window, frame.id);
    window.document.reset(content);
    return frame.id;
}

void setShrink(CaptureDocument &document, double shrink)
{
    EdgeOptions options = document.edgeOptions();
    options.shrink = shrink;
    document.setEdgeOptions(options);
}

void send(QWidget *widget, QEvent::Type type, QPointF position, Qt::MouseButtons buttons)
{
    QMouseEvent event(type, position, widget->mapToGlobal(position), Qt::LeftButton, buttons, Qt::NoModifier);
    QCoreApplication::sendEvent(widget, &event);
}

// A drag across the widget in eight moves, between two points given as fractions of its size.
void drag(QWidget *widget, QPointF from, QPointF to)
{
    const auto at = [widget](QPointF fraction) {
        return QPointF(fraction.x() * widget->width(), fraction.y() * widget->height());
    };
    send(widget, QEvent::MouseButtonPress, at(from), Qt::LeftButton);
    for (int step = 1; step <= 8; ++step)
        send(widget, QEvent::MouseMove, at(from + (to - from) * step / 8.0), Qt::LeftButton);
    send(widget, QEvent::MouseButtonRelease, at(to), Qt::NoButton);
}

} // namespace

class ExtractionPreviewTest : public QObject
{
    Q_OBJECT

private slots:
    void withoutFrameThereIsNothingToEdit()
    {
        Window window;
        ExtractionPreviewView &view = window.view;
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
        Window window;
        ExtractionPreviewView &view = window.view;
        const QUuid id = addFrame(window, false);
        const QString prefix = id.toString(QUuid::WithoutBraces).toUpper();
        QCOMPARE(view.previewKey(), prefix + QStringLiteral("-false-0.0-0.0-0-6.0-1.00,1.00,1.00,1.00"));
        QCOMPARE(view.stage()->content(), PreviewStage::Content::Lifting);
        lift(window, id);
        QCOMPARE(view.previewKey(), prefix + QStringLiteral("-true-0.0-0.0-0-6.0-1.00,1.00,1.00,1.00"));
        QCOMPARE(view.stage()->content(), PreviewStage::Content::Busy);
    }

    // A frame whose still or cut-out could not be made says why, in place of the preview.
    void showsWhyAFrameHasNoCutOut()
    {
        Window window;
        const QUuid id = addFrame(window, false);
        const QString message = QStringLiteral("Échec de l'extraction de l'image : fin du fichier");
        window.images.setFailed(id, window.images.track(id), message);
        QCOMPARE(window.view.stage()->content(), PreviewStage::Content::Failed);
        QCOMPARE(window.view.stage()->failureMessage(), message);
        QCOMPARE(window.view.stage()->toolTip(), message);
        lift(window, id);
        QCOMPARE(window.view.stage()->content(), PreviewStage::Content::Busy);
        QVERIFY(window.view.stage()->toolTip().isEmpty());
    }

    void rendersFollowThePrintedEdgeSettingsOnly()
    {
        Window window;
        CaptureDocument &document = window.document;
        ExtractionPreviewView &view = window.view;
        QSignalSpy started(&view, &ExtractionPreviewView::renderingStarted);
        QSignalSpy finished(&view, &ExtractionPreviewView::rendersChanged);
        addFrame(window, true);
        QCOMPARE(started.size(), 1);
        QVERIFY(finished.wait(20000));
        QCOMPARE(view.renders().size(), 4);

        setShrink(document, 1.01);
        QCOMPARE(started.size(), 2);
        setShrink(document, 1.04); // prints as 1.0 again
        QCOMPARE(started.size(), 2);
        setShrink(document, 1.06); // prints as 1.1
        QCOMPARE(started.size(), 3);
        QVERIFY(finished.wait(20000));
        QVERIFY(view.previewKey().contains(QStringLiteral("-1.1-")));

        // Neither the style, the note nor the annotations ask for new renders.
        document.setSelectedFilter(FilterStyle::Poster);
        document.setNote(QStringLiteral("note"), document.previewFrame()->id);
        document.addAnnotation(document.previewFrame()->id, Annotation());
        QCOMPARE(started.size(), 3);
        QCOMPARE(view.stage()->content(), PreviewStage::Content::Image);
        QVERIFY(view.styleThumbnail(FilterStyle::Poster)->isSelected());
    }

    void canvasCoversTheDisplayedImage()
    {
        Window window;
        ExtractionPreviewView &view = window.view;
        view.resize(700, 600);
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        QSignalSpy finished(&view, &ExtractionPreviewView::rendersChanged);
        addFrame(window, true);
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
        Window window;
        ExtractionPreviewView &view = window.view;
        view.resize(500, 600);
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        const auto shown = [&view] {
            EmptyStateView *message = view.stage()->message();
            return message && message->isVisible() ? message->title() : QString();
        };
        QCOMPARE(shown(), QStringLiteral("Aucun aperçu"));

        const QUuid id = addFrame(window, false);
        QCOMPARE(view.stage()->content(), PreviewStage::Content::Lifting);
        QCOMPARE(shown(), QStringLiteral("Détourage en cours"));
        const QList<BusyIndicator *> turning = view.stage()->message()->findChildren<BusyIndicator *>();
        QCOMPARE(turning.size(), 1);
        QVERIFY(turning.first()->isVisible());

        window.images.setNoSubject(id, window.images.track(id));
        QCOMPARE(view.stage()->content(), PreviewStage::Content::NoSubject);
        QCOMPARE(shown(), QStringLiteral("Aucun sujet trouvé"));

        window.document.deleteFrame(id);
        QCOMPARE(shown(), QStringLiteral("Aucun aperçu"));
    }

    // A drag may start on the checkerboard around the picture: it draws from the picture's edge.
    void dragsBesideThePictureDrawClampedToIt()
    {
        Window window;
        ExtractionPreviewView &view = window.view;
        view.resize(700, 600);
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        QSignalSpy finished(&view, &ExtractionPreviewView::rendersChanged);
        const QUuid id = addFrame(window, true);
        QVERIFY(finished.wait(20000));
        view.setTool(QStringLiteral("annotation.line"));
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

        const QList<Annotation> drawn = window.document.frame(id)->annotations;
        QCOMPARE(drawn.size(), 1);
        QCOMPARE(drawn.first().start.x(), 0.0);
        QVERIFY(qAbs(drawn.first().start.y() - 0.5) < 0.02);
        QVERIFY(qAbs(drawn.first().end.x() - 0.5) < 0.02);
        QCOMPARE(view.selectedAnnotationID(), drawn.first().id);

        // Without a picture the margin takes nothing.
        window.images.track(id);
        QVERIFY(stage->content() != PreviewStage::Content::Image);
        send(stage, QEvent::MouseButtonPress, outside, Qt::LeftButton);
        send(stage, QEvent::MouseMove, middle, Qt::LeftButton);
        send(stage, QEvent::MouseButtonRelease, middle, Qt::NoButton);
        QCOMPARE(window.document.frame(id)->annotations.size(), 1);
    }

    void annotationSelectionFollowsThePreviewedFrame()
    {
        Window window;
        CaptureDocument &document = window.document;
        ExtractionPreviewView &view = window.view;
        const QUuid first = addFrame(window, false);
        Annotation annotation;
        document.addAnnotation(first, annotation);
        QVERIFY(!view.deleteButton()->isEnabled());
        view.setSelectedAnnotationID(annotation.id);
        QVERIFY(view.deleteButton()->isEnabled());

        // Deleting takes it out of the frame and clears the selection.
        view.deleteButton()->click();
        QVERIFY(document.frame(first)->annotations.isEmpty());
        QVERIFY(!view.deleteButton()->isEnabled());

        document.undoStack()->undo();
        QCOMPARE(view.canvas()->annotations(), QList<Annotation>{annotation});
        view.setSelectedAnnotationID(annotation.id);
        addFrame(window, false); // the last frame is previewed now
        QVERIFY(view.selectedAnnotationID().isNull());
        QVERIFY(!view.deleteButton()->isEnabled());
        QVERIFY(view.canvas()->annotations().isEmpty());
    }

    // Drawing, dragging and restyling on the preview are each one step of the document's history.
    void editsOnTheCanvasAreUndoSteps()
    {
        Window window;
        CaptureDocument &document = window.document;
        ExtractionPreviewView &view = window.view;
        view.resize(700, 600);
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        QSignalSpy finished(&view, &ExtractionPreviewView::rendersChanged);
        const QUuid frame = addFrame(window, true);
        QVERIFY(finished.wait(20000));
        QUndoStack *stack = document.undoStack();

        view.setTool(QStringLiteral("annotation.line"));
        drag(view.canvas(), {0.2, 0.5}, {0.6, 0.5});
        QCOMPARE(stack->count(), 1);
        const Annotation drawn = document.frame(frame)->annotations.value(0);
        QCOMPARE(drawn.kind, QStringLiteral("line"));
        QCOMPARE(view.selectedAnnotationID(), drawn.id);

        // A drag of eight moves is one step, and undoing it puts the line back where it was.
        view.setTool(QStringLiteral("annotation.select"));
        drag(view.canvas(), {0.4, 0.5}, {0.4, 0.8});
        QCOMPARE(stack->count(), 2);
        QCOMPARE(stack->undoText(), QStringLiteral("le déplacement de l'annotation"));
        const Annotation moved = document.frame(frame)->annotations.value(0);
        QVERIFY(qAbs(moved.start.y() - 0.8) < 0.01);
        stack->undo();
        QCOMPARE(document.frame(frame)->annotations.value(0), drawn);
        QCOMPARE(view.canvas()->annotations().value(0), drawn);
        stack->redo();

        // Its end taken by the handle to the right: one step again, which gives the end back.
        AnnotationCanvas *canvas = view.canvas();
        const QPointF end = canvas->toWidget(moved.end);
        send(canvas, QEvent::MouseButtonPress, end, Qt::LeftButton);
        for (int step = 1; step <= 8; ++step)
            send(canvas, QEvent::MouseMove, end + QPointF(5 * step, 0), Qt::LeftButton);
        send(canvas, QEvent::MouseButtonRelease, end + QPointF(40, 0), Qt::NoButton);
        QCOMPARE(stack->count(), 3);
        QCOMPARE(stack->undoText(), QStringLiteral("la forme de l'annotation"));
        const Annotation reshaped = document.frame(frame)->annotations.value(0);
        QCOMPARE(reshaped.start, moved.start);
        QVERIFY(qAbs((reshaped.end.x() - moved.end.x()) * canvas->width() - 40) < 0.01);
        stack->undo();
        QCOMPARE(document.frame(frame)->annotations.value(0), moved);
    }

    // The colour well and the width slider set what the next drawing gets: a drawing just made is
    // selected, and keeps its own colour and width when they change.
    void colourAndWidthAreThoseOfNewAnnotations()
    {
        Window window;
        CaptureDocument &document = window.document;
        ExtractionPreviewView &view = window.view;
        view.resize(700, 600);
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        QSignalSpy finished(&view, &ExtractionPreviewView::rendersChanged);
        const QUuid frame = addFrame(window, true);
        QVERIFY(finished.wait(20000));

        view.setTool(QStringLiteral("annotation.arrow"));
        view.setAnnotationColor(QColor(255, 0, 0));
        drag(view.canvas(), {0.2, 0.3}, {0.6, 0.3});
        const Annotation red = document.frame(frame)->annotations.value(0);
        QCOMPARE(view.selectedAnnotationID(), red.id);
        QCOMPARE(red.r, 1.0);

        view.setAnnotationColor(QColor(0, 0, 255));
        view.setAnnotationWidth(0.01);
        view.setAnnotationWidth(0.015);
        drag(view.canvas(), {0.2, 0.7}, {0.6, 0.7});
        const QList<Annotation> drawn = document.frame(frame)->annotations;
        QCOMPARE(drawn.size(), 2);
        QCOMPARE(drawn.at(0), red);
        QCOMPARE(drawn.at(1).b, 1.0);
        QCOMPARE(drawn.at(1).r, 0.0);
        QCOMPARE(drawn.at(1).lineWidth, 0.015);
        // Two drawings, two steps: choosing the colour and width recorded none.
        QCOMPARE(document.undoStack()->count(), 2);
    }

    // The selected annotation's own keys on the canvas: a duplicate beside it, a copy pasted on
    // another frame, in front and behind; each a step, and the copies selected.
    void theSelectionIsDuplicatedCopiedAndReordered()
    {
        Window window;
        CaptureDocument &document = window.document;
        ExtractionPreviewView &view = window.view;
        const QUuid first = addFrame(window, false);
        Annotation below;
        below.kind = QStringLiteral("line");
        below.start = {0.1, 0.1};
        below.end = {0.2, 0.9};
        Annotation arrow;
        arrow.start = {0.2, 0.2};
        arrow.end = {0.6, 0.4};
        document.addAnnotation(first, below);
        document.addAnnotation(first, arrow);
        view.setSelectedAnnotationID(arrow.id);
        AnnotationCanvas *canvas = view.canvas();
        QUndoStack *stack = document.undoStack();
        const int drawn = stack->count();

        QTest::keyClick(canvas, Qt::Key_D, Qt::ControlModifier);
        QList<Annotation> annotations = document.frame(first)->annotations;
        QCOMPARE(annotations.size(), 3);
        QCOMPARE(view.selectedAnnotationID(), annotations.at(2).id);
        QCOMPARE(annotations.at(2).start, QPointF(0.22, 0.22));
        QCOMPARE(stack->undoText(), QStringLiteral("la duplication de l'annotation"));

        QTest::keyClick(canvas, Qt::Key_Down, Qt::ControlModifier | Qt::ShiftModifier);
        QCOMPARE(document.frame(first)->annotations.first().id, view.selectedAnnotationID());
        QTest::keyClick(canvas, Qt::Key_Up, Qt::ControlModifier | Qt::ShiftModifier);
        QCOMPARE(document.frame(first)->annotations.last().id, view.selectedAnnotationID());
        QCOMPARE(stack->count(), drawn + 3);

        view.setSelectedAnnotationID(arrow.id);
        QTest::keyClick(canvas, Qt::Key_C, Qt::ControlModifier);
        const QUuid second = addFrame(window, false); // previewed now
        QVERIFY(view.selectedAnnotationID().isNull());
        QVERIFY(!view.editActions()->copyAction()->isEnabled());
        QTest::keyClick(canvas, Qt::Key_V, Qt::ControlModifier);
        annotations = document.frame(second)->annotations;
        QCOMPARE(annotations.size(), 1);
        QVERIFY(annotations.first().id != arrow.id);
        QCOMPARE(annotations.first().start, arrow.start);
        QCOMPARE(annotations.first().end, arrow.end);
        QCOMPARE(view.selectedAnnotationID(), annotations.first().id);
        QCOMPARE(stack->undoText(), QStringLiteral("le collage de l'annotation"));
        stack->undo();
        QVERIFY(document.frame(second)->annotations.isEmpty());
        QCOMPARE(document.frame(first)->annotations.size(), 3);
    }

    void noteEditorWritesEveryKeystrokeAsOneStep()
    {
        Window window;
        CaptureDocument &document = window.document;
        ExtractionPreviewView &view = window.view;
        const QUuid id = addFrame(window, false);
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        QTest::keyClicks(view.noteEditor(), QStringLiteral("ab"));
        QCOMPARE(document.frame(id)->notes, QStringLiteral("ab"));
        QTest::keyClick(view.noteEditor(), Qt::Key_Left);
        QTest::keyClicks(view.noteEditor(), QStringLiteral("c"));
        QCOMPARE(document.frame(id)->notes, QStringLiteral("acb"));
        QCOMPARE(view.noteEditor()->textCursor().position(), 2);
        QCOMPARE(document.undoStack()->count(), 1);
        document.undoStack()->undo();
        QCOMPARE(view.noteEditor()->toPlainText(), QString());
    }
};

QUINTAREL_TEST(ExtractionPreviewTest)
#include "ExtractionPreviewTest.moc"
