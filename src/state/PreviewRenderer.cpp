#include "PreviewRenderer.h"

#include "services/EdgeProcessingService.h"
#include "services/ImageFilterService.h"

#include <QThreadPool>
#include <QtConcurrent/QtConcurrentRun>

PreviewRenderer::PreviewRenderer()
    : m_imageFilter(std::make_shared<ImageFilterService>())
    , m_edgeProcessor(std::make_shared<EdgeProcessingService>())
    , m_pool(std::make_unique<QThreadPool>())
{
    m_pool->setMaxThreadCount(2);
}

PreviewRenderer::~PreviewRenderer() = default;

ExtractRenderer PreviewRenderer::renderer() const
{
    return ExtractRenderer{m_imageFilter.get(), m_edgeProcessor.get()};
}

QFuture<QImage> PreviewRenderer::rendered(const QImage &subject, FilterStyle style,
                                          const EdgeOptions &options) const
{
    if (subject.isNull())
        return QtFuture::makeReadyFuture(QImage());
    return QtConcurrent::run(m_pool.get(), [renderer = renderer(), subject, style, options] {
        return renderer.render(subject, style, options);
    });
}
