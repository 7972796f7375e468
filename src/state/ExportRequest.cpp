#include "ExportRequest.h"

#include "services/ImageExportService.h"
#include "state/CaptureDocument.h"

ExportRequest ExportRequest::of(const CaptureDocument &document, ExportMode mode, const MediaTime &timeOrigin)
{
    ExportRequest request;
    const QList<CaptureGroup> &groups = document.groups();
    for (const CaptureGroup &group : groups)
        request.groups << ExportGroup{group.name, group.notes, group.frames, groups.size() > 1};

    BatchExportService::Settings &settings = request.settings;
    settings.videoName = document.videoName();
    settings.outputFolder = document.outputFolder().toLocalFile();
    settings.mode = mode;
    settings.crop = document.cropToSubject();
    settings.filter = document.selectedFilter();
    settings.edge = document.edgeOptions();
    // WebP chosen in a project opened where it cannot be written: PNG, rather than no image.
    settings.format =
        ImageExportService::canWrite(document.imageFormat()) ? document.imageFormat() : ImageFormat::Png;
    settings.timeOrigin = timeOrigin;
    return request;
}
