#include "OnnxGraphLoader.h"

#include "InferenceError.h"

#include <onnx/onnx_pb.h>

#include <google/protobuf/io/zero_copy_stream_impl.h>

#include <QCoreApplication>
#include <QFile>
#include <QStringList>

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <initializer_list>
#include <limits>
#include <unordered_map>
#include <unordered_set>

namespace {

using Shape = InferenceGraph::Shape;
using Pair = InferenceGraph::Pair;

QString tr(const char *text)
{
    return QCoreApplication::translate("OnnxGraphLoader", text);
}

[[noreturn]] void refuse(const QString &detail)
{
    throw InferenceError(tr("Modèle de détourage inutilisable : %1").arg(detail));
}

QString quoted(const std::string &text)
{
    return QStringLiteral("« %1 »").arg(QString::fromStdString(text));
}

// A value worked out at load time: shape arithmetic (integers) or resize scales (floats).
struct Constant
{
    std::vector<std::int64_t> dims;
    std::vector<std::int64_t> integers;
    std::vector<float> floats;
    bool isFloat = false;

    std::size_t size() const { return isFloat ? floats.size() : integers.size(); }
};

std::int64_t elementCount(const google::protobuf::RepeatedField<std::int64_t> &dims)
{
    std::int64_t count = 1;
    for (const std::int64_t dim : dims) {
        if (dim < 0 || (dim > 0 && count > std::numeric_limits<std::int32_t>::max() / dim))
            return -1;
        count *= dim;
    }
    return count;
}

// The numbers stored in a tensor, either as raw little-endian bytes or in the typed repeated field.
template<typename T, typename Field>
std::vector<T> tensorValues(const onnx::TensorProto &tensor, const Field &typed, const QString &what)
{
    if (tensor.data_location() == onnx::TensorProto::EXTERNAL)
        refuse(tr("les données de %1 sont hors du fichier").arg(what));
    const std::int64_t count = elementCount(tensor.dims());
    if (count < 0)
        refuse(tr("%1 a des dimensions invalides").arg(what));
    std::vector<T> values(static_cast<std::size_t>(count));
    if (tensor.has_raw_data()) {
        if (tensor.raw_data().size() != values.size() * sizeof(T))
            refuse(tr("%1 n'a pas autant de valeurs que ses dimensions l'annoncent").arg(what));
        std::memcpy(values.data(), tensor.raw_data().data(), tensor.raw_data().size());
    } else {
        if (static_cast<std::size_t>(typed.size()) != values.size())
            refuse(tr("%1 n'a pas autant de valeurs que ses dimensions l'annoncent").arg(what));
        std::copy(typed.begin(), typed.end(), values.begin());
    }
    return values;
}

Constant constantOf(const onnx::TensorProto &tensor, const QString &what)
{
    Constant constant;
    constant.dims.assign(tensor.dims().begin(), tensor.dims().end());
    switch (tensor.data_type()) {
    case onnx::TensorProto::INT64:
        constant.integers = tensorValues<std::int64_t>(tensor, tensor.int64_data(), what);
        break;
    case onnx::TensorProto::INT32: {
        const std::vector<std::int32_t> values =
            tensorValues<std::int32_t>(tensor, tensor.int32_data(), what);
        constant.integers.assign(values.begin(), values.end());
        break;
    }
    case onnx::TensorProto::FLOAT:
        constant.floats = tensorValues<float>(tensor, tensor.float_data(), what);
        constant.isFloat = true;
        break;
    default:
        refuse(tr("%1 a un type de données non pris en charge (%2)").arg(what).arg(tensor.data_type()));
    }
    return constant;
}

// One node's attributes, checked against the names its reader understands.
class NodeReader
{
public:
    NodeReader(const onnx::NodeProto &node, std::initializer_list<const char *> understood) : m_node(node)
    {
        for (const onnx::AttributeProto &attribute : node.attribute()) {
            const bool known = std::any_of(understood.begin(), understood.end(),
                                           [&](const char *name) { return attribute.name() == name; });
            if (!known)
                fail(tr("attribut %1 non pris en charge").arg(quoted(attribute.name())));
        }
    }

    [[noreturn]] void fail(const QString &what) const
    {
        const std::string &name =
            m_node.name().empty() && m_node.output_size() > 0 ? m_node.output(0) : m_node.name();
        refuse(tr("nœud %1 (%2) : %3").arg(quoted(name), QString::fromStdString(m_node.op_type()), what));
    }

    [[noreturn]] void failAttribute(const char *name, const QString &value) const
    {
        fail(tr("attribut %1 = %2 non pris en charge").arg(QLatin1String(name), value));
    }

    const onnx::AttributeProto *find(const char *name) const
    {
        for (const onnx::AttributeProto &attribute : m_node.attribute()) {
            if (attribute.name() == name)
                return &attribute;
        }
        return nullptr;
    }

    std::int64_t integer(const char *name, std::int64_t fallback) const
    {
        const onnx::AttributeProto *attribute = find(name);
        if (!attribute)
            return fallback;
        if (attribute->type() != onnx::AttributeProto::INT)
            fail(tr("l'attribut %1 n'est pas un entier").arg(QLatin1String(name)));
        return attribute->i();
    }

    // A list of `count` integers, `fallback` repeated when the attribute is absent.
    std::vector<std::int64_t> integers(const char *name, std::size_t count, std::int64_t fallback) const
    {
        const onnx::AttributeProto *attribute = find(name);
        if (!attribute)
            return std::vector<std::int64_t>(count, fallback);
        if (attribute->type() != onnx::AttributeProto::INTS ||
            static_cast<std::size_t>(attribute->ints_size()) != count)
            fail(tr("l'attribut %1 n'a pas %2 valeurs entières").arg(QLatin1String(name)).arg(count));
        return {attribute->ints().begin(), attribute->ints().end()};
    }

    std::string text(const char *name, const std::string &fallback) const
    {
        const onnx::AttributeProto *attribute = find(name);
        if (!attribute)
            return fallback;
        if (attribute->type() != onnx::AttributeProto::STRING)
            fail(tr("l'attribut %1 n'est pas un texte").arg(QLatin1String(name)));
        return attribute->s();
    }

private:
    const onnx::NodeProto &m_node;
};

QString listText(const std::vector<std::int64_t> &values)
{
    QStringList parts;
    for (const std::int64_t value : values)
        parts.append(QString::number(value));
    return QStringLiteral("[%1]").arg(parts.join(QStringLiteral(", ")));
}

std::int64_t ceilDivide(std::int64_t a, std::int64_t b)
{
    return (a + b - 1) / b;
}

class Loader
{
public:
    Loader(onnx::ModelProto &model, const std::string &outputName)
        : m_graph(*model.mutable_graph()), m_outputName(outputName)
    {
        for (const onnx::OperatorSetIdProto &opset : model.opset_import()) {
            if (opset.domain().empty() || opset.domain() == "ai.onnx")
                m_opset = opset.version();
        }
        for (onnx::TensorProto &tensor : *m_graph.mutable_initializer())
            m_initializers.emplace(tensor.name(), &tensor);
    }

    InferenceGraph load()
    {
        readInput();
        for (const onnx::NodeProto &node : m_graph.node())
            readNode(node);
        const auto output = m_tensors.find(m_outputName);
        if (output == m_tensors.end())
            refuse(
                tr("le modèle n'a pas de sortie %1 calculée à partir de l'image").arg(quoted(m_outputName)));
        m_result.output = output->second;
        keepWhatTheOutputNeeds();
        fuseIntoConvolutions();
        readWeights();
        return std::move(m_result);
    }

private:
    struct WeightNames
    {
        std::string weights;
        std::string bias;
    };

    void readInput()
    {
        const onnx::ValueInfoProto *input = nullptr;
        for (const onnx::ValueInfoProto &value : m_graph.input()) {
            if (m_initializers.count(value.name()))
                continue; // older files list initializers among the inputs
            if (input)
                refuse(tr("le modèle attend plusieurs entrées"));
            input = &value;
        }
        if (!input)
            refuse(tr("le modèle n'a pas d'entrée"));
        const onnx::TypeProto &type = input->type();
        if (!type.has_tensor_type() || type.tensor_type().elem_type() != onnx::TensorProto::FLOAT)
            refuse(tr("l'entrée %1 n'est pas un tenseur de nombres à virgule flottante")
                       .arg(quoted(input->name())));
        const onnx::TensorShapeProto &dims = type.tensor_type().shape();
        Shape shape{};
        bool fixed = dims.dim_size() == 4;
        for (int i = 0; fixed && i < 4; ++i) {
            fixed = dims.dim(i).has_dim_value() && dims.dim(i).dim_value() > 0;
            if (fixed)
                shape[std::size_t(i)] = dims.dim(i).dim_value();
        }
        if (!fixed)
            refuse(tr("l'entrée %1 n'a pas quatre dimensions fixes").arg(quoted(input->name())));
        m_result.input = addTensor(input->name(), shape);
    }

    int addTensor(const std::string &name, const Shape &shape)
    {
        m_result.tensors.push_back({name, shape});
        const int index = int(m_result.tensors.size()) - 1;
        m_tensors[name] = index;
        return index;
    }

    void addLayer(const onnx::NodeProto &node, InferenceGraph::Operation operation, std::vector<int> inputs,
                  const Shape &shape)
    {
        const int output = addTensor(node.output(0), shape);
        m_result.layers.push_back({node.name().empty() ? node.output(0) : node.name(), std::move(operation),
                                   std::move(inputs), output});
    }

    bool hasInput(const onnx::NodeProto &node, int i) const
    {
        return node.input_size() > i && !node.input(i).empty();
    }

    // The computed tensor a node reads at input `i`.
    int tensorInput(const NodeReader &reader, const onnx::NodeProto &node, int i) const
    {
        if (!hasInput(node, i))
            reader.fail(tr("l'entrée %1 manque").arg(i + 1));
        const auto found = m_tensors.find(node.input(i));
        if (found != m_tensors.end())
            return found->second;
        if (isConstant(node.input(i)))
            reader.fail(
                tr("l'entrée %1 est une constante là où une image est attendue").arg(quoted(node.input(i))));
        reader.fail(tr("l'entrée %1 n'est produite par aucun nœud précédent").arg(quoted(node.input(i))));
    }

    // The constant a node reads at input `i` (a Constant's output, a folded value or an initializer).
    const Constant &constantInput(const NodeReader &reader, const onnx::NodeProto &node, int i)
    {
        if (!hasInput(node, i))
            reader.fail(tr("l'entrée %1 manque").arg(i + 1));
        const std::string &name = node.input(i);
        if (const auto found = m_constants.find(name); found != m_constants.end())
            return found->second;
        if (const auto found = m_initializers.find(name); found != m_initializers.end())
            return m_constants[name] = constantOf(*found->second, quoted(name));
        reader.fail(tr("l'entrée %1 n'est pas connue avant l'exécution, ce qui n'est pas pris en charge")
                        .arg(quoted(name)));
    }

    bool isConstant(const std::string &name) const
    {
        return m_constants.count(name) > 0 || m_initializers.count(name) > 0;
    }

    void setConstant(const onnx::NodeProto &node, Constant constant)
    {
        m_constants[node.output(0)] = std::move(constant);
    }

    void readNode(const onnx::NodeProto &node)
    {
        const std::string &op = node.op_type();
        if (!node.domain().empty() && node.domain() != "ai.onnx") {
            NodeReader(node, {}).fail(
                tr("opération %1 du domaine %2 non prise en charge").arg(quoted(op), quoted(node.domain())));
        }
        if (node.output_size() < 1 || node.output(0).empty())
            NodeReader(node, {}).fail(tr("le nœud n'a pas de sortie"));
        if (op == "Constant")
            readConstant(node);
        else if (op == "Identity")
            readIdentity(node);
        else if (op == "Shape")
            readShape(node);
        else if (op == "Slice")
            readSlice(node);
        else if (op == "Concat")
            readConcat(node);
        else if (op == "Conv")
            readConvolution(node);
        else if (op == "MaxPool")
            readMaxPool(node);
        else if (op == "Resize")
            readResize(node);
        else if (op == "Add")
            readAdd(node);
        else if (op == "Relu")
            readElementwise(node, InferenceGraph::Relu{});
        else if (op == "Sigmoid")
            readElementwise(node, InferenceGraph::Sigmoid{});
        else
            NodeReader(node, {}).fail(tr("opération %1 non prise en charge").arg(quoted(op)));
    }

    void readConstant(const onnx::NodeProto &node)
    {
        const NodeReader reader(node, {"value", "value_float", "value_floats", "value_int", "value_ints"});
        if (node.attribute_size() != 1)
            reader.fail(tr("une constante doit avoir exactement une valeur"));
        const onnx::AttributeProto &attribute = node.attribute(0);
        Constant constant;
        if (attribute.name() == "value") {
            constant = constantOf(attribute.t(), quoted(node.output(0)));
        } else if (attribute.name() == "value_float") {
            constant.floats = {attribute.f()};
            constant.isFloat = true;
        } else if (attribute.name() == "value_floats") {
            constant.floats.assign(attribute.floats().begin(), attribute.floats().end());
            constant.dims = {std::int64_t(constant.floats.size())};
            constant.isFloat = true;
        } else if (attribute.name() == "value_int") {
            constant.integers = {attribute.i()};
        } else {
            constant.integers.assign(attribute.ints().begin(), attribute.ints().end());
            constant.dims = {std::int64_t(constant.integers.size())};
        }
        setConstant(node, std::move(constant));
    }

    void readIdentity(const onnx::NodeProto &node)
    {
        const NodeReader reader(node, {});
        if (hasInput(node, 0) && isConstant(node.input(0))) {
            Constant copy = constantInput(reader, node, 0);
            setConstant(node, std::move(copy));
        } else {
            m_tensors[node.output(0)] = tensorInput(reader, node, 0);
        }
    }

    void readShape(const onnx::NodeProto &node)
    {
        const NodeReader reader(node, {"start", "end"});
        std::vector<std::int64_t> shape;
        if (hasInput(node, 0) && isConstant(node.input(0))) {
            shape = constantInput(reader, node, 0).dims;
        } else {
            const Shape &dims = m_result.tensors[std::size_t(tensorInput(reader, node, 0))].shape;
            shape.assign(dims.begin(), dims.end());
        }
        const std::int64_t rank = std::int64_t(shape.size());
        auto clampAxis = [rank](std::int64_t axis) {
            return std::clamp(axis < 0 ? axis + rank : axis, std::int64_t(0), rank);
        };
        const std::int64_t start = clampAxis(reader.integer("start", 0));
        const std::int64_t end = clampAxis(reader.integer("end", rank));
        Constant constant;
        if (start < end)
            constant.integers.assign(shape.begin() + start, shape.begin() + end);
        constant.dims = {std::int64_t(constant.integers.size())};
        setConstant(node, std::move(constant));
    }

    void readSlice(const onnx::NodeProto &node)
    {
        const NodeReader reader(node, {});
        const Constant data = constantInput(reader, node, 0);
        if (data.dims.size() != 1 || data.isFloat)
            reader.fail(tr("seules les listes d'entiers peuvent être découpées"));
        const Constant starts = constantInput(reader, node, 1);
        const Constant ends = constantInput(reader, node, 2);
        if (starts.isFloat || ends.isFloat || starts.size() != 1 || ends.size() != 1)
            reader.fail(tr("les bornes du découpage doivent être un seul entier chacune"));
        if (hasInput(node, 3)) {
            const Constant &axes = constantInput(reader, node, 3);
            if (axes.isFloat || axes.size() != 1 || (axes.integers[0] != 0 && axes.integers[0] != -1))
                reader.fail(tr("seul l'axe 0 peut être découpé"));
        }
        std::int64_t step = 1;
        if (hasInput(node, 4)) {
            const Constant &steps = constantInput(reader, node, 4);
            if (steps.isFloat || steps.size() != 1 || steps.integers[0] == 0)
                reader.fail(tr("le pas du découpage doit être un entier non nul"));
            step = steps.integers[0];
        }
        const std::int64_t size = std::int64_t(data.integers.size());
        auto bound = [size](std::int64_t value, std::int64_t low, std::int64_t high) {
            return std::clamp(value < 0 ? value + size : value, low, high);
        };
        Constant constant;
        if (step > 0) {
            const std::int64_t end = bound(ends.integers[0], 0, size);
            for (std::int64_t i = bound(starts.integers[0], 0, size); i < end; i += step)
                constant.integers.push_back(data.integers[std::size_t(i)]);
        } else {
            const std::int64_t end = bound(ends.integers[0], -1, size - 1);
            for (std::int64_t i = bound(starts.integers[0], 0, size - 1); i > end; i += step)
                constant.integers.push_back(data.integers[std::size_t(i)]);
        }
        constant.dims = {std::int64_t(constant.integers.size())};
        setConstant(node, std::move(constant));
    }

    void readConcat(const onnx::NodeProto &node)
    {
        const NodeReader reader(node, {"axis"});
        if (!reader.find("axis"))
            reader.fail(tr("l'attribut axis manque"));
        const std::int64_t axis = reader.integer("axis", 0);
        if (node.input_size() < 1)
            reader.fail(tr("rien à assembler"));
        int constants = 0;
        for (int i = 0; i < node.input_size(); ++i)
            constants += isConstant(node.input(i)) ? 1 : 0;
        if (constants == node.input_size())
            joinConstants(reader, node, axis);
        else if (constants > 0)
            reader.fail(tr("une image ne peut pas être assemblée avec une constante"));
        else
            joinTensors(reader, node, axis);
    }

    // Lists of integers put end to end.
    void joinConstants(const NodeReader &reader, const onnx::NodeProto &node, std::int64_t axis)
    {
        if (axis != 0 && axis != -1)
            reader.failAttribute("axis", QString::number(axis));
        Constant joined;
        for (int i = 0; i < node.input_size(); ++i) {
            const Constant &part = constantInput(reader, node, i);
            if (part.isFloat || part.dims.size() != 1)
                reader.fail(tr("seules les listes d'entiers peuvent être assemblées"));
            joined.integers.insert(joined.integers.end(), part.integers.begin(), part.integers.end());
        }
        joined.dims = {std::int64_t(joined.integers.size())};
        setConstant(node, std::move(joined));
    }

    // Images of the same size put together channel after channel.
    void joinTensors(const NodeReader &reader, const onnx::NodeProto &node, std::int64_t axis)
    {
        if (axis != 1 && axis != -3)
            reader.failAttribute("axis", QString::number(axis));
        std::vector<int> inputs;
        Shape shape{};
        for (int i = 0; i < node.input_size(); ++i) {
            const int input = tensorInput(reader, node, i);
            const Shape &part = m_result.tensors[std::size_t(input)].shape;
            if (i == 0) {
                shape = part;
            } else {
                if (part[0] != shape[0] || part[2] != shape[2] || part[3] != shape[3])
                    reader.fail(tr("les images assemblées n'ont pas la même taille"));
                shape[1] += part[1];
            }
            inputs.push_back(input);
        }
        addLayer(node, InferenceGraph::Concat{}, std::move(inputs), shape);
    }

    // The weights of a convolution: stored in the model, four dimensions of floats, as many input
    // channels as the image has.
    const onnx::TensorProto &convolutionWeights(const NodeReader &reader, const onnx::NodeProto &node,
                                                std::int64_t inChannels) const
    {
        if (!hasInput(node, 1) || !m_initializers.count(node.input(1)))
            reader.fail(tr("les poids doivent être stockés dans le modèle"));
        const onnx::TensorProto &weights = *m_initializers.at(node.input(1));
        if (weights.data_type() != onnx::TensorProto::FLOAT || weights.dims_size() != 4)
            reader.fail(tr("les poids doivent être des nombres à virgule flottante en quatre dimensions"));
        if (weights.dims(1) != inChannels)
            reader.fail(
                tr("les poids attendent %1 canaux, l'image en a %2").arg(weights.dims(1)).arg(inChannels));
        return weights;
    }

    void checkBias(const NodeReader &reader, const std::string &name, std::int64_t outChannels) const
    {
        const auto bias = m_initializers.find(name);
        if (bias == m_initializers.end() || bias->second->data_type() != onnx::TensorProto::FLOAT ||
            elementCount(bias->second->dims()) != outChannels)
            reader.fail(tr("le biais doit être stocké dans le modèle, une valeur par canal"));
    }

    void readConvolution(const onnx::NodeProto &node)
    {
        const NodeReader reader(node, {"auto_pad", "dilations", "group", "kernel_shape", "pads", "strides"});
        const int input = tensorInput(reader, node, 0);
        const Shape &in = m_result.tensors[std::size_t(input)].shape;
        const onnx::TensorProto &weights = convolutionWeights(reader, node, in[1]);
        const std::int64_t outChannels = weights.dims(0);
        WeightNames names{node.input(1), {}};
        if (hasInput(node, 2)) {
            checkBias(reader, node.input(2), outChannels);
            names.bias = node.input(2);
        }
        if (const std::int64_t group = reader.integer("group", 1); group != 1)
            reader.failAttribute("group", QString::number(group));
        const std::string autoPad = reader.text("auto_pad", "NOTSET");
        if (autoPad != "NOTSET" && autoPad != "VALID")
            reader.failAttribute("auto_pad", QString::fromStdString(autoPad));

        InferenceGraph::Convolution convolution;
        convolution.kernel = {weights.dims(2), weights.dims(3)};
        const std::vector<std::int64_t> kernel = reader.integers("kernel_shape", 2, 0);
        if (reader.find("kernel_shape") &&
            (kernel[0] != convolution.kernel[0] || kernel[1] != convolution.kernel[1]))
            reader.fail(tr("kernel_shape %1 ne correspond pas aux poids").arg(listText(kernel)));
        const std::vector<std::int64_t> strides = reader.integers("strides", 2, 1);
        const std::vector<std::int64_t> dilations = reader.integers("dilations", 2, 1);
        const std::vector<std::int64_t> pads = reader.integers("pads", 4, 0);
        if (autoPad == "VALID" &&
            std::any_of(pads.begin(), pads.end(), [](std::int64_t p) { return p != 0; }))
            reader.failAttribute("pads", listText(pads));
        Shape out{in[0], outChannels, 0, 0};
        for (std::size_t axis = 0; axis < 2; ++axis) {
            if (strides[axis] < 1)
                reader.failAttribute("strides", listText(strides));
            if (dilations[axis] < 1)
                reader.failAttribute("dilations", listText(dilations));
            if (pads[axis] < 0 || pads[axis + 2] < 0)
                reader.failAttribute("pads", listText(pads));
            convolution.strides[axis] = strides[axis];
            convolution.dilations[axis] = dilations[axis];
            convolution.padBegin[axis] = pads[axis];
            convolution.padEnd[axis] = pads[axis + 2];
            const std::int64_t reach = dilations[axis] * (convolution.kernel[axis] - 1) + 1;
            const std::int64_t span = in[axis + 2] + pads[axis] + pads[axis + 2] - reach;
            if (span < 0)
                reader.fail(tr("le noyau est plus grand que l'image"));
            out[axis + 2] = span / strides[axis] + 1;
        }
        m_convolutionWeights[m_result.layers.size()] = names;
        addLayer(node, std::move(convolution), {input}, out);
    }

    void readMaxPool(const onnx::NodeProto &node)
    {
        const NodeReader reader(
            node, {"auto_pad", "ceil_mode", "dilations", "kernel_shape", "pads", "storage_order", "strides"});
        const int input = tensorInput(reader, node, 0);
        const Shape &in = m_result.tensors[std::size_t(input)].shape;
        if (node.output_size() > 1 && !node.output(1).empty())
            reader.fail(tr("la sortie des indices n'est pas prise en charge"));
        if (!reader.find("kernel_shape"))
            reader.fail(tr("l'attribut kernel_shape manque"));
        const std::string autoPad = reader.text("auto_pad", "NOTSET");
        if (autoPad != "NOTSET" && autoPad != "VALID")
            reader.failAttribute("auto_pad", QString::fromStdString(autoPad));
        const std::vector<std::int64_t> dilations = reader.integers("dilations", 2, 1);
        if (dilations[0] != 1 || dilations[1] != 1)
            reader.failAttribute("dilations", listText(dilations));
        const bool ceil = reader.integer("ceil_mode", 0) != 0;
        const std::vector<std::int64_t> kernel = reader.integers("kernel_shape", 2, 1);
        const std::vector<std::int64_t> strides = reader.integers("strides", 2, 1);
        const std::vector<std::int64_t> pads = reader.integers("pads", 4, 0);

        InferenceGraph::MaxPool pool;
        Shape out{in[0], in[1], 0, 0};
        for (std::size_t axis = 0; axis < 2; ++axis) {
            if (kernel[axis] < 1)
                reader.failAttribute("kernel_shape", listText(kernel));
            if (strides[axis] < 1)
                reader.failAttribute("strides", listText(strides));
            if (pads[axis] < 0 || pads[axis + 2] < 0 || pads[axis] >= kernel[axis] ||
                pads[axis + 2] >= kernel[axis])
                reader.failAttribute("pads", listText(pads));
            const std::int64_t size = in[axis + 2];
            const std::int64_t span = size + pads[axis] + pads[axis + 2] - kernel[axis];
            if (span < 0)
                reader.fail(tr("la fenêtre est plus grande que l'image"));
            std::int64_t count = (ceil ? ceilDivide(span, strides[axis]) : span / strides[axis]) + 1;
            // In ceil mode the last window must still start inside the image or its leading padding.
            if (ceil && (count - 1) * strides[axis] >= size + pads[axis])
                --count;
            out[axis + 2] = count;
            pool.kernel[axis] = kernel[axis];
            pool.strides[axis] = strides[axis];
            pool.padBegin[axis] = pads[axis];
            pool.padEnd[axis] =
                ceil ? (count - 1) * strides[axis] + kernel[axis] - size - pads[axis] : pads[axis + 2];
        }
        addLayer(node, pool, {input}, out);
    }

    void readResize(const onnx::NodeProto &node)
    {
        const NodeReader reader(node, {"antialias", "coordinate_transformation_mode", "cubic_coeff_a",
                                       "exclude_outside", "extrapolation_value", "keep_aspect_ratio_policy",
                                       "mode", "nearest_mode"});
        if (m_opset < 11)
            reader.fail(tr("Resize de la version %1 des opérations non pris en charge").arg(m_opset));
        const std::string mode = reader.text("mode", "nearest");
        if (mode != "linear")
            reader.failAttribute("mode", QString::fromStdString(mode));
        const std::string coordinates = reader.text("coordinate_transformation_mode", "half_pixel");
        if (coordinates != "half_pixel" && coordinates != "pytorch_half_pixel")
            reader.failAttribute("coordinate_transformation_mode", QString::fromStdString(coordinates));
        if (const std::int64_t exclude = reader.integer("exclude_outside", 0); exclude != 0)
            reader.failAttribute("exclude_outside", QString::number(exclude));
        if (const std::int64_t antialias = reader.integer("antialias", 0); antialias != 0)
            reader.failAttribute("antialias", QString::number(antialias));
        if (const std::string policy = reader.text("keep_aspect_ratio_policy", "stretch");
            policy != "stretch")
            reader.failAttribute("keep_aspect_ratio_policy", QString::fromStdString(policy));

        const int input = tensorInput(reader, node, 0);
        const Shape &in = m_result.tensors[std::size_t(input)].shape;
        const Shape out = resizedShape(reader, node, in);
        if (out[0] != in[0] || out[1] != in[1])
            reader.fail(tr("seules la hauteur et la largeur peuvent être redimensionnées"));
        if (out[2] < 1 || out[3] < 1)
            reader.fail(tr("taille de sortie %1 non valide").arg(listText({out.begin(), out.end()})));
        if (coordinates == "pytorch_half_pixel" && (out[2] == 1 || out[3] == 1))
            reader.failAttribute("coordinate_transformation_mode", QString::fromStdString(coordinates));
        addLayer(node, InferenceGraph::Resize{}, {input}, out);
    }

    // A Resize's output size: given as sizes, or as scale factors of the input's.
    Shape resizedShape(const NodeReader &reader, const onnx::NodeProto &node, const Shape &in)
    {
        Shape out{};
        if (hasInput(node, 3)) {
            const Constant &sizes = constantInput(reader, node, 3);
            if (sizes.isFloat || sizes.size() != 4)
                reader.fail(tr("les tailles de sortie doivent être quatre entiers"));
            std::copy(sizes.integers.begin(), sizes.integers.end(), out.begin());
            return out;
        }
        if (!hasInput(node, 2) || constantInput(reader, node, 2).size() == 0)
            reader.fail(tr("ni taille ni facteur d'échelle"));
        const Constant &scales = constantInput(reader, node, 2);
        if (!scales.isFloat || scales.size() != 4)
            reader.fail(tr("les facteurs d'échelle doivent être quatre nombres"));
        for (std::size_t axis = 0; axis < 4; ++axis) {
            const double exact = double(in[axis]) * double(scales.floats[axis]);
            out[axis] = std::int64_t(exact);
            // The engine resamples by the ratio of the sizes, which is the factor only when it gives
            // a whole number of pixels.
            if (double(out[axis]) != exact)
                reader.fail(tr("le facteur d'échelle %1 ne donne pas un nombre entier de pixels")
                                .arg(double(scales.floats[axis])));
        }
        return out;
    }

    void readAdd(const onnx::NodeProto &node)
    {
        const NodeReader reader(node, {});
        const int first = tensorInput(reader, node, 0);
        const int second = tensorInput(reader, node, 1);
        const Shape &shape = m_result.tensors[std::size_t(first)].shape;
        if (m_result.tensors[std::size_t(second)].shape != shape)
            reader.fail(tr("l'addition de tenseurs de formes différentes n'est pas prise en charge"));
        addLayer(node, InferenceGraph::Add{}, {first, second}, shape);
    }

    void readElementwise(const onnx::NodeProto &node, InferenceGraph::Operation operation)
    {
        const NodeReader reader(node, {});
        const int input = tensorInput(reader, node, 0);
        addLayer(node, std::move(operation), {input}, m_result.tensors[std::size_t(input)].shape);
    }

    // Drops the layers whose results the output does not use.
    void keepWhatTheOutputNeeds()
    {
        std::vector<char> needed(m_result.tensors.size(), 0);
        needed[std::size_t(m_result.output)] = 1;
        std::vector<char> unused(m_result.layers.size(), 0);
        for (std::size_t i = m_result.layers.size(); i-- > 0;) {
            const InferenceGraph::Layer &layer = m_result.layers[i];
            if (!needed[std::size_t(layer.output)]) {
                unused[i] = 1;
                continue;
            }
            for (const int input : layer.inputs)
                needed[std::size_t(input)] = 1;
        }
        dropLayers(unused);
    }

    // Takes out the layers marked in `dropped`, keeping the others in order with their weights.
    void dropLayers(const std::vector<char> &dropped)
    {
        std::vector<InferenceGraph::Layer> kept;
        std::unordered_map<std::size_t, WeightNames> keptWeights;
        for (std::size_t i = 0; i < m_result.layers.size(); ++i) {
            if (dropped[i])
                continue;
            if (const auto names = m_convolutionWeights.find(i); names != m_convolutionWeights.end())
                keptWeights[kept.size()] = names->second;
            kept.push_back(std::move(m_result.layers[i]));
        }
        m_result.layers = std::move(kept);
        m_convolutionWeights = std::move(keptWeights);
    }

    // Who reads and who writes each tensor, while convolutions take on the work of later layers.
    struct TensorUse
    {
        std::vector<int> readers;
        std::vector<int> producer;
    };

    // The convolution producing `tensor`, if its result can take on more work.
    InferenceGraph::Layer *growableConvolution(const TensorUse &use, int tensor)
    {
        const int index = use.producer[std::size_t(tensor)];
        if (index < 0 || use.readers[std::size_t(tensor)] != 1)
            return nullptr;
        InferenceGraph::Layer &layer = m_result.layers[std::size_t(index)];
        auto *convolution = std::get_if<InferenceGraph::Convolution>(&layer.operation);
        return convolution && convolution->addend < 0 ? &layer : nullptr;
    }

    // ReLU after a convolution, and an Add of a convolution's result to an earlier tensor, become
    // part of the convolution when nothing else reads the convolution's own result.
    void fuseIntoConvolutions()
    {
        std::vector<InferenceGraph::Layer> &layers = m_result.layers;
        TensorUse use{std::vector<int>(m_result.tensors.size(), 0),
                      std::vector<int>(m_result.tensors.size(), -1)};
        for (std::size_t i = 0; i < layers.size(); ++i) {
            for (const int input : layers[i].inputs)
                ++use.readers[std::size_t(input)];
            use.producer[std::size_t(layers[i].output)] = int(i);
        }
        ++use.readers[std::size_t(m_result.output)];

        std::vector<char> fused(layers.size(), 0);
        for (std::size_t i = 0; i < layers.size(); ++i) {
            const InferenceGraph::Layer &layer = layers[i];
            if (std::holds_alternative<InferenceGraph::Relu>(layer.operation))
                fused[i] = fuseRelu(use, layer);
            else if (std::holds_alternative<InferenceGraph::Add>(layer.operation))
                fused[i] = fuseAdd(use, layer);
        }
        dropLayers(fused);
    }

    bool fuseRelu(TensorUse &use, const InferenceGraph::Layer &relu)
    {
        InferenceGraph::Layer *convolution = growableConvolution(use, relu.inputs[0]);
        if (!convolution || std::get<InferenceGraph::Convolution>(convolution->operation).relu)
            return false;
        std::get<InferenceGraph::Convolution>(convolution->operation).relu = true;
        convolution->output = relu.output;
        use.producer[std::size_t(relu.output)] = use.producer[std::size_t(relu.inputs[0])];
        return true;
    }

    bool fuseAdd(TensorUse &use, const InferenceGraph::Layer &add)
    {
        for (const auto &[summand, addend] :
             {std::pair(add.inputs[0], add.inputs[1]), std::pair(add.inputs[1], add.inputs[0])}) {
            InferenceGraph::Layer *convolution = growableConvolution(use, summand);
            // The addend must be ready before the convolution runs.
            if (!convolution || summand == addend ||
                use.producer[std::size_t(addend)] >= use.producer[std::size_t(summand)])
                continue;
            std::get<InferenceGraph::Convolution>(convolution->operation).addend = addend;
            convolution->output = add.output;
            use.producer[std::size_t(add.output)] = use.producer[std::size_t(summand)];
            return true;
        }
        return false;
    }

    // Copies the weights of the kept convolutions out of the model, releasing each stored tensor as
    // soon as its last reader has its copy, so that the model's bytes are not held twice.
    void readWeights()
    {
        std::unordered_map<std::string, int> uses;
        for (const auto &[layer, names] : m_convolutionWeights) {
            ++uses[names.weights];
            if (!names.bias.empty())
                ++uses[names.bias];
        }
        auto take = [&](const std::string &name) {
            onnx::TensorProto &tensor = *m_initializers.at(name);
            std::vector<float> values = tensorValues<float>(tensor, tensor.float_data(), quoted(name));
            if (--uses[name] == 0) {
                std::string().swap(*tensor.mutable_raw_data());
                tensor.clear_float_data();
            }
            return values;
        };
        for (std::size_t i = 0; i < m_result.layers.size(); ++i) {
            const auto names = m_convolutionWeights.find(i);
            if (names == m_convolutionWeights.end())
                continue;
            auto &convolution = std::get<InferenceGraph::Convolution>(m_result.layers[i].operation);
            convolution.weights = take(names->second.weights);
            if (!names->second.bias.empty())
                convolution.bias = take(names->second.bias);
        }
    }

    onnx::GraphProto &m_graph;
    const std::string m_outputName;
    std::int64_t m_opset = 0;
    InferenceGraph m_result;
    std::unordered_map<std::string, onnx::TensorProto *> m_initializers;
    std::unordered_map<std::string, Constant> m_constants;
    std::unordered_map<std::string, int> m_tensors;                    // computed tensors by name
    std::unordered_map<std::size_t, WeightNames> m_convolutionWeights; // by layer index
};

// Closes a file descriptor when it goes out of scope.
class FileDescriptor
{
public:
    explicit FileDescriptor(int fd) : m_fd(fd) {}
    ~FileDescriptor()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    FileDescriptor(const FileDescriptor &) = delete;
    FileDescriptor &operator=(const FileDescriptor &) = delete;
    int get() const { return m_fd; }

private:
    int m_fd;
};

} // namespace

InferenceGraph OnnxGraphLoader::load(const QString &path, const std::string &outputName)
{
    onnx::ModelProto model;
    {
        // Parsed straight from the file: the model's bytes are not held in memory a second time.
        const FileDescriptor file(::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC));
        if (file.get() < 0)
            throw InferenceError(tr("Le modèle de détourage %1 ne peut pas être lu.").arg(path));
        google::protobuf::io::FileInputStream stream(file.get());
        if (!model.ParseFromZeroCopyStream(&stream) || !model.has_graph())
            throw InferenceError(tr("Le fichier %1 n'est pas un modèle ONNX lisible.").arg(path));
    }
    return Loader(model, outputName).load();
}
