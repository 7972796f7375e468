#pragma once

#include "models/EdgeOptions.h"
#include "models/FilterStyle.h"
#include "services/ExtractRenderer.h"

#include <QFuture>
#include <QImage>

#include <memory>

class EdgeProcessingService;
class ImageFilterService;
class QThreadPool;

// Renders cut-outs for a window's preview: edge clean-up, style and outline, off the main thread,
// two at a time at most. Owns the filter and edge services, shared so that an export run in flight
// keeps them after the window has gone.
class PreviewRenderer
{
public:
    PreviewRenderer();
    ~PreviewRenderer();

    PreviewRenderer(const PreviewRenderer &) = delete;
    PreviewRenderer &operator=(const PreviewRenderer &) = delete;

    std::shared_ptr<ImageFilterService> imageFilter() const { return m_imageFilter; }
    std::shared_ptr<EdgeProcessingService> edgeProcessor() const { return m_edgeProcessor; }
    ExtractRenderer renderer() const;

    // `subject` in `style` with `options`, which are copied now: later changes do not reach a render
    // in flight. A null subject gives a null image at once.
    QFuture<QImage> rendered(const QImage &subject, FilterStyle style, const EdgeOptions &options) const;

private:
    std::shared_ptr<ImageFilterService> m_imageFilter;
    std::shared_ptr<EdgeProcessingService> m_edgeProcessor;
    // Declared after the services, so that it is destroyed, waiting for the renders in flight, first.
    std::unique_ptr<QThreadPool> m_pool;
};
