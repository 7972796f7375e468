// Turns the segmentation model of the npm package @imgly/background-removal-data (ISNet general-use,
// half precision, stored in chunks named by their SHA-256) into one single-precision ONNX file that
// OpenCV's dnn importer loads: the chunks are joined in order, every half-precision tensor is widened
// to float and the Cast nodes that only moved between the two precisions are removed.
//
// prepare-model --package DIR --output FILE --sha256 HEX [--cache FILE]
//
// The result's SHA-256 must match the expected one; a matching copy in the cache is used instead of
// converting again, and a fresh conversion is stored there for the next build.

#include <onnx/onnx_pb.h>

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>

#include <bit>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <optional>
#include <string>
#include <unordered_map>
#include <unordered_set>

namespace {

const char *const ModelResource = "/models/medium";

class Failure
{
public:
    explicit Failure(QString message) : message(std::move(message)) {}
    QString message;
};

void say(const QString &text)
{
    std::fprintf(stderr, "prepare-model: %s\n", qPrintable(text));
}

QByteArray sha256(const QByteArray &data)
{
    return QCryptographicHash::hash(data, QCryptographicHash::Sha256).toHex();
}

std::optional<QByteArray> readFile(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    return file.readAll();
}

void writeFileAtomically(const QString &path, const QByteArray &data)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(data) != data.size() || !file.commit())
        throw Failure(QStringLiteral("cannot write %1: %2").arg(path, file.errorString()));
}

// The model's bytes, joined from the package's chunks in the order of their offsets.
QByteArray joinChunks(const QString &packageDir)
{
    const QString distDir = packageDir + QStringLiteral("/dist");
    const auto index = readFile(distDir + QStringLiteral("/resources.json"));
    if (!index)
        throw Failure(QStringLiteral("%1/resources.json is missing: run scripts/fetch-model").arg(distDir));
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(*index, &error);
    if (error.error != QJsonParseError::NoError)
        throw Failure(QStringLiteral("resources.json: %1").arg(error.errorString()));
    const QJsonObject resource = document.object().value(QLatin1String(ModelResource)).toObject();
    const QJsonArray chunks = resource.value(QStringLiteral("chunks")).toArray();
    const qint64 size = resource.value(QStringLiteral("size")).toInteger(-1);
    if (chunks.isEmpty() || size <= 0)
        throw Failure(
            QStringLiteral("resources.json has no usable entry %1").arg(QLatin1String(ModelResource)));

    QByteArray model;
    model.reserve(size);
    for (const QJsonValue &value : chunks) {
        const QJsonObject chunk = value.toObject();
        const QString hash = chunk.value(QStringLiteral("hash")).toString();
        const QJsonArray offsets = chunk.value(QStringLiteral("offsets")).toArray();
        if (offsets.size() != 2 || offsets.at(0).toInteger(-1) != model.size())
            throw Failure(QStringLiteral("chunk %1 does not follow the previous one").arg(hash));
        const auto bytes = readFile(distDir + QLatin1Char('/') + hash);
        if (!bytes)
            throw Failure(QStringLiteral("chunk %1 is missing from %2").arg(hash, distDir));
        if (bytes->size() != offsets.at(1).toInteger() - offsets.at(0).toInteger())
            throw Failure(QStringLiteral("chunk %1 has the wrong size").arg(hash));
        if (sha256(*bytes) != hash.toLatin1())
            throw Failure(QStringLiteral("chunk %1 is damaged (its SHA-256 differs)").arg(hash));
        model.append(*bytes);
    }
    if (model.size() != size)
        throw Failure(
            QStringLiteral("the joined model has %1 bytes instead of %2").arg(model.size()).arg(size));
    return model;
}

// IEEE 754 binary16 to binary32, subnormals, infinities and NaN included.
float halfToFloat(std::uint16_t half)
{
    const std::uint32_t sign = std::uint32_t(half & 0x8000u) << 16;
    std::uint32_t exponent = (half >> 10) & 0x1fu;
    std::uint32_t mantissa = half & 0x3ffu;
    std::uint32_t bits;
    if (exponent == 0x1f) {
        bits = sign | 0x7f800000u | (mantissa << 13);
    } else if (exponent != 0) {
        bits = sign | ((exponent + 112) << 23) | (mantissa << 13);
    } else if (mantissa == 0) {
        bits = sign;
    } else {
        // Subnormal: normalise the mantissa.
        exponent = 113;
        while ((mantissa & 0x400u) == 0) {
            mantissa <<= 1;
            --exponent;
        }
        bits = sign | (exponent << 23) | ((mantissa & 0x3ffu) << 13);
    }
    return std::bit_cast<float>(bits);
}

struct Counts
{
    int tensors = 0;
    int types = 0;
    int casts = 0;
};

bool isFloatType(int type)
{
    return type == onnx::TensorProto::FLOAT || type == onnx::TensorProto::FLOAT16;
}

void widenTensor(onnx::TensorProto &tensor, Counts &counts)
{
    if (tensor.data_type() != onnx::TensorProto::FLOAT16)
        return;
    if (tensor.has_data_location() && tensor.data_location() == onnx::TensorProto::EXTERNAL)
        throw Failure(QStringLiteral("tensor %1 keeps its data outside the model")
                          .arg(QString::fromStdString(tensor.name())));
    std::string widened;
    auto append = [&](std::uint16_t half) {
        const float value = halfToFloat(half);
        char bytes[sizeof value];
        std::memcpy(bytes, &value, sizeof value);
        widened.append(bytes, sizeof value);
    };
    if (tensor.has_raw_data()) {
        const std::string &raw = tensor.raw_data();
        widened.reserve(raw.size() * 2);
        for (size_t i = 0; i + 1 < raw.size(); i += 2)
            append(std::uint16_t(std::uint8_t(raw[i]) | (std::uint8_t(raw[i + 1]) << 8)));
    } else {
        // Half-precision values stored one per int32 element, in its low 16 bits.
        widened.reserve(size_t(tensor.int32_data_size()) * 4);
        for (const std::int32_t value : tensor.int32_data())
            append(std::uint16_t(value & 0xffff));
        tensor.clear_int32_data();
    }
    tensor.set_data_type(onnx::TensorProto::FLOAT);
    tensor.set_raw_data(std::move(widened));
    ++counts.tensors;
}

void widenType(onnx::TypeProto &type, Counts &counts)
{
    if (type.has_tensor_type() && type.tensor_type().elem_type() == onnx::TensorProto::FLOAT16) {
        type.mutable_tensor_type()->set_elem_type(onnx::TensorProto::FLOAT);
        ++counts.types;
    }
}

void renameUses(onnx::GraphProto &graph, const std::unordered_map<std::string, std::string> &renamed);

void renameUses(onnx::NodeProto &node, const std::unordered_map<std::string, std::string> &renamed)
{
    for (std::string &input : *node.mutable_input()) {
        const auto found = renamed.find(input);
        if (found != renamed.end())
            input = found->second;
    }
    for (onnx::AttributeProto &attribute : *node.mutable_attribute()) {
        if (attribute.has_g())
            renameUses(*attribute.mutable_g(), renamed);
        for (onnx::GraphProto &graph : *attribute.mutable_graphs())
            renameUses(graph, renamed);
    }
}

void renameUses(onnx::GraphProto &graph, const std::unordered_map<std::string, std::string> &renamed)
{
    for (onnx::NodeProto &node : *graph.mutable_node())
        renameUses(node, renamed);
}

void convertGraph(onnx::GraphProto &graph, Counts &counts)
{
    for (onnx::TensorProto &tensor : *graph.mutable_initializer())
        widenTensor(tensor, counts);
    for (auto *values : {graph.mutable_input(), graph.mutable_output(), graph.mutable_value_info()}) {
        for (onnx::ValueInfoProto &value : *values)
            widenType(*value.mutable_type(), counts);
    }
    for (onnx::NodeProto &node : *graph.mutable_node()) {
        for (onnx::AttributeProto &attribute : *node.mutable_attribute()) {
            if (attribute.has_t())
                widenTensor(*attribute.mutable_t(), counts);
            for (onnx::TensorProto &tensor : *attribute.mutable_tensors())
                widenTensor(tensor, counts);
            if (attribute.has_g())
                convertGraph(*attribute.mutable_g(), counts);
            for (onnx::GraphProto &subgraph : *attribute.mutable_graphs())
                convertGraph(subgraph, counts);
        }
    }

    // With every tensor in single precision, a Cast to either float type passes its input through.
    std::unordered_set<std::string> graphOutputs;
    for (const onnx::ValueInfoProto &value : graph.output())
        graphOutputs.insert(value.name());

    std::unordered_map<std::string, std::string> renamed;  // a removed Cast's output -> its input
    std::unordered_map<std::string, std::string> keptName; // a value -> the graph output it becomes
    google::protobuf::RepeatedPtrField<onnx::NodeProto> kept;
    for (onnx::NodeProto &node : *graph.mutable_node()) {
        bool passThrough = false;
        if (node.op_type() == "Cast" && node.input_size() == 1 && node.output_size() == 1) {
            for (const onnx::AttributeProto &attribute : node.attribute()) {
                if (attribute.name() == "to" && isFloatType(int(attribute.i())))
                    passThrough = true;
            }
        }
        if (!passThrough) {
            kept.Add(std::move(node));
            continue;
        }
        std::string source = node.input(0);
        while (renamed.count(source))
            source = renamed.at(source);
        if (graphOutputs.count(node.output(0)))
            keptName[source] = node.output(0); // the producer takes the output's name instead
        else
            renamed[node.output(0)] = source;
        ++counts.casts;
    }
    graph.mutable_node()->Swap(&kept);

    // Resolve chains (a Cast of a removed Cast) before rewiring.
    for (auto &[from, to] : renamed) {
        while (renamed.count(to))
            to = renamed.at(to);
    }
    for (auto &[from, to] : renamed) {
        const auto output = keptName.find(to);
        if (output != keptName.end())
            to = output->second;
    }
    for (const auto &[from, to] : keptName) {
        renamed[from] = to;
        for (onnx::NodeProto &node : *graph.mutable_node()) {
            for (std::string &output : *node.mutable_output()) {
                if (output == from)
                    output = to;
            }
        }
    }
    renameUses(graph, renamed);
}

QByteArray prepare(const QByteArray &halfModel)
{
    onnx::ModelProto model;
    if (!model.ParseFromArray(halfModel.constData(), int(halfModel.size())))
        throw Failure(QStringLiteral("the joined chunks are not an ONNX model"));
    Counts counts;
    convertGraph(*model.mutable_graph(), counts);
    say(QStringLiteral("widened %1 tensors and %2 value types, removed %3 Cast nodes")
            .arg(counts.tensors)
            .arg(counts.types)
            .arg(counts.casts));
    std::string bytes;
    if (!model.SerializeToString(&bytes))
        throw Failure(QStringLiteral("cannot serialise the prepared model"));
    return QByteArray(bytes.data(), qsizetype(bytes.size()));
}

int run(const QCommandLineParser &options)
{
    const QString output = options.value(QStringLiteral("output"));
    const QByteArray expected = options.value(QStringLiteral("sha256")).toLatin1().toLower();
    const QString cache = options.value(QStringLiteral("cache"));

    if (!cache.isEmpty()) {
        if (const auto cached = readFile(cache)) {
            if (sha256(*cached) == expected) {
                writeFileAtomically(output, *cached);
                say(QStringLiteral("copied the prepared model from %1").arg(cache));
                return 0;
            }
            say(QStringLiteral("ignoring %1: its SHA-256 differs from the expected one").arg(cache));
        }
    }

    const QByteArray prepared = prepare(joinChunks(options.value(QStringLiteral("package"))));
    const QByteArray actual = sha256(prepared);
    if (actual != expected) {
        throw Failure(QStringLiteral("the prepared model's SHA-256 is %1, expected %2; the package or the "
                                     "conversion changed, the model was not installed")
                          .arg(QString::fromLatin1(actual), QString::fromLatin1(expected)));
    }
    writeFileAtomically(output, prepared);
    say(QStringLiteral("wrote %1 (%2 bytes)").arg(output).arg(prepared.size()));
    if (!cache.isEmpty()) {
        try {
            writeFileAtomically(cache, prepared);
        } catch (const Failure &failure) {
            say(failure.message); // the cache only saves time; the build goes on without it
        }
    }
    return 0;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QCommandLineParser options;
    options.setApplicationDescription(QStringLiteral("Prepares the subject segmentation model for OpenCV."));
    options.addHelpOption();
    options.addOptions({
        {QStringLiteral("package"), QStringLiteral("Unpacked background-removal-data package."),
         QStringLiteral("dir")},
        {QStringLiteral("output"), QStringLiteral("Where to write the prepared model."),
         QStringLiteral("file")},
        {QStringLiteral("sha256"), QStringLiteral("Expected SHA-256 of the prepared model."),
         QStringLiteral("hex")},
        {QStringLiteral("cache"), QStringLiteral("Copy of the prepared model kept between builds."),
         QStringLiteral("file")},
    });
    options.process(app);
    for (const char *required : {"package", "output", "sha256"}) {
        if (!options.isSet(QLatin1String(required))) {
            say(QStringLiteral("--%1 is required").arg(QLatin1String(required)));
            return 2;
        }
    }
    GOOGLE_PROTOBUF_VERIFY_VERSION;
    try {
        return run(options);
    } catch (const Failure &failure) {
        say(failure.message);
        return 1;
    }
}
