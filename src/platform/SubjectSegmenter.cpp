#include "SubjectSegmenter.h"

#include "DnnlNetwork.h"
#include "ImageBridge.h"
#include "InferenceError.h"
#include "InferenceNetwork.h"
#include "SubjectMaskData.h"

#include <QColorSpace>
#include <QCoreApplication>
#include <QDataStream>
#include <QDir>
#include <QFileInfo>
#include <QHash>

#include <opencv2/imgproc.hpp>

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <exception>
#include <new>
#include <numeric>
#include <vector>

namespace {

// Written by tools/prepare-model; the build puts it in <build>/models.
const char *const ModelFileName = "isnet-general.onnx";
// The model's fixed input size (its Resize nodes are folded for it).
constexpr int InputSide = 1024;
// The tensor the subject probabilities come out of.
const char *const OutputName = "output";
// A pixel whose sigmoid output is above this belongs to a subject.
constexpr float SubjectThreshold = 0.5f;
// Connected parts smaller than this share of the frame are specks, not subjects.
constexpr double MinInstanceShare = 0.001;
// The soft edge kept around a subject is this share of the frame's longer side wide (a dozen pixels
// of the model's 1024-pixel input, where its real edges fade out), never less than MinSoftBand
// pixels; the alpha then fades to nothing over as much again.
constexpr double SoftBandShare = 0.012;
constexpr double MinSoftBand = 2.0;

// The engine's own messages (InferenceError) are written for the user. The libraries' text is
// English and technical: it goes to the log, the user reads French.
AppError libraryFailure(const std::exception &exception)
{
    if (dynamic_cast<const InferenceError *>(&exception))
        return AppError::platformFailure(QString::fromUtf8(exception.what()).trimmed());
    qWarning("Subject lifting failed: %s", exception.what());
    if (dynamic_cast<const std::bad_alloc *>(&exception))
        return AppError::platformFailure(
            QCoreApplication::translate("SubjectSegmenter", "Échec du détourage : mémoire insuffisante."));
    return AppError::platformFailure(QCoreApplication::translate(
        "SubjectSegmenter", "Échec du détourage : le modèle de segmentation a rencontré une erreur."));
}

std::unique_ptr<InferenceNetwork> loadDnnlNetwork(const QString &modelPath)
{
    return DnnlNetwork::load(modelPath, OutputName);
}

} // namespace

struct SubjectSegmenter::Model
{
    std::unique_ptr<InferenceNetwork> network;
};

SubjectMask::SubjectMask() : d(std::make_shared<const Data>()) {}

int SubjectMask::instanceCount() const
{
    return int(d->bounds.size());
}

QSize SubjectMask::frameSize() const
{
    return d->source.size();
}

QRect SubjectMask::instanceBounds(int instance) const
{
    if (instance < 0 || instance >= instanceCount())
        return {};
    return d->bounds[size_t(instance)];
}

int SubjectMask::instanceAt(QPoint point, int reach) const
{
    if (d->owner.empty())
        return -1;
    const QRect frameRect(QPoint(0, 0), frameSize());
    const QRect around =
        QRect(point - QPoint(reach, reach), point + QPoint(reach, reach)).intersected(frameRect);
    int nearest = -1;
    qint64 nearestDistance = qint64(reach) * reach + 1;
    for (int y = around.top(); y <= around.bottom(); ++y) {
        const int *own = d->owner.ptr<int>(y);
        const uchar *alpha = d->alpha.ptr<uchar>(y);
        for (int x = around.left(); x <= around.right(); ++x) {
            const qint64 distance =
                qint64(x - point.x()) * (x - point.x()) + qint64(y - point.y()) * (y - point.y());
            if (own[x] && alpha[x] && distance < nearestDistance) {
                nearest = own[x] - 1;
                nearestDistance = distance;
            }
        }
    }
    return nearest;
}

QList<QPolygon> SubjectMask::instanceOutline(int instance) const
{
    if (instance < 0 || instance >= instanceCount())
        return {};
    try {
        const QRect box = d->bounds[size_t(instance)];
        const cv::Rect area(box.x(), box.y(), box.width(), box.height());
        const cv::Mat solid = (d->owner(area) == instance + 1) & (d->alpha(area) >= 128);
        std::vector<std::vector<cv::Point>> contours;
        cv::findContours(solid, contours, cv::RETR_LIST, cv::CHAIN_APPROX_SIMPLE, cv::Point(area.x, area.y));
        QList<QPolygon> outline;
        for (const std::vector<cv::Point> &contour : contours) {
            QPolygon polygon;
            polygon.reserve(qsizetype(contour.size()));
            for (const cv::Point &point : contour)
                polygon << QPoint(point.x, point.y);
            outline << polygon;
        }
        return outline;
    } catch (const std::exception &exception) {
        qWarning("Outlining a subject failed: %s", exception.what());
        return {};
    }
}

QImage SubjectMask::frame() const
{
    return d->source;
}

Result<QImage> SubjectMask::maskedImage(const QList<int> &instances, bool crop) const
{
    try {
        std::vector<uchar> selected(d->bounds.size() + 1, 0);
        QRect box;
        for (const int instance : instances) {
            if (instance < 0 || instance >= instanceCount())
                continue;
            selected[size_t(instance) + 1] = 1;
            box |= d->bounds[size_t(instance)];
        }
        if (!crop)
            box = QRect(QPoint(0, 0), frameSize());
        if (box.isEmpty())
            return QImage();

        QImage masked(box.size(), QImage::Format_RGBA8888_Premultiplied);
        if (masked.isNull())
            return masked;
        masked.setColorSpace(d->source.colorSpace());
        if (d->owner.empty()) {
            masked.fill(0);
            return masked;
        }
        // The source is premultiplied, so scaling all four channels by the mask keeps it so; each
        // byte is rounded to the nearest, as OpenCV's multiplication with a scale of 1/255 rounds.
        const auto scaled = [](int byte, int alpha) {
            const int x = byte * alpha + 128;
            return uchar((x + (x >> 8)) >> 8);
        };
        for (int y = 0; y < box.height(); ++y) {
            const int *owner = d->owner.ptr<int>(box.y() + y) + box.x();
            const uchar *soft = d->alpha.ptr<uchar>(box.y() + y) + box.x();
            const uchar *in = d->source.constScanLine(box.y() + y) + std::ptrdiff_t(4) * box.x();
            uchar *out = masked.scanLine(y);
            for (int x = 0; x < box.width(); ++x, in += 4, out += 4) {
                const int alpha = selected[size_t(owner[x])] ? soft[x] : 0;
                if (alpha == 255) {
                    std::memcpy(out, in, 4);
                } else if (alpha == 0) {
                    std::memset(out, 0, 4);
                } else {
                    for (int c = 0; c < 4; ++c)
                        out[c] = scaled(in[c], alpha);
                }
            }
        }
        return masked;
    } catch (const std::exception &exception) {
        return libraryFailure(exception);
    }
}

namespace {

// The subjects of a probability map: the 8-connected parts of the thresholded output, specks left
// out. Each pixel holds the rank of its subject, larger subjects first, from 1; 0 for none.
cv::Mat subjectOwners(const cv::Mat &probability, std::size_t &subjectCount)
{
    const cv::Mat hard = probability > SubjectThreshold;
    cv::Mat labels, stats, centroids;
    const int labelCount = cv::connectedComponentsWithStats(hard, labels, stats, centroids, 8, CV_32S);
    const double minArea = std::max(1.0, MinInstanceShare * double(probability.total()));
    std::vector<int> kept;
    for (int label = 1; label < labelCount; ++label) {
        if (stats.at<int>(label, cv::CC_STAT_AREA) >= minArea)
            kept.push_back(label);
    }
    std::stable_sort(kept.begin(), kept.end(), [&](int a, int b) {
        return stats.at<int>(a, cv::CC_STAT_AREA) > stats.at<int>(b, cv::CC_STAT_AREA);
    });
    std::vector<int> ownerOfLabel(size_t(labelCount), 0);
    for (size_t rank = 0; rank < kept.size(); ++rank)
        ownerOfLabel[size_t(kept[rank])] = int(rank) + 1;

    cv::Mat owner(probability.size(), CV_32S);
    for (int y = 0; y < owner.rows; ++y) {
        const int *label = labels.ptr<int>(y);
        int *out = owner.ptr<int>(y);
        for (int x = 0; x < owner.cols; ++x)
            out[x] = ownerOfLabel[size_t(label[x])];
    }
    subjectCount = kept.size();
    return owner;
}

// The soft edge: alpha from the model's output only in a band around each solid subject, fading
// out beyond it; each of those pixels is given to the nearest subject. Further out the model's
// faint output (a ghost of the body, stray blobs, haze) is dropped.
cv::Mat softEdgeAlpha(const cv::Mat &probability, cv::Mat &owner)
{
    cv::Mat alphaPlane = cv::Mat::zeros(probability.size(), CV_8U);
    cv::Mat distance, nearest;
    cv::distanceTransform(owner == 0, distance, nearest, cv::DIST_L2, cv::DIST_MASK_5, cv::DIST_LABEL_CCOMP);
    // Each zero region of the transform lies inside one subject: map its label to that subject.
    double maxNearest = 0;
    cv::minMaxLoc(nearest, nullptr, &maxNearest);
    std::vector<int> subjectOfNearest(size_t(maxNearest) + 1, 0);
    for (int y = 0; y < owner.rows; ++y) {
        const int *own = owner.ptr<int>(y);
        const int *closest = nearest.ptr<int>(y);
        for (int x = 0; x < owner.cols; ++x) {
            if (own[x])
                subjectOfNearest[size_t(closest[x])] = own[x];
        }
    }
    const float band = float(std::max(MinSoftBand, SoftBandShare * std::max(owner.cols, owner.rows)));
    for (int y = 0; y < owner.rows; ++y) {
        int *own = owner.ptr<int>(y);
        const float *chance = probability.ptr<float>(y);
        const float *away = distance.ptr<float>(y);
        const int *closest = nearest.ptr<int>(y);
        uchar *alpha = alphaPlane.ptr<uchar>(y);
        for (int x = 0; x < owner.cols; ++x) {
            const float fade = own[x] ? 1.0f : std::clamp(2.0f - away[x] / band, 0.0f, 1.0f);
            alpha[x] = cv::saturate_cast<uchar>(chance[x] * fade * 255.0f);
            if (!own[x] && alpha[x])
                own[x] = subjectOfNearest[size_t(closest[x])];
        }
    }
    return alphaPlane;
}

} // namespace

std::vector<QRect> SubjectMask::Data::boundsOf(const cv::Mat &owner, const cv::Mat &alphaPlane,
                                               std::size_t subjectCount)
{
    std::vector<int> left(subjectCount, owner.cols), top(subjectCount, owner.rows), right(subjectCount, -1),
        bottom(subjectCount, -1);
    for (int y = 0; y < owner.rows; ++y) {
        const int *own = owner.ptr<int>(y);
        const uchar *alpha = alphaPlane.ptr<uchar>(y);
        for (int x = 0; x < owner.cols; ++x) {
            if (!own[x] || !alpha[x])
                continue;
            const size_t i = size_t(own[x]) - 1;
            left[i] = std::min(left[i], x);
            right[i] = std::max(right[i], x);
            top[i] = std::min(top[i], y);
            bottom[i] = std::max(bottom[i], y);
        }
    }
    std::vector<QRect> bounds;
    for (size_t i = 0; i < subjectCount; ++i)
        bounds.push_back(QRect(QPoint(left[i], top[i]), QPoint(right[i], bottom[i])));
    return bounds;
}

Result<SubjectMask> SubjectMask::fromProbability(const QImage &frame, std::span<const float> probabilities)
{
    try {
        auto data = std::make_shared<Data>();
        data->source = ImageBridge::toPremultipliedRgba(frame);
        const QSize size = data->source.size();
        if (data->source.isNull() ||
            probabilities.size() != std::size_t(size.width()) * std::size_t(size.height())) {
            SubjectMask empty;
            empty.d = std::move(data);
            return empty;
        }
        // A view of the caller's values, which are only read.
        const cv::Mat probability(size.height(), size.width(), CV_32F,
                                  const_cast<float *>(probabilities.data()));

        std::size_t subjectCount = 0;
        cv::Mat owner = subjectOwners(probability, subjectCount);
        data->alpha = subjectCount > 0 ? softEdgeAlpha(probability, owner)
                                       : cv::Mat(cv::Mat::zeros(probability.size(), CV_8U));
        data->bounds = Data::boundsOf(owner, data->alpha, subjectCount);
        data->owner = std::move(owner);

        SubjectMask mask;
        mask.d = std::move(data);
        return mask;
    } catch (const std::exception &exception) {
        return libraryFailure(exception);
    }
}

namespace {

// Encoded masks start with these bytes and this format number; anything else is not read.
constexpr quint32 MaskMagic = 0x51534d4b; // "QSMK"
constexpr quint16 MaskFormat = 1;
// Beyond this many subjects the owner plane takes two bytes a pixel instead of one.
constexpr int OneByteOwners = 255;

AppError damagedMask()
{
    return AppError::platformFailure(
        QCoreApplication::translate("SubjectSegmenter", "Masque de détourage enregistré illisible."));
}

} // namespace

QByteArray SubjectMask::encoded() const
{
    const QSize size = frameSize();
    const int count = instanceCount();
    const int ownerBytes = count > OneByteOwners ? 2 : 1;
    QByteArray alpha, owner;
    if (!d->alpha.empty()) {
        CV_Assert(d->alpha.isContinuous() && d->owner.isContinuous());
        alpha = QByteArray(reinterpret_cast<const char *>(d->alpha.data), qsizetype(d->alpha.total()));
        cv::Mat narrow;
        d->owner.convertTo(narrow, ownerBytes == 1 ? CV_8U : CV_16U);
        owner = QByteArray(reinterpret_cast<const char *>(narrow.data),
                           qsizetype(narrow.total() * narrow.elemSize()));
    }
    QByteArray bytes;
    QDataStream out(&bytes, QIODevice::WriteOnly);
    out.setVersion(QDataStream::Qt_6_0);
    out << MaskMagic << MaskFormat << qint32(size.width()) << qint32(size.height()) << qint32(count)
        << quint8(ownerBytes);
    for (const QRect &box : d->bounds)
        out << qint32(box.x()) << qint32(box.y()) << qint32(box.width()) << qint32(box.height());
    // Level 1: the planes are mostly runs of one value, which the fastest level packs nearly as well.
    out << (alpha.isEmpty() ? QByteArray() : qCompress(alpha, 1))
        << (owner.isEmpty() ? QByteArray() : qCompress(owner, 1));
    return bytes;
}

Result<SubjectMask> SubjectMask::decoded(const QByteArray &bytes, const QImage &frame)
{
    try {
        QDataStream in(bytes);
        in.setVersion(QDataStream::Qt_6_0);
        quint32 magic = 0;
        quint16 format = 0;
        qint32 width = 0, height = 0, count = 0;
        quint8 ownerBytes = 0;
        in >> magic >> format >> width >> height >> count >> ownerBytes;
        if (in.status() != QDataStream::Ok || magic != MaskMagic || format != MaskFormat || width < 0 ||
            height < 0 || count < 0 || count > 65535 || ownerBytes != (count > OneByteOwners ? 2 : 1))
            return damagedMask();
        const QRect frameRect(0, 0, width, height);
        auto data = std::make_shared<Data>();
        for (qint32 i = 0; i < count; ++i) {
            qint32 x = 0, y = 0, w = 0, h = 0;
            in >> x >> y >> w >> h;
            const QRect box(x, y, w, h);
            if (in.status() != QDataStream::Ok || !frameRect.contains(box))
                return damagedMask();
            data->bounds.push_back(box);
        }
        QByteArray packedAlpha, packedOwner;
        in >> packedAlpha >> packedOwner;
        if (in.status() != QDataStream::Ok || !in.atEnd())
            return damagedMask();

        data->source = ImageBridge::toPremultipliedRgba(frame);
        if (data->source.size() != QSize(width, height))
            return AppError::platformFailure(QCoreApplication::translate(
                "SubjectSegmenter", "Le masque de détourage enregistré est d'une image d'une autre taille."));
        const qsizetype pixels = qsizetype(width) * height;
        if (pixels > 0 && !packedAlpha.isEmpty()) {
            const QByteArray alpha = qUncompress(packedAlpha);
            const QByteArray owner = qUncompress(packedOwner);
            if (alpha.size() != pixels || owner.size() != pixels * ownerBytes)
                return damagedMask();
            data->alpha = cv::Mat(height, width, CV_8U);
            std::memcpy(data->alpha.data, alpha.constData(), size_t(pixels));
            const cv::Mat narrow(height, width, ownerBytes == 1 ? CV_8U : CV_16U,
                                 const_cast<char *>(owner.constData()));
            narrow.convertTo(data->owner, CV_32S);
            double highest = 0;
            cv::minMaxLoc(data->owner, nullptr, &highest);
            if (highest > count)
                return damagedMask();
        } else if (count > 0 || (pixels > 0 && !packedOwner.isEmpty())) {
            return damagedMask();
        }
        SubjectMask mask;
        mask.d = std::move(data);
        return mask;
    } catch (const std::exception &exception) {
        return libraryFailure(exception);
    }
}

QString SubjectSegmenter::defaultModelPath()
{
    const QDir executableDir(QCoreApplication::applicationDirPath());
    const QStringList candidates{
        executableDir.filePath(QStringLiteral("models")),
        executableDir.filePath(QStringLiteral("../models")), // tests and benchmarks one level down
        executableDir.filePath(QStringLiteral("../share/quintarel/models")),
    };
    for (const QString &dir : candidates) {
        const QString path = QDir(dir).filePath(QLatin1String(ModelFileName));
        if (QFileInfo::exists(path))
            return QDir::cleanPath(path);
    }
    return QDir::cleanPath(QDir(candidates.first()).filePath(QLatin1String(ModelFileName)));
}

std::shared_ptr<SubjectSegmenter> SubjectSegmenter::forModel(const QString &modelPath)
{
    // The model takes hundreds of megabytes: one segmenter per file for the whole process.
    static QMutex mutex;
    static QHash<QString, std::shared_ptr<SubjectSegmenter>> segmenters;
    const QString key = QFileInfo(modelPath).absoluteFilePath();
    QMutexLocker lock(&mutex);
    std::shared_ptr<SubjectSegmenter> &segmenter = segmenters[key];
    if (!segmenter)
        segmenter.reset(new SubjectSegmenter(key, loadDnnlNetwork));
    return segmenter;
}

std::shared_ptr<SubjectSegmenter> SubjectSegmenter::withNetwork(const QString &modelPath,
                                                                NetworkLoader loader)
{
    return std::shared_ptr<SubjectSegmenter>(
        new SubjectSegmenter(QFileInfo(modelPath).absoluteFilePath(), std::move(loader)));
}

SubjectSegmenter::SubjectSegmenter(QString modelPath, NetworkLoader loader)
    : m_modelPath(std::move(modelPath)), m_loader(std::move(loader))
{}

SubjectSegmenter::~SubjectSegmenter() = default;

namespace {

// The model's sigmoid output for the frame, at the frame's size (CV_32F, 0..1).
cv::Mat subjectProbability(InferenceNetwork &network, const QImage &image)
{
    const cv::Mat rgb = ImageBridge::toRgb(image);
    if (rgb.empty())
        throw std::bad_alloc();
    cv::Mat input;
    const bool shrinking = rgb.cols >= InputSide && rgb.rows >= InputSide;
    cv::resize(rgb, input, cv::Size(InputSide, InputSide), 0, 0,
               shrinking ? cv::INTER_AREA : cv::INTER_LINEAR);
    // One plane per colour, scaled to 0..1, minus 0.5 (OpenCV's blobFromImage took 0.2 s for this).
    std::vector<cv::Mat> channels;
    cv::split(input, channels);
    cv::Mat planes(3 * InputSide, InputSide, CV_32F);
    for (int c = 0; c < 3; ++c) {
        cv::Mat plane = planes.rowRange(c * InputSide, (c + 1) * InputSide);
        channels[size_t(c)].convertTo(plane, CV_32F, 1.0 / 255.0, -0.5);
    }
    cv::Mat square(InputSide, InputSide, CV_32F);
    network.run(planes.ptr<float>(), square.ptr<float>());
    cv::Mat probability;
    cv::resize(square, probability, rgb.size(), 0, 0, cv::INTER_LINEAR);
    return probability;
}

} // namespace

Result<SubjectMask> SubjectSegmenter::segment(const QImage &image)
{
    QMutexLocker lock(&m_mutex);
    try {
        if (!m_model) {
            if (!QFileInfo(m_modelPath).isFile())
                return AppError::subjectLiftingUnavailable();
            auto model = std::make_unique<Model>();
            model->network = m_loader(m_modelPath);
            const InferenceGraph::Shape input{1, 3, InputSide, InputSide};
            const InferenceGraph::Shape output{1, 1, InputSide, InputSide};
            if (model->network->inputShape() != input || model->network->outputShape() != output) {
                return AppError::platformFailure(
                    QCoreApplication::translate(
                        "SubjectSegmenter", "Modèle de détourage inutilisable : il n'attend pas une image "
                                            "de %1 × %1 pixels.")
                        .arg(InputSide));
            }
            m_model = std::move(model);
        }

        const QImage source = ImageBridge::toPremultipliedRgba(image);
        if (image.isNull() || source.isNull())
            return SubjectMask::fromProbability(source, {});

        const cv::Mat probability = subjectProbability(*m_model->network, source);
        lock.unlock(); // the rest only works on this frame's own data
        CV_Assert(probability.type() == CV_32F && probability.isContinuous());
        return SubjectMask::fromProbability(source, std::span(probability.ptr<float>(), probability.total()));
    } catch (const std::exception &exception) {
        return libraryFailure(exception);
    }
}
