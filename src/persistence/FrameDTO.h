#pragma once

#include "models/Annotation.h"
#include "models/CutoutCorrection.h"

#include <QList>
#include <QString>

#include <cstdint>
#include <optional>

// One captured frame as stored in a project file: its media time as value and timescale, its note
// and its drawings. Identifier and images are not stored.
struct FrameDTO
{
    std::int64_t timeValue = 0;
    std::int32_t timeScale = 1;
    QString notes;
    // Absent when a file left the member out; files written here always carry it.
    std::optional<QList<Annotation>> annotations;
    // The corrections of the frame's cut-out, in order; the member is written only when there are some.
    QList<CutoutCorrection> corrections;

    friend bool operator==(const FrameDTO &, const FrameDTO &) = default;
};
