#pragma once

#include <QImage>
#include <QList>

#include <array>
#include <deque>
#include <vector>

// Finds the cuts of a video from its frames given one after another, in presentation order, as small
// pictures of equal size (a few dozen pixels across is enough). A cut is the first frame of a new
// shot.
//
// Each frame is compared with the one before by the change of its brightness, pixel by pixel, and of
// its colour histogram. A cut is a change that is large in itself and several times larger than the
// changes around it: a cross-fade spreads its change over many frames and a pan or a moving subject
// changes every frame alike, so neither counts. A flash (a few bright frames between two alike) is
// no cut either: when a frame shortly after the change looks like the frame before it again, the
// shot has not changed.
//
// Whether frame i is a cut depends only on the frames from i − contextBefore to i + contextAfter, so
// that a scan of part of a video, given that context, decides the same as a scan of the whole.
class ShotBoundaryDetector
{
public:
    // The pictures given fit inside a square of this side; larger ones work as well, only slower.
    static constexpr int pictureSize = 64;
    // Frames before a frame and after it that its decision reads.
    static constexpr int neighbourhood = 3;
    static constexpr int flashLength = 5;
    static constexpr int contextBefore = neighbourhood + 1;
    static constexpr int contextAfter = neighbourhood > flashLength ? neighbourhood : flashLength;

    // `firstFrame` is the number of the first frame that will be given.
    explicit ShotBoundaryDetector(int firstFrame = 0);

    // Takes the next frame; returns the cuts that can now be decided, in order. A null picture (a
    // frame that could not be decoded) counts as the frame before it.
    QList<int> add(const QImage &picture);
    // No more frames: the cuts among the frames still undecided.
    QList<int> finish();

private:
    struct Signature
    {
        std::vector<quint8> luma;
        std::array<float, 64> histogram{};
    };
    static Signature signatureOf(const QImage &picture);
    // How different two frames are, from 0 (alike) to 1.
    static double difference(const Signature &a, const Signature &b);

    // The frame held at position `frame`, and the change from the frame before it (0 for the first).
    const Signature &signature(int frame) const;
    double change(int frame) const;
    // Decides frames up to `last` (inclusive) whose context is complete, or all when `ended`.
    QList<int> decideUpTo(int last, bool ended);
    bool isCut(int frame, int lastKnown) const;

    int m_firstFrame;
    int m_nextFrame; // the number the next frame given will get
    int m_nextUndecided;
    // The frames still needed, from m_held.front() numbered m_heldFirst.
    std::deque<Signature> m_held;
    std::deque<double> m_changes;
    int m_heldFirst;
};
