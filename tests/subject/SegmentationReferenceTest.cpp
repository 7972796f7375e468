#include "OpenCvNetwork.h"
#include "TestImages.h"
#include "TestMedia.h"
#include "TestRegistry.h"

#include "platform/DnnlNetwork.h"
#include "platform/FrameGrabber.h"
#include "platform/SubjectSegmenter.h"

#include <onnx/onnx_pb.h>

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <cmath>

namespace {

QString modelPath()
{
    return QStringLiteral(QUINTAREL_TEST_BUILD_DIR "/models/isnet-general.onnx");
}

// Keeps a copy of the last output of the network it wraps.
class RecordingNetwork final : public InferenceNetwork
{
public:
    RecordingNetwork(std::unique_ptr<InferenceNetwork> network, std::vector<float> &record)
        : m_network(std::move(network)), m_record(record)
    {}
    InferenceGraph::Shape inputShape() const override { return m_network->inputShape(); }
    InferenceGraph::Shape outputShape() const override { return m_network->outputShape(); }
    void run(const float *input, float *output) override
    {
        m_network->run(input, output);
        const InferenceGraph::Shape shape = outputShape();
        m_record.assign(output, output + shape[0] * shape[1] * shape[2] * shape[3]);
    }

private:
    std::unique_ptr<InferenceNetwork> m_network;
    std::vector<float> &m_record;
};

// Where the cut-out is at least half opaque: the model's probability above one half.
std::vector<bool> hardMask(const Result<QImage> &cutOut)
{
    std::vector<bool> mask;
    if (!cutOut.ok())
        return mask;
    const QImage image = cutOut.value().convertToFormat(QImage::Format_RGBA8888_Premultiplied);
    for (int y = 0; y < image.height(); ++y) {
        const uchar *row = image.constScanLine(y);
        for (int x = 0; x < image.width(); ++x)
            mask.push_back(row[4 * x + 3] >= 128);
    }
    return mask;
}

// Intersection over union; two empty masks agree fully.
double intersectionOverUnion(const std::vector<bool> &a, const std::vector<bool> &b)
{
    if (a.size() != b.size())
        return 0.0;
    std::size_t both = 0, either = 0;
    for (std::size_t i = 0; i < a.size(); ++i) {
        both += a[i] && b[i];
        either += a[i] || b[i];
    }
    return either == 0 ? 1.0 : double(both) / double(either);
}

QImage videoFrame(const QString &path, const MediaTime &time)
{
    FrameGrabber grabber(path);
    const Result<QImage> frame = grabber.image(time);
    return frame.ok() ? frame.value() : QImage();
}

} // namespace

// The segmentation model on oneDNN against the same model on OpenCV's dnn module, on images the
// model lifts subjects from: the probabilities and the masks of each subject must agree.
class SegmentationReferenceTest : public QObject
{
    Q_OBJECT

    std::vector<float> m_engineOutput, m_referenceOutput;
    std::shared_ptr<SubjectSegmenter> m_engine, m_reference;

private slots:
    void initTestCase()
    {
        QVERIFY2(QFile::exists(modelPath()), "the build prepares the model; run `make build` first");
        m_engine = SubjectSegmenter::withNetwork(modelPath(), [this](const QString &path) {
            return std::make_unique<RecordingNetwork>(DnnlNetwork::load(path, "output"), m_engineOutput);
        });
        m_reference = SubjectSegmenter::withNetwork(modelPath(), [this](const QString &path) {
            return std::make_unique<RecordingNetwork>(OpenCvNetwork::segmentation(path), m_referenceOutput);
        });
    }

    void engineMatchesTheReference_data()
    {
        QTest::addColumn<QImage>("frame");
        using TestImages::Shape;
        QTest::newRow("two shapes") << TestImages::shapesOnGradient(QSize(960, 540), TestImages::twoShapes());
        QTest::newRow("four shapes, 1280×720") << TestImages::shapesOnGradient(
            QSize(1280, 720), {{Shape::Ellipse, QRect(80, 120, 360, 420), QColor(40, 140, 60)},
                               {Shape::Rectangle, QRect(560, 200, 260, 300), QColor(60, 60, 70)},
                               {Shape::Ellipse, QRect(930, 90, 200, 200), QColor(230, 200, 40)},
                               {Shape::Rectangle, QRect(900, 430, 300, 180), QColor(150, 60, 170)}});
        QTest::newRow("frame of a video of moving shapes")
            << videoFrame(TestMedia::shapesVideo(QStringLiteral("reference-shapes"), QSize(1280, 720), 12, 9),
                          MediaTime(8, 30));
        QTest::newRow("frame of a test pattern video") << videoFrame(
            TestMedia::patternVideo(QStringLiteral("reference-pattern.mp4"), QSize(1280, 720), 2),
            MediaTime(1, 1));
    }

    void engineMatchesTheReference()
    {
        QFETCH(QImage, frame);
        QVERIFY(!frame.isNull());
        const Result<SubjectMask> ours = m_engine->segment(frame);
        QVERIFY2(ours.ok(), qPrintable(ours.ok() ? QString() : ours.error().errorDescription()));
        const Result<SubjectMask> theirs = m_reference->segment(frame);
        QVERIFY(theirs.ok());

        QCOMPARE(m_engineOutput.size(), std::size_t(1024 * 1024));
        QCOMPARE(m_referenceOutput.size(), m_engineOutput.size());
        float worst = 0.f;
        for (std::size_t i = 0; i < m_engineOutput.size(); ++i) {
            const float difference = std::abs(m_engineOutput[i] - m_referenceOutput[i]);
            worst = std::isnan(difference) ? INFINITY : std::max(worst, difference);
        }
        QVERIFY2(worst <= 1e-3f, qPrintable(QStringLiteral("probabilities differ by up to %1").arg(worst)));

        // Merged, then subject by subject.
        const SubjectMask &a = ours.value(), &b = theirs.value();
        QCOMPARE(a.instanceCount(), b.instanceCount());
        QList<int> all;
        for (int i = 0; i < a.instanceCount(); ++i)
            all.append(i);
        QList<QList<int>> selections{all};
        for (int i = 0; i < a.instanceCount(); ++i)
            selections.append(QList<int>{i});
        double lowest = 1.0;
        for (const QList<int> &selection : selections) {
            const double iou = intersectionOverUnion(hardMask(a.maskedImage(selection, false)),
                                                     hardMask(b.maskedImage(selection, false)));
            lowest = std::min(lowest, iou);
            QVERIFY2(iou >= 0.999, qPrintable(QStringLiteral("IoU %1 for instances %2")
                                                  .arg(iou)
                                                  .arg(selection.size() == 1 ? QString::number(selection[0])
                                                                             : QStringLiteral("all"))));
        }
        qInfo("%d subjects; probabilities differ by up to %g; lowest IoU %.6f", a.instanceCount(),
              double(worst), lowest);
    }

    void modelWithAnUnknownOperatorIsRefused()
    {
        onnx::ModelProto model;
        {
            QFile file(modelPath());
            QVERIFY(file.open(QIODevice::ReadOnly));
            const QByteArray bytes = file.readAll();
            QVERIFY(model.ParseFromArray(bytes.constData(), int(bytes.size())));
        }
        bool edited = false;
        for (onnx::NodeProto &node : *model.mutable_graph()->mutable_node()) {
            if (node.output_size() == 1 && node.output(0) == "output") {
                node.set_op_type("HardSigmoid");
                edited = true;
            }
        }
        QVERIFY(edited);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("isnet-general.onnx"));
        {
            QFile file(path);
            const std::string bytes = model.SerializeAsString();
            model.Clear();
            QVERIFY(file.open(QIODevice::WriteOnly));
            QCOMPARE(file.write(bytes.data(), qint64(bytes.size())), qint64(bytes.size()));
        }
        const Result<SubjectMask> result =
            SubjectSegmenter::forModel(path)->segment(TestImages::shapesOnGradient(QSize(320, 180), {}));
        QVERIFY(!result.ok());
        const QString message = result.error().errorDescription();
        QVERIFY2(message.startsWith(QStringLiteral("Modèle de détourage inutilisable : ")),
                 qPrintable(message));
        QVERIFY2(message.contains(QStringLiteral("« HardSigmoid »")), qPrintable(message));
    }
};

QUINTAREL_TEST(SegmentationReferenceTest)
#include "SegmentationReferenceTest.moc"
