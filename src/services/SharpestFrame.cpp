#include "SharpestFrame.h"

#include "FocusMeasure.h"
#include "ShotBoundaryDetector.h"
#include "platform/FrameGrabber.h"
#include "platform/FrameIndex.h"

#include <QList>

#include <algorithm>
#include <cstdlib>
#include <optional>
#include <vector>

Result<int> SharpestFrame::near(FrameGrabber &grabber, const FrameIndex &index, int frame,
                                const MediaTime &halfWindow)
{
    const int last = index.count() - 1;
    frame = std::clamp(frame, 0, last);
    const MediaTime centre = index.time(frame);
    // The window's frames: those that start within it.
    int first = index.frameAt(centre - halfWindow);
    if (index.time(first) < centre - halfWindow && first < frame)
        ++first;
    const int end = index.frameAt(centre + halfWindow);

    const int scanFrom = std::max(0, first - ShotBoundaryDetector::contextBefore);
    const int scanTo = std::min(last, end + ShotBoundaryDetector::contextAfter);
    ShotBoundaryDetector detector(scanFrom);
    QList<int> cuts;
    std::vector<std::optional<double>> focus(std::size_t(end - first + 1));
    std::optional<AppError> failure;
    for (int k = scanFrom; k <= scanTo; ++k) {
        const Result<QImage> picture = grabber.image(index.time(k));
        if (!picture.ok()) {
            failure = picture.error();
            cuts += detector.add(QImage());
            continue;
        }
        const QImage &still = picture.value();
        cuts +=
            detector.add(still.scaled(ShotBoundaryDetector::pictureSize, ShotBoundaryDetector::pictureSize,
                                      Qt::KeepAspectRatio, Qt::SmoothTransformation));
        if (k >= first && k <= end)
            focus[std::size_t(k - first)] = FocusMeasure::of(still);
    }
    cuts += detector.finish();

    // The frame's own shot within the window.
    int from = first;
    int to = end;
    for (int cut : cuts) {
        if (cut <= frame)
            from = std::max(from, cut);
        else
            to = std::min(to, cut - 1);
    }
    std::optional<int> best;
    for (int k = from; k <= to; ++k) {
        const std::optional<double> &rating = focus[std::size_t(k - first)];
        if (!rating)
            continue;
        const std::optional<double> &bestRating = best ? focus[std::size_t(*best - first)] : std::nullopt;
        if (!best || *rating > *bestRating ||
            (*rating == *bestRating && std::abs(k - frame) < std::abs(*best - frame)))
            best = k;
    }
    if (!best)
        return failure ? *failure : AppError::frameExtractionFailed(QString());
    return *best;
}
