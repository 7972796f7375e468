#include "TestRegistry.h"

#include "models/Annotation.h"
#include "models/AnnotationShape.h"
#include "models/AnnotationShapes.h"
#include "models/TextShape.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QTest>

#include <cmath>

namespace {

const AnnotationShape &shape(const char *kind)
{
    return *AnnotationShapes::find(QString::fromLatin1(kind));
}

// An annotation drawn as a drag through `points` draws it.
Annotation drawn(const char *kind, const QList<QPointF> &points)
{
    const AnnotationShape &s = shape(kind);
    Annotation annotation = s.begin(points.first());
    for (qsizetype i = 1; i < points.size(); ++i)
        s.extend(annotation, points.at(i));
    annotation.r = 0.1;
    annotation.g = 0.2;
    annotation.b = 0.30000000000000004;
    annotation.a = 0.5;
    annotation.lineWidth = 0.01;
    return annotation;
}

std::optional<Annotation> readBack(const Annotation &annotation, QString *error)
{
    const QByteArray bytes = QJsonDocument(annotation.toJson()).toJson();
    return Annotation::fromJson(QJsonDocument::fromJson(bytes).object(), error);
}

} // namespace

// The kinds beyond the first three, and an annotation of a kind this version does not know.
class AnnotationShapesTest : public QObject
{
    Q_OBJECT

private slots:
    void everyKindRoundTripsExactly_data()
    {
        QTest::addColumn<Annotation>("annotation");
        QTest::newRow("rectangle") << drawn("rectangle", {{0.2, 0.7}, {0.5, 0.6}, {0.9, 0.1}});
        Annotation filled = drawn("rectangle", {{0.2, 0.7}, {-0.1, 1.3}});
        filled.filled = true;
        QTest::newRow("filled rectangle") << filled;
        QTest::newRow("pen") << drawn("pen", {{0.1, 0.1}, {0.2, 0.15}, {0.2, 0.15}, {0.35, 0.4}});
        QTest::newRow("a dot of pen") << drawn("pen", {{0.5, 0.5}});
        QTest::newRow("highlighter") << drawn("highlighter", {{0.1, 0.5}, {0.9, 0.5}});
        Annotation text = drawn("text", {{0.3, 0.4}});
        text.text = QStringLiteral("Ligne « 1 »\n\tsuite — fin \U0001F3AC");
        TextShape::fit(text, 4.0 / 3.0);
        QTest::newRow("text") << text;
        text.filled = true;
        text.text = QStringLiteral("\n");
        QTest::newRow("boxed text of empty lines") << text;
        QTest::newRow("marker") << drawn("marker", {{0.5, 0.5}, {0.7, 0.2}});
        QTest::newRow("pixelated box") << drawn("pixelate", {{0.9, 0.9}, {0.1, -0.2}});
    }

    void everyKindRoundTripsExactly()
    {
        QFETCH(Annotation, annotation);
        QString error;
        const std::optional<Annotation> read = readBack(annotation, &error);
        QVERIFY2(read, qPrintable(error));
        QCOMPARE(*read, annotation);
        QCOMPARE(qHash(*read), qHash(annotation));
        QVERIFY(!read->isUnread());
    }

    void aDragMakesTheShapeOfItsKind()
    {
        // A box takes the first and the last point; a stroke every point it went through, once.
        const Annotation box = drawn("rectangle", {{0.2, 0.7}, {0.5, 0.6}, {0.9, 0.1}});
        QCOMPARE(box.kind, QStringLiteral("rectangle"));
        QCOMPARE(box.start, QPointF(0.2, 0.7));
        QCOMPARE(box.end, QPointF(0.9, 0.1));
        QVERIFY(!box.filled);
        const Annotation stroke = drawn("pen", {{0.1, 0.1}, {0.2, 0.15}, {0.2, 0.15}, {0.35, 0.4}});
        QCOMPARE(stroke.points, (QList<QPointF>{{0.1, 0.1}, {0.2, 0.15}, {0.35, 0.4}}));
        QCOMPARE(stroke.toJson().keys(),
                 (QStringList{"a", "b", "g", "id", "kind", "lineWidth", "points", "r"}));
        QCOMPARE(box.toJson().keys(),
                 (QStringList{"a", "b", "end", "filled", "g", "id", "kind", "lineWidth", "r", "start"}));
    }

    // Each new kind is stored with its own members only.
    void theNewKindsKeepTheirOwnMembers()
    {
        Annotation text = drawn("text", {{0.1, 0.1}});
        text.text = QStringLiteral("a");
        QCOMPARE(text.toJson().keys(), (QStringList{"a", "b", "end", "filled", "g", "id", "kind", "lineWidth",
                                                    "r", "start", "text"}));
        QCOMPARE(drawn("marker", {{0.1, 0.1}}).toJson().keys(),
                 (QStringList{"a", "b", "g", "id", "kind", "lineWidth", "r", "start"}));
        QCOMPARE(drawn("pixelate", {{0.1, 0.1}, {0.2, 0.2}}).toJson().keys(),
                 (QStringList{"a", "b", "end", "g", "id", "kind", "lineWidth", "r", "start"}));
        // Only the kinds drawn with their words hold text; only a marker is made by a click.
        for (const AnnotationShape *kind : AnnotationShapes::all()) {
            QCOMPARE(kind->holdsText(), kind->kind() == QStringLiteral("text"));
            QCOMPARE(kind->madeByClick(), kind->kind() == QStringLiteral("marker"));
            QCOMPARE(kind->readsPicture(), kind->kind() == QStringLiteral("pixelate"));
        }
        QCOMPARE(shape("text").displayName(), QStringLiteral("Texte"));
        QCOMPARE(shape("marker").displayName(), QStringLiteral("Repère numéroté"));
        QCOMPARE(shape("pixelate").displayName(), QStringLiteral("Pixeliser"));
    }

    // A text's box fits its words at its size; its corners and its size scale it whole.
    void aTextScalesWithItsBoxAndItsSize()
    {
        Annotation text = drawn("text", {{0.2, 0.3}});
        text.text = QStringLiteral("Un\ndeux trois");
        TextShape::fit(text, 2.0);
        const QPointF extent = text.end - text.start;
        // Two lines are higher than one; the same words at twice the size take twice the box.
        Annotation oneLine = text;
        oneLine.text = QStringLiteral("deux trois");
        TextShape::fit(oneLine, 2.0);
        QVERIFY(oneLine.end.y() - oneLine.start.y() < extent.y());
        QVERIFY(std::abs(oneLine.end.x() - text.end.x()) < 1e-12);
        QVERIFY(extent.x() > 0.05 && extent.x() < 0.5);

        const AnnotationShape &s = text.shape();
        QCOMPARE(s.handles(text).size(), 4);
        Annotation grown = text;
        // The bottom-right corner taken twice as far from the top-left one.
        s.moveHandle(grown, 2, text.start + 2 * extent);
        QCOMPARE(grown.start, text.start);
        QVERIFY(std::abs(grown.end.x() - (text.start.x() + 2 * extent.x())) < 1e-12);
        QVERIFY(std::abs(grown.end.y() - (text.start.y() + 2 * extent.y())) < 1e-12);
        QVERIFY(std::abs(grown.lineWidth - 2 * text.lineWidth) < 1e-12);
        // Pulled one way only, the corner still scales both ways alike.
        Annotation wider = text;
        s.moveHandle(wider, 0, QPointF(text.end.x() - 1.5 * extent.x(), text.start.y()));
        QCOMPARE(wider.end, text.end);
        QVERIFY(std::abs((wider.end.y() - wider.start.y()) - 1.5 * extent.y()) < 1e-12);

        Annotation halved = text;
        s.setLineWidth(halved, text.lineWidth / 2);
        QCOMPARE(halved.start, text.start);
        QVERIFY(std::abs(halved.end.x() - (text.start.x() + extent.x() / 2)) < 1e-12);
        QCOMPARE(halved.lineWidth, text.lineWidth / 2);
        Annotation refitted = halved;
        TextShape::fit(refitted, 2.0);
        QVERIFY(std::abs(refitted.end.y() - halved.end.y()) < 1e-12);

        // Hit anywhere in its box, not beside it.
        QCOMPARE(s.distance(text, text.start + extent / 2), 0.0);
        QVERIFY(std::abs(s.distance(text, QPointF(text.end.x() + 0.1, text.start.y())) - 0.1) < 1e-12);
    }

    void aMarkerIsADiscPlacedByAClick()
    {
        Annotation marker = drawn("marker", {{0.5, 0.5}});
        QCOMPARE(marker.start, QPointF(0.5, 0.5));
        // A drag carries it.
        shape("marker").extend(marker, {0.25, 0.75});
        QCOMPARE(marker.start, QPointF(0.25, 0.75));
        QVERIFY(marker.shape().handles(marker).isEmpty());
        Annotation kept = marker;
        marker.shape().moveHandle(marker, 0, {0.9, 0.9});
        QCOMPARE(marker, kept);
        // Its radius follows the width: 3 × 0.01 of the width.
        QCOMPARE(marker.shape().distance(marker, {0.25 + 0.02, 0.75}), 0.0);
        QVERIFY(std::abs(marker.shape().distance(marker, {0.25, 0.75 + 0.05}) - 0.02) < 1e-12);
        marker.shape().translate(marker, {0.25, -0.25});
        QCOMPARE(marker.start, QPointF(0.5, 0.5));
        QVERIFY(std::abs(marker.shape().path(marker, {200, 100}).boundingRect().width() - 12.0) < 1e-9);
        QVERIFY(std::abs(marker.shape().path(marker, {1000, 100}).boundingRect().width() - 60.0) < 1e-9);

        Annotation box = drawn("pixelate", {{0.2, 0.2}, {0.6, 0.8}});
        QCOMPARE(box.shape().handles(box), (QList<QPointF>{{0.2, 0.2}, {0.6, 0.2}, {0.6, 0.8}, {0.2, 0.8}}));
        box.shape().moveHandle(box, 2, {0.7, 0.9});
        QCOMPARE(box.end, QPointF(0.7, 0.9));
        QCOMPARE(box.shape().distance(box, {0.4, 0.5}), 0.0);
    }

    void boxCornersReshapeAroundTheOppositeOne()
    {
        Annotation box = drawn("rectangle", {{0.2, 0.2}, {0.6, 0.8}});
        const AnnotationShape &s = box.shape();
        QCOMPARE(s.handles(box), (QList<QPointF>{{0.2, 0.2}, {0.6, 0.2}, {0.6, 0.8}, {0.2, 0.8}}));
        s.moveHandle(box, 1, {0.9, 0.1});
        QCOMPARE(s.handles(box), (QList<QPointF>{{0.2, 0.1}, {0.9, 0.1}, {0.9, 0.8}, {0.2, 0.8}}));
        s.moveHandle(box, 3, {0.0, 1.0});
        QCOMPARE(box.start, QPointF(0.0, 0.1));
        QCOMPARE(box.end, QPointF(0.9, 1.0));
        // Lines and arrows are reshaped by their two ends; strokes by the corners of their box.
        Annotation line = shape("line").begin({0.1, 0.1});
        line.shape().moveHandle(line, 1, {0.4, 0.5});
        QCOMPARE(line.shape().handles(line), (QList<QPointF>{{0.1, 0.1}, {0.4, 0.5}}));
        QCOMPARE(shape("pen").handles(drawn("pen", {{0.1, 0.1}, {0.2, 0.2}})).size(), 4);
    }

    void movingShiftsWhatTheKindIsMadeOf()
    {
        Annotation stroke = drawn("highlighter", {{0.1, 0.1}, {0.3, 0.2}});
        stroke.shape().translate(stroke, {0.5, -0.25});
        QCOMPARE(stroke.points, (QList<QPointF>{{0.6, -0.15}, {0.8, -0.05}}));
        // The two points a stroke does not use stay as they were, so it is stored the same.
        QCOMPARE(stroke.start, QPointF());
        QCOMPARE(stroke.end, QPointF());
        Annotation box = drawn("rectangle", {{0.1, 0.1}, {0.3, 0.2}});
        box.shape().translate(box, {0.5, 1.0});
        QCOMPARE(box.start, QPointF(0.6, 1.1));
        QCOMPARE(box.end, QPointF(0.8, 1.2));
    }

    void pressesPickWhatIsDrawn()
    {
        Annotation box = drawn("rectangle", {{0.2, 0.2}, {0.6, 0.8}});
        const AnnotationShape &s = box.shape();
        QCOMPARE(s.distance(box, {0.2, 0.5}), 0.0);
        QVERIFY(std::abs(s.distance(box, {0.65, 0.5}) - 0.05) < 1e-12);
        // Inside an outline, far from it: not on it. Inside a filled box: on it.
        QVERIFY(std::abs(s.distance(box, {0.4, 0.5}) - 0.2) < 1e-12);
        box.filled = true;
        QCOMPARE(s.distance(box, {0.4, 0.5}), 0.0);

        const Annotation stroke = drawn("pen", {{0.1, 0.1}, {0.5, 0.1}, {0.5, 0.5}});
        QVERIFY(std::abs(stroke.shape().distance(stroke, {0.3, 0.12}) - 0.02) < 1e-12);
        QVERIFY(std::abs(stroke.shape().distance(stroke, {0.53, 0.3}) - 0.03) < 1e-12);
        const Annotation dot = drawn("pen", {{0.5, 0.5}});
        QVERIFY(std::abs(dot.shape().distance(dot, {0.5, 0.53}) - 0.03) < 1e-12);
    }

    void damagedMembersOfTheNewKindsAreRefused_data()
    {
        QTest::addColumn<QJsonObject>("json");
        QTest::addColumn<QString>("expected");
        const QJsonObject stroke = drawn("pen", {{0.1, 0.1}, {0.2, 0.2}}).toJson();
        QJsonObject damaged = stroke;
        damaged.insert("points", QJsonArray{});
        QTest::newRow("a stroke without points")
            << damaged << "le membre « points » n'est pas une liste non vide";
        damaged.insert("points", QJsonArray{QJsonArray{0.1, 0.2}, QJsonArray{0.3}});
        QTest::newRow("a point of one number")
            << damaged << "l'élément 1 du membre « points » n'est pas une paire de nombres";
        damaged.insert("points", QJsonArray{0.1, 0.2});
        QTest::newRow("numbers for points") << damaged << "l'élément 0 du membre « points »";
        damaged.insert("points", QJsonObject{});
        QTest::newRow("points as object") << damaged << "le membre « points »";
        damaged = stroke;
        damaged.remove("lineWidth");
        QTest::newRow("a stroke without width") << damaged << "le membre « lineWidth » est absent";
        QJsonObject box = drawn("rectangle", {{0.1, 0.1}, {0.2, 0.2}}).toJson();
        box.insert("filled", 1);
        QTest::newRow("filled as number") << box << "le membre « filled » n'est ni true ni false";
        Annotation words = drawn("text", {{0.1, 0.1}});
        words.text = QStringLiteral("mot");
        QJsonObject text = words.toJson();
        text.insert("text", 3);
        QTest::newRow("text as number") << text << "le membre « text »";
        text.remove("text");
        QTest::newRow("a text without words") << text << "le membre « text » est absent";
        QJsonObject marker = drawn("marker", {{0.1, 0.1}}).toJson();
        marker.remove("start");
        QTest::newRow("a marker without place") << marker << "le membre « start » est absent";
    }

    void damagedMembersOfTheNewKindsAreRefused()
    {
        QFETCH(QJsonObject, json);
        QFETCH(QString, expected);
        QString error;
        QVERIFY(!Annotation::fromJson(json, &error));
        QVERIFY2(error.contains(expected), qPrintable(error));
    }

    void anUnknownKindIsKeptWhole()
    {
        const QJsonObject future{
            {"id", "6F9619FF-8B86-D011-B42D-00C04FC964FF"},
            {"kind", "sticker"},
            {"text", "Ligne 1\nLigne « 2 »"},
            {"size", 0.05},
            {"box", QJsonObject{{"r", 1}, {"filled", true}, {"none", QJsonValue::Null}}},
            {"corners", QJsonArray{QJsonArray{0.1, 0.2}, QJsonArray{0.3, 0.4}}},
            {"big", qint64(9007199254740993)},
            {"é", "clé hors ASCII"},
        };
        QString error;
        const std::optional<Annotation> read = Annotation::fromJson(future, &error);
        QVERIFY2(read, qPrintable(error));
        QVERIFY(read->isUnread());
        QCOMPARE(read->kind, QStringLiteral("sticker"));
        QCOMPARE(read->id, QUuid::fromString(QStringLiteral("6F9619FF-8B86-D011-B42D-00C04FC964FF")));
        QCOMPARE(read->toJson(), future);
        // Neither picked nor moved nor drawn.
        QVERIFY(std::isinf(read->shape().distance(*read, {0.1, 0.2})));
        Annotation moved = *read;
        moved.shape().translate(moved, {0.5, 0.5});
        QCOMPARE(moved, *read);
        QVERIFY(read->shape().path(*read, {100, 100}).isEmpty());

        // What every kind shares is still checked: its identifier and the text of its kind.
        QJsonObject damaged = future;
        damaged.insert("id", "texte");
        QVERIFY(!Annotation::fromJson(damaged, &error));
        QVERIFY2(error.contains("n'est pas un UUID"), qPrintable(error));
        damaged = future;
        damaged.remove("kind");
        QVERIFY(!Annotation::fromJson(damaged, &error));
        // A known kind in another case is not that kind.
        damaged = drawn("rectangle", {{0.1, 0.1}, {0.2, 0.2}}).toJson();
        damaged.insert("kind", "Rectangle");
        const std::optional<Annotation> other = Annotation::fromJson(damaged, &error);
        QVERIFY(other && other->isUnread());
    }
};

QUINTAREL_TEST(AnnotationShapesTest)
#include "AnnotationShapesTest.moc"
