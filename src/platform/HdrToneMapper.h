#pragma once

#include <QImage>

#include <array>
#include <cstdint>
#include <vector>

struct AVFrame;

// The SDR picture of a PQ or HLG video frame, as the player shows it on an ordinary screen (mpv's
// OpenGL renderer with its default tone mapping and a fixed, tagged peak rather than one measured on
// the frames played before):
// - the frame's YUV turned into R'G'B' with its own matrix and range, the chroma interpolated
//   bilinearly from the sample positions the frame names;
// - linear light with 1.0 at the reference white of 203 cd/m² (HLG through its reference OOTF for a
//   1000 cd/m² display, gamma 1.2);
// - the BT.2390 EETF on each channel from the signal peak (PQ: the content light level or the
//   mastering display's peak when the frame carries them, else 10,000 cd/m²; HLG: 1000 cd/m²) down to
//   the reference white, blended with the same curve applied to the brightest channel alone for the
//   darker tones, so that colours keep their hue;
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

    // The relative signal peak used for a frame: 1.0 is 203 cd/m².
    static double signalPeak(const AVFrame *frame);

private:
    // Fills the table of SDR outputs over R'G'B' for the transfer, peak and primaries.
    void prepare(int transfer, double peak, int primaries);

    int m_transfer = -1;
    double m_peak = 0.0;
    int m_primaries = -1;
    // 33 × 33 × 33 nodes over R', G', B' (0…1), each the output red, green, blue and alpha (0…255).
    std::vector<std::array<float, 4>> m_cube;
};
