#include "ProjectFile.h"

#include "models/AnnotationMembers.h"
#include "persistence/IndentedJsonWriter.h"
#include "persistence/JsonIntegerTexts.h"
#include "persistence/JsonMemberReader.h"

#include <QCoreApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>
#include <array>
#include <cmath>
#include <type_traits>

using namespace Qt::Literals::StringLiterals;

namespace {

// ---- Writing ----------------------------------------------------------------------------------
// Members are written sorted by name.

// A value made of objects, arrays, texts, numbers, booleans and nulls, members sorted by name as
// QJsonObject keeps them; an integer is written exactly, whatever its size.
void writeJson(IndentedJsonWriter &json, const QJsonValue &value)
{
    if (value.isObject()) {
        const QJsonObject object = value.toObject();
        json.beginObject();
        for (auto it = object.constBegin(); it != object.constEnd(); ++it) {
            json.key(it.key());
            writeJson(json, it.value());
        }
        json.endObject();
    } else if (value.isArray()) {
        json.beginArray();
        const QJsonArray elements = value.toArray();
        for (qsizetype i = 0; i < elements.size(); ++i)
            writeJson(json, elements.at(i));
        json.endArray();
    } else if (value.isBool()) {
        json.value(value.toBool());
    } else if (value.isDouble()) {
        if (value.toVariant().typeId() == QMetaType::LongLong)
            json.value(std::int64_t(value.toInteger()));
        else
            json.value(value.toDouble());
    } else if (value.isString()) {
        json.value(value.toString());
    } else {
        json.null();
    }
}

void writePoint(IndentedJsonWriter &json, const QPointF &point)
{
    json.beginArray();
    json.value(point.x());
    json.value(point.y());
    json.endArray();
}

// An annotation as its members say (an unread one as it was read).
void writeAnnotation(IndentedJsonWriter &json, const Annotation &annotation)
{
    if (annotation.isUnread()) {
        writeJson(json, annotation.unread);
        return;
    }
    struct Visitor
    {
        IndentedJsonWriter &json;
        void operator()(double number) const { json.value(number); }
        void operator()(bool flag) const { json.value(flag); }
        void operator()(const QString &text) const { json.value(text); }
        void operator()(const QPointF &point) const { writePoint(json, point); }
        void operator()(const QList<QPointF> &points) const
        {
            json.beginArray();
            for (const QPointF &point : points)
                writePoint(json, point);
            json.endArray();
        }
    };
    const AnnotationMembers members = annotation.members();
    json.beginObject();
    for (const AnnotationMembers::Member &member : members.members()) {
        json.key(member.name);
        std::visit(Visitor{json}, member.value);
    }
    json.endObject();
}

// Every number the members would write is one that JSON can hold.
bool allFinite(const AnnotationMembers &members)
{
    const auto finite = [](const QPointF &point) {
        return std::isfinite(point.x()) && std::isfinite(point.y());
    };
    for (const AnnotationMembers::Member &member : members.members()) {
        const AnnotationMembers::Value &value = member.value;
        if (const double *number = std::get_if<double>(&value); number && !std::isfinite(*number))
            return false;
        if (const QPointF *point = std::get_if<QPointF>(&value); point && !finite(*point))
            return false;
        if (const QList<QPointF> *points = std::get_if<QList<QPointF>>(&value);
            points && !std::all_of(points->begin(), points->end(), finite))
            return false;
    }
    return true;
}

void writeEdge(IndentedJsonWriter &json, const EdgeOptions &edge)
{
    const RgbaColor &color = edge.outlineColor;
    json.beginObject();
    json.key("a"_L1);
    json.value(color.a);
    json.key("b"_L1);
    json.value(color.b);
    if (edge.cleanColors) {
        json.key("cleanColors"_L1);
        json.value(edge.cleanColors);
    }
    json.key("feather"_L1);
    json.value(edge.feather);
    json.key("g"_L1);
    json.value(color.g);
    json.key("outline"_L1);
    json.value(edge.outline);
    json.key("outlineWidth"_L1);
    json.value(edge.outlineWidth);
    json.key("r"_L1);
    json.value(color.r);
    json.key("shrink"_L1);
    json.value(edge.shrink);
    json.endObject();
}

void writeFrame(IndentedJsonWriter &json, const FrameDTO &frame)
{
    json.beginObject();
    json.key("annotations"_L1);
    json.beginArray();
    if (frame.annotations) {
        for (const Annotation &annotation : *frame.annotations)
            writeAnnotation(json, annotation);
    }
    json.endArray();
    if (!frame.corrections.isEmpty()) {
        json.key("corrections"_L1);
        json.beginArray();
        for (const CutoutCorrection &correction : frame.corrections)
            writeJson(json, correction.toJson());
        json.endArray();
    }
    json.key("notes"_L1);
    json.value(frame.notes);
    json.key("timeScale"_L1);
    json.value(std::int64_t(frame.timeScale));
    json.key("timeValue"_L1);
    json.value(frame.timeValue);
    json.endObject();
}

void writeGroup(IndentedJsonWriter &json, const GroupDTO &group)
{
    json.beginObject();
    json.key("frames"_L1);
    json.beginArray();
    for (const FrameDTO &frame : group.frames)
        writeFrame(json, frame);
    json.endArray();
    json.key("name"_L1);
    json.value(group.name);
    json.key("notes"_L1);
    json.value(group.notes);
    json.endObject();
}

void writeBase64(IndentedJsonWriter &json, const QByteArray &bytes)
{
    json.value(QString::fromLatin1(bytes.toBase64()));
}

// The value of a setting as its member holds it; an empty optional one has no member at all.
void writeStored(IndentedJsonWriter &json, bool flag)
{
    json.value(flag);
}

void writeStored(IndentedJsonWriter &json, const QString &text)
{
    json.value(text);
}

void writeStored(IndentedJsonWriter &json, const QByteArray &bytes)
{
    writeBase64(json, bytes);
}

void writeStored(IndentedJsonWriter &json, const EdgeOptions &edge)
{
    writeEdge(json, edge);
}

template<typename T>
bool isWritten(const T &)
{
    return true;
}

template<typename T>
bool isWritten(const std::optional<T> &value)
{
    return value.has_value();
}

template<typename T>
void writeStored(IndentedJsonWriter &json, const std::optional<T> &value)
{
    writeStored(json, *value);
}

// One member of the root object, written by `write` once its name is.
struct RootMember
{
    QLatin1StringView name;
    std::function<void(IndentedJsonWriter &)> write;
};

// ---- Reading ----------------------------------------------------------------------------------

// What QJsonDocument found wrong, in French.
QString parseProblem(QJsonParseError::ParseError error)
{
    const auto tr = [](const char *text) { return QCoreApplication::translate("ProjectFile", text); };
    switch (error) {
    case QJsonParseError::NoError:
        break;
    case QJsonParseError::UnterminatedObject:
        return tr("objet non terminé");
    case QJsonParseError::MissingNameSeparator:
        return tr("« : » manquant après un nom de membre");
    case QJsonParseError::UnterminatedArray:
        return tr("tableau non terminé");
    case QJsonParseError::MissingValueSeparator:
        return tr("« , » manquante entre deux valeurs");
    case QJsonParseError::IllegalValue:
        return tr("valeur non reconnue");
    case QJsonParseError::TerminationByNumber:
        return tr("le fichier s'arrête au milieu d'un nombre");
    case QJsonParseError::IllegalNumber:
        return tr("nombre non valide");
    case QJsonParseError::IllegalEscapeSequence:
        return tr("séquence d'échappement non valide");
    case QJsonParseError::IllegalUTF8String:
        return tr("texte UTF-8 non valide");
    case QJsonParseError::UnterminatedString:
        return tr("texte non terminé");
    case QJsonParseError::MissingObject:
        return tr("un objet est attendu");
    case QJsonParseError::DeepNesting:
        return tr("imbrication trop profonde");
    case QJsonParseError::DocumentTooLarge:
        return tr("document trop volumineux");
    case QJsonParseError::GarbageAtEnd:
        return tr("des données suivent la fin du document");
    }
    return tr("erreur inconnue");
}

// The value of a setting read from its member of the root; an object is read whole, its members once
// the whole root is (see fromRoot).
void readStored(JsonMemberReader &reader, const char *name, bool &flag)
{
    flag = reader.boolean(name);
}

void readStored(JsonMemberReader &reader, const char *name, QString &text)
{
    text = reader.string(name);
}

void readStored(JsonMemberReader &reader, const char *name, std::optional<QString> &text)
{
    text = reader.optionalString(name);
}

void readStored(JsonMemberReader &reader, const char *name, std::optional<QByteArray> &bytes)
{
    bytes = reader.optionalBase64(name);
}

// The first number of the edge settings that JSON cannot hold, e.g. "shrink"; empty when there is
// none.
QString nonFiniteMember(const EdgeOptions &edge)
{
    const std::pair<const char *, double> edgeNumbers[] = {
        {"shrink", edge.shrink},    {"feather", edge.feather},  {"outlineWidth", edge.outlineWidth},
        {"r", edge.outlineColor.r}, {"g", edge.outlineColor.g}, {"b", edge.outlineColor.b},
        {"a", edge.outlineColor.a},
    };
    for (const auto &[name, value] : edgeNumbers) {
        if (!std::isfinite(value))
            return QLatin1String(name);
    }
    return {};
}

std::optional<EdgeOptions> edgeFromJson(const QJsonObject &json, const QString &place,
                                        const JsonIntegerTexts &integers, QString *error)
{
    JsonMemberReader reader(json, place, integers, std::nullopt, error);
    EdgeOptions edge;
    edge.shrink = reader.number("shrink");
    edge.feather = reader.number("feather");
    edge.outline = reader.boolean("outline");
    edge.outlineWidth = reader.number("outlineWidth");
    RgbaColor &color = edge.outlineColor;
    color.r = reader.number("r");
    color.g = reader.number("g");
    color.b = reader.number("b");
    color.a = reader.number("a");
    if (json.contains("cleanColors"_L1))
        edge.cleanColors = reader.boolean("cleanColors");
    if (!reader.ok())
        return std::nullopt;
    return edge;
}

// The element at `place` as an object, or a failure saying it is not one.
std::optional<QJsonObject> elementObject(const QJsonValue &json, const QString &place, QString *error)
{
    if (json.isObject())
        return json.toObject();
    if (error)
        *error = QCoreApplication::translate("ProjectFile", "%1 n'est pas un objet").arg(place);
    return std::nullopt;
}

std::optional<FrameDTO> frameFromJson(const QJsonValue &json, const QString &place,
                                      const JsonIntegerTexts &integers, JsonIntegerTexts::Place integerPlace,
                                      QString *error)
{
    const std::optional<QJsonObject> element = elementObject(json, place, error);
    if (!element)
        return std::nullopt;
    const QJsonObject &object = *element;
    JsonMemberReader reader(object, place, integers, integerPlace, error);
    FrameDTO frame;
    frame.timeValue = reader.int64("timeValue");
    frame.timeScale = reader.int32("timeScale");
    frame.notes = reader.string("notes");
    const std::optional<QJsonArray> annotations = reader.optionalArray("annotations");
    const std::optional<QJsonArray> corrections = reader.optionalArray("corrections");
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
                    *error = reader.placeOf("annotations", i) + QStringLiteral(" : ") + annotationError;
                return std::nullopt;
            }
            list.append(*annotation);
        }
        frame.annotations = std::move(list);
    }
    if (corrections) {
        frame.corrections.reserve(corrections->size());
        for (qsizetype i = 0; i < corrections->size(); ++i) {
            QString correctionError;
            std::optional<CutoutCorrection> correction =
                CutoutCorrection::fromJson(corrections->at(i), &correctionError);
            if (!correction) {
                if (error)
                    *error = reader.placeOf("corrections", i) + QStringLiteral(" : ") + correctionError;
                return std::nullopt;
            }
            frame.corrections.append(*correction);
        }
    }
    return frame;
}

std::optional<GroupDTO> groupFromJson(const QJsonValue &json, const QString &place, qsizetype groupIndex,
                                      const JsonIntegerTexts &integers, QString *error)
{
    const std::optional<QJsonObject> element = elementObject(json, place, error);
    if (!element)
        return std::nullopt;
    const QJsonObject &object = *element;
    JsonMemberReader reader(object, place, integers, std::nullopt, error);
    GroupDTO group;
    group.name = reader.string("name");
    group.notes = reader.string("notes");
    const QJsonArray frames = reader.array("frames");
    if (!reader.ok())
        return std::nullopt;
    group.frames.reserve(frames.size());
    for (qsizetype i = 0; i < frames.size(); ++i) {
        std::optional<FrameDTO> frame = frameFromJson(frames.at(i), reader.placeOf("frames", i), integers,
                                                      JsonIntegerTexts::Place::frameOf(groupIndex, i), error);
        if (!frame)
            return std::nullopt;
        group.frames.append(std::move(*frame));
    }
    return group;
}

} // namespace

QByteArray ProjectFile::toJson() const
{
    return toJson(ExtraMember{});
}

QByteArray ProjectFile::toJson(const ExtraMember &extra) const
{
    // About 700 bytes per drawing in this layout.
    qsizetype drawings = 0;
    for (const GroupDTO &group : groups) {
        for (const FrameDTO &frame : group.frames)
            drawings += frame.annotations ? frame.annotations->size() : 0;
    }
    IndentedJsonWriter json(4096 + drawings * 720);

    QList<RootMember> members{
        {"activeGroupIndex"_L1, [this](IndentedJsonWriter &out) { out.value(activeGroupIndex); }},
        {"groups"_L1,
         [this](IndentedJsonWriter &out) {
             out.beginArray();
             for (const GroupDTO &group : groups)
                 writeGroup(out, group);
             out.endArray();
         }},
        {"version"_L1, [this](IndentedJsonWriter &out) { out.value(version); }},
        {"videoName"_L1, [this](IndentedJsonWriter &out) { out.value(videoName); }},
    };
    if (videoBookmark)
        members.append(
            {"videoBookmark"_L1, [this](IndentedJsonWriter &out) { writeBase64(out, *videoBookmark); }});
    ProjectSettings::forEach([&]<typename Setting>() {
        const auto &value = settings.get<Setting>();
        if (isWritten(value))
            members.append({QLatin1StringView(Setting::member),
                            [&value](IndentedJsonWriter &out) { writeStored(out, value); }});
    });
    if (extra.write)
        members.append({extra.name, extra.write});
    std::sort(members.begin(), members.end(),
              [](const RootMember &a, const RootMember &b) { return a.name < b.name; });

    json.beginObject();
    for (const RootMember &member : members) {
        json.key(member.name);
        member.write(json);
    }
    json.endObject();
    return json.take();
}

std::optional<ProjectFile> ProjectFile::fromJson(const QByteArray &json, QString *error)
{
    const std::optional<QJsonObject> root = parseRoot(json, error);
    if (!root)
        return std::nullopt;
    return fromRoot(*root, json, error);
}

std::optional<QJsonObject> ProjectFile::parseRoot(const QByteArray &json, QString *error)
{
    auto failed = [error](const QString &message) -> std::optional<QJsonObject> {
        if (error)
            *error = message;
        return std::nullopt;
    };
    const auto isSpace = [](char c) { return c == ' ' || c == '\n' || c == '\r' || c == '\t'; };
    if (std::all_of(json.begin(), json.end(), isSpace))
        return failed(QCoreApplication::translate("ProjectFile", "le fichier est vide"));

    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(json, &parseError);
    if (parseError.error != QJsonParseError::NoError)
        return failed(
            QCoreApplication::translate("ProjectFile", "le fichier n'est pas du JSON valide : %1 (octet %2)")
                .arg(parseProblem(parseError.error))
                .arg(parseError.offset));
    if (!document.isObject())
        return failed(QCoreApplication::translate("ProjectFile", "le document n'est pas un objet JSON"));
    return document.object();
}

std::optional<ProjectFile> ProjectFile::fromRoot(const QJsonObject &root, const QByteArray &json,
                                                 QString *error)
{
    const JsonIntegerTexts integers(json);
    JsonMemberReader reader(root, QString(), integers, JsonIntegerTexts::Place::root(), error);
    ProjectFile file;
    file.version = reader.int64("version");
    file.videoBookmark = reader.optionalBase64("videoBookmark");
    file.videoName = reader.string("videoName");
    // Each setting's member, objects whole: their own members are read once the root's are.
    std::array<QJsonObject, ProjectSettings::size> objects;
    ProjectSettings::forEach([&]<typename Setting>() {
        auto &value = file.settings.get<Setting>();
        if constexpr (std::is_same_v<std::remove_cvref_t<decltype(value)>, EdgeOptions>)
            objects.at(ProjectSettings::indexOf<Setting>) = reader.object(Setting::member);
        else
            readStored(reader, Setting::member, value);
    });
    file.activeGroupIndex = reader.int64("activeGroupIndex");
    const QJsonArray groups = reader.array("groups");
    if (!reader.ok())
        return std::nullopt;

    bool settingsRead = true;
    ProjectSettings::forEach([&]<typename Setting>() {
        auto &value = file.settings.get<Setting>();
        if constexpr (std::is_same_v<std::remove_cvref_t<decltype(value)>, EdgeOptions>) {
            if (!settingsRead)
                return;
            const std::optional<EdgeOptions> edge =
                edgeFromJson(objects.at(ProjectSettings::indexOf<Setting>), reader.placeOf(Setting::member),
                             integers, error);
            settingsRead = edge.has_value();
            if (edge)
                value = *edge;
        }
    });
    if (!settingsRead)
        return std::nullopt;

    file.groups.reserve(groups.size());
    for (qsizetype i = 0; i < groups.size(); ++i) {
        std::optional<GroupDTO> group =
            groupFromJson(groups.at(i), reader.placeOf("groups", i), i, integers, error);
        if (!group)
            return std::nullopt;
        file.groups.append(std::move(*group));
    }
    return file;
}

QString ProjectFile::firstNonFiniteNumber() const
{
    QString place;
    ProjectSettings::forEach([&]<typename Setting>() {
        const auto &value = settings.get<Setting>();
        if constexpr (std::is_same_v<std::remove_cvref_t<decltype(value)>, EdgeOptions>) {
            const QString member = nonFiniteMember(value);
            if (place.isEmpty() && !member.isEmpty())
                place = QLatin1String(Setting::member) + QLatin1Char('.') + member;
        }
    });
    if (!place.isEmpty())
        return place;
    for (qsizetype g = 0; g < groups.size(); ++g) {
        const QList<FrameDTO> &frames = groups.at(g).frames;
        for (qsizetype f = 0; f < frames.size(); ++f) {
            const QList<Annotation> annotations = frames.at(f).annotations.value_or(QList<Annotation>{});
            for (qsizetype i = 0; i < annotations.size(); ++i) {
                if (!allFinite(annotations.at(i).members()))
                    return QStringLiteral("groups[%1].frames[%2].annotations[%3]").arg(g).arg(f).arg(i);
            }
        }
    }
    return {};
}
