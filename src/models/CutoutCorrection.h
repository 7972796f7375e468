#pragma once

#include <QJsonObject>
#include <QList>
#include <QPointF>
#include <QRectF>
#include <QString>

#include <optional>

// One correction the user made to a frame's cut-out, kept as the gesture that made it so that the
// same lifting and the same corrections give the same cut-out every time. Points are in normalised
// image coordinates: (0, 0) is the top-left corner, (1, 1) the bottom-right; y grows downwards.
// A frame's corrections apply in order, each to what the ones before it left.
struct CutoutCorrection
{
    enum class Kind {
        DropSubject,     // the subject at `points[0]` leaves the cut-out
        AddSubject,      // the part of the frame `window` lifted again; its subject at `points[0]` joins
        AddSubjectInBox, // the figure inside the box of corners `points[0]` and `points[1]` joins
        Erase,           // the brush along `points` removes what it covers
        Restore,         // the brush along `points` brings back the object under it
    };

    Kind kind = Kind::Erase;
    QList<QPointF> points;
    // Erase and Restore: the brush's diameter, as a fraction of the image width.
    double size = 0.0;
    // AddSubject: the square lifted again, normalised (x and width by the image width, y and height
    // by its height).
    QRectF window;

    static CutoutCorrection dropSubject(const QPointF &point);
    static CutoutCorrection addSubject(const QPointF &point, const QRectF &window);
    static CutoutCorrection addSubjectInBox(const QPointF &corner, const QPointF &oppositeCorner);
    static CutoutCorrection erase(const QList<QPointF> &stroke, double size);
    static CutoutCorrection restore(const QList<QPointF> &stroke, double size);

    bool isStroke() const { return kind == Kind::Erase || kind == Kind::Restore; }

    // {"kind", "points"} and, by kind, "size" or "window" ([x, y, width, height]).
    QJsonObject toJson() const;
    // Strict: the members of its kind are required and typed, a stroke has at least one point, a
    // box two, a size or a window is positive and finite; on failure `error` says what is wrong.
    static std::optional<CutoutCorrection> fromJson(const QJsonValue &json, QString *error = nullptr);

    // Exact comparison of every field (QPointF's own == is fuzzy).
    friend bool operator==(const CutoutCorrection &a, const CutoutCorrection &b);
};

namespace CutoutCorrectionKinds {

QList<CutoutCorrection::Kind> all();
QString rawValue(CutoutCorrection::Kind kind);
std::optional<CutoutCorrection::Kind> fromRawValue(const QString &raw);

} // namespace CutoutCorrectionKinds
