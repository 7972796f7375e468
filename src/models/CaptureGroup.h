#pragma once

#include "models/CapturedFrame.h"

#include <QList>
#include <QString>
#include <QUuid>

// A named list of captured frames. Two groups are equal when identifier, name and notes are equal
// and they list the same frame identifiers in the same order; the hash is the identifier's alone.
struct CaptureGroup
{
    QUuid id = QUuid::createUuid();
    QString name;
    QString notes;
    QList<CapturedFrame> frames;

    CaptureGroup() = default;
    explicit CaptureGroup(const QString &groupName) : name(groupName) {}

    // Position of the frame with this identifier, or -1.
    qsizetype indexOfFrame(const QUuid &frameId) const;

    friend bool operator==(const CaptureGroup &a, const CaptureGroup &b)
    {
        return a.id == b.id && a.name == b.name && a.notes == b.notes && a.frames == b.frames;
    }
};

inline size_t qHash(const CaptureGroup &group, size_t seed = 0)
{
    return qHash(group.id, seed);
}
