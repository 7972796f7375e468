#include "SubjectMaskEditor.h"

#include "ImageBridge.h"
#include "SubjectMaskData.h"

#include <opencv2/imgproc.hpp>

#include <algorithm>
#include <cmath>
#include <map>
#include <vector>

namespace {

// A pixel at least this opaque counts as part of its subject.
constexpr uchar SolidAlpha = 128;
// The erase brush's edge fades over this share of its radius (and at least a pixel or so).
constexpr double EraseSoftness = 0.12;
constexpr double MinEraseSigma = 0.75;
// Restored and added parts get an antialiased edge this soft (standard deviation, pixels).
constexpr double AddedEdgeSigma = 0.8;
// The graph cuts run on pictures of at most this many pixels; larger regions are scaled down first.
constexpr double RestorePixels = 8000.0;
constexpr double BoxPixels = 60000.0;
constexpr int RestoreIterations = 1;
constexpr double GrainSigma = 1.0;
constexpr int BoxIterations = 4;
// A subject with at least this share of its solid pixels inside a box is taken as part of the
// boxed figure.
constexpr double InsideShare = 0.8;
// The band along the inside of a box taken as probably background, as a share of its width and height.
constexpr double BoxBandShare = 0.08;
// Parts of a restored stroke smaller than this share of the stroke are specks.
constexpr double SpeckShare = 0.01;
// A figure smaller than this share of its box is nothing found.
constexpr double MinFigureShare = 0.02;
// Fixed-point fraction bits of the stroke points handed to OpenCV's drawing.
constexpr int PointShift = 4;
// The graph cut's colour models start from a k-means with random centres: a fixed seed makes the
// same stroke give the same cut every time.
constexpr quint64 GraphCutSeed = 0x51756e7461726c;

cv::Rect toCv(const QRect &rect)
{
    return cv::Rect(rect.x(), rect.y(), rect.width(), rect.height());
}

// A brush stroke rasterised over the part of the frame it reaches.
struct StrokeArea
{
    cv::Rect region; // in frame pixels
    cv::Mat hard;    // CV_8U over the region: 255 where the brush passed
};

StrokeArea strokeArea(const QList<QPointF> &stroke, double diameter, double margin, QSize frame)
{
    StrokeArea area;
    if (stroke.isEmpty() || !(diameter > 0) || frame.isEmpty())
        return area;
    const double radius = diameter / 2.0;
    double left = stroke.first().x(), right = left, top = stroke.first().y(), bottom = top;
    for (const QPointF &point : stroke) {
        left = std::min(left, point.x());
        right = std::max(right, point.x());
        top = std::min(top, point.y());
        bottom = std::max(bottom, point.y());
    }
    const double reach = radius + margin + 1.0;
    const QRect wanted(QPoint(int(std::floor(left - reach)), int(std::floor(top - reach))),
                       QPoint(int(std::ceil(right + reach)), int(std::ceil(bottom + reach))));
    const QRect region = wanted.intersected(QRect(QPoint(0, 0), frame));
    if (region.isEmpty())
        return area;
    area.region = toCv(region);
    area.hard = cv::Mat::zeros(area.region.size(), CV_8U);
    const double unit = double(1 << PointShift);
    const auto fixed = [&](const QPointF &point) {
        return cv::Point(int(std::lround((point.x() - region.x()) * unit)),
                         int(std::lround((point.y() - region.y()) * unit)));
    };
    const int thickness = std::max(1, int(std::lround(diameter)));
    const int fixedRadius = int(std::lround(radius * unit));
    cv::circle(area.hard, fixed(stroke.first()), fixedRadius, cv::Scalar(255), cv::FILLED, cv::LINE_8,
               PointShift);
    for (qsizetype i = 1; i < stroke.size(); ++i)
        cv::line(area.hard, fixed(stroke.at(i - 1)), fixed(stroke.at(i)), cv::Scalar(255), thickness,
                 cv::LINE_8, PointShift);
    return area;
}

// The frame's colours over a region as CV_8UC3 RGB (the frame is opaque, so premultiplied or not
// makes no difference).
cv::Mat rgbOf(const QImage &frame, const cv::Rect &region)
{
    cv::Mat rgb;
    cv::cvtColor(ImageBridge::view(frame)(region), rgb, cv::COLOR_RGBA2RGB);
    return rgb;
}

// Whether a graph cut can learn from `labels`: a few pixels of each side.
bool bothSidesSeeded(const cv::Mat &labels)
{
    constexpr int MinSamples = 8; // the colour models have five components each
    const int foreground = cv::countNonZero((labels == cv::GC_FGD) | (labels == cv::GC_PR_FGD));
    const int background = cv::countNonZero((labels == cv::GC_BGD) | (labels == cv::GC_PR_BGD));
    return foreground >= MinSamples && background >= MinSamples;
}

// OpenCV's GrabCut from the given labels, with a fixed seed; the foreground it finds, as 0 / 255.
cv::Mat graphCut(const cv::Mat &rgb, cv::Mat labels, int iterations)
{
    cv::RNG &rng = cv::theRNG();
    const quint64 saved = rng.state;
    rng.state = GraphCutSeed;
    // The grain of a video frame would blur the colour models: the cut sees the picture smoothed.
    cv::Mat smooth;
    cv::GaussianBlur(rgb, smooth, cv::Size(5, 5), GrainSigma, GrainSigma, cv::BORDER_REPLICATE);
    cv::Mat backgroundModel, foregroundModel;
    cv::grabCut(smooth, labels, cv::Rect(), backgroundModel, foregroundModel, iterations,
                cv::GC_INIT_WITH_MASK);
    rng.state = saved;
    cv::Mat foreground = (labels & 1) != 0; // GC_FGD and GC_PR_FGD
    return foreground;
}

// A region scaled so that it holds at most `limit` pixels: its scale, 1 or less.
double scaleFor(const cv::Rect &region, double limit)
{
    return std::min(1.0, std::sqrt(limit / std::max(1.0, double(region.area()))));
}

cv::Mat scaled(const cv::Mat &plane, double scale, int interpolation)
{
    if (scale >= 1.0)
        return plane.clone();
    const cv::Size size(std::max(1, int(std::lround(plane.cols * scale))),
                        std::max(1, int(std::lround(plane.rows * scale))));
    cv::Mat result;
    cv::resize(plane, result, size, 0, 0, interpolation);
    return result;
}

// A 0 / 255 mask found at a smaller scale brought back to `size`, its edge following the smooth
// interpolation instead of the coarse pixels.
cv::Mat upscaledMask(const cv::Mat &mask, cv::Size size)
{
    if (mask.size() == size)
        return mask;
    cv::Mat smooth;
    cv::resize(mask, smooth, size, 0, 0, cv::INTER_LINEAR);
    return smooth >= 128;
}

// The parts of a 0 / 255 mask of at least `minArea` pixels (all of them, or the largest alone).
cv::Mat withoutSpecks(const cv::Mat &mask, double minArea, bool largestOnly)
{
    cv::Mat labels, stats, centroids;
    const int count = cv::connectedComponentsWithStats(mask, labels, stats, centroids, 8, CV_32S);
    int largest = 0;
    for (int label = 1; label < count; ++label) {
        if (!largest || stats.at<int>(label, cv::CC_STAT_AREA) > stats.at<int>(largest, cv::CC_STAT_AREA))
            largest = label;
    }
    cv::Mat kept = cv::Mat::zeros(mask.size(), CV_8U);
    for (int label = 1; label < count; ++label) {
        const bool keep = largestOnly ? label == largest : stats.at<int>(label, cv::CC_STAT_AREA) >= minArea;
        if (keep)
            kept.setTo(255, labels == label);
    }
    return kept;
}

// A 0 / 255 mask found at a coarser scale (`scale` below 1), its border settled again at full
// resolution: each pixel within reach of the border goes to the side whose local mean colour it is
// nearer to, the means taken over the pixels around it that lie surely on either side.
cv::Mat refinedBorder(const cv::Mat &rgb, const cv::Mat &mask, double scale)
{
    if (scale >= 1.0)
        return mask;
    const int reach = int(std::ceil(1.0 / scale)) + 1;
    const cv::Mat disc = cv::getStructuringElement(cv::MORPH_ELLIPSE, cv::Size(2 * reach + 1, 2 * reach + 1));
    cv::Mat sureInside, sureOutside;
    cv::erode(mask, sureInside, disc);
    cv::erode(mask == 0, sureOutside, disc);
    const cv::Size window(4 * reach + 1, 4 * reach + 1);
    const auto localMean = [&](const cv::Mat &sure, cv::Mat &sum, cv::Mat &weight) {
        cv::Mat colours;
        rgb.convertTo(colours, CV_32FC3);
        colours.setTo(cv::Scalar::all(0), sure == 0);
        cv::boxFilter(colours, sum, CV_32F, window, cv::Point(-1, -1), false);
        cv::boxFilter(sure, weight, CV_32F, window, cv::Point(-1, -1), false);
    };
    cv::Mat insideSum, insideWeight, outsideSum, outsideWeight;
    localMean(sureInside, insideSum, insideWeight);
    localMean(sureOutside, outsideSum, outsideWeight);
    cv::Mat refined = mask.clone();
    for (int y = 0; y < mask.rows; ++y) {
        const uchar *in = sureInside.ptr<uchar>(y);
        const uchar *out = sureOutside.ptr<uchar>(y);
        const uchar *colour = rgb.ptr<uchar>(y);
        const float *fs = insideSum.ptr<float>(y), *fw = insideWeight.ptr<float>(y);
        const float *bs = outsideSum.ptr<float>(y), *bw = outsideWeight.ptr<float>(y);
        uchar *result = refined.ptr<uchar>(y);
        for (int x = 0; x < mask.cols; ++x) {
            if (in[x] || out[x] || fw[x] <= 0 || bw[x] <= 0)
                continue;
            float toInside = 0, toOutside = 0;
            for (int c = 0; c < 3; ++c) {
                const float value = colour[3 * x + c];
                const float di = value - fs[3 * x + c] / (fw[x] / 255.0f);
                const float db = value - bs[3 * x + c] / (bw[x] / 255.0f);
                toInside += di * di;
                toOutside += db * db;
            }
            result[x] = toInside <= toOutside ? 255 : 0;
        }
    }
    return refined;
}

cv::Mat softened(const cv::Mat &mask, double sigma)
{
    cv::Mat soft;
    const int reach = int(std::ceil(3.0 * sigma));
    cv::GaussianBlur(mask, soft, cv::Size(2 * reach + 1, 2 * reach + 1), sigma, sigma, cv::BORDER_REPLICATE);
    return soft;
}

} // namespace

struct SubjectMaskEditor::Planes
{
    QImage source;
    cv::Mat alpha; // CV_8U
    cv::Mat owner; // CV_32S, subject number + 1, 0 for the background
    int count = 0; // subjects numbered so far, dropped ones included
    // What each erase stroke took, in order: over the stroke's region, the number + 1 of the subject
    // it took a pixel's alpha from, 0 where it took none. What was erased is the subjects' own
    // matter, never the background a restore is told apart from, and a restore gives it back.
    struct Erased
    {
        cv::Rect region;
        cv::Mat from; // CV_32S
    };
    std::vector<Erased> erased;
    // Per subject, a rectangle holding all its pixels (it may hold more): the work on one subject
    // stays inside it.
    std::vector<cv::Rect> reach;

    // A new subject's number.
    int added()
    {
        reach.emplace_back();
        return count++;
    }

    // Gives `region`'s pixels where `alpha` (CV_8U over the region) is above what they have to
    // subject `instance`, with that alpha; a pixel solid in another subject stays that subject's.
    // Returns how many pixels changed hands.
    int take(const cv::Rect &region, const cv::Mat &alphaOver, int instance)
    {
        int taken = 0;
        for (int y = 0; y < region.height; ++y) {
            const uchar *wanted = alphaOver.ptr<uchar>(y);
            uchar *a = alpha.ptr<uchar>(region.y + y) + region.x;
            int *own = owner.ptr<int>(region.y + y) + region.x;
            for (int x = 0; x < region.width; ++x) {
                const bool othersSolid = own[x] && own[x] != instance + 1 && a[x] >= SolidAlpha;
                if (wanted[x] > a[x] && !othersSolid) {
                    a[x] = wanted[x];
                    taken += own[x] != instance + 1 ? 1 : 0;
                    own[x] = instance + 1;
                }
            }
        }
        if (taken > 0)
            reach[size_t(instance)] =
                reach[size_t(instance)].empty() ? region : (reach[size_t(instance)] | region);
        return taken;
    }

    // The subject whose solid pixels border `mask` (0 / 255 over `region`) the most; -1 for none.
    int neighbourOf(const cv::Rect &region, const cv::Mat &mask) const
    {
        cv::Mat ring;
        cv::dilate(mask, ring, cv::getStructuringElement(cv::MORPH_ELLIPSE, cv::Size(7, 7)));
        ring.setTo(0, mask);
        std::map<int, int> votes;
        for (int y = 0; y < region.height; ++y) {
            const uchar *near = ring.ptr<uchar>(y);
            const uchar *a = alpha.ptr<uchar>(region.y + y) + region.x;
            const int *own = owner.ptr<int>(region.y + y) + region.x;
            for (int x = 0; x < region.width; ++x) {
                if (near[x] && own[x] && a[x] >= SolidAlpha)
                    ++votes[own[x] - 1];
            }
        }
        const auto best = std::max_element(votes.begin(), votes.end(),
                                           [](const auto &p, const auto &q) { return p.second < q.second; });
        return best == votes.end() ? -1 : best->first;
    }

    // Over `region`, the number + 1 of the subject each pixel was last erased from, 0 where none
    // was; empty when nothing was erased there.
    cv::Mat erasedFrom(const cv::Rect &region) const
    {
        cv::Mat from;
        for (const Erased &stroke : erased) {
            const cv::Rect both = stroke.region & region;
            if (both.empty())
                continue;
            if (from.empty())
                from = cv::Mat::zeros(region.size(), CV_32S);
            const cv::Mat taken = stroke.from(both - stroke.region.tl());
            taken.copyTo(from(both - region.tl()), taken != 0);
        }
        return from;
    }

    // The subject still in the list that most of what `mask` (0 / 255 over `region`) covers was
    // erased from, by `from` (erasedFrom of the region); -1 for none.
    int erasedOwnerOf(const cv::Mat &from, const cv::Mat &mask) const
    {
        if (from.empty())
            return -1;
        std::map<int, int> votes;
        for (int y = 0; y < mask.rows; ++y) {
            const uchar *covered = mask.ptr<uchar>(y);
            const int *owners = from.ptr<int>(y);
            for (int x = 0; x < mask.cols; ++x) {
                if (covered[x] && owners[x] && !reach[size_t(owners[x] - 1)].empty())
                    ++votes[owners[x] - 1];
            }
        }
        const auto best = std::max_element(votes.begin(), votes.end(),
                                           [](const auto &p, const auto &q) { return p.second < q.second; });
        return best == votes.end() ? -1 : best->first;
    }

    // The share of a subject's solid pixels that lie inside `box`.
    double shareInside(int instance, const cv::Rect &box) const
    {
        const cv::Rect area = reach[size_t(instance)];
        if ((area & box).empty())
            return 0.0;
        const cv::Mat mine = (owner(area) == instance + 1) & (alpha(area) >= SolidAlpha);
        const double total = cv::countNonZero(mine);
        const cv::Rect inside = (area & box) - area.tl();
        return total > 0 ? cv::countNonZero(mine(inside)) / total : 0.0;
    }
};

SubjectMaskEditor::SubjectMaskEditor(const SubjectMask &mask) : m(std::make_unique<Planes>())
{
    m->source = mask.d->source;
    const cv::Size size(m->source.width(), m->source.height());
    m->alpha = mask.d->alpha.empty() ? cv::Mat(cv::Mat::zeros(size, CV_8U)) : mask.d->alpha.clone();
    m->owner = mask.d->owner.empty() ? cv::Mat(cv::Mat::zeros(size, CV_32S)) : mask.d->owner.clone();
    m->count = mask.instanceCount();
    for (const QRect &box : mask.d->bounds)
        m->reach.push_back(box.isValid() ? toCv(box) : cv::Rect());
}

SubjectMaskEditor::~SubjectMaskEditor() = default;

QSize SubjectMaskEditor::frameSize() const
{
    return m->source.size();
}

int SubjectMaskEditor::instanceAt(QPoint point, int reach) const
{
    const QRect around = QRect(point - QPoint(reach, reach), point + QPoint(reach, reach))
                             .intersected(QRect(QPoint(0, 0), frameSize()));
    int nearest = -1;
    qint64 nearestDistance = qint64(reach) * reach + 1;
    for (int y = around.top(); y <= around.bottom(); ++y) {
        const int *own = m->owner.ptr<int>(y);
        const uchar *a = m->alpha.ptr<uchar>(y);
        for (int x = around.left(); x <= around.right(); ++x) {
            const qint64 dx = x - point.x(), dy = y - point.y();
            if (own[x] && a[x] && dx * dx + dy * dy < nearestDistance) {
                nearest = own[x] - 1;
                nearestDistance = dx * dx + dy * dy;
            }
        }
    }
    return nearest;
}

void SubjectMaskEditor::dropInstance(int instance)
{
    if (instance < 0 || instance >= m->count)
        return;
    const cv::Rect area = m->reach[size_t(instance)];
    cv::Mat owner = m->owner(area);
    const cv::Mat mine = owner == instance + 1;
    m->alpha(area).setTo(0, mine);
    owner.setTo(0, mine);
    m->reach[size_t(instance)] = cv::Rect();
}

void SubjectMaskEditor::erase(const QList<QPointF> &stroke, double diameter)
{
    const double sigma = std::max(MinEraseSigma, diameter / 2.0 * EraseSoftness);
    const StrokeArea area = strokeArea(stroke, diameter, 3.0 * sigma, frameSize());
    if (area.hard.empty())
        return;
    // Twice the blurred stroke: all of the brush's own disc is covered, and the fade lies outside it.
    cv::Mat cover;
    softened(area.hard, sigma).convertTo(cover, CV_8U, 2.0);
    Planes::Erased taken{area.region, cv::Mat::zeros(area.region.size(), CV_32S)};
    bool tookAny = false;
    for (int y = 0; y < area.region.height; ++y) {
        const uchar *c = cover.ptr<uchar>(y);
        uchar *a = m->alpha.ptr<uchar>(area.region.y + y) + area.region.x;
        int *own = m->owner.ptr<int>(area.region.y + y) + area.region.x;
        int *from = taken.from.ptr<int>(y);
        for (int x = 0; x < area.region.width; ++x) {
            if (!c[x] || !a[x])
                continue;
            if (own[x]) {
                from[x] = own[x];
                tookAny = true;
            }
            a[x] = uchar((a[x] * (255 - c[x]) + 127) / 255);
            if (!a[x])
                own[x] = 0;
        }
    }
    if (tookAny)
        m->erased.push_back(std::move(taken));
}

bool SubjectMaskEditor::restore(const QList<QPointF> &stroke, double diameter)
{
    const double margin = std::max(8.0, 0.5 * diameter);
    const StrokeArea area = strokeArea(stroke, diameter, margin, frameSize());
    if (area.hard.empty())
        return false;
    const cv::Mat solid = m->alpha(area.region) >= SolidAlpha;
    if (cv::countNonZero(area.hard & ~solid) == 0)
        return false; // the stroke lies on subjects only

    // Seeds at the graph cut's scale: the subjects are foreground, the stroke probably is, and what
    // lies around the stroke outside every subject is background. What was erased is the subjects'
    // own: under the stroke it comes back, around it it is probably foreground, so that a band
    // erased across a subject, with subject on both sides, is not taken for the background.
    const double scale = scaleFor(area.region, RestorePixels);
    const cv::Mat hard = scaled(area.hard, scale, cv::INTER_NEAREST);
    cv::Mat labels(hard.size(), CV_8U, cv::Scalar(cv::GC_BGD));
    labels.setTo(cv::GC_PR_FGD, hard);
    const cv::Mat erasedFrom = m->erasedFrom(area.region);
    if (!erasedFrom.empty()) {
        const cv::Mat erased = scaled(erasedFrom != 0, scale, cv::INTER_NEAREST);
        labels.setTo(cv::GC_PR_FGD, erased);
        labels.setTo(cv::GC_FGD, erased & hard);
    }
    labels.setTo(cv::GC_FGD, scaled(solid, scale, cv::INTER_NEAREST));

    cv::Mat found;
    if (cv::countNonZero(labels == cv::GC_BGD) == 0 || !bothSidesSeeded(labels)) {
        found = area.hard.clone(); // nothing around to tell the object from: the stroke as painted
    } else {
        const cv::Mat rgb = rgbOf(m->source, area.region);
        const cv::Mat cut = graphCut(scaled(rgb, scale, cv::INTER_AREA), labels, RestoreIterations);
        found = refinedBorder(rgb, upscaledMask(cut, area.hard.size()), scale) & area.hard;
        found = withoutSpecks(found, SpeckShare * cv::countNonZero(area.hard), false);
    }
    found.setTo(0, solid);
    if (cv::countNonZero(found) == 0)
        return false;
    int instance = m->erasedOwnerOf(erasedFrom, found);
    if (instance < 0)
        instance = m->neighbourOf(area.region, found);
    if (instance < 0)
        instance = m->added();
    cv::Mat edge = softened(found, AddedEdgeSigma);
    // The soft edge stays inside the stroke: nothing beyond the brush is restored.
    edge.setTo(0, area.hard == 0);
    edge.setTo(255, found);
    return m->take(area.region, edge, instance) > 0;
}

bool SubjectMaskEditor::addInBox(const QRect &wantedBox)
{
    const QRect frameRect(QPoint(0, 0), frameSize());
    const QRect box = wantedBox.normalized().intersected(frameRect);
    if (box.width() < 4 || box.height() < 4)
        return false;
    const int margin = std::max(8, int(std::lround(0.1 * std::max(box.width(), box.height()))));
    const cv::Rect region = toCv(box.adjusted(-margin, -margin, margin, margin).intersected(frameRect));
    const cv::Rect inner(box.x() - region.x, box.y() - region.y, box.width(), box.height());

    // The box's inside is probably the figure; subjects found inside it are, those reaching far
    // beyond it probably are not; everything outside the box is background.
    cv::Mat labels(region.size(), CV_8U, cv::Scalar(cv::GC_BGD));
    labels(inner).setTo(cv::GC_PR_BGD);
    // A rough box holds its figure in its middle: near its sides it is probably background.
    const int bandX = int(std::lround(BoxBandShare * inner.width)),
              bandY = int(std::lround(BoxBandShare * inner.height));
    labels(cv::Rect(inner.x + bandX, inner.y + bandY, inner.width - 2 * bandX, inner.height - 2 * bandY))
        .setTo(cv::GC_PR_FGD);
    std::vector<int> absorbed;
    for (int instance = 0; instance < m->count; ++instance) {
        const double share = m->shareInside(instance, toCv(box));
        if (share <= 0)
            continue;
        const cv::Mat mine = (m->owner(region) == instance + 1) & (m->alpha(region) >= SolidAlpha);
        cv::Mat inBox = cv::Mat::zeros(region.size(), CV_8U);
        mine(inner).copyTo(inBox(inner));
        const bool inside = share >= InsideShare;
        labels.setTo(inside ? cv::GC_FGD : cv::GC_PR_BGD, inBox);
        if (inside)
            absorbed.push_back(instance);
    }
    if (!bothSidesSeeded(labels))
        return false;

    const double scale = scaleFor(region, BoxPixels);
    const cv::Mat rgb = rgbOf(m->source, region);
    const cv::Mat cut =
        graphCut(scaled(rgb, scale, cv::INTER_AREA), scaled(labels, scale, cv::INTER_NEAREST), BoxIterations);
    cv::Mat figure = cv::Mat::zeros(region.size(), CV_8U);
    refinedBorder(rgb, upscaledMask(cut, region.size()), scale)(inner).copyTo(figure(inner));
    cv::medianBlur(figure, figure, 5);
    figure = withoutSpecks(figure, 0, true);
    if (cv::countNonZero(figure) < MinFigureShare * box.width() * box.height())
        return false;

    const int instance = m->added();
    // A subject of the model that the figure takes in becomes part of it.
    for (const int part : absorbed) {
        const cv::Rect area = m->reach[size_t(part)];
        cv::Mat owner = m->owner(area);
        owner.setTo(instance + 1, owner == part + 1);
        m->reach[size_t(instance)] =
            m->reach[size_t(instance)].empty() ? area : (m->reach[size_t(instance)] | area);
        m->reach[size_t(part)] = cv::Rect();
    }
    cv::Mat edge = softened(figure, AddedEdgeSigma);
    edge.setTo(255, figure);
    return m->take(region, edge, instance) > 0 || !absorbed.empty();
}

bool SubjectMaskEditor::addFromWindow(const SubjectMask &window, QPoint origin, QPoint point)
{
    const int part = window.instanceAt(point - origin, 2);
    if (part < 0 || window.d->owner.empty())
        return false;
    const QRect placed = QRect(origin, window.frameSize()).intersected(QRect(QPoint(0, 0), frameSize()));
    if (placed.isEmpty())
        return false;
    const cv::Rect region = toCv(placed);
    const cv::Rect local = toCv(placed.translated(-origin));
    cv::Mat alpha = cv::Mat::zeros(region.size(), CV_8U);
    window.d->alpha(local).copyTo(alpha, window.d->owner(local) == part + 1);
    const int instance = m->added();
    if (m->take(region, alpha, instance) > 0)
        return true;
    m->reach.pop_back();
    --m->count;
    return false;
}

SubjectMask SubjectMaskEditor::result() const
{
    // Every change keeps a pixel's owner at 0 where its alpha is: the boxes of what each subject
    // shows tell which subjects still show.
    std::vector<QRect> bounds = SubjectMask::Data::boundsOf(m->owner, m->alpha, size_t(m->count));
    auto data = std::make_shared<SubjectMask::Data>();
    data->source = m->source;
    data->alpha = m->alpha.clone();
    const bool allShow =
        std::all_of(bounds.cbegin(), bounds.cend(), [](const QRect &box) { return box.isValid(); });
    if (allShow) {
        data->owner = m->owner.clone();
        data->bounds = std::move(bounds);
    } else {
        // Those that still show keep their order and are numbered afresh from 0.
        std::vector<int> renumbered(size_t(m->count) + 1, 0);
        int kept = 0;
        for (size_t instance = 0; instance < bounds.size(); ++instance) {
            if (bounds[instance].isValid()) {
                renumbered[instance + 1] = ++kept;
                data->bounds.push_back(bounds[instance]);
            }
        }
        data->owner = cv::Mat(m->owner.size(), CV_32S);
        for (int y = 0; y < m->owner.rows; ++y) {
            const int *own = m->owner.ptr<int>(y);
            int *out = data->owner.ptr<int>(y);
            for (int x = 0; x < m->owner.cols; ++x)
                out[x] = renumbered[size_t(own[x])];
        }
    }
    SubjectMask mask;
    mask.d = std::move(data);
    return mask;
}
