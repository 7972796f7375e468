#pragma once

#include <QJsonObject>
#include <QLatin1StringView>
#include <QList>
#include <QPointF>
#include <QString>

#include <variant>
#include <vector>

// The members of one annotation's JSON object, kept sorted by name: the one description of the
// form an annotation is stored in, which both its JSON object and the project writer write out.
class AnnotationMembers
{
public:
    using Value = std::variant<double, bool, QString, QPointF, QList<QPointF>>;
    struct Member
    {
        QLatin1StringView name;
        Value value;
    };

    // Adds a member in its sorted place; names are plain ASCII and given once each.
    void add(QLatin1StringView name, Value value);

    // In ascending order of name.
    const std::vector<Member> &members() const { return m_members; }
    QJsonObject toJson() const;

private:
    std::vector<Member> m_members;
};
