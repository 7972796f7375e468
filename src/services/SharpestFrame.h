#pragma once

#include "support/MediaTime.h"
#include "support/Result.h"

class FrameGrabber;
class FrameIndex;

// The sharpest frame around a frame of a video: of the frames within a time window around it that
// belong to its shot, the one whose picture FocusMeasure rates highest (the nearest to the frame
// among equals). The shot's limits are found by ShotBoundaryDetector over the window and the frames
// it needs around it, so they are those a scan of the whole video finds.
namespace SharpestFrame {

// The pictures rated fit inside a square of this side: large enough to keep the fine detail that
// blur takes away, small enough to convert quickly.
inline constexpr int pictureSize = 960;

// `grabber` serves `index`'s video; its pictures are rated at the size it gives (see pictureSize).
// Fails when no frame of the window can be decoded.
Result<int> near(FrameGrabber &grabber, const FrameIndex &index, int frame, const MediaTime &halfWindow);

} // namespace SharpestFrame
