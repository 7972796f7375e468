#include "ImageOperations.h"

#include "ImageBridge.h"

#include <QColorSpace>
#include <QColorTransform>

#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>

#include <array>
#include <cmath>
#include <cstdint>
#include <cstring>

namespace {

// A fully transparent image of the given size and format.
QImage blankImage(QSize size, QImage::Format format, const QColorSpace &colorSpace = {})
{
    QImage image(size, format);
    if (image.isNull())
        return image;
    image.fill(0);
    if (colorSpace.isValid())
        image.setColorSpace(colorSpace);
    return image;
}

cv::Rect toCv(const QRect &rect)
{
    return cv::Rect(rect.x(), rect.y(), rect.width(), rect.height());
}

// Runs `body(y)` for every row y in [begin, end), spread over OpenCV's worker threads.
template<typename Body>
void forEachRow(int begin, int end, const Body &body)
{
    if (end <= begin)
        return;
    cv::parallel_for_(cv::Range(begin, end), [&](const cv::Range &rows) {
        for (int y = rows.start; y < rows.end; ++y)
            body(y);
    });
}

// x / 255, rounded, for 0 <= x <= 255 * 255.
inline uchar divide255(int x)
{
    x += 128;
    return uchar((x + (x >> 8)) >> 8);
}

// Every channel of a packed 8-bit four-channel pixel times k / 255, rounded (k from 0 to 255).
// Two channels ride in each 32-bit multiplication.
inline std::uint32_t scaledPixel(std::uint32_t pixel, std::uint32_t k)
{
    std::uint32_t low = (pixel & 0x00ff00ffu) * k;
    low = ((low + ((low >> 8) & 0x00ff00ffu) + 0x00800080u) >> 8) & 0x00ff00ffu;
    std::uint32_t high = ((pixel >> 8) & 0x00ff00ffu) * k;
    high = (high + ((high >> 8) & 0x00ff00ffu) + 0x00800080u) & 0xff00ff00u;
    return low | high;
}

// A radius or deviation made usable: nothing for one that is not a positive number, and no more
// than `limit`, beyond which a larger one would not change the answer for the image at hand.
double bounded(double radius, double limit)
{
    return radius > 0 ? std::min(radius, limit) : 0.0;
}

int diskReach(double radius)
{
    return std::max(0, int(std::floor(radius + 1e-6)));
}

// Disk of the given radius: every offset whose distance from the centre is at most `radius`.
cv::Mat diskKernel(double radius)
{
    const int reach = diskReach(radius);
    const double limit = radius * radius + 1e-6;
    cv::Mat kernel(2 * reach + 1, 2 * reach + 1, CV_8U);
    for (int dy = -reach; dy <= reach; ++dy) {
        for (int dx = -reach; dx <= reach; ++dx)
            kernel.at<uchar>(dy + reach, dx + reach) = double(dx * dx + dy * dy) <= limit ? 1 : 0;
    }
    return kernel;
}

// Grey-level dilation (`grow`) or erosion of `source` by a disk of `radius` pixels, everything
// beyond `source` counting as uncovered. A dilation's answer is larger than `source` by the disk's
// reach on every side; an erosion's has the size of `source`.
//
// The disk is a stack of horizontal chords. The extremum along a chord of half-length h comes from
// the one of half-length h − 1 in two passes, and joins the answer at each row offset where the
// disk's chord has that length: about four passes per pixel of reach instead of one per pixel of
// the disk's area.
cv::Mat diskMorphology(const cv::Mat &source, double radius, bool grow)
{
    const int reach = diskReach(radius);
    const int outer = grow ? reach : 0;
    const int pad = reach + outer;
    cv::Mat chord;
    cv::copyMakeBorder(source, chord, pad, pad, pad, pad, cv::BORDER_CONSTANT | cv::BORDER_ISOLATED,
                       cv::Scalar(0));
    const cv::Size size(source.cols + 2 * outer, source.rows + 2 * outer);
    cv::Mat answer(size, CV_8U, cv::Scalar(grow ? 0 : 255));
    const auto combine = [grow](const cv::Mat &a, const cv::Mat &b, cv::Mat &out) {
        if (grow)
            cv::max(a, b, out);
        else
            cv::min(a, b, out);
    };
    const double limit = radius * radius + 1e-6;
    cv::Mat next = cv::Mat::zeros(chord.size(), CV_8U);
    for (int half = 0; half <= reach; ++half) {
        if (half > 0) {
            // Valid columns shrink by one on each side per step; only the middle is read.
            cv::Mat inner = next.colRange(1, chord.cols - 1);
            combine(chord.colRange(0, chord.cols - 2), chord.colRange(1, chord.cols - 1), inner);
            combine(inner, chord.colRange(2, chord.cols), inner);
            std::swap(chord, next);
        }
        for (int dy = -reach; dy <= reach; ++dy) {
            if (int(std::floor(std::sqrt(limit - dy * dy))) == half)
                combine(answer, chord(cv::Rect(reach, reach + dy, size.width, size.height)), answer);
        }
    }
    return answer;
}

// Grey-level dilation (`grow`) or erosion of `source` by a disk of `radius` pixels, sized as
// diskMorphology() says. OpenCV's own filter visits every offset of the disk, which is fastest for
// small disks; large ones go by chords.
cv::Mat morphology(const cv::Mat &source, double radius, bool grow)
{
    const int reach = diskReach(radius);
    if (reach > 8)
        return diskMorphology(source, radius, grow);
    const int outer = grow ? reach : 0;
    cv::Mat padded;
    cv::copyMakeBorder(source, padded, outer, outer, outer, outer, cv::BORDER_CONSTANT | cv::BORDER_ISOLATED,
                       cv::Scalar(0));
    cv::Mat answer;
    cv::morphologyEx(padded, answer, grow ? cv::MORPH_DILATE : cv::MORPH_ERODE, diskKernel(radius),
                     cv::Point(-1, -1), 1, cv::BORDER_CONSTANT | cv::BORDER_ISOLATED, cv::Scalar(0));
    return answer;
}

// Colours of a premultiplied CV_8UC4 region with the alpha divided out, as CV_8UC3. Fully
// transparent pixels come out black.
cv::Mat unpremultipliedRgb(const cv::Mat &rgba)
{
    cv::Mat straight, rgb;
    cv::cvtColor(rgba, straight, cv::COLOR_mRGBA2RGBA);
    cv::cvtColor(straight, rgb, cv::COLOR_RGBA2RGB);
    return rgb;
}

// Strength of the line drawn at each pixel of a grey picture (CV_32F, 0 to 1), as CV_8U coverage:
// noise reduction, sharpening, gradient magnitude, then a threshold with a contrast ramp.
cv::Mat lineCoverage(const cv::Mat &gray, const ImageOperations::LineOverlayParameters &parameters)
{
    cv::Mat denoised = gray;
    if (parameters.noiseLevel > 0) {
        // Small differences from the smoothed picture are noise; larger ones are structure and stay.
        cv::Mat smooth;
        cv::GaussianBlur(gray, smooth, cv::Size(5, 5), 1.0, 1.0, cv::BORDER_REPLICATE);
        const cv::Mat structure = cv::abs(gray - smooth) > parameters.noiseLevel;
        denoised = smooth;
        gray.copyTo(denoised, structure);
    }
    if (parameters.sharpness > 0) {
        cv::Mat soft;
        cv::GaussianBlur(denoised, soft, cv::Size(5, 5), 1.0, 1.0, cv::BORDER_REPLICATE);
        cv::Mat sharpened;
        cv::addWeighted(denoised, 1.0 + parameters.sharpness, soft, -parameters.sharpness, 0.0, sharpened);
        denoised = sharpened;
    }
    // A Sobel kernel answers 4 to a step from 0 to 1: a quarter of it gives edge strengths 0 to 1.
    cv::Mat gx, gy, strength;
    cv::Sobel(denoised, gx, CV_32F, 1, 0, 3, 0.25, 0.0, cv::BORDER_REPLICATE);
    cv::Sobel(denoised, gy, CV_32F, 0, 1, 3, 0.25, 0.0, cv::BORDER_REPLICATE);
    cv::magnitude(gx, gy, strength);
    // (strength × intensity − threshold) × contrast, clamped to 0..1, as 0..255.
    const double gain = 255.0 * parameters.contrast;
    cv::Mat coverage;
    strength.convertTo(coverage, CV_8U, gain * parameters.edgeIntensity, -gain * parameters.threshold);
    return coverage;
}

cv::Mat grayOf(const cv::Mat &rgb)
{
    cv::Mat gray8, gray;
    cv::cvtColor(rgb, gray8, cv::COLOR_RGB2GRAY);
    gray8.convertTo(gray, CV_32F, 1.0 / 255.0);
    return gray;
}

// The covered rectangle grown by `margin` on every side, within the image.
QRect reachOfCoverage(const QImage &image, int margin)
{
    const QRect covered = ImageOperations::coveredRect(image);
    if (covered.isEmpty())
        return {};
    return covered.adjusted(-margin, -margin, margin, margin).intersected(image.rect());
}

} // namespace

QRect ImageOperations::coveredRect(const QImage &image)
{
    if (image.isNull())
        return {};
    if (image.format() == QImage::Format_Alpha8) {
        const cv::Rect box = cv::boundingRect(ImageBridge::view(image));
        return QRect(box.x, box.y, box.width, box.height);
    }
    const QImage rgba = ImageBridge::toPremultipliedRgba(image);
    // Premultiplied: a pixel is transparent exactly when all four of its bytes are zero.
    const int width = rgba.width(), height = rgba.height();
    int top = -1, bottom = -1, left = width, right = -1;
    for (int y = 0; y < height; ++y) {
        const auto *pixels = reinterpret_cast<const std::uint32_t *>(rgba.constScanLine(y));
        int first = 0;
        while (first < width && pixels[first] == 0)
            ++first;
        if (first == width)
            continue;
        int last = width - 1;
        while (last > right && pixels[last] == 0)
            --last;
        if (top < 0)
            top = y;
        bottom = y;
        left = std::min(left, first);
        right = std::max(right, last);
    }
    if (top < 0)
        return {};
    return QRect(QPoint(left, top), QPoint(right, bottom));
}

QImage ImageOperations::coverage(const QImage &image)
{
    const QImage rgba = ImageBridge::toPremultipliedRgba(image);
    QImage result(rgba.size(), QImage::Format_Alpha8);
    if (result.isNull())
        return result;
    cv::Mat alpha = ImageBridge::mutableView(result);
    cv::extractChannel(ImageBridge::view(rgba), alpha, 3);
    return result;
}

QImage ImageOperations::erode(const QImage &coverage, double radius)
{
    QImage result = blankImage(coverage.size(), QImage::Format_Alpha8);
    const QRect covered = coveredRect(coverage);
    if (result.isNull() || covered.isEmpty())
        return result;
    // Everything outside the covered rectangle is uncovered already, like the outside of the image,
    // so eroding that rectangle alone with an uncovered border gives the whole answer.
    // A disk wider than the covered rectangle reaches outside it from every pixel: nothing is left.
    radius = bounded(radius, coverage.width() + coverage.height());
    if (2 * diskReach(radius) + 1 > std::min(covered.width(), covered.height()))
        return result;
    cv::Mat target = ImageBridge::mutableView(result)(toCv(covered));
    morphology(ImageBridge::view(coverage)(toCv(covered)), radius, false).copyTo(target);
    return result;
}

QImage ImageOperations::dilate(const QImage &coverage, double radius, int margin)
{
    margin = std::max(0, margin);
    QImage result = blankImage(coverage.size() + QSize(2 * margin, 2 * margin), QImage::Format_Alpha8);
    const QRect covered = coveredRect(coverage);
    if (result.isNull() || covered.isEmpty())
        return result;
    // Beyond the canvas' own size, a larger disk covers nothing more of it.
    radius = bounded(radius, result.width() + result.height());
    const int reach = diskReach(radius);
    const cv::Mat grown = morphology(ImageBridge::view(coverage)(toCv(covered)), radius, true);
    // `grown` covers the covered rectangle plus the kernel's reach, in the canvas' coordinates:
    const QRect placed(covered.topLeft() + QPoint(margin - reach, margin - reach),
                       QSize(grown.cols, grown.rows));
    const QRect target = placed.intersected(result.rect());
    if (target.isEmpty())
        return result;
    cv::Mat destination = ImageBridge::mutableView(result)(toCv(target));
    grown(toCv(target.translated(-placed.topLeft()))).copyTo(destination);
    return result;
}

QImage ImageOperations::blur(const QImage &coverage, double sigma)
{
    if (!(sigma > 0))
        return coverage;
    QImage result = blankImage(coverage.size(), QImage::Format_Alpha8);
    // Beyond the image's size the blur is all but flat already.
    sigma = bounded(sigma, coverage.width() + coverage.height());
    const int reach = int(std::ceil(3.0 * sigma));
    const QRect region = reachOfCoverage(coverage, reach);
    if (result.isNull() || region.isEmpty())
        return result;
    // Pixels farther than the kernel's reach from any coverage blur to nothing. Inside the image
    // the region's own edge is uncovered, so repeating it is exact; at the image's edge repeating
    // is the clamping wanted.
    cv::Mat target = ImageBridge::mutableView(result)(toCv(region));
    cv::GaussianBlur(ImageBridge::view(coverage)(toCv(region)), target,
                     cv::Size(2 * reach + 1, 2 * reach + 1), sigma, sigma,
                     cv::BORDER_REPLICATE | cv::BORDER_ISOLATED);
    return result;
}

QImage ImageOperations::scaledByCoverage(const QImage &image, const QImage &coverage)
{
    const QImage source = ImageBridge::toPremultipliedRgba(image);
    if (source.size() != coverage.size() || coverage.format() != QImage::Format_Alpha8)
        return image;
    QImage result = blankImage(source.size(), QImage::Format_RGBA8888_Premultiplied, source.colorSpace());
    // Where the coverage is nothing the result stays blank; elsewhere a blank source pixel stays blank.
    const QRect region = coveredRect(coverage);
    if (result.isNull() || region.isEmpty())
        return result;
    const cv::Mat colours = ImageBridge::view(source);
    const cv::Mat mask = ImageBridge::view(coverage);
    cv::Mat output = ImageBridge::mutableView(result);
    const int left = region.left(), width = region.width();
    forEachRow(region.top(), region.bottom() + 1, [&](int y) {
        const std::uint32_t *in = colours.ptr<std::uint32_t>(y) + left;
        const uchar *m = mask.ptr<uchar>(y) + left;
        std::uint32_t *out = output.ptr<std::uint32_t>(y) + left;
        for (int x = 0; x < width; ++x) {
            // Inside a cut-out most pixels are fully covered, around it fully uncovered.
            const std::uint32_t k = m[x];
            if (k == 255)
                out[x] = in[x];
            else if (k != 0)
                out[x] = scaledPixel(in[x], k);
        }
    });
    return result;
}

QImage ImageOperations::silhouette(const QImage &coverage, const QColor &color, const QColorSpace &colorSpace)
{
    QColor inSpace = color.toRgb();
    if (colorSpace.isValid() && colorSpace != QColorSpace(QColorSpace::SRgb))
        inSpace = QColorSpace(QColorSpace::SRgb).transformationToColorSpace(colorSpace).map(inSpace);
    const double alpha = std::clamp(inSpace.alphaF(), 0.0f, 1.0f);
    const auto premultiplied = [alpha](double component) {
        return int(std::lround(std::clamp(component, 0.0, 1.0) * alpha * 255.0));
    };
    const uchar paint[4] = {uchar(premultiplied(inSpace.redF())), uchar(premultiplied(inSpace.greenF())),
                            uchar(premultiplied(inSpace.blueF())), uchar(std::lround(alpha * 255.0))};
    std::uint32_t paintPixel;
    std::memcpy(&paintPixel, paint, 4);

    QImage result = blankImage(coverage.size(), QImage::Format_RGBA8888_Premultiplied, colorSpace);
    const QRect region = coveredRect(coverage);
    if (result.isNull() || region.isEmpty() || paint[3] == 0)
        return result;
    const cv::Mat mask = ImageBridge::view(coverage);
    cv::Mat output = ImageBridge::mutableView(result);
    const int left = region.left(), width = region.width();
    forEachRow(region.top(), region.bottom() + 1, [&](int y) {
        const uchar *m = mask.ptr<uchar>(y) + left;
        std::uint32_t *out = output.ptr<std::uint32_t>(y) + left;
        for (int x = 0; x < width; ++x) {
            const std::uint32_t k = m[x];
            if (k == 255)
                out[x] = paintPixel;
            else if (k != 0)
                out[x] = scaledPixel(paintPixel, k);
        }
    });
    return result;
}

QImage ImageOperations::drawnOver(const QImage &top, QImage bottom, QPoint offset)
{
    const QImage upper = ImageBridge::toPremultipliedRgba(top);
    QImage result = ImageBridge::toPremultipliedRgba(bottom);
    bottom = QImage(); // so that writing to the result copies nothing when the caller gave it away
    const QRect region = coveredRect(upper).translated(offset).intersected(result.rect());
    if (result.isNull() || region.isEmpty())
        return result;
    const cv::Mat source = ImageBridge::view(upper);
    cv::Mat output = ImageBridge::mutableView(result);
    const int left = region.left(), width = region.width();
    forEachRow(region.top(), region.bottom() + 1, [&](int y) {
        const std::uint32_t *in = source.ptr<std::uint32_t>(y - offset.y()) + (left - offset.x());
        const uchar *inAlpha = reinterpret_cast<const uchar *>(in) + 3;
        std::uint32_t *out = output.ptr<std::uint32_t>(y) + left;
        for (int x = 0; x < width; ++x) {
            // Premultiplied source-over: no channel can overflow, so the sum needs no carry.
            const std::uint32_t alpha = inAlpha[std::ptrdiff_t(4) * x];
            if (alpha == 255)
                out[x] = in[x];
            else if (alpha != 0)
                out[x] = in[x] + scaledPixel(out[x], 255 - alpha);
        }
    });
    return result;
}

QImage ImageOperations::lineOverlay(const QImage &image, const LineOverlayParameters &parameters)
{
    const QImage source = ImageBridge::toPremultipliedRgba(image);
    QImage result = blankImage(source.size(), QImage::Format_RGBA8888_Premultiplied, source.colorSpace());
    // A few pixels of the transparent surroundings take part, so the outer edge gets its line.
    const QRect region = reachOfCoverage(source, 3);
    if (result.isNull() || region.isEmpty())
        return result;
    const cv::Mat lines =
        lineCoverage(grayOf(unpremultipliedRgb(ImageBridge::view(source)(toCv(region)))), parameters);
    // Black lines: premultiplied, only the alpha channel is not zero.
    cv::Mat target = ImageBridge::mutableView(result)(toCv(region));
    const int alphaChannel[] = {0, 3};
    cv::mixChannels(&lines, 1, &target, 1, alphaChannel, 1);
    return result;
}

QImage ImageOperations::comic(const QImage &image)
{
    const QImage source = ImageBridge::toPremultipliedRgba(image);
    QImage result = blankImage(source.size(), QImage::Format_RGBA8888_Premultiplied, source.colorSpace());
    const QRect region = reachOfCoverage(source, 3);
    if (result.isNull() || region.isEmpty())
        return result;

    // Flat colours: a median filter removes texture and keeps edges, then each channel is rounded
    // to a few tones.
    cv::Mat flat;
    cv::medianBlur(unpremultipliedRgb(ImageBridge::view(source)(toCv(region))), flat, 5);
    constexpr int tones = 5;
    // Tones of the flat colours, and the darker shade the halftone dots print them in.
    std::array<uchar, 256> paperTone{}, dotTone{};
    for (int c = 0; c < 256; ++c) {
        paperTone[c] = uchar(std::lround(std::round(c * (tones - 1) / 255.0) * 255.0 / (tones - 1)));
        dotTone[c] = divide255(paperTone[c] * 150);
    }
    cv::Mat gray8;
    cv::cvtColor(flat, gray8, cv::COLOR_RGB2GRAY);

    // Bold ink lines along the edges of the flattened picture.
    ImageOperations::LineOverlayParameters inking;
    inking.noiseLevel = 0.0f; // the median filter has taken the noise away
    inking.sharpness = 0.0f;
    inking.threshold = 0.08f;
    inking.contrast = 8.0f;
    cv::Mat gray;
    gray8.convertTo(gray, CV_32F, 1.0 / 255.0);
    cv::Mat ink = lineCoverage(gray, inking);
    cv::dilate(ink, ink, cv::getStructuringElement(cv::MORPH_ELLIPSE, cv::Size(3, 3)));

    // Halftone: a screen of dots on a grid turned by 45°, anchored to the image so that it does not
    // move with the region. With the lattice at x + y and x − y multiples of `period`, the screen
    // repeats every `period` pixels: one tile holds each place's squared distance to its dot's
    // centre (0 to 0.5 of a cell, as 0 to 255). The darker the colour, the larger its dots.
    constexpr int period = 12;
    std::array<std::array<uchar, period>, period> distance{};
    for (int y = 0; y < period; ++y) {
        for (int x = 0; x < period; ++x) {
            const double u = double((x + y) % period) / period - 0.5;
            const double v = double((x - y + period) % period) / period - 0.5;
            distance[y][x] = uchar(std::lround((u * u + v * v) * 2.0 * 255.0));
        }
    }
    std::array<int, 256> dotReach{};
    for (int g = 0; g < 256; ++g)
        dotReach[g] = int(std::lround(0.5625 * std::max(0.0, 0.85 - g / 255.0) * 2.0 * 255.0));

    cv::Mat output = ImageBridge::mutableView(result)(toCv(region));
    forEachRow(0, region.height(), [&](int y) {
        const uchar *in = flat.ptr<uchar>(y);
        const uchar *luminance = gray8.ptr<uchar>(y);
        const uchar *line = ink.ptr<uchar>(y);
        uchar *out = output.ptr<uchar>(y);
        const auto &tileRow = distance[(region.top() + y) % period];
        for (int x = 0; x < region.width(); ++x, in += 3, out += 4) {
            const bool inDot = tileRow[(region.left() + x) % period] < dotReach[luminance[x]];
            const std::array<uchar, 256> &tone = inDot ? dotTone : paperTone;
            const int paper = 255 - line[x];
            for (int c = 0; c < 3; ++c)
                out[c] = paper == 255 ? tone[in[c]] : divide255(tone[in[c]] * paper);
            out[3] = 255;
        }
    });
    return result;
}

QImage ImageOperations::posterize(const QImage &image, int levels)
{
    const QImage source = ImageBridge::toPremultipliedRgba(image);
    QImage result = blankImage(source.size(), QImage::Format_RGBA8888_Premultiplied, source.colorSpace());
    const QRect region = coveredRect(source);
    if (result.isNull() || region.isEmpty())
        return result;
    levels = std::clamp(levels, 2, 256);
    cv::Mat table(1, 256, CV_8U);
    for (int c = 0; c < 256; ++c) {
        const int band = std::min(levels - 1, c * levels / 256);
        table.at<uchar>(c) = uchar(std::lround(band * 255.0 / (levels - 1)));
    }
    cv::Mat rgb = unpremultipliedRgb(ImageBridge::view(source)(toCv(region)));
    cv::LUT(rgb, table, rgb);
    cv::Mat target = ImageBridge::mutableView(result)(toCv(region));
    cv::cvtColor(rgb, target, cv::COLOR_RGB2RGBA);
    return result;
}
