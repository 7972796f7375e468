#include "ProjectFile.h"

#include "persistence/JsonIntegerTexts.h"
#include "persistence/JsonMemberReader.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>
#include <cmath>

namespace {

// ---- Writing ----------------------------------------------------------------------------------
// QJsonObject keeps its members sorted by name, and QJsonDocument writes doubles in their
// shortest round-trip form and 64-bit integers exactly.

QJsonObject edgeToJson(const EdgeDTO &edge)
{
    return QJsonObject{
        {QStringLiteral("shrink"), edge.shrink},
        {QStringLiteral("feather"), edge.feather},
        {QStringLiteral("outline"), edge.outline},
        {QStringLiteral("outlineWidth"), edge.outlineWidth},
        {QStringLiteral("r"), edge.r},
        {QStringLiteral("g"), edge.g},
        {QStringLiteral("b"), edge.b},
        {QStringLiteral("a"), edge.a},
    };
}

QJsonObject frameToJson(const FrameDTO &frame)
{
    QJsonArray annotations;
    for (const Annotation &annotation : frame.annotations.value_or(QList<Annotation>{}))
        annotations.append(annotation.toJson());
    return QJsonObject{
        {QStringLiteral("timeValue"), qint64(frame.timeValue)},
        {QStringLiteral("timeScale"), int(frame.timeScale)},
        {QStringLiteral("notes"), frame.notes},
        {QStringLiteral("annotations"), annotations},
    };
}

QJsonObject groupToJson(const GroupDTO &group)
{
    QJsonArray frames;
    for (const FrameDTO &frame : group.frames)
        frames.append(frameToJson(frame));
    return QJsonObject{
        {QStringLiteral("name"), group.name},
        {QStringLiteral("notes"), group.notes},
        {QStringLiteral("frames"), frames},
    };
}

// ---- Reading ----------------------------------------------------------------------------------

// The members read as integers; their literal text is kept so that they are read exactly.
const QList<QByteArray> integerMembers{"version", "activeGroupIndex", "timeValue", "timeScale"};

std::optional<EdgeDTO> edgeFromJson(const QJsonObject &json, const QString &place,
                                    const JsonIntegerTexts &integers, QString *error)
{
    JsonMemberReader reader(json, place, integers, error);
    EdgeDTO edge;
    edge.shrink = reader.number("shrink");
    edge.feather = reader.number("feather");
    edge.outline = reader.boolean("outline");
    edge.outlineWidth = reader.number("outlineWidth");
    edge.r = reader.number("r");
    edge.g = reader.number("g");
    edge.b = reader.number("b");
    edge.a = reader.number("a");
    if (!reader.ok())
        return std::nullopt;
    return edge;
}

std::optional<FrameDTO> frameFromJson(const QJsonValue &json, const QString &place,
                                      const JsonIntegerTexts &integers, QString *error)
{
    if (!json.isObject()) {
        if (error)
            *error = place + QStringLiteral(" is not an object");
        return std::nullopt;
    }
    const QJsonObject object = json.toObject();
    JsonMemberReader reader(object, place, integers, error);
    FrameDTO frame;
    frame.timeValue = reader.int64("timeValue");
    frame.timeScale = reader.int32("timeScale");
    frame.notes = reader.string("notes");
    const std::optional<QJsonArray> annotations = reader.optionalArray("annotations");
    if (!reader.ok())
        return std::nullopt;
    if (annotations) {
        QList<Annotation> list;
        list.reserve(annotations->size());
        for (qsizetype i = 0; i < annotations->size(); ++i) {
            QString annotationError;
            std::optional<Annotation> annotation = Annotation::fromJson(annotations->at(i), &annotationError);
            if (!annotation) {
                if (error)
                    *error = reader.placeOf("annotations", i) + QStringLiteral(": ") + annotationError;
                return std::nullopt;
            }
            list.append(*annotation);
        }
        frame.annotations = std::move(list);
    }
    return frame;
}

std::optional<GroupDTO> groupFromJson(const QJsonValue &json, const QString &place,
                                      const JsonIntegerTexts &integers, QString *error)
{
    if (!json.isObject()) {
        if (error)
            *error = place + QStringLiteral(" is not an object");
        return std::nullopt;
    }
    const QJsonObject object = json.toObject();
    JsonMemberReader reader(object, place, integers, error);
    GroupDTO group;
    group.name = reader.string("name");
    group.notes = reader.string("notes");
    const QJsonArray frames = reader.array("frames");
    if (!reader.ok())
        return std::nullopt;
    group.frames.reserve(frames.size());
    for (qsizetype i = 0; i < frames.size(); ++i) {
        std::optional<FrameDTO> frame =
            frameFromJson(frames.at(i), reader.placeOf("frames", i), integers, error);
        if (!frame)
            return std::nullopt;
        group.frames.append(std::move(*frame));
    }
    return group;
}

} // namespace

QByteArray ProjectFile::toJson() const
{
    QJsonArray groupArray;
    for (const GroupDTO &group : groups)
        groupArray.append(groupToJson(group));

    QJsonObject root{
        {QStringLiteral("version"), qint64(version)},
        {QStringLiteral("videoName"), videoName},
        {QStringLiteral("cropToSubject"), cropToSubject},
        {QStringLiteral("filter"), filter},
        {QStringLiteral("edge"), edgeToJson(edge)},
        {QStringLiteral("activeGroupIndex"), qint64(activeGroupIndex)},
        {QStringLiteral("groups"), groupArray},
    };
    if (videoBookmark)
        root.insert(QStringLiteral("videoBookmark"), QString::fromLatin1(videoBookmark->toBase64()));
    if (outputFolderBookmark)
        root.insert(QStringLiteral("outputFolderBookmark"),
                    QString::fromLatin1(outputFolderBookmark->toBase64()));
    return QJsonDocument(root).toJson(QJsonDocument::Indented);
}

std::optional<ProjectFile> ProjectFile::fromJson(const QByteArray &json, QString *error)
{
    auto failed = [error](const QString &message) -> std::optional<ProjectFile> {
        if (error)
            *error = message;
        return std::nullopt;
    };
    const auto isSpace = [](char c) { return c == ' ' || c == '\n' || c == '\r' || c == '\t'; };
    if (std::all_of(json.begin(), json.end(), isSpace))
        return failed(QStringLiteral("the file is empty"));

    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(json, &parseError);
    if (parseError.error != QJsonParseError::NoError)
        return failed(QStringLiteral("the file is not valid JSON: %1 (at byte %2)")
                          .arg(parseError.errorString())
                          .arg(parseError.offset));
    if (!document.isObject())
        return failed(QStringLiteral("the document is not a JSON object"));

    const JsonIntegerTexts integers(json, integerMembers);
    const QJsonObject root = document.object();
    JsonMemberReader reader(root, QString(), integers, error);
    ProjectFile file;
    file.version = reader.int64("version");
    file.videoBookmark = reader.optionalBase64("videoBookmark");
    file.videoName = reader.string("videoName");
    file.outputFolderBookmark = reader.optionalBase64("outputFolderBookmark");
    file.cropToSubject = reader.boolean("cropToSubject");
    file.filter = reader.string("filter");
    const QJsonObject edge = reader.object("edge");
    file.activeGroupIndex = reader.int64("activeGroupIndex");
    const QJsonArray groups = reader.array("groups");
    if (!reader.ok())
        return std::nullopt;

    std::optional<EdgeDTO> edgeDTO = edgeFromJson(edge, reader.placeOf("edge"), integers, error);
    if (!edgeDTO)
        return std::nullopt;
    file.edge = *edgeDTO;

    file.groups.reserve(groups.size());
    for (qsizetype i = 0; i < groups.size(); ++i) {
        std::optional<GroupDTO> group =
            groupFromJson(groups.at(i), reader.placeOf("groups", i), integers, error);
        if (!group)
            return std::nullopt;
        file.groups.append(std::move(*group));
    }
    return file;
}

QString ProjectFile::firstNonFiniteNumber() const
{
    const std::pair<const char *, double> edgeNumbers[] = {
        {"shrink", edge.shrink},
        {"feather", edge.feather},
        {"outlineWidth", edge.outlineWidth},
        {"r", edge.r},
        {"g", edge.g},
        {"b", edge.b},
        {"a", edge.a},
    };
    for (const auto &[name, value] : edgeNumbers) {
        if (!std::isfinite(value))
            return QStringLiteral("edge.") + QLatin1String(name);
    }
    for (qsizetype g = 0; g < groups.size(); ++g) {
        const QList<FrameDTO> &frames = groups.at(g).frames;
        for (qsizetype f = 0; f < frames.size(); ++f) {
            const QList<Annotation> annotations = frames.at(f).annotations.value_or(QList<Annotation>{});
            for (qsizetype i = 0; i < annotations.size(); ++i) {
                const Annotation &x = annotations.at(i);
                for (const double value :
                     {x.start.x(), x.start.y(), x.end.x(), x.end.y(), x.r, x.g, x.b, x.a, x.lineWidth}) {
                    if (!std::isfinite(value))
                        return QStringLiteral("groups[%1].frames[%2].annotations[%3]").arg(g).arg(f).arg(i);
                }
            }
        }
    }
    return {};
}
