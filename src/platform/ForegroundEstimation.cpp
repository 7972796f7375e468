#include "ForegroundEstimation.h"

#include "ImageBridge.h"
#include "ImageOperations.h"

#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <exception>

namespace {

// Pulls the estimate towards smooth colours where alpha is flat (the paper's epsilon).
constexpr float Regularization = 1e-5f;
// Levels no larger than this on either side are cheap: they get more iterations.
constexpr int SmallSide = 32;
constexpr int SmallIterations = 10;
constexpr int BigIterations = 2;
// Below this alpha (out of 255) the premultiplied bytes tell too little of the frame's colour:
// divided by alpha they would be noise. Such pixels count as unknown.
constexpr int MinKnownAlpha = 3;
// The soft edge's surroundings taken into the estimation, in pixels.
constexpr int Margin = 4;
// Rows of a level are shared between threads once it has this many pixels.
constexpr int ParallelPixels = 16384;

// What is done with a pixel of a level.
enum Role : uchar {
    Solve,   // its colours are estimated
    Opaque,  // opaque amid opaque pixels: its foreground is its own colour
    Outside, // transparent amid transparent pixels: nothing of it is known, and it hardly matters
};

// One level of the pyramid: the observed picture at that size.
struct Level
{
    cv::Mat alpha;  // CV_32F, 0 to 1
    cv::Mat colour; // CV_32FC3, the frame's colour (not premultiplied), 0 to 1; 0 where unknown
    cv::Mat known;  // CV_8U, 1 where the frame's colour is known
    cv::Mat role;   // CV_8U, Role
};

// The roles of a level's pixels: only those next to a change of alpha need solving.
cv::Mat rolesOf(const cv::Mat &alpha)
{
    const cv::Mat cross = cv::getStructuringElement(cv::MORPH_CROSS, cv::Size(3, 3));
    cv::Mat opaque, clear;
    // Beyond the picture a pixel's neighbour is itself, which eroding with the default border keeps.
    cv::erode(alpha >= 1.0f, opaque, cross);
    cv::erode(alpha <= 0.0f, clear, cross);
    cv::Mat role(alpha.size(), CV_8U, cv::Scalar(Solve));
    role.setTo(Opaque, opaque);
    role.setTo(Outside, clear);
    return role;
}

// The full-size level of a premultiplied CV_8UC4 region.
Level fullLevel(const cv::Mat &rgba)
{
    Level level;
    level.alpha.create(rgba.size(), CV_32F);
    level.colour.create(rgba.size(), CV_32FC3);
    level.known.create(rgba.size(), CV_8U);
    for (int y = 0; y < rgba.rows; ++y) {
        const uchar *in = rgba.ptr<uchar>(y);
        float *a = level.alpha.ptr<float>(y);
        float *c = level.colour.ptr<float>(y);
        uchar *k = level.known.ptr<uchar>(y);
        for (int x = 0; x < rgba.cols; ++x, in += 4, c += 3) {
            const int alpha = in[3];
            a[x] = float(alpha) / 255.0f;
            k[x] = alpha >= MinKnownAlpha ? 1 : 0;
            const float unpremultiply = k[x] ? 1.0f / float(alpha) : 0.0f;
            for (int channel = 0; channel < 3; ++channel)
                c[channel] = std::min(1.0f, float(in[channel]) * unpremultiply);
        }
    }
    level.role = rolesOf(level.alpha);
    return level;
}

// The level of the given size, sampled from the full one by nearest neighbour.
Level levelOf(const Level &full, cv::Size size)
{
    if (size == full.alpha.size())
        return full;
    Level level;
    cv::resize(full.alpha, level.alpha, size, 0, 0, cv::INTER_NEAREST);
    cv::resize(full.colour, level.colour, size, 0, 0, cv::INTER_NEAREST);
    cv::resize(full.known, level.known, size, 0, 0, cv::INTER_NEAREST);
    level.role = rolesOf(level.alpha);
    return level;
}

// The estimates of a level being solved.
struct Estimate
{
    cv::Mat foreground; // CV_32FC3
    cv::Mat background; // CV_32FC3
};

// One pixel's foreground and background from its observed colour and its four neighbours' current
// estimates: the 2 × 2 least-squares system of the paper, per colour channel.
void solvePixel(const Level &level, Estimate &estimate, int x, int y)
{
    const int w = level.alpha.cols, h = level.alpha.rows;
    const float a0 = level.alpha.at<float>(y, x);
    const bool known = level.known.at<uchar>(y, x) != 0;
    const float a1 = 1.0f - a0;
    float a00 = known ? a0 * a0 : 0.0f;
    float a11 = known ? a1 * a1 : 0.0f;
    const float a01 = known ? a0 * a1 : 0.0f;
    const float *observed = level.colour.ptr<float>(y) + std::ptrdiff_t(3) * x;
    float bf[3], bb[3];
    for (int c = 0; c < 3; ++c) {
        bf[c] = known ? a0 * observed[c] : 0.0f;
        bb[c] = known ? a1 * observed[c] : 0.0f;
    }
    const int neighbours[4][2] = {{std::max(x - 1, 0), y},
                                  {std::min(x + 1, w - 1), y},
                                  {x, std::max(y - 1, 0)},
                                  {x, std::min(y + 1, h - 1)}};
    for (const auto &[nx, ny] : neighbours) {
        const float da = Regularization + std::abs(a0 - level.alpha.at<float>(ny, nx));
        a00 += da;
        a11 += da;
        const float *f = estimate.foreground.ptr<float>(ny) + std::ptrdiff_t(3) * nx;
        const float *b = estimate.background.ptr<float>(ny) + std::ptrdiff_t(3) * nx;
        for (int c = 0; c < 3; ++c) {
            bf[c] += da * f[c];
            bb[c] += da * b[c];
        }
    }
    const float inverse = 1.0f / (a00 * a11 - a01 * a01);
    float *f = estimate.foreground.ptr<float>(y) + std::ptrdiff_t(3) * x;
    float *b = estimate.background.ptr<float>(y) + std::ptrdiff_t(3) * x;
    for (int c = 0; c < 3; ++c) {
        f[c] = std::clamp(inverse * (a11 * bf[c] - a01 * bb[c]), 0.0f, 1.0f);
        b[c] = std::clamp(inverse * (a00 * bb[c] - a01 * bf[c]), 0.0f, 1.0f);
    }
}

// One sweep over the pixels to solve, in two half-sweeps of a checkerboard: a pixel reads only
// neighbours of the other colour, so the rows of a half-sweep may be solved in any order, on any
// thread, with the same result.
void sweep(const Level &level, Estimate &estimate)
{
    const int w = level.alpha.cols, h = level.alpha.rows;
    for (int parity = 0; parity < 2; ++parity) {
        const auto rows = [&](const cv::Range &range) {
            for (int y = range.start; y < range.end; ++y) {
                const uchar *role = level.role.ptr<uchar>(y);
                for (int x = (y + parity) & 1; x < w; x += 2) {
                    if (role[x] == Solve)
                        solvePixel(level, estimate, x, y);
                }
            }
        };
        if (w * h >= ParallelPixels)
            cv::parallel_for_(cv::Range(0, h), rows);
        else
            rows(cv::Range(0, h));
    }
}

// The foreground of the full level, solved from one pixel upwards.
cv::Mat estimatedForeground(const Level &full)
{
    const int w0 = full.alpha.cols, h0 = full.alpha.rows;
    const int levels = int(std::ceil(std::log2(double(std::max(w0, h0)))));
    // The first level starts from the mean of the colours known.
    const cv::Scalar mean = cv::mean(full.colour, full.known);
    Estimate estimate;
    estimate.foreground = cv::Mat(1, 1, CV_32FC3, mean);
    estimate.background = estimate.foreground.clone();
    for (int index = 0; index <= levels; ++index) {
        const double share = levels > 0 ? double(index) / levels : 1.0;
        const cv::Size size(int(std::lround(std::pow(double(w0), share))),
                            int(std::lround(std::pow(double(h0), share))));
        const Level level = levelOf(full, size);
        Estimate next;
        cv::resize(estimate.foreground, next.foreground, size, 0, 0, cv::INTER_NEAREST);
        cv::resize(estimate.background, next.background, size, 0, 0, cv::INTER_NEAREST);
        level.colour.copyTo(next.foreground, level.role == Opaque);
        estimate = std::move(next);
        const int iterations =
            size.width <= SmallSide && size.height <= SmallSide ? SmallIterations : BigIterations;
        for (int iteration = 0; iteration < iterations; ++iteration)
            sweep(level, estimate);
    }
    return estimate.foreground;
}

// Writes the estimated foreground, at each pixel's own alpha, into the soft pixels of `rgba`.
void writeSoftPixels(const cv::Mat &foreground, cv::Mat &rgba)
{
    for (int y = 0; y < rgba.rows; ++y) {
        const float *f = foreground.ptr<float>(y);
        uchar *out = rgba.ptr<uchar>(y);
        for (int x = 0; x < rgba.cols; ++x, f += 3, out += 4) {
            const int alpha = out[3];
            if (alpha == 0 || alpha == 255)
                continue;
            for (int c = 0; c < 3; ++c)
                out[c] = uchar(std::lround(std::clamp(f[c], 0.0f, 1.0f) * float(alpha)));
        }
    }
}

bool hasSoftPixels(const cv::Mat &rgba)
{
    cv::Mat alpha;
    cv::extractChannel(rgba, alpha, 3);
    return cv::countNonZero((alpha > 0) & (alpha < 255)) > 0;
}

} // namespace

QImage ForegroundEstimation::cleanedEdgeColours(const QImage &cutOut)
{
    try {
        const QImage source = ImageBridge::toPremultipliedRgba(cutOut);
        const QRect covered = ImageOperations::coveredRect(source);
        if (source.isNull() || covered.isEmpty())
            return cutOut;
        const QRect region = covered.adjusted(-Margin, -Margin, Margin, Margin).intersected(source.rect());
        const cv::Rect area(region.x(), region.y(), region.width(), region.height());
        const cv::Mat pixels = ImageBridge::view(source)(area);
        if (!hasSoftPixels(pixels))
            return cutOut;
        const cv::Mat foreground = estimatedForeground(fullLevel(pixels));
        QImage result = source.copy();
        cv::Mat target = ImageBridge::mutableView(result)(area);
        writeSoftPixels(foreground, target);
        return result;
    } catch (const std::exception &exception) {
        qWarning("Cleaning the colours of a soft edge failed: %s", exception.what());
        return cutOut;
    }
}
