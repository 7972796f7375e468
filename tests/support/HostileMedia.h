#pragma once

#include <QList>
#include <QString>

// Files that claim to be videos and are not quite, or not at all: what a user may drop on the window
// by mistake, or a damaged download. Made once per test run in TestMedia's folder, every one named
// .mp4 whatever it holds.
namespace HostileMedia {

enum class Kind {
    Empty,            // zero bytes
    Text,             // a shopping list
    Truncated10,      // the first 10 % of a sound video whose index comes first
    Truncated50,      // the first half of it
    Truncated90,      // all but its last tenth
    CorruptedBlocks,  // the same video with blocks of random bytes written over its pictures
    AudioOnly,        // two seconds of a tone, no video track
    StillImage,       // a PNG picture
    OnePixel,         // an H.264 video of 1×1 pixels
    VeryWide,         // an H.264 video of 16000×16 pixels
    HugeSizeInHeader, // raw video whose header claims 16000×16000 pixels, followed by a few bytes
};

QList<Kind> all();
QString name(Kind kind);
// The path of the file of this kind (made at the first call).
QString file(Kind kind);

} // namespace HostileMedia
