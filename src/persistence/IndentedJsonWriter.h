#pragma once

#include <QByteArray>
#include <QLatin1StringView>
#include <QString>

#include <cstdint>
#include <vector>

// Writes JSON text straight into one buffer, in exactly the layout of QJsonDocument::Indented
// (four spaces per level, "key": value, the same number forms and string escapes), without
// building a QJsonObject tree first: for a project of tens of thousands of drawings that tree and
// its conversion cost most of the save. Members go out in the order they are given, so the
// caller writes them sorted by name.
class IndentedJsonWriter
{
public:
    explicit IndentedJsonWriter(qsizetype expectedSize = 0);

    void beginObject();
    void endObject();
    void beginArray();
    void endArray();
    // Starts a member of the current object; its value follows.
    void key(QLatin1StringView name);
    // The same for a name that may need escaping.
    void key(const QString &name);

    void value(const QString &text);
    void value(bool flag);
    void value(std::int64_t number);
    // Whole numbers below 2^53 are written as integers, others in shortest round-trip form; a
    // number that is not finite is written as null, as QJsonDocument does.
    void value(double number);
    void null();

    // The finished document, ending with a line break.
    QByteArray take();

private:
    void beginValue();
    void quoted(const QString &text);
    void indent();

    QByteArray m_text;
    std::vector<qsizetype> m_counts; // elements written so far in each open container
    bool m_afterKey = false;
};
