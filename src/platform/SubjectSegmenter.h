#pragma once

#include "support/Result.h"

#include <QImage>
#include <QList>
#include <QMutex>
#include <QPolygon>
#include <QRect>
#include <QString>

#include <functional>
#include <memory>
#include <span>

class InferenceNetwork;

// The foreground subjects found in one frame. Instances are numbered from 0, larger area first; every
// pixel of the frame belongs to at most one instance. Immutable, cheap to copy, safe to share between
// threads.
class SubjectMask
{
public:
    SubjectMask();

    int instanceCount() const;
    QSize frameSize() const;
    // The bounding box of an instance's visible pixels (its soft edge included), in frame pixels.
    QRect instanceBounds(int instance) const;
    // The instance shown at `point`, else the one nearest to it within `reach` pixels; -1 for none.
    int instanceAt(QPoint point, int reach = 0) const;
    // The outline of an instance's mostly opaque pixels (alpha of half or more): one closed polygon
    // per part and per hole, in frame pixels. Empty for an index out of range.
    QList<QPolygon> instanceOutline(int instance) const;
    // The frame the subjects were found in (Format_RGBA8888_Premultiplied).
    QImage frame() const;
    // The frame's pixels where the given instances are, scaled by their soft alpha (premultiplied),
    // fully transparent elsewhere; the frame's size, or cut to the instances' bounding box when `crop`.
    // Indices out of range are ignored. The value is a null image when no image could be made.
    Result<QImage> maskedImage(const QList<int> &instances, bool crop) const;

    // The subjects of `frame` found in a segmentation model's output: `probabilities` holds, row by
    // row, one value from 0 to 1 per pixel of the frame saying how likely it is to belong to a
    // subject. A map of another size gives a mask without subjects.
    static Result<SubjectMask> fromProbability(const QImage &frame, std::span<const float> probabilities);

    // The mask without the frame's pixels, in a compact versioned form (soft alpha and the owner of
    // each pixel, compressed): a few tens of kilobytes for a 1080p frame. decoded() rebuilds the
    // same mask from it, so its images are byte for byte those of the mask that was encoded.
    QByteArray encoded() const;
    // The mask `bytes` hold, over `frame`, the very frame it was found in. Fails with a French
    // message on damaged bytes, bytes of another kind or version, or a frame of another size.
    static Result<SubjectMask> decoded(const QByteArray &bytes, const QImage &frame);

private:
    friend class SubjectSegmenter;
    friend class SubjectMaskEditor;
    struct Data; // SubjectMaskData.h
    std::shared_ptr<const Data> d;
};

// Finds the foreground subjects of a frame with the ISNet general-use salient-object model, run on
// oneDNN (DnnlNetwork). The model is loaded on first use and kept for the life of the process; one
// segmenter exists per model file, and it runs one inference at a time. Inference takes seconds:
// never call segment() on the main thread.
class SubjectSegmenter
{
public:
    // Makes the network that runs a model file; throws a std::exception when it cannot.
    using NetworkLoader = std::function<std::unique_ptr<InferenceNetwork>(const QString &modelPath)>;

    // The prepared model next to the executable: <dir>/models in the build tree, or
    // <dir>/../share/quintarel/models once installed.
    static QString defaultModelPath();
    // The process-wide segmenter of that model file.
    static std::shared_ptr<SubjectSegmenter> forModel(const QString &modelPath);
    // A segmenter of its own whose model runs on the network `loader` makes (to compare engines).
    static std::shared_ptr<SubjectSegmenter> withNetwork(const QString &modelPath, NetworkLoader loader);

    ~SubjectSegmenter();
    SubjectSegmenter(const SubjectSegmenter &) = delete;
    SubjectSegmenter &operator=(const SubjectSegmenter &) = delete;

    QString modelPath() const { return m_modelPath; }

    // The subjects of `image` (a mask without instances when there is none). Fails with
    // subjectLiftingUnavailable when the model file is missing, and with a message naming what went
    // wrong when the model cannot be loaded or run.
    Result<SubjectMask> segment(const QImage &image);

private:
    SubjectSegmenter(QString modelPath, NetworkLoader loader);

    struct Model;
    const QString m_modelPath;
    const NetworkLoader m_loader;
    QMutex m_mutex; // guards m_model and serialises inference
    std::unique_ptr<Model> m_model;
};
