#pragma once

#include "support/MediaTime.h"

#include <QColor>
#include <QImage>
#include <QList>
#include <QSize>
#include <QString>
#include <QStringList>

#include <functional>

// Media files made by the tests themselves, once per test run, in a temporary folder.
//
// Videos are encoded by the ffmpeg command-line tool from frames written to its input. Unless a
// picture function is given, every frame carries its own number as a row of black and white cells
// across the top quarter of the upright picture (numbers up to 16383), which survives compression and
// reads back with frameNumber(): a test checks which frame it got instead of assuming it.
namespace TestMedia {

struct VideoOptions
{
    // Names the file in the cache: the same name gives the same file.
    QString name;
    // File extension, which also picks the container: "mp4", "mkv", "mov"…
    QString container = QStringLiteral("mp4");
    // Upright size of the picture.
    QSize size = QSize(320, 240);
    // ffmpeg rate: "30", "30000/1001"…
    QString frameRate = QStringLiteral("30");
    int frameCount = 45;
    // Clockwise rotation a player applies to show the stored picture upright: 0, 90, 180 or 270.
    // The frames are stored turned the other way and the container carries the display matrix.
    int rotation = 0;
    bool audio = false;
    // Key frame interval in frames (ffmpeg -g); 0 leaves the encoder's default.
    int keyFrameInterval = 0;
    // The video encoder and its settings; H.264 (libx264, 4:2:0) when empty.
    QStringList codecArguments;
    // More output arguments for ffmpeg, such as {"-video_track_timescale", "90000"}.
    QStringList outputArguments;
    // The upright picture of frame `number`; frameImage() when empty.
    std::function<QImage(int number, QSize size)> picture;
};

// The path of a video made with these options (made at the first call).
QString video(const VideoOptions &options);

enum class Clip {
    Fps30,           // 30 fps H.264 in MP4
    Fps2997,         // 30000/1001 fps
    Fps23976,        // 24000/1001 fps
    Timescale90k,    // 30 fps MP4 whose video time base is 1/90000
    Matroska2997,    // 29.97 fps in Matroska, time base 1/1000: frame times are rounded to milliseconds
    TransportStream, // 30 fps MPEG transport stream, no index, a key frame every 15 frames
    Rotated90,       // 320×240 stored, shown 240×320 after a 90° clockwise turn
    WithAudio,       // 30 fps with an AAC audio track
    Mpeg4Avi,        // 25 fps MPEG-4 part 2 (the DivX/Xvid kind) with two B-frames in AVI, which stores
                     // decoding times only
    FastStartMp4,    // 150 frames at 30 fps, H.264 with B-frames, the index at the front as phones
                     // and cameras write it, so that a copy cut short still opens
};
QString clip(Clip which);
QList<Clip> allClips();
QString clipName(Clip which);

// The first `percent` % of the bytes of `path`, as a file cut short in the middle of a packet.
QString truncatedCopy(const QString &path, int percent);
// A copy of `path` whose first video packet (its first key frame) holds garbage.
QString damagedStartCopy(const QString &path);
// `path` from `seconds` on, copied without re-encoding into MP4: the packets from the key frame
// before stay in the file, cut away by an edit list, and the first shown picture is not frame 0.
QString trimmedCopy(const QString &path, double seconds);
// Two seconds of a tone in an MPEG-4 audio file named "<name>.mp4": no video track.
QString audioOnly(const QString &name);

// A file with a video extension that holds text.
QString notAVideo();
// A file named `fileName` that holds text.
QString textFile(const QString &fileName);

// ffmpeg's moving test pattern (colour bars with a frame counter) as 30 fps H.264, `seconds` long
// with a key frame every `keyFrameInterval` frames, named `fileName` (its extension picks the
// container). `codecArguments`, when given, replace the H.264 encoder and its pixel format.
QString patternVideo(const QString &fileName, QSize size, int seconds, int keyFrameInterval = 60,
                     const QStringList &codecArguments = {});

// Two seconds of ffmpeg's moving test pattern as 320×240 HEVC Main 10 with BT.2020 primaries and
// matrix, its code values tagged with `transfer`: "arib-std-b67" for HLG, "smpte2084" for PQ,
// "bt2020-10" for the same pictures in SDR. `masteringPeak` and `maxContentLight` add what HDR10 files
// carry: a mastering display of that peak and a content light level (MaxCLL) of that brightness, in
// cd/m²; each is left out when 0.
QString hdrVideo(const QString &transfer, int masteringPeak = 0, int maxContentLight = 0);
// The same pictures as hdrVideo() in PQ, as VP9 in WebM, whose pictures carry no light levels: the
// container gives a mastering display of `masteringPeak` (none when 0) and a content light level of
// `maxContentLight`, in cd/m².
QString hdrContainerVideo(int masteringPeak, int maxContentLight);

// A video of the two test shapes on a gradient (TestImages::twoShapes(), scaled from their 960×540
// layout to `size`), which the segmentation model lifts as two subjects. The shapes move right by
// `drift` pixels a frame, so that frames differ. The container is MP4 unless another is named.
QString shapesVideo(const QString &name, QSize size, int frameCount, int drift = 0,
                    const QString &container = QStringLiteral("mp4"));

// The upright picture of frame `number`: the number's cells on a grey ground.
QImage frameImage(int number, QSize size);
// The number written by frameImage(), or -1 when the picture holds none (wrong way up, other content).
int frameNumber(const QImage &image);

// Flat colour areas, with the centres where they are to be read.
struct ColourPatch
{
    QColor colour;
    QPoint centre;
};
QList<ColourPatch> colourPatches(QSize size);
QImage colourImage(QSize size);

// The presentation times of a file's video frames in order, read by ffprobe. Files that store only
// decoding times (AVI) show their k-th picture at the k-th smallest packet time.
QList<MediaTime> frameTimes(const QString &path);

// The times of a file's shown frames as every packet read with its data gives them: each packet's
// presentation time (or decoding time when it has none), sorted, without repeats, without the
// last packet when it is cut short.
QList<MediaTime> packetTimes(const QString &path);

// A long video made cheaply: one minute of 160×120 frames at `frameRate` frames a second, numbered
// from 0, repeated `minutes` times without re-encoding, then 30 frames numbered from 8192 on, so
// that the end of the file cannot be taken for one of its minutes.
struct LongVideo
{
    QString path;
    int minutes = 0;
    int frameCount = 0;
    int minuteFrames = 1800;
    int lastBase = 8192;
    int lastFrames = 30;
    // The number the picture of frame `frame` carries.
    int numberOf(int frame) const;
};
LongVideo longVideo(int minutes, const QString &container = QStringLiteral("mp4"), int frameRate = 30);

// Where the media of this run are made.
QString folder();

} // namespace TestMedia
