#pragma once

#include "persistence/ProjectFile.h"

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QString>

#include <cstdint>
#include <optional>

// The unsaved work of one window, kept beside the user's files so that it survives a crash: a
// project file with one member more, "recovery", holding what a project file leaves out: the
// project's own path, the selection and the time of the last change. A recovery file therefore opens
// as a project file too.
struct RecoveryFile
{
    // The layout of the "recovery" member this program writes; a file of a later layout is refused.
    static constexpr std::int64_t currentFormat = 1;

    // A selected frame, by the position of its group and its own position in that group.
    struct FramePosition
    {
        std::int64_t group = 0;
        std::int64_t frame = 0;
        friend bool operator==(const FramePosition &, const FramePosition &) = default;
    };

    ProjectFile project;
    std::int64_t format = currentFormat;
    // The project file the work was opened from or last saved to; absent for an untitled window.
    std::optional<QString> projectPath;
    QList<FramePosition> selection;
    // When the work last changed, in UTC to the millisecond.
    QDateTime lastChange;

    QByteArray toJson() const;
    // Refuses, saying why in French: bytes that are no project file, a project file without the
    // "recovery" member (a foreign file), a later format, or a damaged member.
    static std::optional<RecoveryFile> fromJson(const QByteArray &json, QString *error = nullptr);

    friend bool operator==(const RecoveryFile &, const RecoveryFile &) = default;
};
