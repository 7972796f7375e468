#include "TestRegistry.h"

#include "models/CutoutCorrection.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QTest>

Q_DECLARE_METATYPE(CutoutCorrection)

class CutoutCorrectionJsonTest : public QObject
{
    Q_OBJECT

    static std::optional<CutoutCorrection> read(const QByteArray &json, QString *error = nullptr)
    {
        return CutoutCorrection::fromJson(QJsonDocument::fromJson(json).object(), error);
    }

private slots:
    // Every kind comes back exactly as written, through the bytes of a file.
    void everyKindRoundTripsExactly_data()
    {
        QTest::addColumn<CutoutCorrection>("correction");
        QTest::newRow("drop") << CutoutCorrection::dropSubject({0.25, 0.75});
        QTest::newRow("add") << CutoutCorrection::addSubject(
            {0.9, 0.1}, QRectF(0.6, 0.0, 1.0 / 3.0, 0.30000000000000004));
        QTest::newRow("box") << CutoutCorrection::addSubjectInBox({0.7, 0.8}, {0.2, 0.1});
        QTest::newRow("erase") << CutoutCorrection::erase({{0.1, 0.2}, {0.15, 0.21}, {1.2, -0.1}}, 0.03);
        QTest::newRow("restore dab") << CutoutCorrection::restore({{0.5, 0.5}}, 0.1);
    }

    void everyKindRoundTripsExactly()
    {
        QFETCH(CutoutCorrection, correction);
        const QByteArray bytes = QJsonDocument(correction.toJson()).toJson();
        QString error;
        const std::optional<CutoutCorrection> back = read(bytes, &error);
        QVERIFY2(back, qPrintable(error));
        QVERIFY(*back == correction);
    }

    void writesOnlyTheMembersOfItsKind()
    {
        QCOMPARE(CutoutCorrection::dropSubject({0.5, 0.5}).toJson().keys(), (QStringList{"kind", "points"}));
        QCOMPARE(CutoutCorrection::erase({{0.5, 0.5}}, 0.02).toJson().keys(),
                 (QStringList{"kind", "points", "size"}));
        const QJsonObject add =
            CutoutCorrection::addSubject({0.5, 0.5}, QRectF(0.25, 0.5, 0.125, 0.25)).toJson();
        QCOMPARE(add.keys(), (QStringList{"kind", "points", "window"}));
        QCOMPARE(add.value("kind").toString(), QStringLiteral("addSubject"));
        QCOMPARE(add.value("window").toArray(), (QJsonArray{0.25, 0.5, 0.125, 0.25}));
    }

    // A damaged correction is refused with a French reason, never half read.
    void refusesWhatDoesNotFitItsKind_data()
    {
        QTest::addColumn<QByteArray>("json");
        QTest::addColumn<QString>("reason");
        QTest::newRow("not an object") << QByteArray("[1]") << QStringLiteral("objet");
        QTest::newRow("unknown kind")
            << QByteArray(R"({"kind":"paint","points":[[0,0]]})") << QStringLiteral("« paint »");
        QTest::newRow("no points") << QByteArray(R"({"kind":"dropSubject"})") << QStringLiteral("points");
        QTest::newRow("two clicks") << QByteArray(R"({"kind":"dropSubject","points":[[0,0],[1,1]]})")
                                    << QStringLiteral("points");
        QTest::newRow("box of one corner")
            << QByteArray(R"({"kind":"addSubjectInBox","points":[[0,0]]})") << QStringLiteral("points");
        QTest::newRow("empty stroke")
            << QByteArray(R"({"kind":"erase","points":[],"size":0.1})") << QStringLiteral("points");
        QTest::newRow("point of three")
            << QByteArray(R"({"kind":"erase","points":[[0,0,0]],"size":0.1})") << QStringLiteral("points");
        QTest::newRow("stroke without size")
            << QByteArray(R"({"kind":"restore","points":[[0,0]]})") << QStringLiteral("size");
        QTest::newRow("negative size")
            << QByteArray(R"({"kind":"restore","points":[[0,0]],"size":-1})") << QStringLiteral("size");
        QTest::newRow("add without window")
            << QByteArray(R"({"kind":"addSubject","points":[[0,0]]})") << QStringLiteral("window");
        QTest::newRow("flat window") << QByteArray(
                                            R"({"kind":"addSubject","points":[[0,0]],"window":[0,0,0.5,0]})")
                                     << QStringLiteral("window");
    }

    void refusesWhatDoesNotFitItsKind()
    {
        QFETCH(QByteArray, json);
        QFETCH(QString, reason);
        QString error;
        const QJsonDocument document = QJsonDocument::fromJson(json);
        const QJsonValue value =
            document.isObject() ? QJsonValue(document.object()) : QJsonValue(document.array());
        QVERIFY(!CutoutCorrection::fromJson(value, &error));
        QVERIFY2(error.contains(reason), qPrintable(error));
    }

    void differsByAnyField()
    {
        const CutoutCorrection base = CutoutCorrection::erase({{0.1, 0.2}, {0.3, 0.4}}, 0.02);
        CutoutCorrection other = base;
        other.points[1].setY(0.4 + 1e-12); // no fuzzy comparison
        QVERIFY(!(other == base));
        other = base;
        other.kind = CutoutCorrection::Kind::Restore;
        QVERIFY(!(other == base));
        QVERIFY(CutoutCorrection(base) == base);
    }
};

QUINTAREL_TEST(CutoutCorrectionJsonTest)
#include "CutoutCorrectionJsonTest.moc"
