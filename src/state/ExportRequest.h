#pragma once

#include "models/ExportGroup.h"
#include "models/ExportMode.h"
#include "services/BatchExportService.h"
#include "support/MediaTime.h"

#include <QList>

class CaptureDocument;

// What an export of a document's captures is started with: its groups as the run takes them and
// the settings frozen for the run. The window and the command line start their exports from it, so
// that both write the same files.
struct ExportRequest
{
    QList<ExportGroup> groups;
    BatchExportService::Settings settings;

    // The document's groups (in sub-folders when there are several) and settings, with the times
    // in names measured from `timeOrigin`, the video's first frame. Kept liftings are not included:
    // the caller adds what it holds.
    static ExportRequest of(const CaptureDocument &document, ExportMode mode, const MediaTime &timeOrigin);
};
