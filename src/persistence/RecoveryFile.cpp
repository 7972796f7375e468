#include "RecoveryFile.h"

#include "persistence/IndentedJsonWriter.h"
#include "persistence/JsonIntegerTexts.h"
#include "persistence/JsonMemberReader.h"

#include <QCoreApplication>
#include <QJsonArray>
#include <QJsonObject>

using namespace Qt::Literals::StringLiterals;

namespace {

QString tr(const char *text)
{
    return QCoreApplication::translate("RecoveryFile", text);
}

void writeRecovery(IndentedJsonWriter &json, const RecoveryFile &file)
{
    json.beginObject();
    json.key("format"_L1);
    json.value(file.format);
    json.key("lastChange"_L1);
    json.value(file.lastChange.toUTC().toString(Qt::ISODateWithMs));
    if (file.projectPath) {
        json.key("projectPath"_L1);
        json.value(*file.projectPath);
    }
    json.key("selection"_L1);
    json.beginArray();
    for (const RecoveryFile::FramePosition &position : file.selection) {
        json.beginArray();
        json.value(position.group);
        json.value(position.frame);
        json.endArray();
    }
    json.endArray();
    json.endObject();
}

// One element of "selection": [group, frame], two integers.
std::optional<RecoveryFile::FramePosition> positionFromJson(const QJsonValue &json)
{
    const QJsonArray pair = json.toArray();
    if (!json.isArray() || pair.size() != 2)
        return std::nullopt;
    RecoveryFile::FramePosition position;
    for (int i = 0; i < 2; ++i) {
        const QJsonValue value = pair.at(i);
        // Positions are small: any integer QJsonDocument holds exactly is one, a fraction is not.
        const qint64 number = value.toInteger(-1);
        if (!value.isDouble() || number != value.toInteger(-2) || number < 0)
            return std::nullopt;
        (i == 0 ? position.group : position.frame) = number;
    }
    return position;
}

} // namespace

QByteArray RecoveryFile::toJson() const
{
    return project.toJson(ProjectFile::ExtraMember{
        "recovery"_L1, [this](IndentedJsonWriter &json) { writeRecovery(json, *this); }});
}

std::optional<RecoveryFile> RecoveryFile::fromJson(const QByteArray &json, QString *error)
{
    const auto failed = [error](const QString &message) -> std::optional<RecoveryFile> {
        if (error)
            *error = message;
        return std::nullopt;
    };
    const std::optional<QJsonObject> root = ProjectFile::parseRoot(json, error);
    if (!root)
        return std::nullopt;
    const QJsonValue recovery = root->value("recovery"_L1);
    if (!recovery.isObject())
        return failed(tr("ce n'est pas un fichier de récupération"));

    const QJsonObject object = recovery.toObject();
    static const QByteArray noJson;
    const JsonIntegerTexts noTexts(noJson);
    JsonMemberReader reader(object, QStringLiteral("recovery"), noTexts, std::nullopt, error);
    RecoveryFile file;
    // The format comes first: a later one may have changed any other member.
    file.format = reader.int64("format");
    if (!reader.ok())
        return std::nullopt;
    if (file.format > currentFormat)
        return failed(
            tr("le fichier vient d'une version plus récente du programme (format %1)").arg(file.format));
    if (file.format < 1)
        return failed(tr("le format %1 n'existe pas").arg(file.format));

    const QString lastChange = reader.string("lastChange");
    const std::optional<QJsonArray> selection = reader.optionalArray("selection");
    const QJsonValue projectPath = object.value("projectPath"_L1);
    if (!reader.ok())
        return std::nullopt;
    file.lastChange = QDateTime::fromString(lastChange, Qt::ISODateWithMs);
    if (!file.lastChange.isValid())
        return failed(tr("recovery : la date « %1 » n'est pas valide").arg(lastChange));
    file.lastChange = file.lastChange.toUTC();
    if (projectPath.isString())
        file.projectPath = projectPath.toString();
    else if (!projectPath.isUndefined() && !projectPath.isNull())
        return failed(tr("recovery : le membre « projectPath » n'est pas un texte"));
    if (selection) {
        for (qsizetype i = 0; i < selection->size(); ++i) {
            const std::optional<FramePosition> position = positionFromJson(selection->at(i));
            if (!position)
                return failed(tr("recovery.selection[%1] : deux positions entières sont attendues").arg(i));
            file.selection << *position;
        }
    }

    std::optional<ProjectFile> project = ProjectFile::fromRoot(*root, json, error);
    if (!project)
        return std::nullopt;
    file.project = std::move(*project);
    return file;
}
