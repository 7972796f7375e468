#pragma once

#include "models/CaptureGroup.h"
#include "persistence/DocumentSettings.h"

#include <QList>
#include <QString>
#include <QUrl>
#include <QUuid>

// Everything a capture document holds that outlives an editing session: its groups and frames, the
// active group, the settings, the video the captures are taken from and the project file. A whole
// document is replaced by one of these when a video or a project is opened.
struct DocumentContent
{
    QList<CaptureGroup> groups;
    QUuid activeGroupID;
    DocumentSettings settings;
    // The video the captures are bound to; empty when none is.
    QUrl videoURL;
    // The video an opened project names but that could not be found; empty when there is none.
    QUrl missingVideoURL;
    QUrl projectURL;

    // Name of the first group of a new window, of an opened video and of an empty project.
    static QString defaultGroupName();
    // The content of a fresh document: one empty default group, made active, and default settings.
    static DocumentContent fresh();
};
