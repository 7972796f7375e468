#pragma once

#include <QJsonArray>
#include <QJsonObject>
#include <QList>
#include <QPointF>
#include <QString>

#include <optional>

// Reads the members of one JSON object strictly: a missing member or a value of the wrong type is
// a failure, described in French with its place in the document, such as
// « groups[1] : le membre « name » est absent ». Only the first failure is kept; once a reader has
// failed, ok() stays false and the values it returns are meaningless.
class JsonObjectReader
{
public:
    // `location` is the place of the object itself: empty for the root or a lone object, else e.g.
    // "groups[1]".
    JsonObjectReader(const QJsonObject &object, const QString &location, QString *error);

    bool ok() const { return m_ok; }
    const QJsonObject &object() const { return m_object; }

    QString string(const char *name);
    bool boolean(const char *name);
    double number(const char *name);
    QJsonObject object(const char *name);
    QJsonArray array(const char *name);
    // An array of two numbers, [x, y].
    QPointF point(const char *name);
    // A non-empty array of points, each an array of two numbers.
    QList<QPointF> points(const char *name);
    // Absent when the member is missing or null.
    std::optional<QJsonArray> optionalArray(const char *name);
    // Absent when the member is missing or null.
    std::optional<QString> optionalString(const char *name);

    // The place of a member ("groups[1].frames") and of one of its elements ("groups[1].frames[0]").
    QString placeOf(const char *name) const;
    QString placeOf(const char *name, qsizetype index) const;

    // Records a failure at this object's place.
    void fail(const QString &message);

protected:
    QJsonValue required(const char *name);
    QJsonValue optional(const char *name) const;
    // « le membre « name » » followed by the problem.
    void failMember(const char *name, const QString &problem);

private:
    const QJsonObject &m_object;
    QString m_location;
    QString *m_error;
    bool m_ok = true;
};
