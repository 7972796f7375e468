#include "CutoutCorrection.h"

#include <QCoreApplication>
#include <QJsonArray>

#include <cmath>

namespace {

QString tr(const char *text)
{
    return QCoreApplication::translate("CutoutCorrection", text);
}

QString shortened(const QString &text)
{
    constexpr qsizetype longest = 40;
    return text.size() <= longest ? text : text.left(longest) + QChar(0x2026);
}

bool isFiniteNumber(const QJsonValue &value)
{
    return value.isDouble() && std::isfinite(value.toDouble());
}

std::optional<QList<QPointF>> pointsFromJson(const QJsonValue &json)
{
    if (!json.isArray())
        return std::nullopt;
    QList<QPointF> points;
    const QJsonArray array = json.toArray();
    points.reserve(array.size());
    for (const auto &element : array) {
        const QJsonArray pair = element.toArray();
        if (!element.isArray() || pair.size() != 2 || !isFiniteNumber(pair.at(0)) ||
            !isFiniteNumber(pair.at(1)))
            return std::nullopt;
        points << QPointF(pair.at(0).toDouble(), pair.at(1).toDouble());
    }
    return points;
}

std::optional<QRectF> windowFromJson(const QJsonValue &json)
{
    const QJsonArray array = json.toArray();
    if (!json.isArray() || array.size() != 4)
        return std::nullopt;
    for (const auto &value : array) {
        if (!isFiniteNumber(value))
            return std::nullopt;
    }
    const QRectF window(array.at(0).toDouble(), array.at(1).toDouble(), array.at(2).toDouble(),
                        array.at(3).toDouble());
    if (!(window.width() > 0) || !(window.height() > 0))
        return std::nullopt;
    return window;
}

// How many points a kind needs at least, and at most (0: no limit).
std::pair<qsizetype, qsizetype> pointCounts(CutoutCorrection::Kind kind)
{
    switch (kind) {
    case CutoutCorrection::Kind::DropSubject:
    case CutoutCorrection::Kind::AddSubject:
        return {1, 1};
    case CutoutCorrection::Kind::AddSubjectInBox:
        return {2, 2};
    case CutoutCorrection::Kind::Erase:
    case CutoutCorrection::Kind::Restore:
        break;
    }
    return {1, 0};
}

bool samePoints(const QList<QPointF> &a, const QList<QPointF> &b)
{
    if (a.size() != b.size())
        return false;
    for (qsizetype i = 0; i < a.size(); ++i) {
        if (a.at(i).x() != b.at(i).x() || a.at(i).y() != b.at(i).y())
            return false;
    }
    return true;
}

} // namespace

CutoutCorrection CutoutCorrection::dropSubject(const QPointF &point)
{
    return {Kind::DropSubject, {point}, 0.0, {}};
}

CutoutCorrection CutoutCorrection::addSubject(const QPointF &point, const QRectF &window)
{
    return {Kind::AddSubject, {point}, 0.0, window};
}

CutoutCorrection CutoutCorrection::addSubjectInBox(const QPointF &corner, const QPointF &oppositeCorner)
{
    return {Kind::AddSubjectInBox, {corner, oppositeCorner}, 0.0, {}};
}

CutoutCorrection CutoutCorrection::erase(const QList<QPointF> &stroke, double size)
{
    return {Kind::Erase, stroke, size, {}};
}

CutoutCorrection CutoutCorrection::restore(const QList<QPointF> &stroke, double size)
{
    return {Kind::Restore, stroke, size, {}};
}

QJsonObject CutoutCorrection::toJson() const
{
    QJsonArray path;
    for (const QPointF &point : points)
        path.append(QJsonArray{point.x(), point.y()});
    QJsonObject json{
        {QStringLiteral("kind"), CutoutCorrectionKinds::rawValue(kind)},
        {QStringLiteral("points"), path},
    };
    if (isStroke())
        json.insert(QStringLiteral("size"), size);
    if (kind == Kind::AddSubject)
        json.insert(QStringLiteral("window"),
                    QJsonArray{window.x(), window.y(), window.width(), window.height()});
    return json;
}

std::optional<CutoutCorrection> CutoutCorrection::fromJson(const QJsonValue &json, QString *error)
{
    const auto failed = [error](const QString &message) -> std::optional<CutoutCorrection> {
        if (error)
            *error = message;
        return std::nullopt;
    };
    if (!json.isObject())
        return failed(tr("ce n'est pas un objet JSON"));
    const QJsonObject object = json.toObject();

    const QJsonValue kindValue = object.value(QLatin1String("kind"));
    if (!kindValue.isString())
        return failed(tr("le membre « kind » est absent ou n'est pas un texte"));
    const std::optional<Kind> kind = CutoutCorrectionKinds::fromRawValue(kindValue.toString());
    if (!kind)
        return failed(tr("le type de correction « %1 » est inconnu").arg(shortened(kindValue.toString())));
    CutoutCorrection correction;
    correction.kind = *kind;

    const std::optional<QList<QPointF>> points = pointsFromJson(object.value(QLatin1String("points")));
    const auto [fewest, most] = pointCounts(*kind);
    if (!points || points->size() < fewest || (most > 0 && points->size() > most))
        return failed(tr("le membre « points » n'est pas une liste de points qui convient à ce type"));
    correction.points = *points;

    if (correction.isStroke()) {
        const QJsonValue size = object.value(QLatin1String("size"));
        if (!isFiniteNumber(size) || !(size.toDouble() > 0))
            return failed(tr("le membre « size » est absent ou n'est pas un nombre positif"));
        correction.size = size.toDouble();
    }
    if (*kind == Kind::AddSubject) {
        const std::optional<QRectF> window = windowFromJson(object.value(QLatin1String("window")));
        if (!window)
            return failed(tr("le membre « window » n'est pas un rectangle de quatre nombres"));
        correction.window = *window;
    }
    return correction;
}

bool operator==(const CutoutCorrection &a, const CutoutCorrection &b)
{
    return a.kind == b.kind && samePoints(a.points, b.points) && a.size == b.size &&
           a.window.x() == b.window.x() && a.window.y() == b.window.y() &&
           a.window.width() == b.window.width() && a.window.height() == b.window.height();
}

QList<CutoutCorrection::Kind> CutoutCorrectionKinds::all()
{
    using Kind = CutoutCorrection::Kind;
    return {Kind::DropSubject, Kind::AddSubject, Kind::AddSubjectInBox, Kind::Erase, Kind::Restore};
}

QString CutoutCorrectionKinds::rawValue(CutoutCorrection::Kind kind)
{
    switch (kind) {
    case CutoutCorrection::Kind::DropSubject:
        return QStringLiteral("dropSubject");
    case CutoutCorrection::Kind::AddSubject:
        return QStringLiteral("addSubject");
    case CutoutCorrection::Kind::AddSubjectInBox:
        return QStringLiteral("addSubjectInBox");
    case CutoutCorrection::Kind::Erase:
        return QStringLiteral("erase");
    case CutoutCorrection::Kind::Restore:
        return QStringLiteral("restore");
    }
    return {};
}

std::optional<CutoutCorrection::Kind> CutoutCorrectionKinds::fromRawValue(const QString &raw)
{
    for (const CutoutCorrection::Kind kind : all()) {
        if (rawValue(kind) == raw)
            return kind;
    }
    return std::nullopt;
}
