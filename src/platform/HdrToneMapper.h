#pragma once

#include <QImage>

#include <array>
#include <cstdint>
#include <vector>

struct AVFormatContext;
struct AVFrame;
struct AVStream;

// The SDR picture of a PQ or HLG video frame, as the player shows it on an ordinary screen (mpv's
// OpenGL renderer with its default tone mapping and a fixed, tagged peak rather than one measured on
// the frames played before):
// - the frame's YUV turned into R'G'B' with its own matrix and range, the chroma interpolated
//   bilinearly from the sample positions the frame names;
// - linear light with 1.0 at the reference white of 203 cd/m² (HLG through its reference OOTF for a
//   1000 cd/m² display, gamma 1.2);
// - the BT.2390 EETF on each channel from the signal peak (see signalPeak()) down to the reference
//   white, the light above the peak clipped to it, blended with the curve of the brightest channel
//   applied to all three for the darker tones, so that colours keep their hue;
// - BT.2020 (or Display P3) primaries converted to BT.709, colours outside desaturated towards their
//   luminance and brought under 1.0;
// - encoded with a pure 2.2 power, as mpv does for an SDR screen showing an HDR source.
// The colour of each R'G'B' is interpolated in a table of the whole computation over 33³ colours,
// rebuilt only when the transfer, the peak or the primaries change. The result is opaque RGBA8888
// at the frame's size.
class HdrToneMapper
{
public:
    // Whether the frame is PQ or HLG, in a planar YUV layout of 8 to 16 bits this converts.
    static bool handles(const AVFrame *frame);
    // The frame's SDR picture; a null image when memory runs out.
    QImage convert(const AVFrame *frame);

    // What a picture says of its light, in cd/m²; 0 where it says nothing.
    struct LightLevels
    {
        // The brightest pixel of the whole video (MaxCLL).
        double maxContentLight = 0.0;
        // The peak of the display it was mastered on.
        double masteringPeak = 0.0;
    };
    static LightLevels lightLevels(const AVFrame *frame);
    // What the container says of a stream's light, as the player reads it: from Matroska and WebM
    // files only (VP9 pictures carry no levels of their own).
    static LightLevels containerLightLevels(const AVFormatContext *format, const AVStream *stream);

    // The relative signal peak the player tone-maps a picture from (1.0 is 203 cd/m²): the content
    // light level, or the mastering display's peak when that is not given, both from the picture,
    // or from its container when the picture gives neither; a peak below the reference white or
    // above 100 times it is taken as unknown, and an unknown peak is the top of the PQ range
    // (10,000 cd/m²) or HLG's reference display (1000 cd/m²).
    static double signalPeak(bool hlg, const LightLevels &picture, const LightLevels &container);

    // The container's levels for the pictures that follow (none until set).
    void setContainerLightLevels(const LightLevels &levels) { m_container = levels; }

private:
    // Fills the table of SDR outputs over R'G'B' for the transfer, peak and primaries.
    void prepare(int transfer, double peak, int primaries);

    LightLevels m_container;
    int m_transfer = -1;
    double m_peak = 0.0;
    int m_primaries = -1;
    // 33 × 33 × 33 nodes over R', G', B' (0…1), each the output red, green, blue and alpha (0…255).
    std::vector<std::array<float, 4>> m_cube;
};
