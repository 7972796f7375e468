#pragma once

#include <QJsonObject>
#include <QList>
#include <QPointF>
#include <QString>
#include <QUuid>

#include <optional>

class AnnotationMembers;
class AnnotationShape;

// One drawing on a captured frame, of one kind of shape (see AnnotationShape): what each member
// means is up to its kind. Points are in normalised image coordinates: (0, 0) is the top-left corner,
// (1, 1) the bottom-right; y grows downwards. Values outside [0, 1] are legal. The line width is a
// fraction of the image width.
struct Annotation
{
    QUuid id = QUuid::createUuid();
    // The name its kind is registered under ("arrow", "line", "circle", …).
    QString kind = QStringLiteral("arrow");
    QPointF start;
    QPointF end;
    // The points of a freehand stroke, in drawing order.
    QList<QPointF> points;
    double r = 1.0;
    double g = 0.0;
    double b = 0.0;
    double a = 1.0;
    double lineWidth = 0.006;
    // Filled with its colour rather than outlined (a text: shown on a box of its colour).
    bool filled = false;
    // The words of a text, its lines parted by "\n"; empty for every other kind.
    QString text;
    // An annotation of a kind this version does not know: its JSON object exactly as read, kept to be
    // written back as it was. Empty for every known kind.
    QJsonObject unread;

    // The behaviour of its kind; a kind that is not registered has one that draws nothing.
    const AnnotationShape &shape() const;
    bool isUnread() const { return !unread.isEmpty(); }

    // Its members in name order, "id" and "kind" with those of its kind.
    AnnotationMembers members() const;
    QJsonObject toJson() const;
    // Strict: "id" and "kind" and the members of a known kind are required and typed; on failure
    // `error` describes the first problem. An object of an unknown kind is kept whole.
    static std::optional<Annotation> fromJson(const QJsonValue &json, QString *error = nullptr);

    // Exact comparison of every field (QPointF's own == is fuzzy).
    friend bool operator==(const Annotation &x, const Annotation &y);
};

size_t qHash(const Annotation &annotation, size_t seed = 0);
