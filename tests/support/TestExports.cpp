#include "TestExports.h"

#include "models/ExportGroup.h"
#include "services/BatchExportService.h"
#include "services/EdgeProcessingService.h"
#include "services/ImageExportService.h"
#include "services/ImageFilterService.h"
#include "services/SubjectExtractionService.h"
#include "services/VideoFrameExtractorService.h"
#include "state/ExportRuns.h"

ExportRun *TestExports::runWithoutVideo(ExportRuns &runs, int frames, const QString &folder)
{
    const BatchExportService::Services services{
        std::make_shared<VideoFrameExtractorService>(), std::make_shared<SubjectExtractionService>(),
        std::make_shared<ImageExportService>(), std::make_shared<ImageFilterService>(),
        std::make_shared<EdgeProcessingService>()};
    ExportGroup group{QStringLiteral("Captures"), QString(), {}, false};
    for (int i = 1; i <= frames; ++i)
        group.frames << CapturedFrame(MediaTime(i, 30));
    BatchExportService::Settings settings;
    settings.videoName = QStringLiteral("video");
    settings.outputFolder = folder;
    return runs.start(services, {group}, settings);
}
