#include "TestRegistry.h"

#include "models/AnnotationShape.h"
#include "models/AnnotationShapes.h"
#include "models/EdgeOptions.h"
#include "models/TextShape.h"
#include "views/AnnotationCanvas.h"
#include "views/AnnotationHitTest.h"
#include "views/AnnotationSelectionTool.h"
#include "views/AnnotationToolSection.h"
#include "views/CanvasTool.h"
#include "views/CanvasToolbox.h"
#include "views/InPlaceTextEditor.h"

#include <QAction>
#include <QContextMenuEvent>
#include <QMouseEvent>
#include <QSignalSpy>
#include <QTest>

#include <cmath>

namespace {

void send(QWidget *widget, QEvent::Type type, const QPointF &position, Qt::MouseButtons buttons)
{
    QMouseEvent event(type, position, widget->mapToGlobal(position), Qt::LeftButton, buttons, Qt::NoModifier);
    QCoreApplication::sendEvent(widget, &event);
}

// Presses at the first point, moves through the others with the button held, and releases.
void drag(QWidget *widget, const QList<QPointF> &points)
{
    send(widget, QEvent::MouseButtonPress, points.first(), Qt::LeftButton);
    for (const QPointF &point : points.mid(1))
        send(widget, QEvent::MouseMove, point, Qt::LeftButton);
    send(widget, QEvent::MouseButtonRelease, points.last(), Qt::NoButton);
}

Annotation make(const QString &kind, QPointF start, QPointF end)
{
    Annotation annotation;
    annotation.kind = kind;
    annotation.start = start;
    annotation.end = end;
    return annotation;
}

// A 400 × 200 canvas whose edits come back to it, as the preview does with the window state, with
// the annotation tools, the selection in hand.
struct Canvas
{
    CanvasToolbox toolbox;
    AnnotationCanvas widget;
    QSignalSpy drawings{&widget, &AnnotationCanvas::annotationDrawn};
    QSignalSpy moves{&widget, &AnnotationCanvas::annotationMoved};
    QSignalSpy selections{&widget, &AnnotationCanvas::selectedIdEdited};

    explicit Canvas(const QList<Annotation> &annotations = {})
    {
        toolbox.addSection(AnnotationToolSection::make());
        widget.setToolbox(&toolbox);
        widget.resize(400, 200);
        widget.setAnnotations(annotations);
    }

    void use(const QString &toolId)
    {
        toolbox.setActiveTool(toolId);
        QVERIFY(toolbox.activeTool());
    }
};

// A tool that writes down what the canvas tells it.
class RecordingTool : public CanvasTool
{
public:
    explicit RecordingTool(QString id) : m_id(std::move(id)) {}

    QString toolId() const override { return m_id; }
    QString displayName() const override { return m_id; }
    QIcon icon() const override { return {}; }
    QCursor cursor() const override { return Qt::PointingHandCursor; }

    void activated(AnnotationCanvas *) override { events << QStringLiteral("activated"); }
    void deactivated(AnnotationCanvas *) override { events << QStringLiteral("deactivated"); }
    void pressed(AnnotationCanvas *, const CanvasPointer &p) override { note("press", p); }
    void moved(AnnotationCanvas *, const CanvasPointer &p) override { note("move", p); }
    void released(AnnotationCanvas *, const CanvasPointer &p) override { note("release", p); }
    void hovered(AnnotationCanvas *, const CanvasPointer &p) override { note("hover", p); }
    bool keyPressed(AnnotationCanvas *, QKeyEvent *event) override
    {
        events << QStringLiteral("key %1").arg(event->key());
        return event->key() == Qt::Key_Delete;
    }

    QStringList events;
    QList<CanvasPointer> pointers;

private:
    void note(const char *what, const CanvasPointer &p)
    {
        events << QString::fromLatin1(what);
        pointers << p;
    }

    QString m_id;
};

// An annotation of `kind` drawn as its tool draws one, from (0.2, 0.3) through (0.4, 0.5) to
// (0.6, 0.7).
Annotation drawn(const AnnotationShape &shape)
{
    Annotation annotation = shape.begin({0.2, 0.3});
    shape.extend(annotation, {0.4, 0.5});
    shape.extend(annotation, {0.6, 0.7});
    return annotation;
}

bool near(const QPointF &p, const QPointF &q)
{
    return std::abs(p.x() - q.x()) < 1e-9 && std::abs(p.y() - q.y()) < 1e-9;
}

} // namespace

class AnnotationCanvasTest : public QObject
{
    Q_OBJECT

private slots:
    void drawingAppendsClampedNormalisedAnnotationAndSelectsIt()
    {
        Canvas canvas;
        canvas.use(QStringLiteral("annotation.circle"));
        canvas.widget.setColor(QColor(0, 0, 255, 128));
        canvas.widget.setLineWidth(0.01);
        drag(&canvas.widget, {{40, 20}, {41, 20}, {200, 150}, {520, -30}});

        QCOMPARE(canvas.drawings.size(), 1);
        const QList<Annotation> annotations = canvas.widget.annotations();
        QCOMPARE(annotations.size(), 1);
        const Annotation &drawn = annotations.first();
        QCOMPARE(drawn.kind, QStringLiteral("circle"));
        QCOMPARE(drawn.start, QPointF(0.1, 0.1));
        QCOMPARE(drawn.end, QPointF(1.0, 0.0)); // the pointer left the canvas: clamped
        QCOMPARE(drawn.b, 1.0);
        QCOMPARE(drawn.a, EdgeOptions::components(QColor(0, 0, 255, 128))[3]);
        QCOMPARE(drawn.lineWidth, 0.01);
        QCOMPARE(canvas.widget.selectedId(), drawn.id);
        QCOMPARE(canvas.selections.size(), 1);
        QVERIFY(!canvas.widget.draft());
        QCOMPARE(canvas.drawings.first().first().value<Annotation>(), drawn);
    }

    void everyKindHasItsToolWithAnIcon()
    {
        Canvas canvas;
        for (const AnnotationShape *shape : AnnotationShapes::all()) {
            CanvasTool *tool = canvas.toolbox.tool(QStringLiteral("annotation.") + shape->kind());
            QVERIFY2(tool, qPrintable(shape->kind()));
            QCOMPARE(tool->displayName(), shape->displayName());
            QVERIFY2(!tool->icon().pixmap(16, 16).isNull(), qPrintable(shape->systemImage()));
        }
        QCOMPARE(canvas.toolbox.tools().size(), AnnotationShapes::all().size() + 1);
    }

    // A click with the text tool opens an editor there; Enter starts a line, Escape ends, and the
    // words become a text on top, selected, in the canvas's colour and size. No words, no text.
    void aClickWithTheTextToolTypesInPlace()
    {
        Canvas canvas;
        canvas.widget.setColor(QColor(0, 0, 255));
        canvas.widget.setLineWidth(0.01);
        canvas.widget.show();
        canvas.use(QStringLiteral("annotation.text"));
        drag(&canvas.widget, {{100, 50}});
        InPlaceTextEditor *editor = canvas.widget.textEditor();
        QVERIFY(editor);
        QVERIFY(canvas.widget.annotations().isEmpty());
        QTest::keyClicks(editor, QStringLiteral("Depart"));
        QTest::keyClick(editor, Qt::Key_Return);
        QTest::keyClicks(editor, QStringLiteral("ici"));
        QCOMPARE(canvas.drawings.size(), 0);
        QTest::keyClick(editor, Qt::Key_Escape);
        QVERIFY(!canvas.widget.textEditor());
        QCOMPARE(canvas.drawings.size(), 1);
        const Annotation text = canvas.widget.annotations().first();
        QCOMPARE(text.kind, QStringLiteral("text"));
        QCOMPARE(text.text, QStringLiteral("Depart\nici"));
        QCOMPARE(text.start, QPointF(0.25, 0.25));
        QCOMPARE(text.b, 1.0);
        QCOMPARE(text.lineWidth, 0.01);
        // Its box fits its words on this canvas.
        Annotation fitted = text;
        TextShape::fit(fitted, 2.0);
        QCOMPARE(text.end, fitted.end);
        QVERIFY(text.end.x() > text.start.x() && text.end.y() > text.start.y());
        QCOMPARE(canvas.widget.selectedId(), text.id);

        // Opened and closed without words: nothing is kept.
        drag(&canvas.widget, {{300, 150}});
        QVERIFY(canvas.widget.textEditor());
        QTest::keyClicks(canvas.widget.textEditor(), QStringLiteral("  "));
        canvas.widget.textEditor()->finish();
        QCOMPARE(canvas.drawings.size(), 1);
        QCOMPARE(canvas.widget.annotations().size(), 1);

        // A click in a text with the tool edits it: its new words are one edit of it.
        QSignalSpy edits(&canvas.widget, &AnnotationCanvas::annotationTextEdited);
        drag(&canvas.widget, {canvas.widget.toWidget((text.start + text.end) / 2)});
        editor = canvas.widget.textEditor();
        QVERIFY(editor);
        QCOMPARE(editor->toPlainText(), text.text);
        QTest::keyClicks(editor, QStringLiteral(" et plus loin"));
        // A press elsewhere ends the editing and draws nothing.
        drag(&canvas.widget, {{380, 180}});
        QVERIFY(!canvas.widget.textEditor());
        QCOMPARE(canvas.drawings.size(), 1);
        QCOMPARE(edits.size(), 1);
        const Annotation edited = edits.first().first().value<Annotation>();
        QCOMPARE(edited.id, text.id);
        QCOMPARE(edited.text, QStringLiteral("Depart\nici et plus loin"));
        QCOMPARE(canvas.widget.annotations().first(), edited);
        QVERIFY(edited.end.x() > text.end.x());
    }

    // A double click with the select tool edits a text's words; emptied, the text is deleted.
    void aDoubleClickEditsATextInPlace()
    {
        Annotation text = make(QStringLiteral("text"), {0.2, 0.2}, {0.2, 0.2});
        text.text = QStringLiteral("Avant");
        TextShape::fit(text, 2.0);
        Canvas canvas({text});
        canvas.widget.show();
        canvas.use(QStringLiteral("annotation.select"));
        QSignalSpy edits(&canvas.widget, &AnnotationCanvas::annotationTextEdited);
        QSignalSpy deletions(&canvas.widget, &AnnotationCanvas::deleteRequested);
        const QPointF inside = canvas.widget.toWidget((text.start + text.end) / 2);
        send(&canvas.widget, QEvent::MouseButtonPress, inside, Qt::LeftButton);
        send(&canvas.widget, QEvent::MouseButtonRelease, inside, Qt::NoButton);
        send(&canvas.widget, QEvent::MouseButtonDblClick, inside, Qt::LeftButton);
        send(&canvas.widget, QEvent::MouseButtonRelease, inside, Qt::NoButton);
        InPlaceTextEditor *editor = canvas.widget.textEditor();
        QVERIFY(editor);
        QCOMPARE(canvas.moves.size(), 0);
        editor->selectAll();
        QTest::keyClicks(editor, QStringLiteral("Apres"));
        QTest::keyClick(editor, Qt::Key_Escape);
        QCOMPARE(edits.size(), 1);
        QCOMPARE(edits.first().first().value<Annotation>().text, QStringLiteral("Apres"));
        QCOMPARE(canvas.widget.selectedId(), text.id);

        // Unchanged: no edit.
        canvas.widget.editText(canvas.widget.annotations().first());
        canvas.widget.textEditor()->finish();
        QCOMPARE(edits.size(), 1);

        canvas.widget.editText(canvas.widget.annotations().first());
        canvas.widget.textEditor()->clear();
        canvas.widget.textEditor()->finish();
        QCOMPARE(edits.size(), 1);
        QCOMPARE(deletions.size(), 1);
        QCOMPARE(canvas.widget.selectedId(), text.id);
    }

    // A marker is placed by a click, in the canvas's colour and width, or carried by a drag.
    void aClickPlacesAMarker()
    {
        Canvas canvas;
        canvas.widget.setLineWidth(0.02);
        canvas.use(QStringLiteral("annotation.marker"));
        drag(&canvas.widget, {{200, 100}});
        QCOMPARE(canvas.drawings.size(), 1);
        const Annotation marker = canvas.widget.annotations().first();
        QCOMPARE(marker.kind, QStringLiteral("marker"));
        QCOMPARE(marker.start, QPointF(0.5, 0.5));
        QCOMPARE(marker.lineWidth, 0.02);
        QCOMPARE(canvas.widget.selectedId(), marker.id);
        drag(&canvas.widget, {{40, 20}, {60, 40}, {100, 150}});
        QCOMPARE(canvas.drawings.size(), 2);
        QCOMPARE(canvas.widget.annotations().last().start, QPointF(0.25, 0.75));
        // Other kinds still take a drag.
        canvas.use(QStringLiteral("annotation.pixelate"));
        drag(&canvas.widget, {{200, 100}});
        QCOMPARE(canvas.drawings.size(), 2);
    }

    void aPenFollowsThePointerAndARectangleTakesItsEnds()
    {
        Canvas canvas;
        canvas.use(QStringLiteral("annotation.pen"));
        drag(&canvas.widget, {{40, 20}, {200, 150}, {200, 150}, {300, 100}, {520, -30}});
        QCOMPARE(canvas.drawings.size(), 1);
        const Annotation stroke = canvas.widget.annotations().first();
        QCOMPARE(stroke.kind, QStringLiteral("pen"));
        QCOMPARE(stroke.points, (QList<QPointF>{{0.1, 0.1}, {0.5, 0.75}, {0.75, 0.5}, {1.0, 0.0}}));
        QCOMPARE(canvas.widget.selectedId(), stroke.id);

        canvas.use(QStringLiteral("annotation.rectangle"));
        drag(&canvas.widget, {{40, 20}, {200, 150}, {300, 100}});
        const Annotation box = canvas.widget.annotations().last();
        QCOMPARE(box.kind, QStringLiteral("rectangle"));
        QCOMPARE(box.start, QPointF(0.1, 0.1));
        QCOMPARE(box.end, QPointF(0.75, 0.5));
        QVERIFY(!box.filled);
        QVERIFY(box.points.isEmpty());
    }

    void selectDragMovesAStrokeByItsPoints()
    {
        Annotation stroke = AnnotationShapes::find(QStringLiteral("highlighter"))->begin({0.1, 0.5});
        stroke.points << QPointF(0.9, 0.5);
        Canvas canvas({stroke});
        canvas.use(QStringLiteral("annotation.select"));
        // Pressed on the stroke at (0.5, 0.5), moved by (0.1, 0.25).
        drag(&canvas.widget, {{200, 100}, {220, 130}, {240, 150}});
        QCOMPARE(canvas.widget.selectedId(), stroke.id);
        const Annotation moved = canvas.widget.annotations().first();
        QCOMPARE(moved.points, (QList<QPointF>{{0.2, 0.75}, {1.0, 0.75}}));
        QCOMPARE(canvas.moves.size(), 2);
        QCOMPARE(canvas.moves.last().first().value<Annotation>(), moved);
    }

    void drawingKeepsTheSettingsOfTheLastMove()
    {
        Canvas canvas;
        canvas.use(QStringLiteral("annotation.line"));
        send(&canvas.widget, QEvent::MouseButtonPress, {100, 100}, Qt::LeftButton);
        send(&canvas.widget, QEvent::MouseMove, {150, 100}, Qt::LeftButton);
        QVERIFY(canvas.widget.draft());
        QCOMPARE(canvas.drawings.size(), 0); // the draft is not in the list yet
        canvas.widget.setLineWidth(0.02);
        send(&canvas.widget, QEvent::MouseMove, {160, 100}, Qt::LeftButton);
        send(&canvas.widget, QEvent::MouseButtonRelease, {160, 100}, Qt::NoButton);
        QCOMPARE(canvas.widget.annotations().first().lineWidth, 0.02);
        QCOMPARE(canvas.widget.annotations().first().end, QPointF(0.4, 0.5));
    }

    void shortPressDoesNothing_data()
    {
        QTest::addColumn<QString>("tool");
        QTest::newRow("select on an annotation") << QStringLiteral("annotation.select");
        QTest::newRow("arrow") << QStringLiteral("annotation.arrow");
    }

    void shortPressDoesNothing()
    {
        QFETCH(QString, tool);
        const Annotation line = make(QStringLiteral("line"), {0.1, 0.5}, {0.9, 0.5});
        const Annotation other = make(QStringLiteral("line"), {0.1, 0.1}, {0.9, 0.1});
        Canvas canvas({line, other});
        canvas.widget.setSelectedId(other.id);
        canvas.use(tool);
        drag(&canvas.widget, {{200, 100}, {201.5, 100}, {201, 101}});
        QCOMPARE(canvas.drawings.size() + canvas.moves.size(), 0);
        QCOMPARE(canvas.selections.size(), 0);
        QCOMPARE(canvas.widget.annotations(), (QList<Annotation>{line, other}));
        QCOMPARE(canvas.widget.selectedId(), other.id);
    }

    void shortestRecognisedDragStillDraws()
    {
        Canvas canvas;
        canvas.use(QStringLiteral("annotation.arrow"));
        drag(&canvas.widget, {{200, 100}, {202, 100}});
        QCOMPARE(canvas.widget.annotations().size(), 1);
    }

    void selectDragMovesFromTheSnapshotUnclamped()
    {
        const Annotation below = make(QStringLiteral("circle"), {0.0, 0.0}, {0.2, 0.2});
        const Annotation line = make(QStringLiteral("line"), {0.5, 0.5}, {0.9, 0.5});
        Canvas canvas({below, line});
        canvas.use(QStringLiteral("annotation.select"));
        // Pressed on the line at x = 0.6; the pointer goes far past the right edge.
        send(&canvas.widget, QEvent::MouseButtonPress, {240, 100}, Qt::LeftButton);
        send(&canvas.widget, QEvent::MouseMove, {300, 120}, Qt::LeftButton);
        QCOMPARE(canvas.widget.selectedId(), line.id);
        QCOMPARE(canvas.widget.annotations().at(1).start, QPointF(0.65, 0.6));
        send(&canvas.widget, QEvent::MouseMove, {1000, 140}, Qt::LeftButton);
        send(&canvas.widget, QEvent::MouseButtonRelease, {1000, 140}, Qt::NoButton);

        const Annotation moved = canvas.widget.annotations().at(1);
        QCOMPARE(moved.id, line.id);
        QCOMPARE(moved.start.x(), 0.9);
        QCOMPARE(moved.end.x(), 1.3); // pushed past the edge: not clamped
        QCOMPARE(moved.start.y(), 0.7);
        QCOMPARE(canvas.widget.annotations().at(0), below);
        // Every step is told, the first as the start of the drag and the others as its continuation.
        QCOMPARE(canvas.moves.size(), 2);
        QCOMPARE(canvas.moves.at(0).at(1).toBool(), false);
        QCOMPARE(canvas.moves.at(1).at(1).toBool(), true);
        QCOMPARE(canvas.moves.at(1).at(0).value<Annotation>(), moved);
    }

    void selectDragOnEmptySpaceClearsSelectionAndMovesNothing()
    {
        const Annotation line = make(QStringLiteral("line"), {0.1, 0.1}, {0.3, 0.1});
        Canvas canvas({line});
        canvas.widget.setSelectedId(line.id);
        drag(&canvas.widget, {{300, 150}, {320, 170}, {340, 190}});
        QVERIFY(canvas.widget.selectedId().isNull());
        QCOMPARE(canvas.moves.size(), 0);
        QCOMPARE(canvas.widget.annotations(), QList<Annotation>{line});
    }

    void deleteKeysAskForDeletion()
    {
        Canvas canvas;
        QSignalSpy requests(&canvas.widget, &AnnotationCanvas::deleteRequested);
        QTest::keyClick(&canvas.widget, Qt::Key_Delete);
        QTest::keyClick(&canvas.widget, Qt::Key_Backspace);
        QCOMPARE(requests.size(), 2);
    }

    // The canvas hands gestures to the active tool in picture coordinates, and ends a gesture in
    // progress when another tool is taken.
    void gesturesGoToTheActiveTool()
    {
        CanvasToolbox toolbox;
        auto *brush = new RecordingTool(QStringLiteral("brush"));
        auto *other = new RecordingTool(QStringLiteral("other"));
        toolbox.addSection({brush});
        toolbox.addSection({other});
        QCOMPARE(toolbox.activeTool(), brush);
        QCOMPARE(toolbox.sections().size(), 2);
        AnnotationCanvas canvas;
        canvas.resize(400, 200);
        canvas.setToolbox(&toolbox);
        QCOMPARE(brush->events, QStringList{QStringLiteral("activated")});
        QCOMPARE(canvas.cursor().shape(), Qt::PointingHandCursor);

        send(&canvas, QEvent::MouseMove, {100, 50}, Qt::NoButton);
        send(&canvas, QEvent::MouseButtonPress, {100, 50}, Qt::LeftButton);
        send(&canvas, QEvent::MouseMove, {500, -20}, Qt::LeftButton);
        send(&canvas, QEvent::MouseButtonRelease, {500, -20}, Qt::NoButton);
        QCOMPARE(brush->events.mid(1), (QStringList{"hover", "press", "move", "release"}));
        QCOMPARE(brush->pointers.at(1).picture, QPointF(0.25, 0.25));
        QCOMPARE(brush->pointers.at(1).button, Qt::LeftButton);
        QCOMPARE(brush->pointers.at(2).picture, QPointF(1, 0));
        QCOMPARE(brush->pointers.at(2).unclamped, QPointF(1.25, -0.1));
        QCOMPARE(brush->pointers.at(2).widget, QPointF(500, -20));

        // A key the tool takes goes no further; one it leaves asks for a deletion as before.
        QSignalSpy deletions(&canvas, &AnnotationCanvas::deleteRequested);
        QTest::keyClick(&canvas, Qt::Key_Delete);
        QTest::keyClick(&canvas, Qt::Key_Backspace);
        QCOMPARE(deletions.size(), 1);

        brush->events.clear();
        send(&canvas, QEvent::MouseButtonPress, {10, 10}, Qt::LeftButton);
        toolbox.setActiveTool(QStringLiteral("other"));
        QCOMPARE(brush->events, (QStringList{"press", "deactivated"}));
        QCOMPARE(other->events, QStringList{QStringLiteral("activated")});
        // The release of the abandoned gesture goes to nobody.
        send(&canvas, QEvent::MouseButtonRelease, {10, 10}, Qt::NoButton);
        QCOMPARE(other->events, QStringList{QStringLiteral("activated")});
        QCOMPARE(brush->events.size(), 2);
    }

    // Every kind that can be reshaped: a drag from one of the selected annotation's handles takes
    // that handle along, leaves the opposite one where it was, and is told as one reshape.
    void everyKindIsReshapedByItsHandles()
    {
        int reshaped = 0;
        for (const AnnotationShape *shape : AnnotationShapes::all()) {
            const Annotation annotation = drawn(*shape);
            const QList<QPointF> before = shape->handles(annotation);
            if (before.isEmpty())
                continue;
            ++reshaped;
            // Beneath it, a line through the handle: the handle wins over it.
            const Annotation under =
                make(QStringLiteral("line"), {0.0, before.first().y()}, {1.0, before.first().y()});
            Canvas canvas({under, annotation});
            canvas.use(QStringLiteral("annotation.select"));
            canvas.widget.setSelectedId(annotation.id);
            const QPointF handle = canvas.widget.toWidget(before.first());
            QSignalSpy reshapes(&canvas.widget, &AnnotationCanvas::annotationReshaped);
            // Taken 2 points off its centre, dragged by (40, 20) points: (0.1, 0.1) on the picture.
            drag(&canvas.widget,
                 {handle + QPointF(2, -2), handle + QPointF(22, 8), handle + QPointF(42, 18)});

            const Annotation after = canvas.widget.annotations().at(1);
            const QList<QPointF> handles = shape->handles(after);
            QVERIFY2(near(handles.first(), before.first() + QPointF(0.1, 0.1)), qPrintable(shape->kind()));
            const qsizetype opposite = before.size() == 4 ? 2 : 1;
            QVERIFY2(near(handles.at(opposite), before.at(opposite)), qPrintable(shape->kind()));
            QCOMPARE(canvas.widget.annotations().at(0), under);
            QCOMPARE(canvas.widget.selectedId(), annotation.id);
            QCOMPARE(canvas.selections.size(), 0);
            QCOMPARE(canvas.moves.size(), 0);
            QCOMPARE(reshapes.size(), 2);
            QCOMPARE(reshapes.at(0).at(1).toBool(), false);
            QCOMPARE(reshapes.at(1).at(1).toBool(), true);
            QCOMPARE(reshapes.at(1).at(0).value<Annotation>(), after);
        }
        QVERIFY(reshaped >= 6);
    }

    void handlesBelongToTheSelectedAnnotationOnly()
    {
        const Annotation line = make(QStringLiteral("line"), {0.25, 0.5}, {0.75, 0.5});
        Canvas canvas({line});
        canvas.use(QStringLiteral("annotation.select"));
        QSignalSpy reshapes(&canvas.widget, &AnnotationCanvas::annotationReshaped);
        // Not selected: the end is where the line is picked, and the drag moves it whole.
        drag(&canvas.widget, {{100, 100}, {110, 100}, {120, 110}});
        QCOMPARE(reshapes.size(), 0);
        QCOMPARE(canvas.widget.annotations().first().start, QPointF(0.3, 0.55));
        QCOMPARE(canvas.widget.annotations().first().end, QPointF(0.8, 0.55));

        // Selected now: a click on its end changes nothing; the handle is found only within reach.
        const QPointF end = canvas.widget.toWidget(canvas.widget.annotations().first().end);
        drag(&canvas.widget, {end, end + QPointF(1, 1)});
        QCOMPARE(reshapes.size() + canvas.moves.size(), 2);
        QCOMPARE(AnnotationSelectionTool::handleAt(&canvas.widget, end + QPointF(6, -6)).value_or(-1),
                 qsizetype(1));
        QVERIFY(!AnnotationSelectionTool::handleAt(&canvas.widget, end + QPointF(7, 0)));

        // A handle pulled past the picture's edge stops at it.
        drag(&canvas.widget, {end, end + QPointF(50, 0), end + QPointF(500, 300)});
        QCOMPARE(reshapes.size(), 2);
        QCOMPARE(canvas.widget.annotations().first().end, QPointF(1.0, 1.0));
        QCOMPARE(canvas.widget.annotations().first().start, QPointF(0.3, 0.55));
    }

    void aStrokeIsScaledFromTheOppositeCorner()
    {
        const AnnotationShape &pen = *AnnotationShapes::find(QStringLiteral("pen"));
        Annotation stroke = pen.begin({0.2, 0.2});
        pen.extend(stroke, {0.6, 0.4});
        pen.extend(stroke, {0.4, 0.6});
        QCOMPARE(pen.handles(stroke), (QList<QPointF>{{0.2, 0.2}, {0.6, 0.2}, {0.6, 0.6}, {0.2, 0.6}}));
        // The bottom-right corner taken to (0.4, 1.0): half as wide, twice as tall.
        pen.moveHandle(stroke, 2, {0.4, 1.0});
        QCOMPARE(stroke.points, (QList<QPointF>{{0.2, 0.2}, {0.4, 0.6}, {0.3, 1.0}}));
        // A dot has nothing to take.
        QVERIFY(pen.handles(pen.begin({0.5, 0.5})).isEmpty());
        // A straight stroke keeps its place along the side it has not.
        Annotation flat = pen.begin({0.2, 0.5});
        pen.extend(flat, {0.6, 0.5});
        pen.moveHandle(flat, 1, {0.8, 0.7});
        QCOMPARE(flat.points, (QList<QPointF>{{0.2, 0.5}, {0.8, 0.5}}));
    }

    // The arrows move the selected annotation by a pixel of the picture, ten with Shift, before the
    // window's own use of them (stepping through the video); a held key's repeats go on from its press.
    void arrowKeysNudgeTheSelection()
    {
        const Annotation line = make(QStringLiteral("line"), {0.25, 0.5}, {0.75, 0.5});
        Canvas canvas({line});
        canvas.widget.setPictureSize({1000, 500});
        canvas.use(QStringLiteral("annotation.select"));
        const auto claimed = [&canvas](Qt::Key key, Qt::KeyboardModifiers modifiers) {
            QKeyEvent event(QEvent::ShortcutOverride, key, modifiers);
            QCoreApplication::sendEvent(&canvas.widget, &event);
            return event.isAccepted();
        };
        QVERIFY(!claimed(Qt::Key_Right, Qt::NoModifier)); // nothing selected
        canvas.widget.setSelectedId(line.id);
        QVERIFY(claimed(Qt::Key_Right, Qt::NoModifier));
        QVERIFY(claimed(Qt::Key_Up, Qt::ShiftModifier));
        QVERIFY(!claimed(Qt::Key_Right, Qt::ControlModifier));
        QVERIFY(!claimed(Qt::Key_A, Qt::NoModifier));

        QTest::keyClick(&canvas.widget, Qt::Key_Right);
        QTest::keyClick(&canvas.widget, Qt::Key_Down, Qt::ShiftModifier);
        QKeyEvent repeat(QEvent::KeyPress, Qt::Key_Down, Qt::ShiftModifier, QString(), true);
        QCoreApplication::sendEvent(&canvas.widget, &repeat);
        const Annotation moved = canvas.widget.annotations().first();
        QCOMPARE(moved.start, QPointF(0.251, 0.54));
        QCOMPARE(moved.end, QPointF(0.751, 0.54));
        QCOMPARE(canvas.moves.size(), 3);
        QCOMPARE(canvas.moves.at(0).at(1).toBool(), false);
        QCOMPARE(canvas.moves.at(1).at(1).toBool(), false);
        QCOMPARE(canvas.moves.at(2).at(1).toBool(), true);

        // Another tool in hand: the arrows are the window's again.
        canvas.use(QStringLiteral("annotation.line"));
        QVERIFY(!claimed(Qt::Key_Right, Qt::NoModifier));
    }

    // The canvas takes the keys of its own actions before the window's shortcuts, while they can act.
    void canvasActionsTakeTheirKeysFirst()
    {
        Canvas canvas;
        QAction duplicate(QStringLiteral("Dupliquer"));
        duplicate.setShortcut(QKeySequence(Qt::CTRL | Qt::Key_D));
        duplicate.setShortcutContext(Qt::WidgetShortcut);
        QSignalSpy triggered(&duplicate, &QAction::triggered);
        canvas.widget.addAction(&duplicate);
        QKeyEvent override(QEvent::ShortcutOverride, Qt::Key_D, Qt::ControlModifier);
        QCoreApplication::sendEvent(&canvas.widget, &override);
        QVERIFY(override.isAccepted());
        QTest::keyClick(&canvas.widget, Qt::Key_D, Qt::ControlModifier);
        QCOMPARE(triggered.size(), 1);

        duplicate.setEnabled(false);
        QKeyEvent disabled(QEvent::ShortcutOverride, Qt::Key_D, Qt::ControlModifier);
        QCoreApplication::sendEvent(&canvas.widget, &disabled);
        QVERIFY(!disabled.isAccepted());
        QTest::keyClick(&canvas.widget, Qt::Key_D, Qt::ControlModifier);
        QCOMPARE(triggered.size(), 1);
    }

    // A right click selects the annotation under the pointer and asks for the menu.
    void rightClickSelectsAndAsksForTheMenu()
    {
        const Annotation line = make(QStringLiteral("line"), {0.1, 0.5}, {0.9, 0.5});
        Canvas canvas({line});
        QSignalSpy menus(&canvas.widget, &AnnotationCanvas::contextMenuRequested);
        QContextMenuEvent onLine(QContextMenuEvent::Mouse, QPoint(200, 101), QPoint(700, 401));
        QCoreApplication::sendEvent(&canvas.widget, &onLine);
        QCOMPARE(canvas.widget.selectedId(), line.id);
        QCOMPARE(menus.size(), 1);
        QCOMPARE(menus.first().first().toPoint(), QPoint(700, 401));
        // Away from it the selection stays: the menu can still act on it.
        QContextMenuEvent away(QContextMenuEvent::Mouse, QPoint(200, 10), QPoint(700, 310));
        QCoreApplication::sendEvent(&canvas.widget, &away);
        QCOMPARE(canvas.widget.selectedId(), line.id);
        QCOMPARE(menus.size(), 2);
    }

    void hitTest_data()
    {
        QTest::addColumn<QList<Annotation>>("annotations");
        QTest::addColumn<QPointF>("press");
        QTest::addColumn<int>("expected");
        const Annotation upper = make(QStringLiteral("line"), {0.1, 0.46875}, {0.9, 0.46875});
        const Annotation lower = make(QStringLiteral("arrow"), {0.1, 0.53125}, {0.9, 0.53125});
        QTest::newRow("equal distances: the earlier wins")
            << QList<Annotation>{upper, lower} << QPointF(0.5, 0.5) << 0;
        QTest::newRow("equal distances, reversed")
            << QList<Annotation>{lower, upper} << QPointF(0.5, 0.5) << 0;
        QTest::newRow("a nearer later one wins")
            << QList<Annotation>{upper, lower} << QPointF(0.5, 0.5078125) << 1;
        // The segment's nearest point is (0.5, 0) exactly, so these distances are exactly 0.04 and the
        // largest double below it: the tolerance is strict.
        QTest::newRow("exactly 0.04 away misses")
            << QList<Annotation>{make(QStringLiteral("line"), {0.1, 0.0}, {0.9, 0.0})} << QPointF(0.5, 0.04)
            << -1;
        QTest::newRow("just under 0.04 away hits")
            << QList<Annotation>{make(QStringLiteral("line"), {0.1, 0.0}, {0.9, 0.0})}
            << QPointF(0.5, std::nextafter(0.04, 0.0)) << 0;
        QTest::newRow("beyond the segment's end")
            << QList<Annotation>{make(QStringLiteral("line"), {0.1, 0.5}, {0.5, 0.5})} << QPointF(0.53, 0.5)
            << 0;
        QTest::newRow("point-like segment")
            << QList<Annotation>{make(QStringLiteral("line"), {0.5, 0.5}, {0.5, 0.5})} << QPointF(0.52, 0.52)
            << 0;
        // Mean radius (0.4 + 0.2) / 2 = 0.3 around (0.5, 0.5).
        QTest::newRow("circle outline")
            << QList<Annotation>{make(QStringLiteral("circle"), {0.1, 0.3}, {0.9, 0.7})} << QPointF(0.5, 0.81)
            << 0;
        QTest::newRow("inside a large circle")
            << QList<Annotation>{make(QStringLiteral("circle"), {0.1, 0.3}, {0.9, 0.7})} << QPointF(0.5, 0.5)
            << -1;
        QTest::newRow("nothing") << QList<Annotation>{} << QPointF(0.5, 0.5) << -1;
    }

    void hitTest()
    {
        QFETCH(QList<Annotation>, annotations);
        QFETCH(QPointF, press);
        QFETCH(int, expected);
        const std::optional<qsizetype> hit = AnnotationHitTest::hitTest(annotations, press);
        QCOMPARE(hit ? int(*hit) : -1, expected);
    }

    void normalizeClampsAndHandlesEmptyCanvas()
    {
        QCOMPARE(AnnotationHitTest::normalize({100, 50}, {400, 200}), QPointF(0.25, 0.25));
        QCOMPARE(AnnotationHitTest::normalize({-10, 300}, {400, 200}), QPointF(0, 1));
        QCOMPARE(AnnotationHitTest::normalize({100, 50}, {0, 200}), QPointF(0, 0));
        QCOMPARE(AnnotationHitTest::normalize({100, 50}, {400, 0}), QPointF(0, 0));
        QCOMPARE(AnnotationHitTest::denormalize({1.5, -0.5}, {400, 200}), QPointF(600, -100));
    }
};

QUINTAREL_TEST(AnnotationCanvasTest)
#include "AnnotationCanvasTest.moc"
