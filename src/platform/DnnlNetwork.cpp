#include "DnnlNetwork.h"

#include "InferenceError.h"
#include "LowPriorityWorker.h"
#include "OnnxGraphLoader.h"

#include <oneapi/dnnl/dnnl.hpp>

#include <QCoreApplication>

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <new>
#include <unordered_map>

namespace {

using dnnl::memory;
using Tag = memory::format_tag;
using DataType = memory::data_type;
using Shape = InferenceGraph::Shape;

// Tensors and weights are single-precision floats throughout. (Multiplying in bfloat16 halved the
// time on processors that have it, but moved the subjects' edges too much on some pictures.)
constexpr DataType Float = DataType::f32;

QString tr(const char *text)
{
    return QCoreApplication::translate("DnnlNetwork", text);
}

constexpr std::size_t Alignment = 64;

std::size_t roundUp(std::size_t size)
{
    return (size + Alignment - 1) / Alignment * Alignment;
}

memory::dims dimsOf(const Shape &shape)
{
    return {shape[0], shape[1], shape[2], shape[3]};
}

// Bytes from the system's allocator, aligned for vector loads, freed with their owner.
class AlignedBytes
{
public:
    AlignedBytes() = default;
    explicit AlignedBytes(std::size_t size)
        : m_data(size ? static_cast<std::byte *>(std::aligned_alloc(Alignment, roundUp(size))) : nullptr)
    {
        if (size && !m_data)
            throw std::bad_alloc();
    }
    std::byte *get() const { return m_data.get(); }

private:
    struct Free
    {
        void operator()(std::byte *bytes) const { std::free(bytes); }
    };
    std::unique_ptr<std::byte, Free> m_data;
};

// Where a tensor's values live during a run. A slot either has bytes of its own in the arena, or lies
// inside another slot (a part of a concatenation, or a convolution's result written over its addend).
struct Slot
{
    memory::desc desc;
    int parent = -1;
    std::size_t offset = 0; // bytes from the start of the parent
    bool external = false;  // the caller's input or output, bound at each run
    int firstWrite = INT_MAX;
    int lastRead = -1;
};

struct PlannedStep
{
    std::string layer;
    dnnl::primitive primitive;
    std::vector<std::pair<int, int>> bindings; // oneDNN argument, slot
    std::unordered_map<int, memory> fixed;     // weights and bias
    memory::desc scratchpad;
};

// Turns the graph into primitives and slots; the memory layout of the slots comes after.
class PlanBuilder
{
public:
    PlanBuilder(InferenceGraph &graph, const dnnl::engine &engine)
        : m_graph(graph), m_engine(engine), m_stream(engine)
    {
        m_tensorSlot.assign(graph.tensors.size(), -1);
        m_readers.resize(graph.tensors.size());
        for (std::size_t i = 0; i < graph.layers.size(); ++i) {
            const InferenceGraph::Layer &layer = graph.layers[i];
            for (const int input : layer.inputs)
                m_readers[std::size_t(input)].push_back(int(i));
            if (auto *convolution = std::get_if<InferenceGraph::Convolution>(&layer.operation);
                convolution && convolution->addend >= 0)
                m_readers[std::size_t(convolution->addend)].push_back(int(i));
        }
    }

    void build()
    {
        m_inputSlot = addSlot(plainDesc(m_graph.tensors[std::size_t(m_graph.input)].shape));
        m_slots[std::size_t(m_inputSlot)].external = true;
        m_tensorSlot[std::size_t(m_graph.input)] = m_inputSlot;
        for (std::size_t i = 0; i < m_graph.layers.size(); ++i) {
            m_layer = int(i);
            const InferenceGraph::Layer &layer = m_graph.layers[i];
            try {
                std::visit([&](auto &operation) { add(layer, operation); }, m_graph.layers[i].operation);
            } catch (const dnnl::error &error) {
                throw InferenceError(
                    tr("Le moteur d'inférence ne peut pas préparer la couche « %1 » : %2")
                        .arg(QString::fromStdString(layer.name), QString::fromUtf8(error.what())));
            }
        }
        // The caller's output, in plain layout.
        m_outputSlot = addSlot(plainDesc(m_graph.tensors[std::size_t(m_graph.output)].shape, DataType::f32));
        m_slots[std::size_t(m_outputSlot)].external = true;
        const int result = m_tensorSlot[std::size_t(m_graph.output)];
        addReorder(result, m_outputSlot, "output");
    }

    std::vector<PlannedStep> steps;
    std::vector<Slot> &allSlots() { return m_slots; }
    int inputSlot() const { return m_inputSlot; }
    int outputSlot() const { return m_outputSlot; }
    std::size_t weightBytes() const { return m_weightBytes; }

private:
    memory::desc plainDesc(const Shape &shape, DataType type = DataType::f32) const
    {
        return memory::desc(dimsOf(shape), type, Tag::nchw);
    }
    memory::desc anyDesc(const Shape &shape) const { return memory::desc(dimsOf(shape), Float, Tag::any); }
    const Shape &shapeOf(int tensor) const { return m_graph.tensors[std::size_t(tensor)].shape; }
    const memory::desc &descOf(int tensor) const
    {
        return m_slots[std::size_t(m_tensorSlot[std::size_t(tensor)])].desc;
    }

    // Every primitive takes its scratch memory from the one buffer the run shares (attributes are
    // handles: each primitive gets its own).
    static dnnl::primitive_attr newAttributes()
    {
        dnnl::primitive_attr attributes;
        attributes.set_scratchpad_mode(dnnl::scratchpad_mode::user);
        return attributes;
    }

    int addSlot(const memory::desc &desc)
    {
        m_slots.push_back({desc});
        return int(m_slots.size()) - 1;
    }

    // Records a step: `reads` and `writes` map oneDNN arguments to slots.
    void addStep(const std::string &layer, dnnl::primitive primitive, const memory::desc &scratchpad,
                 std::vector<std::pair<int, int>> reads, std::vector<std::pair<int, int>> writes,
                 std::unordered_map<int, memory> fixed = {}, std::vector<int> alsoRead = {})
    {
        const int index = int(steps.size());
        PlannedStep step{layer, std::move(primitive), {}, std::move(fixed), scratchpad};
        for (const auto &[argument, slot] : reads) {
            m_slots[std::size_t(slot)].lastRead = std::max(m_slots[std::size_t(slot)].lastRead, index);
            step.bindings.emplace_back(argument, slot);
        }
        for (const int slot : alsoRead)
            m_slots[std::size_t(slot)].lastRead = std::max(m_slots[std::size_t(slot)].lastRead, index);
        for (const auto &[argument, slot] : writes) {
            m_slots[std::size_t(slot)].firstWrite = std::min(m_slots[std::size_t(slot)].firstWrite, index);
            m_slots[std::size_t(slot)].lastRead = std::max(m_slots[std::size_t(slot)].lastRead, index);
            step.bindings.emplace_back(argument, slot);
        }
        steps.push_back(std::move(step));
    }

    void addReorder(int from, int to, const std::string &layer)
    {
        const dnnl::reorder::primitive_desc pd(m_engine, m_slots[std::size_t(from)].desc, m_engine,
                                               m_slots[std::size_t(to)].desc, newAttributes());
        addStep(layer, dnnl::reorder(pd), pd.scratchpad_desc(), {{DNNL_ARG_FROM, from}}, {{DNNL_ARG_TO, to}});
    }

    // The slot holding `tensor` in the layout `wanted`, reordered into a slot of its own if need be.
    int slotIn(int tensor, const memory::desc &wanted)
    {
        const int natural = m_tensorSlot[std::size_t(tensor)];
        if (m_slots[std::size_t(natural)].desc == wanted)
            return natural;
        for (const auto &[desc, slot] : m_reordered[tensor]) {
            if (desc == wanted)
                return slot;
        }
        const int slot = addSlot(wanted);
        addReorder(natural, slot, m_graph.tensors[std::size_t(tensor)].name + " (reorder)");
        m_reordered[tensor].emplace_back(wanted, slot);
        return slot;
    }

    int root(int slot, std::size_t *offset = nullptr) const
    {
        std::size_t total = 0;
        while (m_slots[std::size_t(slot)].parent >= 0) {
            total += m_slots[std::size_t(slot)].offset;
            slot = m_slots[std::size_t(slot)].parent;
        }
        if (offset)
            *offset = total;
        return slot;
    }

    // Whether the bytes of `tensor` may be overwritten by layer `m_layer`: no later layer reads them,
    // nor anything sharing them.
    bool mayOverwrite(int tensor) const
    {
        const int group = root(m_tensorSlot[std::size_t(tensor)]);
        if (m_slots[std::size_t(group)].external || tensor == m_graph.output)
            return false;
        for (std::size_t other = 0; other < m_tensorSlot.size(); ++other) {
            const int slot = m_tensorSlot[other];
            if (slot < 0 || root(slot) != group)
                continue;
            if (int(other) == m_graph.output)
                return false;
            for (const int reader : m_readers[other]) {
                if (reader > m_layer)
                    return false;
            }
        }
        return true;
    }

    void setOutput(const InferenceGraph::Layer &layer, int slot)
    {
        m_tensorSlot[std::size_t(layer.output)] = slot;
    }

    static bool isReference(const dnnl::primitive_desc_base &pd)
    {
        return std::string(pd.impl_info_str()).rfind("ref", 0) == 0;
    }

    // One convolution primitive over `in`. Its post-ops: `accumulate` adds what the destination holds
    // before the ReLU (the sum of the other parts of a split input), `residual` adds it after.
    dnnl::convolution_forward::primitive_desc convolutionPd(const InferenceGraph::Convolution &convolution,
                                                            const Shape &in, const Shape &out,
                                                            const memory::desc &dst, bool bias,
                                                            bool accumulate, bool relu, bool residual) const
    {
        const memory::desc src = anyDesc(in);
        const memory::desc weights({out[1], in[1], convolution.kernel[0], convolution.kernel[1]}, Float,
                                   Tag::any);
        const memory::dims strides{convolution.strides[0], convolution.strides[1]};
        // oneDNN counts the dilation as the gap between kernel taps: 0 for a dense kernel.
        const memory::dims dilations{convolution.dilations[0] - 1, convolution.dilations[1] - 1};
        const memory::dims padBegin{convolution.padBegin[0], convolution.padBegin[1]};
        const memory::dims padEnd{convolution.padEnd[0], convolution.padEnd[1]};
        const auto kind = dnnl::prop_kind::forward_inference;
        const auto algorithm = dnnl::algorithm::convolution_direct;
        const dnnl::convolution_forward::desc descriptor =
            bias ? dnnl::convolution_forward::desc(kind, algorithm, src, weights,
                                                   memory::desc({out[1]}, DataType::f32, Tag::x), dst,
                                                   strides, dilations, padBegin, padEnd)
                 : dnnl::convolution_forward::desc(kind, algorithm, src, weights, dst, strides, dilations,
                                                   padBegin, padEnd);
        dnnl::post_ops postOps;
        if (accumulate)
            postOps.append_sum(1.f);
        if (relu)
            postOps.append_eltwise(1.f, dnnl::algorithm::eltwise_relu, 0.f, 0.f);
        if (residual)
            postOps.append_sum(1.f);
        dnnl::primitive_attr attributes = newAttributes();
        attributes.set_post_ops(postOps);
        return dnnl::convolution_forward::primitive_desc(descriptor, attributes, m_engine);
    }

    memory biasMemory(std::vector<float> &values, const memory::desc &desc)
    {
        const memory bias(desc, m_engine);
        std::copy(values.begin(), values.end(), static_cast<float *>(bias.get_data_handle()));
        std::vector<float>().swap(values);
        m_weightBytes += desc.get_size();
        return bias;
    }

    void add(const InferenceGraph::Layer &layer, InferenceGraph::Convolution &convolution)
    {
        if (const auto parts = m_splitInputs.find(layer.inputs[0]); parts != m_splitInputs.end()) {
            if (addSplitConvolution(layer, convolution, parts->second))
                return;
            addConcatPrimitive(layer.inputs[0], parts->second);
        }
        const int input = layer.inputs[0];
        const Shape &in = shapeOf(input);
        const Shape &out = shapeOf(layer.output);
        const bool hasBias = !convolution.bias.empty();

        // With an addend, the convolution adds its result to the addend's bytes in place when nothing
        // reads the addend afterwards and both share a layout; otherwise a binary add follows.
        dnnl::convolution_forward::primitive_desc pd;
        bool inPlace = false;
        if (convolution.addend >= 0 && mayOverwrite(convolution.addend)) {
            const memory::desc &addendDesc = descOf(convolution.addend);
            try {
                pd =
                    convolutionPd(convolution, in, out, anyDesc(out), hasBias, false, convolution.relu, true);
                if (pd.dst_desc() != addendDesc)
                    pd = convolutionPd(convolution, in, out, addendDesc, hasBias, false, convolution.relu,
                                       true);
                // Not at the price of a reference (slow) kernel.
                inPlace = !isReference(pd);
            } catch (const dnnl::error &) {
            }
        }
        if (!inPlace)
            pd = convolutionPd(convolution, in, out, anyDesc(out), hasBias, false, convolution.relu, false);

        const int source = slotIn(input, pd.src_desc());
        const int result = addSlot(pd.dst_desc());
        std::vector<int> alsoRead;
        if (inPlace) {
            m_slots[std::size_t(result)].parent = m_tensorSlot[std::size_t(convolution.addend)];
            alsoRead.push_back(m_tensorSlot[std::size_t(convolution.addend)]);
        }
        std::unordered_map<int, memory> fixed;
        fixed[DNNL_ARG_WEIGHTS] = reorderedWeights(
            convolution.weights, {out[1], in[1], convolution.kernel[0], convolution.kernel[1]},
            pd.weights_desc());
        if (hasBias)
            fixed[DNNL_ARG_BIAS] = biasMemory(convolution.bias, pd.bias_desc());
        addStep(layer.name, dnnl::convolution_forward(pd), pd.scratchpad_desc(), {{DNNL_ARG_SRC, source}},
                {{DNNL_ARG_DST, result}}, std::move(fixed), std::move(alsoRead));
        setOutput(layer, result);

        if (convolution.addend >= 0 && !inPlace) {
            const int addend = slotIn(convolution.addend, pd.dst_desc());
            const dnnl::binary::primitive_desc add(
                dnnl::binary::desc(dnnl::algorithm::binary_add, pd.dst_desc(), pd.dst_desc(), pd.dst_desc()),
                newAttributes(), m_engine);
            addStep(layer.name + " (add)", dnnl::binary(add), add.scratchpad_desc(),
                    {{DNNL_ARG_SRC_0, result}, {DNNL_ARG_SRC_1, addend}}, {{DNNL_ARG_DST, result}});
        }
    }

    // A convolution of a concatenation, as one convolution per part with its slice of the weights,
    // each adding into the destination of the one before: nothing is copied. False, with nothing
    // done, when a part cannot be made so.
    bool addSplitConvolution(const InferenceGraph::Layer &layer, InferenceGraph::Convolution &convolution,
                             const std::vector<int> &parts)
    {
        const Shape &out = shapeOf(layer.output);
        std::vector<dnnl::convolution_forward::primitive_desc> pds;
        try {
            for (std::size_t i = 0; i < parts.size(); ++i) {
                const bool first = i == 0, last = i + 1 == parts.size();
                const memory::desc dst = first ? anyDesc(out) : pds.front().dst_desc();
                pds.push_back(convolutionPd(convolution, shapeOf(parts[i]), out, dst,
                                            first && !convolution.bias.empty(), !first,
                                            last && convolution.relu, false));
                if (isReference(pds.back()))
                    return false;
            }
        } catch (const dnnl::error &) {
            return false;
        }

        const std::int64_t kernelSize = convolution.kernel[0] * convolution.kernel[1];
        const std::int64_t allChannels = shapeOf(layer.inputs[0])[1];
        std::int64_t firstChannel = 0;
        int partial = -1;
        for (std::size_t i = 0; i < parts.size(); ++i) {
            const dnnl::convolution_forward::primitive_desc &pd = pds[i];
            const std::int64_t channels = shapeOf(parts[i])[1];
            std::vector<float> slice;
            slice.reserve(std::size_t(out[1] * channels * kernelSize));
            for (std::int64_t o = 0; o < out[1]; ++o) {
                const auto from = convolution.weights.begin() + (o * allChannels + firstChannel) * kernelSize;
                slice.insert(slice.end(), from, from + channels * kernelSize);
            }
            firstChannel += channels;

            const int source = slotIn(parts[i], pd.src_desc());
            const int result = addSlot(pd.dst_desc());
            std::vector<int> alsoRead;
            if (partial >= 0) {
                m_slots[std::size_t(result)].parent = partial;
                alsoRead.push_back(partial);
            }
            std::unordered_map<int, memory> fixed;
            fixed[DNNL_ARG_WEIGHTS] = reorderedWeights(
                slice, {out[1], channels, convolution.kernel[0], convolution.kernel[1]}, pd.weights_desc());
            if (i == 0 && !convolution.bias.empty())
                fixed[DNNL_ARG_BIAS] = biasMemory(convolution.bias, pd.bias_desc());
            addStep(layer.name + " (part " + std::to_string(i + 1) + ")", dnnl::convolution_forward(pd),
                    pd.scratchpad_desc(), {{DNNL_ARG_SRC, source}}, {{DNNL_ARG_DST, result}},
                    std::move(fixed), std::move(alsoRead));
            partial = result;
        }
        std::vector<float>().swap(convolution.weights);
        setOutput(layer, partial);
        return true;
    }

    // The weights in the layout the convolution reads, converted once; the graph's copy is released.
    memory reorderedWeights(std::vector<float> &values, const memory::dims &dims, const memory::desc &desc)
    {
        memory plain(memory::desc(dims, DataType::f32, Tag::oihw), m_engine, values.data());
        memory weights(desc, m_engine);
        dnnl::reorder(plain, weights).execute(m_stream, plain, weights);
        m_stream.wait();
        std::vector<float>().swap(values);
        m_weightBytes += desc.get_size();
        return weights;
    }

    void add(const InferenceGraph::Layer &layer, const InferenceGraph::MaxPool &pool)
    {
        const int source = m_tensorSlot[std::size_t(layer.inputs[0])];
        const dnnl::pooling_forward::primitive_desc pd(
            dnnl::pooling_forward::desc(dnnl::prop_kind::forward_inference, dnnl::algorithm::pooling_max,
                                        m_slots[std::size_t(source)].desc, anyDesc(shapeOf(layer.output)),
                                        {pool.strides[0], pool.strides[1]}, {pool.kernel[0], pool.kernel[1]},
                                        {pool.padBegin[0], pool.padBegin[1]},
                                        {pool.padEnd[0], pool.padEnd[1]}),
            newAttributes(), m_engine);
        const int result = addSlot(pd.dst_desc());
        addStep(layer.name, dnnl::pooling_forward(pd), pd.scratchpad_desc(), {{DNNL_ARG_SRC, source}},
                {{DNNL_ARG_DST, result}});
        setOutput(layer, result);
    }

    void add(const InferenceGraph::Layer &layer, const InferenceGraph::Resize &)
    {
        const int source = m_tensorSlot[std::size_t(layer.inputs[0])];
        const dnnl::resampling_forward::primitive_desc pd(
            dnnl::resampling_forward::desc(dnnl::prop_kind::forward_inference,
                                           dnnl::algorithm::resampling_linear,
                                           m_slots[std::size_t(source)].desc, anyDesc(shapeOf(layer.output))),
            newAttributes(), m_engine);
        const int result = addSlot(pd.dst_desc());
        addStep(layer.name, dnnl::resampling_forward(pd), pd.scratchpad_desc(), {{DNNL_ARG_SRC, source}},
                {{DNNL_ARG_DST, result}});
        setOutput(layer, result);
    }

    void add(const InferenceGraph::Layer &layer, const InferenceGraph::Concat &)
    {
        if (concatenateInPlace(layer))
            return;
        // Read by one convolution only: that convolution reads the parts where they are.
        const std::vector<int> &readers = m_readers[std::size_t(layer.output)];
        if (layer.output != m_graph.output && readers.size() == 1) {
            const InferenceGraph::Layer &reader = m_graph.layers[std::size_t(readers.front())];
            const auto *convolution = std::get_if<InferenceGraph::Convolution>(&reader.operation);
            if (convolution && convolution->addend < 0) {
                m_splitInputs[layer.output] = layer.inputs;
                for (const int part : layer.inputs)
                    m_readers[std::size_t(part)].push_back(readers.front());
                return;
            }
        }
        addConcatPrimitive(layer.output, layer.inputs);
    }

    void addConcatPrimitive(int output, const std::vector<int> &inputs)
    {
        std::vector<memory::desc> sources;
        std::vector<std::pair<int, int>> reads;
        for (std::size_t i = 0; i < inputs.size(); ++i) {
            const int slot = m_tensorSlot[std::size_t(inputs[i])];
            sources.push_back(m_slots[std::size_t(slot)].desc);
            reads.emplace_back(DNNL_ARG_MULTIPLE_SRC + int(i), slot);
        }
        const dnnl::concat::primitive_desc pd(1, sources, m_engine, newAttributes());
        const int result = addSlot(pd.dst_desc());
        addStep(m_graph.tensors[std::size_t(output)].name, dnnl::concat(pd), pd.scratchpad_desc(),
                std::move(reads), {{DNNL_ARG_DST, result}});
        m_tensorSlot[std::size_t(output)] = result;
    }

    // With one image in the batch and a layout where channels are outermost (plain, or blocked by 8 or
    // 16 channels with every part but the last a whole number of blocks), each part of a concatenation
    // is a dense tensor of its own inside the result: the layers that make the parts write there.
    bool concatenateInPlace(const InferenceGraph::Layer &layer)
    {
        const Shape &out = shapeOf(layer.output);
        if (out[0] != 1)
            return false;
        const memory::desc &first = descOf(layer.inputs[0]);
        Tag tag = Tag::undef;
        int block = 0;
        for (const auto &[candidate, size] :
             {std::pair(Tag::nchw, 1), std::pair(Tag::nChw8c, 8), std::pair(Tag::nChw16c, 16)}) {
            if (first == memory::desc(dimsOf(shapeOf(layer.inputs[0])), Float, candidate)) {
                tag = candidate;
                block = size;
            }
        }
        if (tag == Tag::undef)
            return false;
        std::vector<int> seen;
        for (std::size_t i = 0; i < layer.inputs.size(); ++i) {
            const int tensor = layer.inputs[i];
            const Shape &shape = shapeOf(tensor);
            const int slot = m_tensorSlot[std::size_t(tensor)];
            std::size_t offset = 0;
            const int group = root(slot, &offset);
            const bool whole =
                offset == 0 && m_slots[std::size_t(group)].desc.get_size() == descOf(tensor).get_size();
            if (descOf(tensor) != memory::desc(dimsOf(shape), Float, tag) ||
                m_slots[std::size_t(group)].external || !whole ||
                std::find(seen.begin(), seen.end(), group) != seen.end() ||
                (i + 1 < layer.inputs.size() && shape[1] % block != 0))
                return false;
            seen.push_back(group);
        }
        const int result = addSlot(memory::desc(dimsOf(out), Float, tag));
        const std::size_t elementSize = memory::data_type_size(Float);
        std::int64_t channel = 0;
        for (const int tensor : layer.inputs) {
            const int group = root(m_tensorSlot[std::size_t(tensor)]);
            m_slots[std::size_t(group)].parent = result;
            m_slots[std::size_t(group)].offset = std::size_t(channel * out[2] * out[3]) * elementSize;
            channel += shapeOf(tensor)[1];
        }
        setOutput(layer, result);
        return true;
    }

    void add(const InferenceGraph::Layer &layer, const InferenceGraph::Add &)
    {
        const int first = m_tensorSlot[std::size_t(layer.inputs[0])];
        const memory::desc &desc = m_slots[std::size_t(first)].desc;
        const int second = slotIn(layer.inputs[1], desc);
        const dnnl::binary::primitive_desc pd(
            dnnl::binary::desc(dnnl::algorithm::binary_add, desc, desc, desc), newAttributes(), m_engine);
        const int result = addSlot(pd.dst_desc());
        addStep(layer.name, dnnl::binary(pd), pd.scratchpad_desc(),
                {{DNNL_ARG_SRC_0, first}, {DNNL_ARG_SRC_1, second}}, {{DNNL_ARG_DST, result}});
        setOutput(layer, result);
    }

    void addElementwise(const InferenceGraph::Layer &layer, dnnl::algorithm algorithm)
    {
        const int source = m_tensorSlot[std::size_t(layer.inputs[0])];
        const dnnl::eltwise_forward::primitive_desc pd(
            dnnl::eltwise_forward::desc(dnnl::prop_kind::forward_inference, algorithm,
                                        m_slots[std::size_t(source)].desc, 0.f, 0.f),
            newAttributes(), m_engine);
        const int result = addSlot(pd.dst_desc());
        addStep(layer.name, dnnl::eltwise_forward(pd), pd.scratchpad_desc(), {{DNNL_ARG_SRC, source}},
                {{DNNL_ARG_DST, result}});
        setOutput(layer, result);
    }

    void add(const InferenceGraph::Layer &layer, const InferenceGraph::Sigmoid &)
    {
        addElementwise(layer, dnnl::algorithm::eltwise_logistic);
    }

    void add(const InferenceGraph::Layer &layer, const InferenceGraph::Relu &)
    {
        addElementwise(layer, dnnl::algorithm::eltwise_relu);
    }

    InferenceGraph &m_graph;
    dnnl::engine m_engine;
    dnnl::stream m_stream;
    std::vector<Slot> m_slots;
    std::vector<int> m_tensorSlot;           // the slot of each tensor as its layer wrote it
    std::vector<std::vector<int>> m_readers; // the layers reading each tensor
    std::unordered_map<int, std::vector<std::pair<memory::desc, int>>> m_reordered; // by tensor
    std::unordered_map<int, std::vector<int>> m_splitInputs; // concatenations left to their convolution
    int m_layer = -1;
    int m_inputSlot = -1;
    int m_outputSlot = -1;
    std::size_t m_weightBytes = 0;
};

} // namespace

class DnnlNetwork::Plan
{
public:
    explicit Plan(InferenceGraph graph)
        : m_engine(dnnl::engine::kind::cpu, 0)
        , m_stream(m_engine)
        , inputShape(graph.tensors[std::size_t(graph.input)].shape)
        , outputShape(graph.tensors[std::size_t(graph.output)].shape)
    {
        PlanBuilder builder(graph, m_engine);
        builder.build();
        weightBytes = builder.weightBytes();
        layOut(builder.allSlots());

        std::vector<memory> memories;
        for (std::size_t i = 0; i < builder.allSlots().size(); ++i) {
            const Slot &slot = builder.allSlots()[i];
            memories.emplace_back(slot.desc, m_engine,
                                  slot.external ? nullptr : m_arena.get() + m_slotOffsets[i]);
        }
        m_input = memories[std::size_t(builder.inputSlot())];
        m_output = memories[std::size_t(builder.outputSlot())];

        std::size_t scratchpadBytes = 0;
        for (const PlannedStep &step : builder.steps)
            scratchpadBytes = std::max(scratchpadBytes, step.scratchpad.get_size());
        m_scratchpad = AlignedBytes(scratchpadBytes);
        for (PlannedStep &planned : builder.steps) {
            Step step{planned.layer, std::move(planned.primitive), std::move(planned.fixed)};
            for (const auto &[argument, slot] : planned.bindings)
                step.arguments[argument] = memories[std::size_t(slot)];
            if (planned.scratchpad.get_size() > 0)
                step.arguments[DNNL_ARG_SCRATCHPAD] =
                    memory(planned.scratchpad, m_engine, m_scratchpad.get());
            m_steps.push_back(std::move(step));
        }
    }

    void run(const float *input, float *output)
    {
        m_input.set_data_handle(const_cast<float *>(input));
        m_output.set_data_handle(output);
        for (Step &step : m_steps) {
            try {
                step.primitive.execute(m_stream, step.arguments);
            } catch (const dnnl::error &error) {
                throw InferenceError(
                    tr("Le moteur d'inférence a échoué à la couche « %1 » : %2")
                        .arg(QString::fromStdString(step.layer), QString::fromUtf8(error.what())));
            }
        }
        m_stream.wait();
    }

private:
    struct Step
    {
        std::string layer;
        dnnl::primitive primitive;
        std::unordered_map<int, memory> arguments;
    };

    // Places every slot that has bytes of its own in one arena, at the lowest offset where it meets no
    // slot in use during an overlapping stretch of the run; slots inside others follow their parent.
    void layOut(const std::vector<Slot> &slotList)
    {
        struct Block
        {
            int slot;
            std::size_t size;
            int from, to;
            std::size_t offset = 0;
        };
        std::vector<int> roots(slotList.size());
        std::vector<std::size_t> within(slotList.size(), 0);
        for (std::size_t i = 0; i < slotList.size(); ++i) {
            int slot = int(i);
            while (slotList[std::size_t(slot)].parent >= 0) {
                within[i] += slotList[std::size_t(slot)].offset;
                slot = slotList[std::size_t(slot)].parent;
            }
            roots[i] = slot;
        }
        std::unordered_map<int, Block> blocks;
        for (std::size_t i = 0; i < slotList.size(); ++i) {
            const Slot &root = slotList[std::size_t(roots[i])];
            if (root.external)
                continue;
            auto [found, added] =
                blocks.try_emplace(roots[i], Block{roots[i], roundUp(root.desc.get_size()), INT_MAX, -1});
            found->second.from = std::min(found->second.from, slotList[i].firstWrite);
            found->second.to = std::max(found->second.to, slotList[i].lastRead);
        }
        std::vector<Block *> order;
        for (auto &[slot, block] : blocks)
            order.push_back(&block);
        std::sort(order.begin(), order.end(), [](const Block *a, const Block *b) {
            return a->size != b->size ? a->size > b->size : a->slot < b->slot;
        });
        std::vector<const Block *> placed;
        std::size_t arena = 0;
        for (Block *block : order) {
            std::vector<std::pair<std::size_t, std::size_t>> taken;
            for (const Block *other : placed) {
                if (other->from <= block->to && block->from <= other->to)
                    taken.emplace_back(other->offset, other->offset + other->size);
            }
            std::sort(taken.begin(), taken.end());
            std::size_t offset = 0;
            for (const auto &[begin, end] : taken) {
                if (offset + block->size <= begin)
                    break;
                offset = std::max(offset, end);
            }
            block->offset = offset;
            arena = std::max(arena, offset + block->size);
            placed.push_back(block);
        }
        m_arena = AlignedBytes(arena);
        arenaBytes = arena;
        m_slotOffsets.assign(slotList.size(), 0);
        for (std::size_t i = 0; i < slotList.size(); ++i) {
            if (!slotList[std::size_t(roots[i])].external)
                m_slotOffsets[i] = blocks.at(roots[i]).offset + within[i];
        }
    }

    dnnl::engine m_engine;
    dnnl::stream m_stream;
    AlignedBytes m_arena;
    AlignedBytes m_scratchpad;
    std::vector<std::size_t> m_slotOffsets;
    std::vector<Step> m_steps;
    memory m_input;
    memory m_output;

public:
    const Shape inputShape;
    const Shape outputShape;
    std::size_t arenaBytes = 0;
    std::size_t weightBytes = 0;
};

DnnlNetwork::DnnlNetwork() : m_worker(std::make_unique<LowPriorityWorker>()) {}

DnnlNetwork::~DnnlNetwork() = default;

std::unique_ptr<DnnlNetwork> DnnlNetwork::load(const QString &path, const std::string &outputName)
{
    std::unique_ptr<DnnlNetwork> network(new DnnlNetwork);
    network->m_worker->run(
        [&] { network->m_plan = std::make_unique<Plan>(OnnxGraphLoader::load(path, outputName)); });
    return network;
}

InferenceGraph::Shape DnnlNetwork::inputShape() const
{
    return m_plan->inputShape;
}

InferenceGraph::Shape DnnlNetwork::outputShape() const
{
    return m_plan->outputShape;
}

void DnnlNetwork::run(const float *input, float *output)
{
    m_worker->run([&] { m_plan->run(input, output); });
}

std::size_t DnnlNetwork::arenaBytes() const
{
    return m_plan->arenaBytes;
}

std::size_t DnnlNetwork::weightBytes() const
{
    return m_plan->weightBytes;
}
