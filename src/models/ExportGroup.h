#pragma once

#include "models/CapturedFrame.h"

#include <QList>
#include <QString>

// One capture group as handed to an export run.
struct ExportGroup
{
    QString name;
    QString notes;
    QList<CapturedFrame> frames;
    bool useSubfolder = false; // write the group into its own folder inside the output folder
};
