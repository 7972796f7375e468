#include "TestRegistry.h"

#include "persistence/IndentedJsonWriter.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTest>

#include <limits>

namespace {

void write(IndentedJsonWriter &json, const QJsonValue &value)
{
    switch (value.type()) {
    case QJsonValue::Object: {
        json.beginObject();
        const QJsonObject object = value.toObject();
        for (auto it = object.begin(); it != object.end(); ++it) {
            const QByteArray name = it.key().toLatin1();
            json.key(QLatin1StringView(name));
            write(json, it.value());
        }
        json.endObject();
        break;
    }
    case QJsonValue::Array:
        json.beginArray();
        for (const QJsonValue &element : value.toArray())
            write(json, element);
        json.endArray();
        break;
    case QJsonValue::String:
        json.value(value.toString());
        break;
    case QJsonValue::Bool:
        json.value(value.toBool());
        break;
    case QJsonValue::Double:
        if (value.toVariant().typeId() == QMetaType::LongLong)
            json.value(std::int64_t(value.toInteger()));
        else
            json.value(value.toDouble());
        break;
    default:
        QFAIL("no such value in a project file");
    }
}

} // namespace

class IndentedJsonWriterTest : public QObject
{
    Q_OBJECT

private slots:
    void writesWhatQJsonDocumentWrites_data()
    {
        QTest::addColumn<QJsonObject>("document");
        QString controls;
        for (char16_t c = 0; c < 0x20; ++c)
            controls += QChar(c);
        QTest::newRow("empty") << QJsonObject();
        QTest::newRow("empty containers") << QJsonObject{
            {"a", QJsonArray()}, {"b", QJsonObject()}, {"c", QJsonArray{QJsonArray(), QJsonObject()}}};
        QTest::newRow("nesting") << QJsonObject{
            {"groups", QJsonArray{QJsonObject{{"frames", QJsonArray{QJsonObject{{"x", true}}, 3}}}, false}}};
        QTest::newRow("strings") << QJsonObject{
            {"controls", controls},
            {"quotes", "\"\\/'"},
            {"text", u"é\u00a0—\u2028\u007f \U0001F3AC"_qs},
            {"lone surrogate", QString(QChar(0xd800))},
        };
        const double limit = 9007199254740992.0;
        QTest::newRow("numbers") << QJsonObject{
            {"a", 0.1},
            {"b", 1.0},
            {"c", -0.0},
            {"d", limit},
            {"e", limit * 2},
            {"f", -limit - 2},
            {"g", 1e300},
            {"h", 5e-324},
            {"i", -1.5},
            {"j", 1e21},
            {"k", 0.30000000000000004},
            {"l", qint64(std::numeric_limits<qint64>::max())},
            {"m", qint64(std::numeric_limits<qint64>::min())},
            {"n", 1e-7},
            {"o", 123456.0},
        };
    }

    void writesWhatQJsonDocumentWrites()
    {
        QFETCH(QJsonObject, document);
        IndentedJsonWriter json;
        write(json, document);
        QCOMPARE(json.take(), QJsonDocument(document).toJson(QJsonDocument::Indented));
    }
};

QUINTAREL_TEST(IndentedJsonWriterTest)
#include "IndentedJsonWriterTest.moc"
