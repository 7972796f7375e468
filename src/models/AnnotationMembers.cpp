#include "AnnotationMembers.h"

#include <QJsonArray>

#include <algorithm>

namespace {

QJsonArray pointToJson(const QPointF &point)
{
    return QJsonArray{point.x(), point.y()};
}

QJsonValue toJsonValue(const AnnotationMembers::Value &value)
{
    struct Visitor
    {
        QJsonValue operator()(double number) const { return number; }
        QJsonValue operator()(bool flag) const { return flag; }
        QJsonValue operator()(const QString &text) const { return text; }
        QJsonValue operator()(const QPointF &point) const { return pointToJson(point); }
        QJsonValue operator()(const QList<QPointF> &points) const
        {
            QJsonArray array;
            for (const QPointF &point : points)
                array.append(pointToJson(point));
            return array;
        }
    };
    return std::visit(Visitor{}, value);
}

} // namespace

void AnnotationMembers::add(QLatin1StringView name, Value value)
{
    if (m_members.empty())
        m_members.reserve(12);
    const auto place =
        std::lower_bound(m_members.begin(), m_members.end(), name,
                         [](const Member &member, QLatin1StringView n) { return member.name < n; });
    m_members.insert(place, Member{name, std::move(value)});
}

QJsonObject AnnotationMembers::toJson() const
{
    QJsonObject object;
    for (const Member &member : m_members)
        object.insert(member.name, toJsonValue(member.value));
    return object;
}
