#include "ShotBoundaryDetector.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdlib>

namespace {

// The brightness pattern compared: enough cells to see a new composition, few enough that noise
// and small movements average out.
constexpr int gridWidth = 32;
constexpr int gridHeight = 18;
// A change below this is never a cut, whatever its neighbours (the noise of compression, a subject
// moving).
constexpr double minimumChange = 0.12;
// How many times larger than every change around it a cut's change is.
constexpr double neighbourRatio = 3.0;
// A frame after the change that differs from the frame before it by less than this share of the
// change shows the same shot again: the change was a flash.
constexpr double flashReturn = 0.35;

int luma(int r, int g, int b)
{
    return (77 * r + 150 * g + 29 * b) >> 8;
}

} // namespace

ShotBoundaryDetector::ShotBoundaryDetector(int firstFrame)
    : m_firstFrame(firstFrame), m_nextFrame(firstFrame), m_nextUndecided(firstFrame), m_heldFirst(firstFrame)
{}

ShotBoundaryDetector::Signature ShotBoundaryDetector::signatureOf(const QImage &picture)
{
    Signature signature;
    const QImage rgba = picture.convertToFormat(QImage::Format_RGBA8888);
    const QImage grid = rgba.scaled(gridWidth, gridHeight, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    signature.luma.reserve(std::size_t(gridWidth) * gridHeight);
    for (int y = 0; y < grid.height(); ++y) {
        const uchar *row = grid.constScanLine(y);
        for (int x = 0; x < grid.width(); ++x) {
            const uchar *pixel = row + std::ptrdiff_t(4) * x;
            signature.luma.push_back(quint8(luma(pixel[0], pixel[1], pixel[2])));
        }
    }
    const qsizetype pixels = qsizetype(rgba.width()) * rgba.height();
    for (int y = 0; y < rgba.height(); ++y) {
        const uchar *row = rgba.constScanLine(y);
        for (int x = 0; x < rgba.width(); ++x) {
            const uchar *pixel = row + std::ptrdiff_t(4) * x;
            const int bin = ((pixel[0] >> 6) << 4) | ((pixel[1] >> 6) << 2) | (pixel[2] >> 6);
            signature.histogram[std::size_t(bin)] += 1.0f;
        }
    }
    if (pixels > 0) {
        for (float &share : signature.histogram)
            share /= float(pixels);
    }
    return signature;
}

double ShotBoundaryDetector::difference(const Signature &a, const Signature &b)
{
    if (a.luma.size() != b.luma.size() || a.luma.empty())
        return 1.0;
    long total = 0;
    for (std::size_t i = 0; i < a.luma.size(); ++i)
        total += std::abs(int(a.luma[i]) - int(b.luma[i]));
    const double brightness = double(total) / (255.0 * double(a.luma.size()));
    double colours = 0.0;
    for (std::size_t i = 0; i < a.histogram.size(); ++i)
        colours += std::abs(double(a.histogram[i]) - double(b.histogram[i]));
    // Both halves run from 0 to 1: a new composition and a new palette each count.
    return 0.5 * brightness + 0.25 * colours;
}

const ShotBoundaryDetector::Signature &ShotBoundaryDetector::signature(int frame) const
{
    return m_held.at(std::size_t(frame - m_heldFirst));
}

double ShotBoundaryDetector::change(int frame) const
{
    return m_changes.at(std::size_t(frame - m_heldFirst));
}

QList<int> ShotBoundaryDetector::add(const QImage &picture)
{
    if (picture.isNull() && !m_held.empty())
        m_held.push_back(m_held.back());
    else
        m_held.push_back(signatureOf(picture));
    const int frame = m_nextFrame++;
    m_changes.push_back(frame > m_heldFirst ? difference(signature(frame - 1), signature(frame)) : 0.0);
    return decideUpTo(frame, false);
}

QList<int> ShotBoundaryDetector::finish()
{
    return decideUpTo(m_nextFrame - 1, true);
}

QList<int> ShotBoundaryDetector::decideUpTo(int last, bool ended)
{
    QList<int> cuts;
    while (m_nextUndecided <= last && (ended || m_nextUndecided + contextAfter <= last)) {
        if (isCut(m_nextUndecided, last))
            cuts << m_nextUndecided;
        ++m_nextUndecided;
    }
    // Frames no decision to come will read again are let go.
    while (m_heldFirst < m_nextUndecided - contextBefore) {
        m_held.pop_front();
        m_changes.pop_front();
        ++m_heldFirst;
    }
    return cuts;
}

bool ShotBoundaryDetector::isCut(int frame, int lastKnown) const
{
    if (frame <= m_firstFrame)
        return false;
    const double jump = change(frame);
    if (jump < minimumChange)
        return false;
    // Every change around it must be much smaller.
    const int from = std::max(m_firstFrame + 1, frame - neighbourhood);
    const int to = std::min(lastKnown, frame + neighbourhood);
    for (int other = from; other <= to; ++other) {
        if (other != frame && jump < neighbourRatio * change(other))
            return false;
    }
    // A picture shortly after that looks like the one before: a flash, not a new shot.
    const Signature &before = signature(frame - 1);
    for (int later = frame + 1; later <= std::min(lastKnown, frame + flashLength); ++later) {
        if (difference(before, signature(later)) < flashReturn * jump)
            return false;
    }
    return true;
}
