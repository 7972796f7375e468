#include "DocumentDump.h"
#include "TestRegistry.h"

#include "models/AnnotationShape.h"
#include "models/AnnotationShapes.h"
#include "models/TextShape.h"
#include "services/AnnotationRenderer.h"
#include "state/CaptureDocument.h"

#include <QSignalSpy>
#include <QTest>
#include <QUndoStack>

#include <algorithm>
#include <functional>

namespace {

using Edit = std::function<void(CaptureDocument &)>;

Annotation annotation(const QString &kind, QPointF start, QPointF end)
{
    Annotation a;
    a.kind = kind;
    a.start = start;
    a.end = end;
    a.r = 0.25;
    a.g = 0.5;
    a.b = 0.75;
    a.a = 0.9;
    a.lineWidth = 0.006;
    return a;
}

// A freehand stroke through `points`, as its tool draws it.
Annotation stroke(const QString &kind, const QList<QPointF> &points)
{
    const AnnotationShape *shape = AnnotationShapes::find(kind);
    Annotation a = shape->begin(points.first());
    for (const QPointF &point : points.mid(1))
        shape->extend(a, point);
    a.r = 0.25;
    a.lineWidth = 0.01;
    return a;
}

// The frame's annotation at `index`, changed by `change`, as an edit of `edit` puts it.
void changeAnnotation(CaptureDocument &document, const QUuid &frameId, qsizetype index,
                      CaptureDocument::AnnotationEdit edit, const std::function<void(Annotation &)> &change)
{
    Annotation changed = document.frame(frameId)->annotations.at(index);
    change(changed);
    document.editAnnotation(frameId, changed, edit);
}

// Moves the frame's annotation to have these two points, as a drag of the selection tool does.
void moveAnnotation(CaptureDocument &document, const QUuid &frameId, const QUuid &annotationId,
                    const QPointF &start, const QPointF &end, bool continuing)
{
    const std::optional<CapturedFrame> frame = document.frame(frameId);
    if (!frame)
        return;
    for (Annotation moved : frame->annotations) {
        if (moved.id != annotationId)
            continue;
        moved.start = start;
        moved.end = end;
        document.editAnnotation(frameId, moved, CaptureDocument::AnnotationEdit::Move, continuing);
        return;
    }
}

// A document with something in every field: two groups with names and notes, frames with notes and
// drawings, the second group active, settings away from their defaults, a video and a project file.
void fill(CaptureDocument &document)
{
    DocumentContent content;
    CaptureGroup wide(QStringLiteral("Plans larges"));
    wide.notes = QStringLiteral("Intro");
    for (int value : {10, 20, 30}) {
        CapturedFrame frame(MediaTime(value * 1001, 30000));
        frame.notes = QStringLiteral("note %1").arg(value);
        wide.frames << frame;
    }
    wide.frames[1].annotations << annotation(QStringLiteral("arrow"), {0.1, 0.2}, {0.3, 0.4})
                               << annotation(QStringLiteral("circle"), {0.5, 0.5}, {0.7, 0.8})
                               << annotation(QStringLiteral("line"), {0.9, 0.1}, {0.2, 0.9});
    wide.frames[2].annotations << stroke(QStringLiteral("pen"), {{0.1, 0.1}, {0.2, 0.3}, {0.4, 0.2}})
                               << annotation(QStringLiteral("rectangle"), {0.6, 0.6}, {0.9, 0.7})
                               << stroke(QStringLiteral("highlighter"), {{0.0, 0.5}, {1.0, 0.5}});
    wide.frames[2].annotations[1].filled = true;
    Annotation text = annotation(QStringLiteral("text"), {0.2, 0.2}, {0.2, 0.2});
    text.text = QStringLiteral("Départ\narrivée");
    TextShape::fit(text, 16.0 / 9.0);
    wide.frames[2].annotations << text << annotation(QStringLiteral("marker"), {0.3, 0.3}, {0.3, 0.3})
                               << annotation(QStringLiteral("pixelate"), {0.5, 0.1}, {0.8, 0.3})
                               << annotation(QStringLiteral("marker"), {0.6, 0.6}, {0.6, 0.6});
    CaptureGroup close(QStringLiteral("Plans serrés"));
    close.frames << CapturedFrame(MediaTime(75, 1)) << CapturedFrame(MediaTime(3725, 1));
    content.groups = {wide, close};
    content.activeGroupID = close.id;
    DocumentSettings &settings = content.settings;
    settings.set<OutputFolderSetting>(QUrl::fromLocalFile(QStringLiteral("/tmp/sorties")));
    settings.set<CropToSubjectSetting>(true);
    settings.set<SelectedFilterSetting>(FilterStyle::Comic);
    EdgeOptions edge;
    edge.shrink = 1.5;
    edge.outline = true;
    edge.outlineColor = QColor::fromRgbF(1, 0, 0, 0.5);
    settings.set<EdgeOptionsSetting>(edge);
    content.videoURL = QUrl::fromLocalFile(QStringLiteral("/films/match.mp4"));
    content.projectURL = QUrl::fromLocalFile(QStringLiteral("/projets/match.quintarel"));
    document.reset(content);
}

// An operation aimed at a group or frame the document no longer has is a fault of the test itself:
// stop at once rather than read past the end of a list.
const CaptureGroup &group(const CaptureDocument &document, int index)
{
    if (index < 0 || index >= document.groups().size())
        qFatal("the document has no group %d", index);
    return document.groups().at(index);
}

QUuid frameId(const CaptureDocument &document, int groupIndex, int frameIndex)
{
    const QList<CapturedFrame> &frames = group(document, groupIndex).frames;
    if (frameIndex < 0 || frameIndex >= frames.size())
        qFatal("group %d has no frame %d", groupIndex, frameIndex);
    return frames.at(frameIndex).id;
}

// Each user operation, on the document made by `fill`, with the name its undo item gives it.
struct Operation
{
    QString undoText;
    Edit edit;
};

QMap<QString, Operation> operations()
{
    const auto annotated = [](const CaptureDocument &d) { return frameId(d, 0, 1); };
    const auto middleAnnotation = [](const CaptureDocument &d) {
        return group(d, 0).frames.at(1).annotations.at(1).id;
    };
    return {
        {"capture", {"Annuler la capture", [](CaptureDocument &d) { d.captureFrame(MediaTime(1, 30)); }}},
        {"delete a frame",
         {"Annuler la suppression de l'image", [](CaptureDocument &d) { d.deleteFrame(frameId(d, 0, 1)); }}},
        {"delete frames of two groups",
         {"Annuler la suppression des images",
          [](CaptureDocument &d) {
              d.deleteFrames({frameId(d, 0, 0), frameId(d, 0, 2), frameId(d, 1, 1)});
          }}},
        {"reorder",
         {"Annuler la réorganisation des images",
          [](CaptureDocument &d) {
              d.moveFrames(group(d, 0).id, {0, 2}, 2);
          }}},
        {"move to another group",
         {"Annuler le déplacement de l'image",
          [](CaptureDocument &d) { d.moveFrame(frameId(d, 0, 1), group(d, 1).id); }}},
        {"move to the end of its group",
         {"Annuler le déplacement de l'image",
          [](CaptureDocument &d) { d.moveFrame(frameId(d, 0, 0), group(d, 0).id); }}},
        {"add a group", {"Annuler l'ajout du groupe", [](CaptureDocument &d) { d.addGroup(); }}},
        {"rename a group",
         {"Annuler le renommage du groupe",
          [](CaptureDocument &d) { d.setGroupName(group(d, 0).id, QStringLiteral("Ouverture")); }}},
        {"describe a group",
         {"Annuler la description du groupe",
          [](CaptureDocument &d) { d.setGroupNotes(group(d, 1).id, QStringLiteral("Fin")); }}},
        {"delete the active group",
         {"Annuler la suppression du groupe", [](CaptureDocument &d) { d.deleteGroup(group(d, 1).id); }}},
        {"delete another group",
         {"Annuler la suppression du groupe", [](CaptureDocument &d) { d.deleteGroup(group(d, 0).id); }}},
        {"frame note",
         {"Annuler la note de l'image",
          [](CaptureDocument &d) { d.setNote(QStringLiteral("regard caméra"), frameId(d, 1, 0)); }}},
        {"draw",
         {"Annuler l'ajout de l'annotation",
          [](CaptureDocument &d) {
              d.addAnnotation(frameId(d, 1, 1), annotation(QStringLiteral("arrow"), {0, 0}, {1, 1}));
          }}},
        {"move a drawing",
         {"Annuler le déplacement de l'annotation",
          [=](CaptureDocument &d) {
              moveAnnotation(d, annotated(d), middleAnnotation(d), {1.2, -0.1}, {0.4, 0.3}, false);
          }}},
        {"delete a drawing",
         {"Annuler la suppression de l'annotation",
          [=](CaptureDocument &d) { d.deleteAnnotation(annotated(d), middleAnnotation(d)); }}},
        {"duplicate a drawing",
         {"Annuler la duplication de l'annotation",
          [=](CaptureDocument &d) { d.duplicateAnnotation(annotated(d), middleAnnotation(d)); }}},
        {"paste a drawing on another frame",
         {"Annuler le collage de l'annotation",
          [](CaptureDocument &d) {
              d.pasteAnnotation(frameId(d, 1, 0), group(d, 0).frames.at(1).annotations.at(0));
          }}},
        {"bring a drawing to the front",
         {"Annuler la mise au premier plan de l'annotation",
          [=](CaptureDocument &d) {
              d.reorderAnnotation(annotated(d), middleAnnotation(d), CaptureDocument::AnnotationOrder::Front);
          }}},
        {"send a drawing to the back",
         {"Annuler la mise à l'arrière-plan de l'annotation",
          [=](CaptureDocument &d) {
              d.reorderAnnotation(annotated(d), middleAnnotation(d), CaptureDocument::AnnotationOrder::Back);
          }}},
        {"recolour a drawing",
         {"Annuler la couleur de l'annotation",
          [=](CaptureDocument &d) {
              d.setAnnotationColor(annotated(d), middleAnnotation(d), QColor::fromRgbF(0, 1, 0, 0.5));
          }}},
        {"widen a drawing",
         {"Annuler l'épaisseur de l'annotation",
          [=](CaptureDocument &d) {
              d.setAnnotationLineWidth(annotated(d), middleAnnotation(d), 0.02, false);
          }}},
        {"draw a rectangle",
         {"Annuler l'ajout de l'annotation",
          [](CaptureDocument &d) {
              d.addAnnotation(frameId(d, 1, 0),
                              annotation(QStringLiteral("rectangle"), {0.1, 0.1}, {0.5, 0.4}));
          }}},
        {"draw with a pen",
         {"Annuler l'ajout de l'annotation",
          [](CaptureDocument &d) {
              d.addAnnotation(frameId(d, 1, 0), stroke(QStringLiteral("pen"), {{0.1, 0.1}, {0.15, 0.2}}));
          }}},
        {"move a pen stroke",
         {"Annuler le déplacement de l'annotation",
          [](CaptureDocument &d) {
              changeAnnotation(d, frameId(d, 0, 2), 0, CaptureDocument::AnnotationEdit::Move,
                               [](Annotation &a) {
                                   a.shape().translate(a, {0.25, -0.5});
                               });
          }}},
        {"move a highlighter stroke",
         {"Annuler le déplacement de l'annotation",
          [](CaptureDocument &d) {
              changeAnnotation(d, frameId(d, 0, 2), 2, CaptureDocument::AnnotationEdit::Move,
                               [](Annotation &a) {
                                   a.shape().translate(a, {0.0, 0.125});
                               });
          }}},
        {"reshape a rectangle",
         {"Annuler la forme de l'annotation",
          [](CaptureDocument &d) {
              changeAnnotation(d, frameId(d, 0, 2), 1, CaptureDocument::AnnotationEdit::Reshape,
                               [](Annotation &a) {
                                   a.shape().moveHandle(a, 1, {1.0, 0.0});
                               });
          }}},
        {"recolour a rectangle",
         {"Annuler la couleur de l'annotation",
          [](CaptureDocument &d) {
              d.setAnnotationColor(frameId(d, 0, 2), group(d, 0).frames.at(2).annotations.at(1).id,
                                   QColor::fromRgbF(0, 0, 1, 0.25));
          }}},
        {"widen a highlighter",
         {"Annuler l'épaisseur de l'annotation",
          [](CaptureDocument &d) {
              d.setAnnotationLineWidth(frameId(d, 0, 2), group(d, 0).frames.at(2).annotations.at(2).id, 0.03,
                                       false);
          }}},
        {"write a text",
         {"Annuler l'ajout de l'annotation",
          [](CaptureDocument &d) {
              Annotation text = annotation(QStringLiteral("text"), {0.4, 0.4}, {0.4, 0.4});
              text.text = QStringLiteral("Plan 2");
              TextShape::fit(text, 16.0 / 9.0);
              d.addAnnotation(frameId(d, 1, 0), text);
          }}},
        {"edit a text's words",
         {"Annuler le texte de l'annotation",
          [](CaptureDocument &d) {
              changeAnnotation(d, frameId(d, 0, 2), 3, CaptureDocument::AnnotationEdit::Text,
                               [](Annotation &a) { a.text = QStringLiteral("Autre\nchose"); });
          }}},
        {"reshape a text",
         {"Annuler la forme de l'annotation",
          [](CaptureDocument &d) {
              changeAnnotation(d, frameId(d, 0, 2), 3, CaptureDocument::AnnotationEdit::Reshape,
                               [](Annotation &a) { a.shape().moveHandle(a, 2, a.end + QPointF(0.1, 0.1)); });
          }}},
        {"move a text",
         {"Annuler le déplacement de l'annotation",
          [](CaptureDocument &d) {
              changeAnnotation(d, frameId(d, 0, 2), 3, CaptureDocument::AnnotationEdit::Move,
                               [](Annotation &a) {
                                   a.shape().translate(a, {0.1, 0.0});
                               });
          }}},
        {"enlarge a text",
         {"Annuler l'épaisseur de l'annotation",
          [](CaptureDocument &d) {
              d.setAnnotationLineWidth(frameId(d, 0, 2), group(d, 0).frames.at(2).annotations.at(3).id, 0.012,
                                       false);
          }}},
        {"recolour a text",
         {"Annuler la couleur de l'annotation",
          [](CaptureDocument &d) {
              d.setAnnotationColor(frameId(d, 0, 2), group(d, 0).frames.at(2).annotations.at(3).id,
                                   QColor::fromRgbF(0, 1, 0, 1));
          }}},
        {"place a marker",
         {"Annuler l'ajout de l'annotation",
          [](CaptureDocument &d) {
              const AnnotationShape &marker = *AnnotationShapes::find(QStringLiteral("marker"));
              d.addAnnotation(frameId(d, 1, 0), marker.begin({0.5, 0.5}));
          }}},
        {"move a marker",
         {"Annuler le déplacement de l'annotation",
          [](CaptureDocument &d) {
              changeAnnotation(d, frameId(d, 0, 2), 4, CaptureDocument::AnnotationEdit::Move,
                               [](Annotation &a) {
                                   a.shape().translate(a, {-0.1, 0.2});
                               });
          }}},
        {"recolour a marker",
         {"Annuler la couleur de l'annotation",
          [](CaptureDocument &d) {
              d.setAnnotationColor(frameId(d, 0, 2), group(d, 0).frames.at(2).annotations.at(4).id,
                                   QColor::fromRgbF(1, 1, 0, 1));
          }}},
        {"delete a marker",
         {"Annuler la suppression de l'annotation",
          [](CaptureDocument &d) {
              d.deleteAnnotation(frameId(d, 0, 2), group(d, 0).frames.at(2).annotations.at(4).id);
          }}},
        {"reshape a pixelated box",
         {"Annuler la forme de l'annotation",
          [](CaptureDocument &d) {
              changeAnnotation(d, frameId(d, 0, 2), 5, CaptureDocument::AnnotationEdit::Reshape,
                               [](Annotation &a) {
                                   a.shape().moveHandle(a, 0, {0.05, 0.05});
                               });
          }}},
        {"move a pixelated box",
         {"Annuler le déplacement de l'annotation",
          [](CaptureDocument &d) {
              changeAnnotation(d, frameId(d, 0, 2), 5, CaptureDocument::AnnotationEdit::Move,
                               [](Annotation &a) {
                                   a.shape().translate(a, {0.1, 0.5});
                               });
          }}},
        {"delete a pen stroke",
         {"Annuler la suppression de l'annotation",
          [](CaptureDocument &d) {
              d.deleteAnnotation(frameId(d, 0, 2), group(d, 0).frames.at(2).annotations.at(0).id);
          }}},
        {"drop a subject",
         {"Annuler le retrait du sujet",
          [](CaptureDocument &d) {
              d.addCorrection(frameId(d, 0, 0), CutoutCorrection::dropSubject({0.5, 0.5}));
          }}},
        {"add a subject in a box",
         {"Annuler l'ajout du sujet",
          [](CaptureDocument &d) {
              d.addCorrection(frameId(d, 0, 1), CutoutCorrection::addSubjectInBox({0.1, 0.1}, {0.4, 0.9}));
          }}},
        {"erase",
         {"Annuler l'effacement",
          [](CaptureDocument &d) {
              d.addCorrection(frameId(d, 1, 0), CutoutCorrection::erase({{0.1, 0.1}, {0.2, 0.3}}, 0.01));
          }}},
        {"restore",
         {"Annuler la restauration",
          [](CaptureDocument &d) {
              d.addCorrection(frameId(d, 1, 1), CutoutCorrection::restore({{0.5, 0.5}}, 0.02));
          }}},
        {"edge settings",
         {"Annuler le réglage des contours",
          [](CaptureDocument &d) {
              EdgeOptions options = d.edgeOptions();
              options.feather = 4.25;
              options.outlineColor = QColor(10, 20, 30, 40);
              d.setEdgeOptions(options);
          }}},
        {"style",
         {"Annuler le choix du style", [](CaptureDocument &d) { d.setSelectedFilter(FilterStyle::Sketch); }}},
        {"crop",
         {"Annuler le recadrage sur le sujet", [](CaptureDocument &d) { d.setCropToSubject(false); }}},
        {"output folder",
         {"Annuler le choix du dossier de sortie",
          [](CaptureDocument &d) { d.setOutputFolder(QUrl::fromLocalFile(QStringLiteral("/tmp/autre"))); }}},
    };
}

} // namespace

class UndoCommandsTest : public QObject
{
    Q_OBJECT

private slots:
    void everyEditUndoesAndRedoesExactly_data()
    {
        QTest::addColumn<QString>("operation");
        for (const QString &name : operations().keys())
            QTest::newRow(qPrintable(name)) << name;
    }

    void everyEditUndoesAndRedoesExactly()
    {
        QFETCH(QString, operation);
        const Operation op = operations().value(operation);
        CaptureDocument document;
        fill(document);
        QUndoStack *stack = document.undoStack();
        const QStringList before = DocumentDump::lines(document);

        op.edit(document);
        const QStringList after = DocumentDump::lines(document);
        QVERIFY(after != before);
        QCOMPARE(stack->count(), 1);
        QCOMPARE(stack->createUndoAction(this, QStringLiteral("Annuler"))->text(), op.undoText);
        QVERIFY(document.isModified());

        stack->undo();
        QCOMPARE(DocumentDump::lines(document), before);
        QVERIFY(!document.isModified());
        QCOMPARE(stack->createRedoAction(this, QStringLiteral("Rétablir"))->text(),
                 QStringLiteral("Rétablir") + op.undoText.mid(QStringLiteral("Annuler").size()));
        stack->redo();
        QCOMPARE(DocumentDump::lines(document), after);
        stack->undo();
        QCOMPARE(DocumentDump::lines(document), before);
    }

    // A duplicate lies beside its original, a paste where its original was unless something of the
    // same shape lies there already; both are new annotations on top, in the original's style.
    void copiesAreNewAnnotationsBesideWhatTheyCover()
    {
        CaptureDocument document;
        fill(document);
        const QUuid source = frameId(document, 0, 1);
        const Annotation arrow = group(document, 0).frames.at(1).annotations.at(0);
        const QUuid first = document.duplicateAnnotation(source, arrow.id);
        const QUuid second = document.duplicateAnnotation(source, arrow.id);
        QList<Annotation> annotations = document.frame(source)->annotations;
        QCOMPARE(annotations.size(), 5);
        QCOMPARE(annotations.at(0), arrow);
        QCOMPARE(annotations.at(3).id, first);
        QCOMPARE(annotations.at(4).id, second);
        QVERIFY(first != arrow.id && second != first);
        QCOMPARE(annotations.at(3).start, arrow.start + QPointF(0.02, 0.02));
        QCOMPARE(annotations.at(3).end, arrow.end + QPointF(0.02, 0.02));
        QCOMPARE(annotations.at(4).start, arrow.start + QPointF(0.04, 0.04));
        QCOMPARE(annotations.at(4).r, arrow.r);
        QCOMPARE(annotations.at(4).a, arrow.a);

        // On another frame the paste lands where the original was; a second paste beside it.
        const QUuid target = frameId(document, 1, 0);
        const Annotation stroke = group(document, 0).frames.at(2).annotations.at(0);
        const QUuid pasted = document.pasteAnnotation(target, stroke);
        document.pasteAnnotation(target, stroke);
        annotations = document.frame(target)->annotations;
        QCOMPARE(annotations.size(), 2);
        QCOMPARE(annotations.at(0).id, pasted);
        QCOMPARE(annotations.at(0).points, stroke.points);
        QCOMPARE(annotations.at(1).points.at(0), stroke.points.at(0) + QPointF(0.02, 0.02));
        QCOMPARE(document.frame(source)->annotations.size(), 5);

        // Nothing to copy, nowhere to put it: no step.
        const int steps = document.undoStack()->count();
        QVERIFY(document.duplicateAnnotation(source, QUuid::createUuid()).isNull());
        QVERIFY(document.pasteAnnotation(QUuid::createUuid(), stroke).isNull());
        Annotation unread;
        unread.kind = QStringLiteral("sticker");
        unread.unread = QJsonObject{{QStringLiteral("kind"), unread.kind}};
        QVERIFY(document.pasteAnnotation(target, unread).isNull());
        QCOMPARE(document.undoStack()->count(), steps);
    }

    void reorderingIsAStepOnlyWhenItMovesSomething()
    {
        CaptureDocument document;
        fill(document);
        const QUuid frame = frameId(document, 0, 1);
        const QList<Annotation> before = document.frame(frame)->annotations;
        const auto ids = [&document, frame] {
            QList<QUuid> order;
            const std::optional<CapturedFrame> shown = document.frame(frame);
            for (const Annotation &annotation : shown->annotations)
                order << annotation.id;
            return order;
        };
        document.reorderAnnotation(frame, before.at(2).id, CaptureDocument::AnnotationOrder::Front);
        document.reorderAnnotation(frame, before.at(0).id, CaptureDocument::AnnotationOrder::Back);
        document.reorderAnnotation(frame, QUuid::createUuid(), CaptureDocument::AnnotationOrder::Back);
        QCOMPARE(document.undoStack()->count(), 0);

        document.reorderAnnotation(frame, before.at(0).id, CaptureDocument::AnnotationOrder::Front);
        QCOMPARE(ids(), (QList<QUuid>{before.at(1).id, before.at(2).id, before.at(0).id}));
        document.reorderAnnotation(frame, before.at(2).id, CaptureDocument::AnnotationOrder::Back);
        QCOMPARE(ids(), (QList<QUuid>{before.at(2).id, before.at(1).id, before.at(0).id}));
        document.undoStack()->undo();
        document.undoStack()->undo();
        QCOMPARE(document.frame(frame)->annotations, before);
    }

    // Several steps taken back one by one, then all redone, give each intermediate state back.
    // A marker shows its place among the frame's markers: deleting one or sending one to the back
    // renumbers the others, and undoing gives the numbers back.
    void markersAreRenumberedByDeletesAndReorders()
    {
        CaptureDocument document;
        fill(document);
        const QUuid frame = frameId(document, 1, 0);
        const AnnotationShape &shape = *AnnotationShapes::find(QStringLiteral("marker"));
        const QList<QPointF> places{{0.2, 0.5}, {0.5, 0.5}, {0.8, 0.5}};
        QList<QUuid> markers;
        for (const QPointF &place : places) {
            Annotation marker = shape.begin(place);
            marker.lineWidth = 0.03;
            document.addAnnotation(frame, marker);
            markers << marker.id;
        }
        QImage white(200, 100, QImage::Format_RGBA8888_Premultiplied);
        white.fill(Qt::white);
        // The disc around a place, on the frame as it is now: centres fall on whole pixels, so two
        // discs showing the same number are the same pixels.
        const auto disc = [&](const QPointF &place) {
            const QImage drawn = AnnotationRenderer::draw(white, document.frame(frame)->annotations);
            return drawn.copy(QRect(int(place.x() * 200) - 20, int(place.y() * 100) - 20, 40, 40));
        };
        const QImage one = disc(places[0]);
        const QImage two = disc(places[1]);
        const QImage three = disc(places[2]);
        QVERIFY(one != two && two != three && one != three);

        document.deleteAnnotation(frame, markers[0]);
        QCOMPARE(disc(places[1]), one);
        QCOMPARE(disc(places[2]), two);
        document.undoStack()->undo();
        QCOMPARE(disc(places[0]), one);
        QCOMPARE(disc(places[2]), three);

        document.reorderAnnotation(frame, markers[2], CaptureDocument::AnnotationOrder::Back);
        QCOMPARE(disc(places[2]), one);
        QCOMPARE(disc(places[0]), two);
        QCOMPARE(disc(places[1]), three);
        document.undoStack()->undo();
        QCOMPARE(disc(places[2]), three);
    }

    void aSeriesOfStepsUnwindsInOrder()
    {
        CaptureDocument document;
        fill(document);
        QList<QStringList> states{DocumentDump::lines(document)};
        const QMap<QString, Operation> all = operations();
        for (const char *name : {"capture", "add a group", "capture", "move a drawing", "reorder",
                                 "frame note", "delete frames of two groups", "delete the active group"}) {
            all.value(QLatin1String(name)).edit(document);
            states << DocumentDump::lines(document);
        }
        QUndoStack *stack = document.undoStack();
        QCOMPARE(stack->count(), states.size() - 1);
        for (int i = states.size() - 2; i >= 0; --i) {
            stack->undo();
            QCOMPARE(DocumentDump::lines(document), states.at(i));
        }
        for (int i = 1; i < states.size(); ++i) {
            stack->redo();
            QCOMPARE(DocumentDump::lines(document), states.at(i));
        }
    }

    void selectionFollowsSensibly()
    {
        CaptureDocument document;
        fill(document);
        const QUuid kept = frameId(document, 0, 0);
        const QUuid doomed = frameId(document, 0, 1);
        document.setSelection({kept, doomed});

        // Capturing selects the new frame alone; undoing gives back the selection before.
        const QUuid captured = document.captureFrame(MediaTime(2, 30));
        QCOMPARE(document.selection(), QSet<QUuid>{captured});
        document.undoStack()->undo();
        QCOMPARE(document.selection(), (QSet<QUuid>{kept, doomed}));

        // Deleting takes a frame out of the selection; undoing selects it again.
        document.deleteFrame(doomed);
        QCOMPARE(document.selection(), QSet<QUuid>{kept});
        document.undoStack()->undo();
        QCOMPARE(document.selection(), (QSet<QUuid>{kept, doomed}));

        // Deleting a group takes its frames out too; moving and reordering keep the selection.
        document.deleteGroup(group(document, 0).id);
        QVERIFY(document.selection().isEmpty());
        document.undoStack()->undo();
        QCOMPARE(document.selection(), (QSet<QUuid>{kept, doomed}));
        document.moveFrame(doomed, group(document, 1).id);
        document.moveFrames(group(document, 0).id, {0}, 2);
        QCOMPARE(document.selection(), (QSet<QUuid>{kept, doomed}));
    }

    void deletingTheActiveGroupActivatesTheFirstUntilUndone()
    {
        CaptureDocument document;
        fill(document);
        document.addGroup();
        const QUuid third = group(document, 2).id;
        QCOMPARE(document.activeGroupID(), third);
        document.deleteGroup(third);
        QCOMPARE(document.activeGroupID(), group(document, 0).id);
        document.undoStack()->undo();
        QCOMPARE(document.activeGroupID(), third);
        // The active group chosen by hand after an undo is what a later undo gives back.
        document.undoStack()->undo(); // the added group goes away
        QCOMPARE(document.activeGroupID(), group(document, 1).id);
        document.setActiveGroup(group(document, 0).id);
        document.undoStack()->redo();
        QCOMPARE(document.activeGroupID(), third);
        document.undoStack()->undo();
        QCOMPARE(document.activeGroupID(), group(document, 0).id);
    }

    void typingIsOneStepPerField()
    {
        CaptureDocument document;
        fill(document);
        QUndoStack *stack = document.undoStack();
        const QUuid first = frameId(document, 1, 0);
        const QUuid second = frameId(document, 1, 1);
        for (const char *text : {"r", "re", "reg", "rega"})
            document.setNote(QString::fromUtf8(text), first);
        QCOMPARE(stack->count(), 1);
        for (const char *text : {"p", "pl"})
            document.setNote(QString::fromUtf8(text), second);
        QCOMPARE(stack->count(), 2);
        for (const char *text : {"O", "Ou"})
            document.setGroupName(group(document, 0).id, QString::fromUtf8(text));
        for (const char *text : {"d", "de"})
            document.setGroupNotes(group(document, 0).id, QString::fromUtf8(text));
        QCOMPARE(stack->count(), 4);

        stack->undo();
        stack->undo();
        stack->undo();
        QCOMPARE(document.frame(first)->notes, QStringLiteral("rega"));
        QCOMPARE(document.frame(second)->notes, QString());
        QCOMPARE(group(document, 0).name, QStringLiteral("Plans larges"));
        stack->undo();
        QCOMPARE(document.frame(first)->notes, QString());

        // Typing the text back to what it was leaves no step behind.
        document.setNote(QStringLiteral("x"), first);
        document.setNote(QString(), first);
        QCOMPARE(stack->count(), 0);
        QVERIFY(!document.isModified());

        // After a save, typing on starts a new step, so that undoing leads back to the saved text.
        document.setNote(QStringLiteral("avant"), first);
        document.markSaved(document.projectURL());
        document.setNote(QStringLiteral("avant après"), first);
        QCOMPARE(stack->count(), 2);
        QVERIFY(document.isModified());
        stack->undo();
        QCOMPARE(document.frame(first)->notes, QStringLiteral("avant"));
        QVERIFY(!document.isModified());
    }

    void aDragIsOneStep()
    {
        CaptureDocument document;
        fill(document);
        QUndoStack *stack = document.undoStack();
        const QUuid frame = frameId(document, 0, 1);
        const Annotation dragged = document.frame(frame)->annotations.at(0);
        const QStringList before = DocumentDump::lines(document);

        for (int step = 1; step <= 10; ++step) {
            const QPointF offset(0.01 * step, -0.02 * step);
            moveAnnotation(document, frame, dragged.id, dragged.start + offset, dragged.end + offset,
                           step > 1);
        }
        QCOMPARE(stack->count(), 1);
        QCOMPARE(document.frame(frame)->annotations.at(0).start, dragged.start + QPointF(0.1, -0.2));
        // A second drag is a step of its own.
        moveAnnotation(document, frame, dragged.id, {0, 0}, {0.5, 0.5}, false);
        moveAnnotation(document, frame, dragged.id, {0.1, 0}, {0.6, 0.5}, true);
        QCOMPARE(stack->count(), 2);

        for (double shrink : {1.0, 2.0, 3.0, 4.5}) {
            EdgeOptions options = document.edgeOptions();
            options.shrink = shrink;
            document.setEdgeOptions(options, shrink > 1.0);
        }
        for (double width : {0.01, 0.012, 0.015})
            document.setAnnotationLineWidth(frame, dragged.id, width, width > 0.01);
        QCOMPARE(stack->count(), 4);
        QCOMPARE(document.edgeOptions().shrink, 4.5);

        stack->setIndex(0);
        QCOMPARE(DocumentDump::lines(document), before);

        // A drag that comes back to where it started leaves no step.
        moveAnnotation(document, frame, dragged.id, {0, 0}, {0.5, 0.5}, false);
        moveAnnotation(document, frame, dragged.id, dragged.start, dragged.end, true);
        QCOMPARE(stack->count(), 0);
        QCOMPARE(DocumentDump::lines(document), before);
    }

    void aStrokeDragIsOneStepAndOtherEditsStayApart()
    {
        CaptureDocument document;
        fill(document);
        QUndoStack *stack = document.undoStack();
        const QUuid frame = frameId(document, 0, 2);
        const Annotation pen = document.frame(frame)->annotations.at(0);
        for (int step = 1; step <= 5; ++step) {
            Annotation moved = pen;
            moved.shape().translate(moved, {0.01 * step, 0});
            document.editAnnotation(frame, moved, CaptureDocument::AnnotationEdit::Move, step > 1);
        }
        QCOMPARE(stack->count(), 1);
        QCOMPARE(document.frame(frame)->annotations.at(0).points.last(),
                 pen.points.last() + QPointF(0.05, 0));
        // A continuing edit of another kind, or of another annotation, is a step of its own.
        Annotation wider = document.frame(frame)->annotations.at(0);
        wider.lineWidth = 0.02;
        document.editAnnotation(frame, wider, CaptureDocument::AnnotationEdit::Width, true);
        QCOMPARE(stack->count(), 2);
        Annotation box = document.frame(frame)->annotations.at(1);
        box.shape().translate(box, {0.1, 0.1});
        document.editAnnotation(frame, box, CaptureDocument::AnnotationEdit::Move, true);
        QCOMPARE(stack->count(), 3);
        stack->setIndex(0);
        QCOMPARE(document.frame(frame)->annotations.at(0), pen);
        stack->setIndex(3);
        QCOMPARE(document.frame(frame)->annotations.at(0).lineWidth, 0.02);
        QCOMPARE(document.frame(frame)->annotations.at(1), box);
    }

    void editsThatChangeNothingRecordNothing()
    {
        CaptureDocument document;
        fill(document);
        QSignalSpy groups(&document, &CaptureDocument::groupsChanged);
        QSignalSpy settings(&document, &CaptureDocument::settingChanged);
        const QUuid unknown = QUuid::createUuid();
        const QUuid frame = frameId(document, 0, 1);

        document.setGroupName(group(document, 0).id, group(document, 0).name);
        document.setNote(document.frame(frame)->notes, frame);
        document.setSelectedFilter(document.selectedFilter());
        document.setCropToSubject(document.cropToSubject());
        document.setOutputFolder(document.outputFolder());
        document.setEdgeOptions(document.edgeOptions());
        document.moveFrame(frameId(document, 0, 2), group(document, 0).id); // already last
        document.moveFrames(group(document, 0).id, {1}, 1);
        document.moveFrames(group(document, 0).id, {7}, 0);
        document.deleteFrame(unknown);
        document.deleteGroup(unknown);
        document.moveFrame(unknown, group(document, 0).id);
        document.moveFrame(frame, unknown);
        document.setNote(QStringLiteral("x"), unknown);
        document.addAnnotation(unknown, Annotation());
        document.addCorrection(unknown, CutoutCorrection::dropSubject({0.5, 0.5}));
        document.deleteAnnotation(frame, unknown);
        moveAnnotation(document, frame, unknown, {0, 0}, {1, 1}, false);
        Annotation stranger = document.frame(frame)->annotations.at(0);
        stranger.id = unknown;
        document.editAnnotation(frame, stranger, CaptureDocument::AnnotationEdit::Move);
        document.editAnnotation(frame, document.frame(frame)->annotations.at(0),
                                CaptureDocument::AnnotationEdit::Color);

        QCOMPARE(document.undoStack()->count(), 0);
        QCOMPARE(groups.count(), 0);
        QVERIFY(std::none_of(settings.cbegin(), settings.cend(), [](const QList<QVariant> &arguments) {
            return arguments.at(0).value<DocumentSetting>() == DocumentSetting::EdgeOptions;
        }));

        // The last group is never deleted.
        document.deleteGroup(group(document, 0).id);
        document.deleteGroup(group(document, 0).id);
        QCOMPARE(document.groups().size(), 1);
        QCOMPARE(document.undoStack()->count(), 1);
    }

    void modifiedFollowsTheStackAndTheLastSave()
    {
        CaptureDocument document;
        QSignalSpy modified(&document, &CaptureDocument::modifiedChanged);
        QVERIFY(!document.isModified());
        document.addGroup();
        QVERIFY(document.isModified());
        document.markSaved(QUrl::fromLocalFile(QStringLiteral("/tmp/a.quintarel")));
        QVERIFY(!document.isModified());
        QCOMPARE(document.projectURL(), QUrl::fromLocalFile(QStringLiteral("/tmp/a.quintarel")));
        document.undoStack()->undo();
        QVERIFY(document.isModified());
        document.undoStack()->redo();
        QVERIFY(!document.isModified());
        QCOMPARE(modified.count(), 4);

        // Found its video again: the file must be written anew, though no step says so.
        document.markModified();
        QVERIFY(document.isModified());

        // Opening something else starts afresh: no history, nothing to save.
        document.reset(DocumentContent::fresh());
        QVERIFY(!document.isModified());
        QCOMPARE(document.undoStack()->count(), 0);
        QVERIFY(!document.undoStack()->canUndo());
    }
};

QUINTAREL_TEST(UndoCommandsTest)
#include "UndoCommandsTest.moc"
