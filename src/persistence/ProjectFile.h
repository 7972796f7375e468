#pragma once

#include "persistence/EdgeDTO.h"
#include "persistence/GroupDTO.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <cstdint>
#include <optional>

// The root of a project file: the working state of one window without its images.
struct ProjectFile
{
    std::int64_t version = 1;
    std::optional<QByteArray> videoBookmark;
    QString videoName;
    std::optional<QByteArray> outputFolderBookmark;
    bool cropToSubject = false;
    QString filter = QStringLiteral("none");
    EdgeDTO edge;
    // The exported images' file format ("webp"); absent for PNG, so that such a project is written
    // as before the choice existed.
    std::optional<QString> imageFormat;
    std::int64_t activeGroupIndex = 0;
    QList<GroupDTO> groups;

    // Indented JSON, members of every object sorted by name, absent bookmarks and format left out.
    QByteArray toJson() const;
    // Strict reading: a missing or mistyped member, an integer that does not fit its field or a
    // bookmark that is not base64 fails the whole document; `error` then says what and where.
    static std::optional<ProjectFile> fromJson(const QByteArray &json, QString *error = nullptr);

    // Where the first number that JSON cannot hold (NaN or infinite) sits, e.g. "edge.shrink";
    // empty when every number can be written.
    QString firstNonFiniteNumber() const;

    friend bool operator==(const ProjectFile &, const ProjectFile &) = default;
};
