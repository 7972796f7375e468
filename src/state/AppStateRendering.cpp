// Rendering operations of the window state: the image services and the preview renders.

#include "AppState.h"

#include "services/EdgeProcessingService.h"
#include "services/ExtractRenderer.h"
#include "services/ImageExportService.h"
#include "services/ImageFilterService.h"
#include "services/SubjectExtractionService.h"

#include <QThreadPool>
#include <QtConcurrent/QtConcurrentRun>

SubjectExtractionService *AppState::subjectExtractor() const
{
    return m_subjectExtractor.get();
}

ImageExportService *AppState::imageExporter() const
{
    return m_imageExporter.get();
}

ImageFilterService *AppState::imageFilter() const
{
    return m_imageFilter.get();
}

EdgeProcessingService *AppState::edgeProcessor() const
{
    return m_edgeProcessor.get();
}

ExtractRenderer AppState::renderer() const
{
    return ExtractRenderer{m_imageFilter.get(), m_edgeProcessor.get()};
}

QFuture<QImage> AppState::rendered(const CapturedFrame &frame, FilterStyle style) const
{
    if (!frame.hasSubjectPreview())
        return QtFuture::makeReadyFuture(QImage());
    // Copied here, on the main thread: later edits of the settings do not reach a render in flight.
    const EdgeParams params = m_edgeOptions.params();
    const ExtractRenderer renderer = this->renderer();
    const QImage subject = frame.subjectPreview;
    return QtConcurrent::run(m_renderPool.get(), [renderer, subject, style, params] {
        return renderer.render(subject, style, params);
    });
}
