#include "HdrToneMapper.h"

extern "C" {
#include <libavformat/avformat.h>
#include <libavutil/csp.h>
#include <libavutil/frame.h>
#include <libavutil/mastering_display_metadata.h>
#include <libavutil/pixdesc.h>
}

#include <QThread>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <thread>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

using Matrix = std::array<std::array<double, 3>, 3>;

// Reference white, in cd/m²: linear light 1.0.
constexpr double referenceWhite = 203.0;
// HLG: the scene light of the reference white (a 75 % signal), on the 0…12 scale of the OETF.
constexpr double hlgReferenceScene = 3.17955;
// HLG: the peak of the reference display its OOTF is made for, relative to the reference white.
constexpr double hlgDisplayPeak = 1000.0 / referenceWhite;
// PQ: the top of its range, relative to the reference white.
constexpr double pqPeak = 10000.0 / referenceWhite;
// Tagged peaks above this, relative to the reference white, are taken as unknown.
constexpr double maximumTaggedPeak = 100.0;

constexpr double pqM1 = 2610.0 / 16384.0;
constexpr double pqM2 = 2523.0 / 4096.0 * 128.0;
constexpr double pqC1 = 3424.0 / 4096.0;
constexpr double pqC2 = 2413.0 / 4096.0 * 32.0;
constexpr double pqC3 = 2392.0 / 4096.0 * 32.0;
constexpr double hlgA = 0.17883277;
constexpr double hlgB = 0.28466892;
constexpr double hlgC = 0.55991073;

// Nodes of the table along each of R', G' and B'.
constexpr int cubeNodes = 33;
// Below this light of the brightest channel, the tone curve follows the brightest channel only.
constexpr double hybridThreshold = 0.18;

// Relative linear light (1.0 at the reference white) from a PQ signal, and back.
double pqToLinear(double signal)
{
    const double p = std::pow(std::clamp(signal, 0.0, 1.0), 1.0 / pqM2);
    return std::pow(std::max(p - pqC1, 0.0) / (pqC2 - pqC3 * p), 1.0 / pqM1) * 10000.0 / referenceWhite;
}

double linearToPq(double light)
{
    const double y = std::pow(std::max(light, 0.0) * referenceWhite / 10000.0, pqM1);
    return std::pow((pqC1 + pqC2 * y) / (1.0 + pqC3 * y), pqM2);
}

// HLG's inverse OETF, relative to the scene light of the reference white.
double hlgToScene(double signal)
{
    const double v = std::clamp(signal, 0.0, 1.0);
    const double scene = v > 0.5 ? std::exp((v - hlgC) / hlgA) + hlgB : 4.0 * v * v;
    return scene / hlgReferenceScene;
}

// The BT.2390 EETF from `peak` down to 1.0, worked in the PQ domain relative to the peak.
double bt2390(double light, double peak)
{
    const double peakSignal = linearToPq(peak);
    const double signal = linearToPq(std::min(light, peak)) / peakSignal;
    const double maxLuminance = linearToPq(1.0) / peakSignal;
    const double kneeStart = 1.5 * maxLuminance - 0.5;
    if (signal < kneeStart)
        return light;
    const double t = (signal - kneeStart) / (1.0 - kneeStart);
    const double t2 = t * t;
    const double t3 = t2 * t;
    const double mapped = (2.0 * t3 - 3.0 * t2 + 1.0) * kneeStart + (t3 - 2.0 * t2 + t) * (1.0 - kneeStart) +
                          (-2.0 * t3 + 3.0 * t2) * maxLuminance;
    return pqToLinear(mapped * peakSignal);
}

Matrix multiply(const Matrix &a, const Matrix &b)
{
    Matrix product{};
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j)
            for (int k = 0; k < 3; ++k)
                product[i][j] += a[i][k] * b[k][j];
    return product;
}

Matrix inverse(const Matrix &m)
{
    const double det = m[0][0] * (m[1][1] * m[2][2] - m[1][2] * m[2][1]) -
                       m[0][1] * (m[1][0] * m[2][2] - m[1][2] * m[2][0]) +
                       m[0][2] * (m[1][0] * m[2][1] - m[1][1] * m[2][0]);
    Matrix r{};
    r[0][0] = (m[1][1] * m[2][2] - m[1][2] * m[2][1]) / det;
    r[0][1] = (m[0][2] * m[2][1] - m[0][1] * m[2][2]) / det;
    r[0][2] = (m[0][1] * m[1][2] - m[0][2] * m[1][1]) / det;
    r[1][0] = (m[1][2] * m[2][0] - m[1][0] * m[2][2]) / det;
    r[1][1] = (m[0][0] * m[2][2] - m[0][2] * m[2][0]) / det;
    r[1][2] = (m[0][2] * m[1][0] - m[0][0] * m[1][2]) / det;
    r[2][0] = (m[1][0] * m[2][1] - m[1][1] * m[2][0]) / det;
    r[2][1] = (m[0][1] * m[2][0] - m[0][0] * m[2][1]) / det;
    r[2][2] = (m[0][0] * m[1][1] - m[0][1] * m[1][0]) / det;
    return r;
}

std::array<double, 3> xyz(const AVCIExy &point)
{
    const double x = av_q2d(point.x);
    const double y = av_q2d(point.y);
    return {x / y, 1.0, (1.0 - x - y) / y};
}

Matrix rgbToXyz(const AVColorPrimariesDesc &primaries)
{
    const std::array<double, 3> r = xyz(primaries.prim.r);
    const std::array<double, 3> g = xyz(primaries.prim.g);
    const std::array<double, 3> b = xyz(primaries.prim.b);
    const Matrix columns{{{r[0], g[0], b[0]}, {r[1], g[1], b[1]}, {r[2], g[2], b[2]}}};
    const std::array<double, 3> white = xyz(primaries.wp);
    const Matrix inverted = inverse(columns);
    Matrix scaled = columns;
    for (int c = 0; c < 3; ++c) {
        const double s = inverted[c][0] * white[0] + inverted[c][1] * white[1] + inverted[c][2] * white[2];
        for (int row = 0; row < 3; ++row)
            scaled[row][c] *= s;
    }
    return scaled;
}

// Linear RGB of `source` primaries to linear BT.709 RGB, whites adapted by the Bradford transform.
Matrix toBt709(const AVColorPrimariesDesc &source)
{
    const AVColorPrimariesDesc *bt709 = av_csp_primaries_desc_from_id(AVCOL_PRI_BT709);
    Matrix toXyz = rgbToXyz(source);
    const std::array<double, 3> from = xyz(source.wp);
    const std::array<double, 3> to = xyz(bt709->wp);
    if (std::abs(from[0] - to[0]) > 1e-6 || std::abs(from[2] - to[2]) > 1e-6) {
        const Matrix bradford{
            {{0.8951, 0.2664, -0.1614}, {-0.7502, 1.7135, 0.0367}, {0.0389, -0.0685, 1.0296}}};
        const auto cone = [&](int i, const std::array<double, 3> &white) {
            return bradford[i][0] * white[0] + bradford[i][1] * white[1] + bradford[i][2] * white[2];
        };
        Matrix gain{};
        for (int i = 0; i < 3; ++i)
            gain[i][i] = cone(i, to) / cone(i, from);
        toXyz = multiply(multiply(inverse(bradford), multiply(gain, bradford)), toXyz);
    }
    return multiply(inverse(rgbToXyz(*bt709)), toXyz);
}

// The frame's primaries: untagged HDR frames are BT.2020, as phones record them.
AVColorPrimaries sourcePrimaries(const AVFrame *frame)
{
    if (frame->color_primaries != AVCOL_PRI_UNSPECIFIED &&
        av_csp_primaries_desc_from_id(frame->color_primaries))
        return frame->color_primaries;
    return AVCOL_PRI_BT2020;
}

// The frame's YUV matrix: untagged HDR frames are BT.2020 (non-constant luminance).
AVColorSpace sourceMatrix(const AVFrame *frame)
{
    if (frame->colorspace != AVCOL_SPC_UNSPECIFIED && frame->colorspace != AVCOL_SPC_RGB &&
        av_csp_luma_coeffs_from_avcsp(frame->colorspace))
        return frame->colorspace;
    return AVCOL_SPC_BT2020_NCL;
}

// Where a row or column of luma samples lies between chroma samples: the two chroma samples and the
// weight of the second.
struct ChromaTap
{
    int first = 0;
    int second = 0;
    float weight = 0.0F;
};

std::vector<ChromaTap> chromaTaps(int lumaCount, int shift, bool centred)
{
    std::vector<ChromaTap> taps(static_cast<std::size_t>(lumaCount));
    const int chromaCount = (lumaCount + (1 << shift) - 1) >> shift;
    for (int i = 0; i < lumaCount; ++i) {
        double position = double(i) / (1 << shift);
        if (shift > 0 && centred)
            position -= 0.25;
        const double below = std::floor(position);
        ChromaTap &tap = taps[std::size_t(i)];
        tap.first = std::clamp(int(below), 0, chromaCount - 1);
        tap.second = std::clamp(int(below) + 1, 0, chromaCount - 1);
        tap.weight = float(position - below);
    }
    return taps;
}

// The SDR output (0…255 a channel) of one HDR R'G'B' colour, worked out in full.
struct ColourPipeline
{
    bool hlg = false;
    double peak = 1.0;
    Matrix toOutput{};
    std::array<double, 3> sourceLuma{};
    std::array<double, 3> outputLuma{};

    std::array<double, 3> operator()(std::array<double, 3> rgb) const
    {
        for (double &channel : rgb)
            channel = hlg ? hlgToScene(channel) : pqToLinear(channel);
        if (hlg) {
            // Display light = peak × (scene luminance / its largest value)^γ, as a gain on each channel.
            const double gamma = std::max(1.0, 1.2 + 0.42 * std::log10(peak * referenceWhite / 1000.0));
            const double largest = 12.0 / hlgReferenceScene;
            const double luminance =
                std::max(0.0, sourceLuma[0] * rgb[0] + sourceLuma[1] * rgb[1] + sourceLuma[2] * rgb[2]);
            const double gain = peak / std::pow(largest, gamma) * std::pow(luminance, gamma - 1.0);
            for (double &channel : rgb)
                channel *= gain;
        }
        if (peak > 1.0) {
            // Per channel for the highlights, the brightest channel's curve for darker tones. Light
            // above the peak is clipped to it before the curve, so that a colour brighter than the
            // peak keeps the gain of the peak itself.
            const double brightest = std::min(std::max({rgb[0], rgb[1], rgb[2]}), peak);
            if (brightest > 0.0) {
                const double mappedBrightest = bt2390(brightest, peak);
                const double ratio = mappedBrightest / brightest;
                const double blend =
                    std::max(mappedBrightest - hybridThreshold, 1e-6) / std::max(mappedBrightest, 1.0);
                for (double &channel : rgb) {
                    const double together = channel * ratio;
                    channel = together + (bt2390(channel, peak) - together) * blend;
                }
            }
        }
        std::array<double, 3> out{};
        for (std::size_t i = 0; i < 3; ++i)
            out[i] = toOutput[i][0] * rgb[0] + toOutput[i][1] * rgb[1] + toOutput[i][2] * rgb[2];
        // Colours outside BT.709: desaturated towards their luminance, then brought under 1.0.
        const double darkest = std::min({out[0], out[1], out[2]});
        if (darkest < 0.0) {
            const double luminance = outputLuma[0] * out[0] + outputLuma[1] * out[1] + outputLuma[2] * out[2];
            if (luminance > darkest) {
                const double toGrey = darkest / (darkest - luminance);
                for (double &channel : out)
                    channel += (luminance - channel) * toGrey;
            }
        }
        const double brightest = std::max({out[0], out[1], out[2]});
        for (double &channel : out) {
            if (brightest > 1.0)
                channel /= brightest;
            channel = 255.0 * std::pow(std::clamp(channel, 0.0, 1.0), 1.0 / 2.2);
        }
        return out;
    }
};

using Float4 = float __attribute__((vector_size(16)));
using Int4 = std::int32_t __attribute__((vector_size(16)));

// Four bytes from the four lanes, each already within 0…255.
inline void storeBytes(std::uint8_t *out, Int4 lanes)
{
#if defined(__SSE2__)
    const __m128i words = _mm_packs_epi32(__m128i(lanes), __m128i(lanes));
    const int packed = _mm_cvtsi128_si32(_mm_packus_epi16(words, words));
    std::memcpy(out, &packed, 4);
#else
    for (int i = 0; i < 4; ++i)
        out[i] = std::uint8_t(lanes[i]);
#endif
}

// Rows of the picture: YUV to R'G'B' with the frame's matrix, then the table, interpolated
// trilinearly (without branches: the colours of real footage jump between the cells).
struct RowConverter
{
    const AVFrame *frame = nullptr;
    const std::vector<ChromaTap> *columns = nullptr;
    const std::vector<ChromaTap> *rows = nullptr;
    const Float4 *cube = nullptr;
    int chromaWidth = 0;
    float lumaScale = 0.0F, lumaOffset = 0.0F, chromaScale = 0.0F, chromaOffset = 0.0F;
    float crToR = 0.0F, cbToB = 0.0F, cbToG = 0.0F, crToG = 0.0F;

    // `chroma` holds what each chroma sample of the row adds to R', G' and B'.
    template<typename Sample>
    void convert(int y, std::uint8_t *out, std::vector<Float4> &chroma) const
    {
        const ChromaTap &row = (*rows)[std::size_t(y)];
        const auto *cbFirst = plane<Sample>(1, row.first);
        const auto *cbSecond = plane<Sample>(1, row.second);
        const auto *crFirst = plane<Sample>(2, row.first);
        const auto *crSecond = plane<Sample>(2, row.second);
        const float w = row.weight;
        for (int x = 0; x < chromaWidth; ++x) {
            const float u = (float(cbFirst[x]) + (float(cbSecond[x]) - float(cbFirst[x])) * w) * chromaScale +
                            chromaOffset;
            const float v = (float(crFirst[x]) + (float(crSecond[x]) - float(crFirst[x])) * w) * chromaScale +
                            chromaOffset;
            chroma[std::size_t(x)] = Float4{crToR * v, -cbToG * u - crToG * v, cbToB * u, 0.0F};
        }
        const Sample *luma = plane<Sample>(0, y);
        const ChromaTap *taps = columns->data();
        const Float4 *added = chroma.data();
        const Float4 *table = cube;
        const float scale = lumaScale * float(cubeNodes - 1);
        const float offset = lumaOffset * float(cubeNodes - 1);
        const Float4 nodes = Float4{} + float(cubeNodes - 1);
        const Int4 lastCell = Int4{} + (cubeNodes - 2);
        const Int4 strides{cubeNodes * cubeNodes, cubeNodes, 1, 0};
        const int width = frame->width;
        for (int x = 0; x < width; ++x) {
            const ChromaTap tap = taps[x];
            const Float4 first = added[tap.first];
            Float4 rgb = (first + (added[tap.second] - first) * tap.weight) * nodes +
                         (float(luma[x]) * scale + offset);
            rgb = rgb < 0.0F ? Float4{} : rgb;
            rgb = rgb > nodes ? nodes : rgb;
            Int4 cell = __builtin_convertvector(rgb, Int4);
            cell = cell > lastCell ? lastCell : cell;
            const Float4 fraction = rgb - __builtin_convertvector(cell, Float4);
            const Int4 offsets = cell * strides;
            const Float4 *base = table + (offsets[0] + offsets[1] + offsets[2]);
            constexpr int g = cubeNodes;
            constexpr int r = cubeNodes * cubeNodes;
            const float fr = fraction[0];
            const float fg = fraction[1];
            const float fb = fraction[2];
            const Float4 c00 = base[0] + (base[1] - base[0]) * fb;
            const Float4 c01 = base[g] + (base[g + 1] - base[g]) * fb;
            const Float4 c10 = base[r] + (base[r + 1] - base[r]) * fb;
            const Float4 c11 = base[r + g] + (base[r + g + 1] - base[r + g]) * fb;
            const Float4 c0 = c00 + (c01 - c00) * fg;
            const Float4 c1 = c10 + (c11 - c10) * fg;
            storeBytes(out, __builtin_convertvector(c0 + (c1 - c0) * fr + 0.5F, Int4));
            out += 4;
        }
    }

    template<typename Sample>
    const Sample *plane(int index, int row) const
    {
        return reinterpret_cast<const Sample *>(frame->data[index] +
                                                std::ptrdiff_t(row) * frame->linesize[index]);
    }
};

} // namespace

bool HdrToneMapper::handles(const AVFrame *frame)
{
    if (!frame || (frame->color_trc != AVCOL_TRC_SMPTE2084 && frame->color_trc != AVCOL_TRC_ARIB_STD_B67))
        return false;
    const AVPixFmtDescriptor *descriptor = av_pix_fmt_desc_get(AVPixelFormat(frame->format));
    if (!descriptor || descriptor->nb_components != 3 || !(descriptor->flags & AV_PIX_FMT_FLAG_PLANAR) ||
        (descriptor->flags & (AV_PIX_FMT_FLAG_RGB | AV_PIX_FMT_FLAG_BE | AV_PIX_FMT_FLAG_HWACCEL |
                              AV_PIX_FMT_FLAG_BITSTREAM | AV_PIX_FMT_FLAG_FLOAT)) ||
        descriptor->log2_chroma_w > 1 || descriptor->log2_chroma_h > 1)
        return false;
    const int depth = descriptor->comp[0].depth;
    const int bytes = depth > 8 ? 2 : 1;
    for (int c = 0; c < 3; ++c) {
        const AVComponentDescriptor &component = descriptor->comp[c];
        if (component.plane != c || component.step != bytes || component.offset != 0 ||
            component.shift != 0 || component.depth != depth)
            return false;
    }
    return depth >= 8 && depth <= 16 && frame->width > 0 && frame->height > 0;
}

namespace {

// The levels of a content light level and a mastering display record, either of which may be missing.
HdrToneMapper::LightLevels levelsOf(const AVContentLightMetadata *light,
                                    const AVMasteringDisplayMetadata *mastering)
{
    HdrToneMapper::LightLevels levels;
    if (light)
        levels.maxContentLight = double(light->MaxCLL);
    if (mastering && mastering->has_luminance && mastering->max_luminance.den != 0)
        levels.masteringPeak = std::max(0.0, av_q2d(mastering->max_luminance));
    return levels;
}

// The brightness the levels name, in cd/m²: the content light level first; 0 when they name none.
double taggedNits(const HdrToneMapper::LightLevels &levels)
{
    return levels.maxContentLight > 0.0 ? levels.maxContentLight : levels.masteringPeak;
}

} // namespace

HdrToneMapper::LightLevels HdrToneMapper::lightLevels(const AVFrame *frame)
{
    const AVFrameSideData *light = av_frame_get_side_data(frame, AV_FRAME_DATA_CONTENT_LIGHT_LEVEL);
    const AVFrameSideData *mastering =
        av_frame_get_side_data(frame, AV_FRAME_DATA_MASTERING_DISPLAY_METADATA);
    return levelsOf(light ? reinterpret_cast<const AVContentLightMetadata *>(light->data) : nullptr,
                    mastering ? reinterpret_cast<const AVMasteringDisplayMetadata *>(mastering->data)
                              : nullptr);
}

HdrToneMapper::LightLevels HdrToneMapper::containerLightLevels(const AVFormatContext *format,
                                                               const AVStream *stream)
{
    if (!format || !format->iformat || !stream || std::strcmp(format->iformat->name, "matroska,webm") != 0)
        return {};
    std::size_t lightSize = 0;
    std::size_t masteringSize = 0;
    const uint8_t *light = av_stream_get_side_data(stream, AV_PKT_DATA_CONTENT_LIGHT_LEVEL, &lightSize);
    const uint8_t *mastering =
        av_stream_get_side_data(stream, AV_PKT_DATA_MASTERING_DISPLAY_METADATA, &masteringSize);
    return levelsOf(light && lightSize >= sizeof(AVContentLightMetadata)
                        ? reinterpret_cast<const AVContentLightMetadata *>(light)
                        : nullptr,
                    mastering && masteringSize >= sizeof(AVMasteringDisplayMetadata)
                        ? reinterpret_cast<const AVMasteringDisplayMetadata *>(mastering)
                        : nullptr);
}

double HdrToneMapper::signalPeak(bool hlg, const LightLevels &picture, const LightLevels &container)
{
    double nits = taggedNits(picture);
    if (nits <= 0.0)
        nits = taggedNits(container);
    const double peak = nits / referenceWhite;
    if (peak >= 1.0 && peak <= maximumTaggedPeak)
        return peak;
    return hlg ? hlgDisplayPeak : pqPeak;
}

void HdrToneMapper::prepare(int transfer, double peak, int primaries)
{
    if (m_transfer == transfer && m_peak == peak && m_primaries == primaries && !m_cube.empty())
        return;
    const AVColorPrimariesDesc *source = av_csp_primaries_desc_from_id(AVColorPrimaries(primaries));
    const Matrix sourceXyz = rgbToXyz(*source);
    const Matrix outputXyz = rgbToXyz(*av_csp_primaries_desc_from_id(AVCOL_PRI_BT709));
    ColourPipeline pipeline;
    pipeline.hlg = transfer == AVCOL_TRC_ARIB_STD_B67;
    pipeline.peak = peak;
    pipeline.toOutput = toBt709(*source);
    pipeline.sourceLuma = sourceXyz[1];
    pipeline.outputLuma = outputXyz[1];

    std::vector<std::array<float, 4>> cube(std::size_t(cubeNodes) * cubeNodes * cubeNodes);
    std::size_t node = 0;
    for (int r = 0; r < cubeNodes; ++r) {
        for (int g = 0; g < cubeNodes; ++g) {
            for (int b = 0; b < cubeNodes; ++b) {
                const std::array<double, 3> out = pipeline(
                    {double(r) / (cubeNodes - 1), double(g) / (cubeNodes - 1), double(b) / (cubeNodes - 1)});
                cube[node++] = {float(out[0]), float(out[1]), float(out[2]), 255.0F};
            }
        }
    }
    m_cube = std::move(cube);
    m_transfer = transfer;
    m_peak = peak;
    m_primaries = primaries;
}

QImage HdrToneMapper::convert(const AVFrame *frame)
{
    if (!handles(frame))
        return {};
    const AVPixFmtDescriptor *descriptor = av_pix_fmt_desc_get(AVPixelFormat(frame->format));
    const int depth = descriptor->comp[0].depth;
    prepare(frame->color_trc,
            signalPeak(frame->color_trc == AVCOL_TRC_ARIB_STD_B67, lightLevels(frame), m_container),
            sourcePrimaries(frame));

    const AVChromaLocation location = frame->chroma_location;
    const bool centredAcross =
        location == AVCHROMA_LOC_CENTER || location == AVCHROMA_LOC_TOP || location == AVCHROMA_LOC_BOTTOM;
    const bool centredDown = location != AVCHROMA_LOC_TOPLEFT && location != AVCHROMA_LOC_TOP;
    const std::vector<ChromaTap> columns = chromaTaps(frame->width, descriptor->log2_chroma_w, centredAcross);
    const std::vector<ChromaTap> rows = chromaTaps(frame->height, descriptor->log2_chroma_h, centredDown);

    RowConverter converter;
    converter.frame = frame;
    converter.columns = &columns;
    converter.rows = &rows;
    static_assert(sizeof(std::array<float, 4>) == sizeof(Float4));
    converter.cube = reinterpret_cast<const Float4 *>(m_cube.data());
    converter.chromaWidth =
        (frame->width + (1 << descriptor->log2_chroma_w) - 1) >> descriptor->log2_chroma_w;
    const double unit = std::ldexp(1.0, depth - 8);
    if (frame->color_range == AVCOL_RANGE_JPEG) {
        const double full = std::ldexp(1.0, depth) - 1.0;
        converter.lumaScale = float(1.0 / full);
        converter.chromaScale = float(1.0 / full);
        converter.chromaOffset = float(-128.0 * unit / full);
    } else {
        converter.lumaScale = float(1.0 / (219.0 * unit));
        converter.lumaOffset = float(-16.0 / 219.0);
        converter.chromaScale = float(1.0 / (224.0 * unit));
        converter.chromaOffset = float(-128.0 / 224.0);
    }
    const AVLumaCoefficients *coefficients = av_csp_luma_coeffs_from_avcsp(sourceMatrix(frame));
    const double kr = av_q2d(coefficients->cr);
    const double kb = av_q2d(coefficients->cb);
    const double kg = 1.0 - kr - kb;
    converter.crToR = float(2.0 * (1.0 - kr));
    converter.cbToB = float(2.0 * (1.0 - kb));
    converter.cbToG = float(2.0 * (1.0 - kb) * kb / kg);
    converter.crToG = float(2.0 * (1.0 - kr) * kr / kg);

    QImage image(frame->width, frame->height, QImage::Format_RGBA8888_Premultiplied);
    if (image.isNull())
        return {};
    std::uint8_t *const bits = image.bits();
    const qsizetype bytesPerLine = image.bytesPerLine();
    const bool wide = depth > 8;
    const auto convertRows = [&](int firstRow, int endRow) {
        std::vector<Float4> chroma(std::size_t(converter.chromaWidth));
        for (int y = firstRow; y < endRow; ++y) {
            std::uint8_t *out = bits + bytesPerLine * y;
            if (wide)
                converter.convert<std::uint16_t>(y, out, chroma);
            else
                converter.convert<std::uint8_t>(y, out, chroma);
        }
    };
    const int threadCount = std::clamp(QThread::idealThreadCount(), 1, std::max(1, frame->height / 64));
    const int rowsPerThread = (frame->height + threadCount - 1) / threadCount;
    std::vector<std::thread> threads;
    for (int t = 1; t < threadCount; ++t) {
        const int first = t * rowsPerThread;
        const int end = std::min(frame->height, first + rowsPerThread);
        if (first < end)
            threads.emplace_back(convertRows, first, end);
    }
    convertRows(0, std::min(frame->height, rowsPerThread));
    for (std::thread &thread : threads)
        thread.join();
    return image;
}
