#include "CutoutCorrector.h"

#include "platform/SubjectMaskEditor.h"

#include <QCoreApplication>

#include <algorithm>
#include <cmath>

namespace {

// A click that lands just off a subject still picks it: within this share of the frame's width.
constexpr double PickReachShare = 0.01;
constexpr int MinPickReach = 3;
// The first square lifted again is this many times the height of the nearest subject, and at most
// half the frame's shorter side; the second twice as large. Without a subject to measure by, the
// first is this share of the frame's height.
constexpr double WindowPerHeight = 2.5;
constexpr double WindowShareWithoutSubject = 0.2;
constexpr int MinWindowSide = 64;

int pickReach(QSize frame)
{
    return std::max(MinPickReach, int(std::lround(PickReachShare * frame.width())));
}

// The height of the subject whose middle is nearest to `point` in height of frame; 0 without one.
int nearestSubjectHeight(const SubjectMask &mask, QPoint point)
{
    int height = 0;
    int nearest = 0;
    for (int i = 0; i < mask.instanceCount(); ++i) {
        const QRect box = mask.instanceBounds(i);
        if (!box.isValid())
            continue;
        const int distance = std::abs(box.center().y() - point.y());
        if (height == 0 || distance < nearest) {
            height = box.height();
            nearest = distance;
        }
    }
    return height;
}

// Applies one correction to the editor; fails only when a part of the frame cannot be lifted again.
std::optional<AppError> apply(SubjectMaskEditor &editor, const CutoutCorrection &correction,
                              const CutoutCorrector::PartLifter &lift)
{
    using Kind = CutoutCorrection::Kind;
    const QSize size = editor.frameSize();
    if (correction.points.isEmpty())
        return std::nullopt;
    const QPoint point = CutoutCorrector::pixelOf(correction.points.first(), size);
    switch (correction.kind) {
    case Kind::DropSubject:
        editor.dropInstance(editor.instanceAt(point, pickReach(size)));
        break;
    case Kind::AddSubject: {
        const QRect window = CutoutCorrector::windowInPixels(correction.window, size);
        if (window.isEmpty())
            break;
        const Result<SubjectMask> part = lift(window);
        if (!part)
            return part.error();
        editor.addFromWindow(part.value(), window.topLeft(), point);
        break;
    }
    case Kind::AddSubjectInBox:
        if (correction.points.size() >= 2)
            editor.addInBox(
                QRect(point, CutoutCorrector::pixelOf(correction.points.at(1), size)).normalized());
        break;
    case Kind::Erase:
    case Kind::Restore: {
        QList<QPointF> stroke;
        stroke.reserve(correction.points.size());
        for (const QPointF &normalised : correction.points)
            stroke << CutoutCorrector::pixelPointOf(normalised, size);
        const double diameter = correction.size * size.width();
        if (correction.kind == Kind::Erase)
            editor.erase(stroke, diameter);
        else
            editor.restore(stroke, diameter);
        break;
    }
    }
    return std::nullopt;
}

} // namespace

Result<SubjectMask> CutoutCorrector::corrected(const SubjectMask &lifted,
                                               const QList<CutoutCorrection> &corrections,
                                               const PartLifter &lift)
{
    if (corrections.isEmpty())
        return lifted;
    try {
        SubjectMaskEditor editor(lifted);
        for (const CutoutCorrection &correction : corrections) {
            if (std::optional<AppError> error = apply(editor, correction, lift))
                return *error;
        }
        return editor.result();
    } catch (const std::bad_alloc &) {
        return AppError::platformFailure(QCoreApplication::translate(
            "CutoutCorrector", "Échec de la correction du détourage : mémoire insuffisante."));
    } catch (const std::exception &exception) {
        qWarning("Correcting a cut-out failed: %s", exception.what());
        return AppError::platformFailure(QCoreApplication::translate(
            "CutoutCorrector", "Échec de la correction du détourage : erreur inattendue."));
    }
}

QRect CutoutCorrector::liftingWindow(const SubjectMask &current, QPoint point, int attempt)
{
    const QSize size = current.frameSize();
    const int shorter = std::min(size.width(), size.height());
    if (shorter <= 0)
        return {};
    const int reference = nearestSubjectHeight(current, point);
    double side = reference > 0 ? WindowPerHeight * reference : WindowShareWithoutSubject * size.height();
    side = std::clamp(side, double(std::min(MinWindowSide, shorter)), shorter / 2.0);
    if (attempt > 0)
        side = std::min(2.0 * side, double(shorter));
    const int whole = std::max(1, int(std::lround(side)));
    // Centred on the point, pushed back inside the frame where it would cross an edge.
    const int left = std::clamp(point.x() - whole / 2, 0, size.width() - whole);
    const int top = std::clamp(point.y() - whole / 2, 0, size.height() - whole);
    return QRect(left, top, whole, whole);
}

Result<std::optional<CutoutCorrector::FoundPart>>
CutoutCorrector::findSubjectAt(const SubjectMask &current, QPoint point, const PartLifter &lift)
{
    QRect tried;
    for (int attempt = 0; attempt < 2; ++attempt) {
        const QRect window = liftingWindow(current, point, attempt);
        if (window.isEmpty() || window == tried)
            continue;
        tried = window;
        Result<SubjectMask> part = lift(window);
        if (!part)
            return part.error();
        // Found when adding it would change the cut-out.
        SubjectMaskEditor editor(current);
        if (editor.addFromWindow(part.value(), window.topLeft(), point))
            return std::optional<FoundPart>(FoundPart{window, std::move(part).value()});
    }
    return std::optional<FoundPart>();
}

QPoint CutoutCorrector::pixelOf(const QPointF &normalised, QSize size)
{
    const auto along = [](double value, int length) {
        return std::clamp(int(std::floor(value * length)), 0, std::max(0, length - 1));
    };
    return QPoint(along(normalised.x(), size.width()), along(normalised.y(), size.height()));
}

QPointF CutoutCorrector::pixelPointOf(const QPointF &normalised, QSize size)
{
    return QPointF(normalised.x() * size.width(), normalised.y() * size.height());
}

QPointF CutoutCorrector::normalisedOf(const QPointF &pixel, QSize size)
{
    if (size.isEmpty())
        return {};
    return QPointF(pixel.x() / size.width(), pixel.y() / size.height());
}

QRect CutoutCorrector::windowInPixels(const QRectF &normalised, QSize size)
{
    const QPoint topLeft(int(std::lround(normalised.x() * size.width())),
                         int(std::lround(normalised.y() * size.height())));
    const QPoint bottomRight(int(std::lround((normalised.x() + normalised.width()) * size.width())),
                             int(std::lround((normalised.y() + normalised.height()) * size.height())));
    return QRect(topLeft, QSize(bottomRight.x() - topLeft.x(), bottomRight.y() - topLeft.y()))
        .intersected(QRect(QPoint(0, 0), size));
}

QRectF CutoutCorrector::normalisedWindow(const QRect &window, QSize size)
{
    if (size.isEmpty())
        return {};
    return QRectF(double(window.x()) / size.width(), double(window.y()) / size.height(),
                  double(window.width()) / size.width(), double(window.height()) / size.height());
}
