#pragma once

#include "InferenceNetwork.h"

#include <QString>

#include <memory>
#include <string>

class LowPriorityWorker;

// Runs an InferenceGraph on oneDNN primitives, on the CPU.
//
// Everything is prepared once, when the network is made: one primitive per layer (a convolution
// carries its ReLU and residual Add as post-ops), each choosing the memory layout it runs fastest on,
// with reorders only where a layer reads a tensor in another layout; the weights reordered into the
// convolutions' layouts; and one memory arena in which tensors whose lifetimes do not overlap share
// bytes. Where the layout allows, the layers that feed a concatenation write straight into their part
// of its result, so the concatenation copies nothing.
//
// Loading and every run happen on the network's own worker thread, below the interface's priority
// (oneDNN's OpenMP threads are made by that thread and inherit its priority); callers wait.
class DnnlNetwork final : public InferenceNetwork
{
public:
    // Reads the ONNX model at `path` and prepares what `outputName` needs. Throws InferenceError.
    static std::unique_ptr<DnnlNetwork> load(const QString &path, const std::string &outputName);

    ~DnnlNetwork() override;
    DnnlNetwork(const DnnlNetwork &) = delete;
    DnnlNetwork &operator=(const DnnlNetwork &) = delete;

    InferenceGraph::Shape inputShape() const override;
    InferenceGraph::Shape outputShape() const override;
    void run(const float *input, float *output) override;

    // Bytes held for the tensors of one run, and for the weights.
    std::size_t arenaBytes() const;
    std::size_t weightBytes() const;

private:
    class Plan;

    DnnlNetwork();

    std::unique_ptr<LowPriorityWorker> m_worker;
    std::unique_ptr<Plan> m_plan;
};
