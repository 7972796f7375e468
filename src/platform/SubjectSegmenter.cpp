#include "SubjectSegmenter.h"

#include "DnnlNetwork.h"
#include "ImageBridge.h"
#include "InferenceNetwork.h"

#include <QColorSpace>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QHash>

#include <opencv2/imgproc.hpp>

#include <algorithm>
#include <exception>
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

// The engine's messages are written for the user; the libraries' are shown as they are.
AppError libraryFailure(const std::exception &exception)
{
    return AppError::platformFailure(QString::fromUtf8(exception.what()).trimmed());
}

std::unique_ptr<InferenceNetwork> loadDnnlNetwork(const QString &modelPath)
{
    return DnnlNetwork::load(modelPath, OutputName);
}

} // namespace

struct SubjectMask::Data
{
    QImage source;             // Format_RGBA8888_Premultiplied
    cv::Mat alpha;             // CV_8U soft alpha of the subjects, 0 where no instance owns the pixel
    cv::Mat owner;             // CV_32S instance index + 1 per pixel, 0 for the background
    std::vector<QRect> bounds; // per instance, in frame pixels
};

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

        const cv::Rect area(box.x(), box.y(), box.width(), box.height());
        cv::Mat alpha(area.size(), CV_8U);
        for (int y = 0; y < area.height; ++y) {
            const int *owner = d->owner.ptr<int>(area.y + y) + area.x;
            const uchar *soft = d->alpha.ptr<uchar>(area.y + y) + area.x;
            uchar *out = alpha.ptr<uchar>(y);
            for (int x = 0; x < area.width; ++x)
                out[x] = selected[size_t(owner[x])] ? soft[x] : 0;
        }
        cv::Mat alpha4;
        cv::merge(std::vector<cv::Mat>{alpha, alpha, alpha, alpha}, alpha4);
        // The source is premultiplied, so scaling all four channels by the mask keeps it so.
        cv::Mat masked;
        cv::multiply(ImageBridge::view(d->source)(area), alpha4, masked, 1.0 / 255.0);
        return ImageBridge::toImage(masked, d->source.colorSpace());
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

        auto data = std::make_shared<SubjectMask::Data>();
        data->source = ImageBridge::toPremultipliedRgba(image);
        if (image.isNull() || data->source.isNull()) {
            SubjectMask empty;
            empty.d = std::move(data);
            return empty;
        }

        const cv::Mat probability = subjectProbability(*m_model->network, data->source);
        lock.unlock(); // the rest only works on this frame's own data

        // Subjects: the 8-connected parts of the thresholded output, specks left out, larger first.
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
        probability.convertTo(data->alpha, CV_8U, 255.0);

        if (!kept.empty()) {
            // The soft edge: a pixel with some alpha outside every subject goes to the nearest subject,
            // provided its visible region touches one (faint blobs on their own are dropped).
            cv::Mat softLabels;
            const int softCount = cv::connectedComponents(data->alpha > 0, softLabels, 8, CV_32S);
            std::vector<uchar> touchesSubject(size_t(softCount), 0);
            for (int y = 0; y < owner.rows; ++y) {
                const int *own = owner.ptr<int>(y);
                const int *soft = softLabels.ptr<int>(y);
                for (int x = 0; x < owner.cols; ++x) {
                    if (own[x])
                        touchesSubject[size_t(soft[x])] = 1;
                }
            }
            cv::Mat distance, nearest;
            cv::distanceTransform(owner == 0, distance, nearest, cv::DIST_L2, cv::DIST_MASK_5,
                                  cv::DIST_LABEL_CCOMP);
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
            for (int y = 0; y < owner.rows; ++y) {
                int *own = owner.ptr<int>(y);
                const int *soft = softLabels.ptr<int>(y);
                const int *closest = nearest.ptr<int>(y);
                const uchar *alpha = data->alpha.ptr<uchar>(y);
                for (int x = 0; x < owner.cols; ++x) {
                    if (!own[x] && alpha[x] && touchesSubject[size_t(soft[x])])
                        own[x] = subjectOfNearest[size_t(closest[x])];
                }
            }
        }

        // Bounding boxes of what each subject shows.
        std::vector<int> left(kept.size(), owner.cols), top(kept.size(), owner.rows), right(kept.size(), -1),
            bottom(kept.size(), -1);
        for (int y = 0; y < owner.rows; ++y) {
            const int *own = owner.ptr<int>(y);
            const uchar *alpha = data->alpha.ptr<uchar>(y);
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
        for (size_t i = 0; i < kept.size(); ++i)
            data->bounds.push_back(QRect(QPoint(left[i], top[i]), QPoint(right[i], bottom[i])));
        data->owner = std::move(owner);

        SubjectMask mask;
        mask.d = std::move(data);
        return mask;
    } catch (const std::exception &exception) {
        return libraryFailure(exception);
    }
}
