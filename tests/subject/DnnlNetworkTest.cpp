#include "OnnxModelBuilder.h"
#include "OpenCvNetwork.h"
#include "TestRegistry.h"

#include "platform/DnnlNetwork.h"
#include "platform/InferenceError.h"
#include "platform/LowPriorityWorker.h"

#include <QDir>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include <sys/resource.h>
#include <unistd.h>

#include <cmath>
#include <functional>
#include <numeric>
#include <random>
#include <thread>

using Shape = InferenceGraph::Shape;

namespace {

std::size_t elementCount(const Shape &shape)
{
    return std::accumulate(shape.begin(), shape.end(), std::size_t(1), std::multiplies<>());
}

int niceOf(pid_t thread)
{
    return ::getpriority(PRIO_PROCESS, id_t(thread));
}

QSet<pid_t> threadsOfThisProcess()
{
    QSet<pid_t> threads;
    for (const QString &entry :
         QDir(QStringLiteral("/proc/self/task")).entryList(QDir::Dirs | QDir::NoDotAndDotDot))
        threads.insert(pid_t(entry.toInt()));
    return threads;
}

// A network made by `build`, with what it needs to run.
struct SmallNetwork
{
    std::function<void(OnnxModelBuilder &)> build;
    Shape input;
    Shape output;
};

// The parts of the segmentation model in small and at odd sizes: a strided entry, a ReLU block with a
// dilated convolution, ceil-mode pooling, concatenations, a resize to a size worked out from Shape,
// Slice and Concat, a residual Add and a sigmoid; the image at full size is large enough for the
// Winograd kernels.
void residualBlock(OnnxModelBuilder &model)
{
    using Options = OnnxModelBuilder::ConvolutionOptions;
    auto relu = [&](const std::string &x) { return model.add("Relu", {x}); };
    auto concat = [&](const std::string &a, const std::string &b) {
        return model.add("Concat", {a, b}, {OnnxModelBuilder::integerAttribute("axis", 1)});
    };
    const std::string entry = model.convolution("input", 3, 32, Options{3, 2, 1, 1, true});
    const std::string in = relu(model.convolution(entry, 32, 32));
    const std::string first = relu(model.convolution(in, 32, 32));
    const std::string pooled = model.add("MaxPool", {first},
                                         {OnnxModelBuilder::integersAttribute("kernel_shape", {2, 2}),
                                          OnnxModelBuilder::integersAttribute("strides", {2, 2}),
                                          OnnxModelBuilder::integerAttribute("ceil_mode", 1)});
    const std::string second = relu(model.convolution(pooled, 32, 32));
    const std::string dilated = relu(model.convolution(second, 32, 32, Options{3, 1, 2, 2, true}));
    const std::string decoded = relu(model.convolution(concat(dilated, second), 64, 32));
    const std::string firstShape = model.add("Shape", {first});
    const std::string batchAndChannels =
        model.add("Slice", {firstShape, model.integers({0}), model.integers({2}), model.integers({0})});
    const std::string sizes = model.add("Concat", {batchAndChannels, model.integers({131, 130})},
                                        {OnnxModelBuilder::integerAttribute("axis", 0)});
    const std::vector<onnx::AttributeProto> bilinear{
        OnnxModelBuilder::textAttribute("mode", "linear"),
        OnnxModelBuilder::textAttribute("coordinate_transformation_mode", "half_pixel")};
    const std::string upsampled = model.add("Resize", {decoded, "", "", sizes}, bilinear);
    const std::string joined = relu(model.convolution(concat(upsampled, first), 64, 32));
    const std::string sum = model.add("Add", {relu(model.convolution(joined, 32, 32)), in});
    const std::string side = model.convolution(sum, 32, 1, Options{3, 1, 1, 1, false});
    const std::string full = model.add("Resize", {side, "", "", model.integers({1, 1, 261, 259})}, bilinear);
    model.output(model.add("Sigmoid", {full}), {1, 1, 261, 259});
}

// Additions the engine cannot fold into a convolution in place: an addend still read afterwards, and
// an Add of two pooled tensors followed by a ReLU of its own; channel counts that are not whole blocks.
void additionsKeptApart(OnnxModelBuilder &model)
{
    const std::string a = model.convolution("input", 5, 12);
    const std::string b = model.convolution(a, 12, 12);
    const std::string sum = model.add("Add", {b, a});
    const std::string both = model.add("Concat", {sum, a}, {OnnxModelBuilder::integerAttribute("axis", 1)});
    const std::vector<onnx::AttributeProto> pool{OnnxModelBuilder::integersAttribute("kernel_shape", {3, 3}),
                                                 OnnxModelBuilder::integersAttribute("strides", {2, 2}),
                                                 OnnxModelBuilder::integersAttribute("pads", {1, 1, 1, 1})};
    const std::string left = model.add("MaxPool", {both}, pool);
    const std::string right = model.add("MaxPool", {model.convolution(both, 24, 24)}, pool);
    model.output(model.add("Relu", {model.add("Add", {left, right})}), {1, 24, 11, 9});
}

} // namespace

Q_DECLARE_METATYPE(SmallNetwork)

class DnnlNetworkTest : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;

    QString written(OnnxModelBuilder &model, const QString &name)
    {
        const QString path = m_dir.filePath(name + QStringLiteral(".onnx"));
        if (!model.write(path))
            return {};
        return path;
    }

private slots:
    void smallNetworksMatchOpenCv_data()
    {
        QTest::addColumn<SmallNetwork>("network");
        QTest::newRow("residual block") << SmallNetwork{residualBlock, {1, 3, 261, 259}, {1, 1, 261, 259}};
        QTest::newRow("additions kept apart")
            << SmallNetwork{additionsKeptApart, {1, 5, 21, 18}, {1, 24, 11, 9}};
    }

    void smallNetworksMatchOpenCv()
    {
        QFETCH(SmallNetwork, network);
        OnnxModelBuilder model(network.input);
        network.build(model);
        const std::string output = model.model().graph().output(0).name();
        const QString path = written(model, QString::fromLatin1(QTest::currentDataTag()).replace(' ', '-'));
        QVERIFY(!path.isEmpty());

        std::mt19937 random(7);
        std::uniform_real_distribution<float> pixel(-0.5f, 0.5f);
        std::vector<float> input(elementCount(network.input));
        for (float &value : input)
            value = pixel(random);

        OpenCvNetwork reference(path, output, network.input, network.output);
        std::vector<float> expected(elementCount(network.output));
        reference.run(input.data(), expected.data());

        const std::unique_ptr<DnnlNetwork> engine = DnnlNetwork::load(path, output);
        QCOMPARE(engine->inputShape(), network.input);
        QCOMPARE(engine->outputShape(), network.output);
        // Run twice: the second run reuses the arena the first one left full of values.
        for (int run = 0; run < 2; ++run) {
            std::vector<float> actual(expected.size(), std::nanf(""));
            engine->run(input.data(), actual.data());
            float worst = 0.f;
            for (std::size_t i = 0; i < actual.size(); ++i) {
                const float difference = std::abs(actual[i] - expected[i]);
                worst = std::isnan(difference) ? INFINITY : std::max(worst, difference);
            }
            QVERIFY2(worst <= 1e-4f, qPrintable(QStringLiteral("run %1 differs by %2").arg(run).arg(worst)));
        }
    }

    void unsupportedModelsAreRefusedWithTheReason_data()
    {
        QTest::addColumn<std::function<void(OnnxModelBuilder &)>>("build");
        QTest::addColumn<QStringList>("named");
        using Builder = std::function<void(OnnxModelBuilder &)>;
        QTest::newRow("unknown operator") << Builder([](OnnxModelBuilder &model) {
            model.output(model.add("HardSwish", {"input"}), {1, 4, 16, 16});
        }) << QStringList{QStringLiteral("« HardSwish »"), QStringLiteral("« node1 »")};
        QTest::newRow("grouped convolution") << Builder([](OnnxModelBuilder &model) {
            const std::string conv = model.convolution("input", 4, 4);
            model.model().mutable_graph()->mutable_node(0)->add_attribute()->CopyFrom(
                OnnxModelBuilder::integerAttribute("group", 2));
            model.output(conv, {1, 4, 16, 16});
        }) << QStringList{QStringLiteral("group = 2")};
        QTest::newRow("nearest resize") << Builder([](OnnxModelBuilder &model) {
            model.output(model.add("Resize", {"input", "", "", model.integers({1, 4, 16, 16})},
                                   {OnnxModelBuilder::textAttribute("mode", "nearest")}),
                         {1, 4, 16, 16});
        }) << QStringList{QStringLiteral("mode = nearest")};
        QTest::newRow("resize by a factor giving a fraction of a pixel")
            << Builder([](OnnxModelBuilder &model) {
                   onnx::TensorProto *scales = model.model().mutable_graph()->add_initializer();
                   scales->set_name("scales");
                   scales->set_data_type(onnx::TensorProto::FLOAT);
                   scales->add_dims(4);
                   for (const float scale : {1.f, 1.f, 1.3f, 1.3f})
                       scales->add_float_data(scale);
                   model.output(model.add("Resize", {"input", "", "scales"},
                                          {OnnxModelBuilder::textAttribute("mode", "linear")}),
                                {1, 4, 20, 20});
               })
            << QStringList{QStringLiteral("1.3")};
        QTest::newRow("dilated pooling") << Builder([](OnnxModelBuilder &model) {
            model.output(model.add("MaxPool", {"input"},
                                   {OnnxModelBuilder::integersAttribute("kernel_shape", {2, 2}),
                                    OnnxModelBuilder::integersAttribute("dilations", {2, 2})}),
                         {1, 4, 14, 14});
        }) << QStringList{QStringLiteral("dilations")};
        QTest::newRow("broadcasting addition") << Builder([](OnnxModelBuilder &model) {
            const std::string pooled = model.add("MaxPool", {"input"},
                                                 {OnnxModelBuilder::integersAttribute("kernel_shape", {2, 2}),
                                                  OnnxModelBuilder::integersAttribute("strides", {2, 2})});
            model.output(model.add("Add", {"input", pooled}), {1, 4, 16, 16});
        }) << QStringList{QStringLiteral("formes différentes")};
        QTest::newRow("output missing")
            << Builder([](OnnxModelBuilder &model) { model.add("Relu", {"input"}); })
            << QStringList{QStringLiteral("« wanted »")};
    }

    void unsupportedModelsAreRefusedWithTheReason()
    {
        QFETCH(std::function<void(OnnxModelBuilder &)>, build);
        QFETCH(QStringList, named);
        OnnxModelBuilder model({1, 4, 16, 16});
        build(model);
        const std::string output =
            model.model().graph().output_size() ? model.model().graph().output(0).name() : "wanted";
        const QString path = written(model, QStringLiteral("refused"));
        QVERIFY(!path.isEmpty());
        QString message;
        try {
            DnnlNetwork::load(path, output);
        } catch (const InferenceError &error) {
            message = error.message();
        }
        QVERIFY2(message.startsWith(QStringLiteral("Modèle de détourage inutilisable : ")),
                 qPrintable(message));
        for (const QString &name : named)
            QVERIFY2(message.contains(name), qPrintable(message));
    }

    void unreadableFilesAreRefused()
    {
        const QString missing = m_dir.filePath(QStringLiteral("missing.onnx"));
        QVERIFY_THROWS_EXCEPTION(InferenceError, DnnlNetwork::load(missing, "output"));
        QFile text(m_dir.filePath(QStringLiteral("text.onnx")));
        QVERIFY(text.open(QIODevice::WriteOnly));
        text.write("not a model\n");
        text.close();
        QVERIFY_THROWS_EXCEPTION(InferenceError, DnnlNetwork::load(text.fileName(), "output"));
    }

    void workerRunsJobsBelowTheCallersPriority()
    {
        const pid_t caller = ::gettid();
        const int callerNice = niceOf(caller);
        const int expected = std::min(callerNice + LowPriorityWorker::Niceness, 19);
        LowPriorityWorker worker;
        pid_t jobThread = 0;
        int jobNice = 0, childNice = 0;
        worker.run([&] {
            jobThread = ::gettid();
            jobNice = niceOf(jobThread);
            std::thread child([&] { childNice = niceOf(::gettid()); });
            child.join();
        });
        QVERIFY(jobThread != caller);
        QCOMPARE(jobNice, expected);
        QCOMPARE(childNice, expected); // threads a job starts inherit it
        QCOMPARE(niceOf(caller), callerNice);
        QVERIFY_THROWS_EXCEPTION(std::runtime_error,
                                 worker.run([] { throw std::runtime_error("job failed"); }));
        int after = 0;
        worker.run([&] { after = 1; }); // a failed job leaves the worker usable
        QCOMPARE(after, 1);
    }

    void networkThreadsRunBelowTheCallersPriority()
    {
        OnnxModelBuilder model({1, 3, 64, 64});
        model.output(model.add("Relu", {model.convolution("input", 3, 32)}), {1, 32, 64, 64});
        const QString path = written(model, QStringLiteral("threads"));
        const int expected = std::min(niceOf(::gettid()) + LowPriorityWorker::Niceness, 19);

        const QSet<pid_t> before = threadsOfThisProcess();
        const std::unique_ptr<DnnlNetwork> network =
            DnnlNetwork::load(path, model.model().graph().output(0).name());
        std::vector<float> input(3 * 64 * 64, 0.25f), output(32 * 64 * 64);
        network->run(input.data(), output.data());
        const QSet<pid_t> started = threadsOfThisProcess() - before;
        // The network's worker, and the OpenMP threads it made for the primitives.
        QVERIFY2(started.size() >= std::min(2, QThread::idealThreadCount()),
                 qPrintable(QStringLiteral("%1 new threads").arg(started.size())));
        for (const pid_t thread : started)
            QCOMPARE(niceOf(thread), expected);
    }
};

QUINTAREL_TEST(DnnlNetworkTest)
#include "DnnlNetworkTest.moc"
