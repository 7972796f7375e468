#include "TestRegistry.h"

#include "models/Annotation.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QTest>

class AnnotationJsonTest : public QObject
{
    Q_OBJECT

    static Annotation sample()
    {
        Annotation annotation;
        annotation.kind = QStringLiteral("circle");
        annotation.start = {0.25, 0.5};
        annotation.end = {1.2, -0.1};
        annotation.r = 0.1;
        annotation.g = 0.2;
        annotation.b = 0.30000000000000004;
        annotation.a = 0.5;
        annotation.lineWidth = 0.006;
        return annotation;
    }

private slots:
    void roundTripsExactly()
    {
        const Annotation written = sample();
        const QByteArray bytes = QJsonDocument(written.toJson()).toJson();
        QString error;
        const std::optional<Annotation> read =
            Annotation::fromJson(QJsonDocument::fromJson(bytes).object(), &error);
        QVERIFY2(read, qPrintable(error));
        QCOMPARE(*read, written);
        QCOMPARE(read->id, written.id);
        QCOMPARE(qHash(*read), qHash(written));
    }

    void writesTheStandardForm()
    {
        const QJsonObject json = sample().toJson();
        QCOMPARE(json.keys(), (QStringList{"a", "b", "end", "g", "id", "kind", "lineWidth", "r", "start"}));
        QCOMPARE(json.value("kind").toString(), QStringLiteral("circle"));
        QCOMPARE(json.value("id").toString().size(), 36);
        QCOMPARE(json.value("start").toArray(), (QJsonArray{0.25, 0.5}));
    }

    void differsByAnyField()
    {
        const Annotation base = sample();
        Annotation other = base;
        other.a = 0.51;
        QVERIFY(!(other == base));
        other = base;
        other.end.setX(other.end.x() + 1e-12); // no fuzzy comparison
        QVERIFY(!(other == base));
    }

    void rejectsDamagedMembers_data()
    {
        QTest::addColumn<QString>("member");
        QTest::addColumn<QJsonValue>("value"); // undefined: the member is removed
        QTest::addColumn<QString>("expected");
        QTest::newRow("missing lineWidth") << "lineWidth" << QJsonValue(QJsonValue::Undefined) << "lineWidth";
        QTest::newRow("a rectangle without its fill")
            << "kind" << QJsonValue("rectangle") << "le membre « filled » est absent";
        QTest::newRow("kind as number") << "kind" << QJsonValue(3) << "le membre « kind » n'est pas un texte";
        QTest::newRow("number as text") << "r" << QJsonValue("0.5") << "le membre « r » n'est pas un nombre";
        QTest::newRow("point of three") << "start" << QJsonValue(QJsonArray{0.1, 0.2, 0.3})
                                        << "le membre « start » n'est pas une paire de nombres";
        QTest::newRow("point of one") << "end" << QJsonValue(QJsonArray{0.1}) << "end";
        QTest::newRow("point of texts") << "end" << QJsonValue(QJsonArray{"0.1", "0.2"}) << "end";
        QTest::newRow("point as object") << "end" << QJsonValue(QJsonObject{{"x", 1}}) << "end";
        QTest::newRow("identifier not a UUID")
            << "id" << QJsonValue("1234") << "l'identifiant « 1234 » n'est pas un UUID";
        QTest::newRow("identifier with a brace")
            << "id" << QJsonValue("{6F9619FF-8B86-D011-B42D-00C04FC964F}") << "n'est pas un UUID";
        QTest::newRow("identifier as number")
            << "id" << QJsonValue(7) << "le membre « id » n'est pas un texte";
        QTest::newRow("null alpha") << "a" << QJsonValue(QJsonValue::Null)
                                    << "le membre « a » n'est pas un nombre";
    }

    void rejectsDamagedMembers()
    {
        QFETCH(QString, member);
        QFETCH(QJsonValue, value);
        QFETCH(QString, expected);
        QJsonObject json = sample().toJson();
        if (value.isUndefined())
            json.remove(member);
        else
            json.insert(member, value);
        QString error;
        QVERIFY(!Annotation::fromJson(json, &error));
        QVERIFY2(error.contains(expected), qPrintable(error));
    }

    void rejectsANonObject()
    {
        QString error;
        QVERIFY(!Annotation::fromJson(QJsonArray{}, &error));
        QVERIFY(!error.isEmpty());
    }
};

QUINTAREL_TEST(AnnotationJsonTest)
#include "AnnotationJsonTest.moc"
