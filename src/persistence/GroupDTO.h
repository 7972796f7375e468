#pragma once

#include "persistence/FrameDTO.h"

#include <QList>
#include <QString>

// One capture group as stored in a project file; its identifier is not stored.
struct GroupDTO
{
    QString name;
    QString notes;
    QList<FrameDTO> frames;

    friend bool operator==(const GroupDTO &, const GroupDTO &) = default;
};
