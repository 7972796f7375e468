#include "DnnlNetwork.h"

#include "ArenaLayout.h"
#include "InferenceError.h"
#include "LowPriorityWorker.h"
#include "OnnxGraphLoader.h"

#include <oneapi/dnnl/dnnl.hpp>

#include <QCoreApplication>

#include <sys/mman.h>

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <new>
#include <optional>
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

memory::dims dimsOf(const Shape &shape)
{
    return {shape[0], shape[1], shape[2], shape[3]};
}

// Bytes from the system's allocator, aligned for vector loads, freed with their owner. Large blocks
// are asked to be backed by huge pages: the tensors of a run span hundreds of megabytes, and fewer,
// larger pages mean fewer page faults and translation misses while the kernels stream through them.
class AlignedBytes
{
public:
    AlignedBytes() = default;
    explicit AlignedBytes(std::size_t size)
    {
        if (size == 0)
            return;
        const std::size_t alignment = size >= HugePage ? HugePage : Alignment;
        size = (size + alignment - 1) / alignment * alignment;
        m_data.reset(static_cast<std::byte *>(std::aligned_alloc(alignment, size)));
        if (!m_data)
            throw std::bad_alloc();
        if (alignment == HugePage)
            ::madvise(m_data.get(), size, MADV_HUGEPAGE); // advice only: normal pages when refused
    }
    std::byte *get() const { return m_data.get(); }

private:
    static constexpr std::size_t HugePage = 2 << 20;

    struct Free
    {
        void operator()(std::byte *bytes) const { std::free(bytes); }
    };
    std::unique_ptr<std::byte, Free> m_data;
};

// Where a tensor's values live during a run. A slot either has bytes of its own in the arena, or lies
// inside another slot (a convolution's result written over its addend or over the partial sum before it).
struct Slot
{
    memory::desc desc;
    int parent = -1;
    bool external = false; // the caller's input or output, bound at each run
    int firstWrite = INT_MAX;
    int lastRead = -1;
};

struct PlannedStep
{
    std::string layer;
    dnnl::primitive primitive;
    std::vector<std::pair<int, int>> bindings; // oneDNN argument, slot
    std::unordered_map<int, memory> fixed;     // weights and bias
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
        m_outputSlot = addSlot(plainDesc(m_graph.tensors[std::size_t(m_graph.output)].shape));
        m_slots[std::size_t(m_outputSlot)].external = true;
        const int result = m_tensorSlot[std::size_t(m_graph.output)];
        addReorder(result, m_outputSlot, "output");
    }

    std::vector<PlannedStep> &steps() { return m_steps; }
    const std::vector<Slot> &slotTable() const { return m_slots; }
    int inputSlot() const { return m_inputSlot; }
    int outputSlot() const { return m_outputSlot; }
    std::size_t weightBytes() const { return m_weightBytes; }

private:
    memory::desc plainDesc(const Shape &shape) const { return memory::desc(dimsOf(shape), Float, Tag::nchw); }
    memory::desc anyDesc(const Shape &shape) const { return memory::desc(dimsOf(shape), Float, Tag::any); }
    const Shape &shapeOf(int tensor) const { return m_graph.tensors[std::size_t(tensor)].shape; }
    const memory::desc &descOf(int tensor) const
    {
        return m_slots[std::size_t(m_tensorSlot[std::size_t(tensor)])].desc;
    }

    // Every primitive is given its scratch memory (attributes are handles: each primitive gets its own).
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

    // Records a step: `reads` and `writes` map oneDNN arguments to slots. The kernel's scratch memory
    // is a slot of its own, in use for this step only, so it shares the arena with the tensors.
    void addStep(const std::string &layer, dnnl::primitive primitive, const memory::desc &scratchpad,
                 const std::vector<std::pair<int, int>> &reads, std::vector<std::pair<int, int>> writes,
                 std::unordered_map<int, memory> fixed = {}, const std::vector<int> &alsoRead = {})
    {
        const int index = int(m_steps.size());
        PlannedStep step{layer, std::move(primitive), {}, std::move(fixed)};
        if (scratchpad.get_size() > 0)
            writes.emplace_back(DNNL_ARG_SCRATCHPAD, addSlot(scratchpad));
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
        m_steps.push_back(std::move(step));
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

    int root(int slot) const
    {
        while (m_slots[std::size_t(slot)].parent >= 0)
            slot = m_slots[std::size_t(slot)].parent;
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

    // The common layouts a tensor is stored in: plain, channels last, blocked by 8 or 16 channels.
    static constexpr Tag Layouts[] = {Tag::nchw, Tag::nhwc, Tag::nChw8c, Tag::nChw16c};

    static std::optional<Tag> layoutOf(const memory::desc &desc)
    {
        const memory::dims dims = desc.dims();
        for (const Tag tag : Layouts) {
            if (desc == memory::desc(dims, Float, tag))
                return tag;
        }
        return std::nullopt;
    }

    // `shape` in the layout of `like` (plain when that layout is none of the common ones).
    static memory::desc sameLayout(const memory::desc &like, const Shape &shape)
    {
        return memory::desc(dimsOf(shape), Float, layoutOf(like).value_or(Tag::nchw));
    }

    // A layer reading one tensor, made by `make` from a source layout: in the layout the tensor has,
    // or, where oneDNN has only a reference kernel for that, in the first common layout it has a
    // better one for (the tensor then reordered). Returns the primitive and the slot to read.
    template<typename PrimitiveDesc, typename Make>
    std::pair<PrimitiveDesc, int> inBestLayout(int input, Make make)
    {
        PrimitiveDesc pd = make(descOf(input));
        if (isReference(pd)) {
            for (const Tag tag : Layouts) {
                const memory::desc desc(dimsOf(shapeOf(input)), Float, tag);
                try {
                    PrimitiveDesc other = make(desc);
                    if (!isReference(other))
                        return {other, slotIn(input, desc)};
                } catch (const dnnl::error &) {
                }
            }
        }
        return {pd, m_tensorSlot[std::size_t(input)]};
    }

    // What a convolution does after multiplying: `accumulate` adds what the destination holds before
    // the ReLU (the sum of the other parts of a split input), `residual` adds it after.
    struct PostOps
    {
        bool bias = false;
        bool accumulate = false;
        bool relu = false;
        bool residual = false;
    };

    // Winograd's algorithm multiplies less for 3×3 kernels: measured with oneDNN's AVX-512 kernels it
    // took 1.5 to 3 times less work from 32 channels up (and more below). Its weights take four times
    // the room and its scratch memory grows with the image, so it is kept to the large images, where
    // most of the work is and the weights are small.
    static constexpr std::int64_t WinogradMinimumArea = std::int64_t{128} * 128;
    static bool winogradPays(const InferenceGraph::Convolution &convolution, const Shape &in,
                             const Shape &out)
    {
        const InferenceGraph::Pair one{1, 1};
        return convolution.kernel == InferenceGraph::Pair{3, 3} && convolution.strides == one &&
               convolution.dilations == one && std::min(in[1], out[1]) >= 32 &&
               out[2] * out[3] >= WinogradMinimumArea;
    }

    // The cheapest way oneDNN offers to run a convolution of `input` writing `dst` (a layout, or any):
    // Winograd where it pays, else direct; reading the input in the layout it already has where a
    // kernel can, else in the one the kernel prefers. Reference kernels only when `anyKernel`.
    std::optional<dnnl::convolution_forward::primitive_desc>
    bestConvolution(const InferenceGraph::Convolution &convolution, int input, const Shape &out,
                    const memory::desc &dst, const PostOps &postOps, bool anyKernel = false) const
    {
        const Shape &in = shapeOf(input);
        std::vector<dnnl::algorithm> algorithms{dnnl::algorithm::convolution_direct};
        if (winogradPays(convolution, in, out))
            algorithms.insert(algorithms.begin(), dnnl::algorithm::convolution_winograd);
        for (const dnnl::algorithm algorithm : algorithms) {
            for (const memory::desc &src : {descOf(input), anyDesc(in)}) {
                try {
                    dnnl::convolution_forward::primitive_desc pd =
                        convolutionPd(convolution, algorithm, src, in, out, dst, postOps);
                    if (!isReference(pd))
                        return pd;
                } catch (const dnnl::error &) {
                }
            }
        }
        if (!anyKernel)
            return std::nullopt;
        return convolutionPd(convolution, dnnl::algorithm::convolution_direct, anyDesc(in), in, out, dst,
                             postOps);
    }

    dnnl::convolution_forward::primitive_desc convolutionPd(const InferenceGraph::Convolution &convolution,
                                                            dnnl::algorithm algorithm,
                                                            const memory::desc &src, const Shape &in,
                                                            const Shape &out, const memory::desc &dst,
                                                            const PostOps &after) const
    {
        const memory::desc weights({out[1], in[1], convolution.kernel[0], convolution.kernel[1]}, Float,
                                   Tag::any);
        const memory::dims strides{convolution.strides[0], convolution.strides[1]};
        // oneDNN counts the dilation as the gap between kernel taps: 0 for a dense kernel.
        const memory::dims dilations{convolution.dilations[0] - 1, convolution.dilations[1] - 1};
        const memory::dims padBegin{convolution.padBegin[0], convolution.padBegin[1]};
        const memory::dims padEnd{convolution.padEnd[0], convolution.padEnd[1]};
        const auto kind = dnnl::prop_kind::forward_inference;
        const dnnl::convolution_forward::desc descriptor =
            after.bias ? dnnl::convolution_forward::desc(kind, algorithm, src, weights,
                                                         memory::desc({out[1]}, DataType::f32, Tag::x), dst,
                                                         strides, dilations, padBegin, padEnd)
                       : dnnl::convolution_forward::desc(kind, algorithm, src, weights, dst, strides,
                                                         dilations, padBegin, padEnd);
        dnnl::post_ops postOps;
        if (after.accumulate)
            postOps.append_sum(1.f);
        if (after.relu)
            postOps.append_eltwise(1.f, dnnl::algorithm::eltwise_relu, 0.f, 0.f);
        if (after.residual)
            postOps.append_sum(1.f);
        dnnl::primitive_attr attributes = newAttributes();
        attributes.set_post_ops(postOps);
        return dnnl::convolution_forward::primitive_desc(descriptor, attributes, m_engine);
    }

    memory biasMemory(std::vector<float> &values, const memory::desc &desc)
    {
        memory bias(desc, m_engine);
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
        std::optional<dnnl::convolution_forward::primitive_desc> pd;
        bool inPlace = false;
        if (convolution.addend >= 0 && mayOverwrite(convolution.addend)) {
            const memory::desc &addendDesc = descOf(convolution.addend);
            const PostOps residual{hasBias, false, convolution.relu, true};
            pd = bestConvolution(convolution, input, out, anyDesc(out), residual);
            if (pd && pd->dst_desc() != addendDesc)
                pd = bestConvolution(convolution, input, out, addendDesc, residual);
            inPlace = pd && pd->dst_desc() == addendDesc;
        }
        if (!inPlace)
            pd = bestConvolution(convolution, input, out, anyDesc(out),
                                 {hasBias, false, convolution.relu, false}, true);
        if (!pd)
            throw dnnl::error(dnnl_unimplemented, "no convolution kernel");

        const int source = slotIn(input, pd->src_desc());
        const int result = addSlot(pd->dst_desc());
        std::vector<int> alsoRead;
        if (inPlace) {
            m_slots[std::size_t(result)].parent = m_tensorSlot[std::size_t(convolution.addend)];
            alsoRead.push_back(m_tensorSlot[std::size_t(convolution.addend)]);
        }
        std::unordered_map<int, memory> fixed;
        fixed[DNNL_ARG_WEIGHTS] = reorderedWeights(
            convolution.weights, {out[1], in[1], convolution.kernel[0], convolution.kernel[1]},
            pd->weights_desc());
        if (hasBias)
            fixed[DNNL_ARG_BIAS] = biasMemory(convolution.bias, pd->bias_desc());
        addStep(layer.name, dnnl::convolution_forward(*pd), pd->scratchpad_desc(), {{DNNL_ARG_SRC, source}},
                {{DNNL_ARG_DST, result}}, std::move(fixed), alsoRead);
        setOutput(layer, result);

        if (convolution.addend >= 0 && !inPlace) {
            const memory::desc &desc = pd->dst_desc();
            const int addend = slotIn(convolution.addend, desc);
            const dnnl::binary::primitive_desc add(
                dnnl::binary::desc(dnnl::algorithm::binary_add, desc, desc, desc), newAttributes(), m_engine);
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
        for (std::size_t i = 0; i < parts.size(); ++i) {
            const bool first = i == 0, last = i + 1 == parts.size();
            const memory::desc dst = first ? anyDesc(out) : pds.front().dst_desc();
            const std::optional<dnnl::convolution_forward::primitive_desc> pd = bestConvolution(
                convolution, parts[i], out, dst,
                {first && !convolution.bias.empty(), !first, last && convolution.relu, false});
            if (!pd || (!first && pd->dst_desc() != pds.front().dst_desc()))
                return false;
            pds.push_back(*pd);
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
                    std::move(fixed), alsoRead);
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
        const auto [pd, source] = inBestLayout<dnnl::pooling_forward::primitive_desc>(
            layer.inputs[0], [&](const memory::desc &src) {
                return dnnl::pooling_forward::primitive_desc(
                    dnnl::pooling_forward::desc(
                        dnnl::prop_kind::forward_inference, dnnl::algorithm::pooling_max, src,
                        anyDesc(shapeOf(layer.output)), {pool.strides[0], pool.strides[1]},
                        {pool.kernel[0], pool.kernel[1]}, {pool.padBegin[0], pool.padBegin[1]},
                        {pool.padEnd[0], pool.padEnd[1]}),
                    newAttributes(), m_engine);
            });
        const int result = addSlot(pd.dst_desc());
        addStep(layer.name, dnnl::pooling_forward(pd), pd.scratchpad_desc(), {{DNNL_ARG_SRC, source}},
                {{DNNL_ARG_DST, result}});
        setOutput(layer, result);
    }

    void add(const InferenceGraph::Layer &layer, const InferenceGraph::Resize &)
    {
        const auto [pd, source] = inBestLayout<dnnl::resampling_forward::primitive_desc>(
            layer.inputs[0], [&](const memory::desc &src) {
                return dnnl::resampling_forward::primitive_desc(
                    dnnl::resampling_forward::desc(dnnl::prop_kind::forward_inference,
                                                   dnnl::algorithm::resampling_linear, src,
                                                   anyDesc(shapeOf(layer.output))),
                    newAttributes(), m_engine);
            });
        const int result = addSlot(pd.dst_desc());
        addStep(layer.name, dnnl::resampling_forward(pd), pd.scratchpad_desc(), {{DNNL_ARG_SRC, source}},
                {{DNNL_ARG_DST, result}});
        setOutput(layer, result);
    }

    void add(const InferenceGraph::Layer &layer, const InferenceGraph::Concat &)
    {
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
        // Parts in one layout: oneDNN only has a reference kernel for mixed ones.
        const memory::desc &layout = descOf(inputs.front());
        std::vector<memory::desc> sources;
        std::vector<std::pair<int, int>> reads;
        for (std::size_t i = 0; i < inputs.size(); ++i) {
            const int slot = slotIn(inputs[i], sameLayout(layout, shapeOf(inputs[i])));
            sources.push_back(m_slots[std::size_t(slot)].desc);
            reads.emplace_back(DNNL_ARG_MULTIPLE_SRC + int(i), slot);
        }
        const dnnl::concat::primitive_desc pd(1, sources, m_engine, newAttributes());
        const int result = addSlot(pd.dst_desc());
        addStep(m_graph.tensors[std::size_t(output)].name, dnnl::concat(pd), pd.scratchpad_desc(), reads,
                {{DNNL_ARG_DST, result}});
        m_tensorSlot[std::size_t(output)] = result;
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
        const auto [pd, source] = inBestLayout<dnnl::eltwise_forward::primitive_desc>(
            layer.inputs[0], [&](const memory::desc &src) {
                return dnnl::eltwise_forward::primitive_desc(
                    dnnl::eltwise_forward::desc(dnnl::prop_kind::forward_inference, algorithm, src, 0.f, 0.f),
                    newAttributes(), m_engine);
            });
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
    std::vector<PlannedStep> m_steps;
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
        layOut(builder.slotTable());

        std::vector<memory> memories;
        for (std::size_t i = 0; i < builder.slotTable().size(); ++i) {
            const Slot &slot = builder.slotTable()[i];
            memories.emplace_back(slot.desc, m_engine,
                                  slot.external ? nullptr : m_arena.get() + m_slotOffsets[i]);
        }
        m_input = memories[std::size_t(builder.inputSlot())];
        m_output = memories[std::size_t(builder.outputSlot())];

        for (PlannedStep &planned : builder.steps()) {
            Step step{planned.layer, std::move(planned.primitive), std::move(planned.fixed)};
            for (const auto &[argument, slot] : planned.bindings)
                step.arguments[argument] = memories[std::size_t(slot)];
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

    // Places every slot that has bytes of its own in one arena, sharing bytes between slots whose
    // stretches of the run do not overlap; a slot inside another (of the same layout) takes its bytes.
    void layOut(const std::vector<Slot> &table)
    {
        std::vector<int> roots(table.size());
        for (std::size_t i = 0; i < table.size(); ++i) {
            int slot = int(i);
            while (table[std::size_t(slot)].parent >= 0)
                slot = table[std::size_t(slot)].parent;
            roots[i] = slot;
        }
        std::vector<ArenaLayout::Block> blocks;
        std::unordered_map<int, std::size_t> blockOf; // by root slot
        for (std::size_t i = 0; i < table.size(); ++i) {
            const Slot &root = table[std::size_t(roots[i])];
            if (root.external)
                continue;
            const auto [found, added] = blockOf.try_emplace(roots[i], blocks.size());
            if (added)
                blocks.push_back({root.desc.get_size(), INT_MAX, -1});
            ArenaLayout::Block &block = blocks[found->second];
            block.firstStep = std::min(block.firstStep, table[i].firstWrite);
            block.lastStep = std::max(block.lastStep, table[i].lastRead);
        }
        const ArenaLayout::Placement placement = ArenaLayout::place(blocks, Alignment);
        m_arena = AlignedBytes(placement.size);
        arenaBytes = placement.size;
        m_slotOffsets.assign(table.size(), 0);
        for (std::size_t i = 0; i < table.size(); ++i) {
            if (!table[std::size_t(roots[i])].external)
                m_slotOffsets[i] = placement.offsets[blockOf.at(roots[i])];
        }
    }

    dnnl::engine m_engine;
    dnnl::stream m_stream;
    AlignedBytes m_arena;
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
