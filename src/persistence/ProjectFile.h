#pragma once

#include "persistence/DocumentSettings.h"
#include "persistence/GroupDTO.h"

#include <QByteArray>
#include <QJsonObject>
#include <QLatin1StringView>
#include <QList>
#include <QString>

#include <cstdint>
#include <functional>
#include <optional>

class IndentedJsonWriter;

// The root of a project file: the working state of one window without its images.
struct ProjectFile
{
    std::int64_t version = 1;
    std::optional<QByteArray> videoBookmark;
    QString videoName;
    // The settings, each as its declaration stores it, under its own member.
    StoredSettings settings;
    std::int64_t activeGroupIndex = 0;
    QList<GroupDTO> groups;

    // A member of the root that a file of another kind adds to the project's own (a recovery
    // file, say): written in its place among the others, sorted by name.
    struct ExtraMember
    {
        QLatin1StringView name;
        std::function<void(IndentedJsonWriter &)> write;
    };

    // Indented JSON, members of every object sorted by name, absent bookmarks and settings left out.
    QByteArray toJson() const;
    QByteArray toJson(const ExtraMember &extra) const;
    // Strict reading: a missing or mistyped member, an integer that does not fit its field or a
    // bookmark that is not base64 fails the whole document; `error` then says what and where.
    static std::optional<ProjectFile> fromJson(const QByteArray &json, QString *error = nullptr);
    // The two steps of fromJson: the root object of the text, then the project read from it
    // (`json` is the text the root was parsed from).
    static std::optional<QJsonObject> parseRoot(const QByteArray &json, QString *error = nullptr);
    static std::optional<ProjectFile> fromRoot(const QJsonObject &root, const QByteArray &json,
                                               QString *error = nullptr);

    // Where the first number that JSON cannot hold (NaN or infinite) sits, e.g. "edge.shrink";
    // empty when every number can be written.
    QString firstNonFiniteNumber() const;

    friend bool operator==(const ProjectFile &, const ProjectFile &) = default;
};
