#pragma once

#include "InferenceNetwork.h"

#include <QString>

#include <memory>
#include <string>

class LowPriorityWorker;

// Runs an InferenceGraph on oneDNN primitives, on the CPU.
//
// Everything is prepared once, when the network is made: one primitive per layer, each reading its
// input in the memory layout it already has where a fast kernel can (a reorder otherwise); 3×3
// convolutions on large images by Winograd's algorithm; a convolution's ReLU and residual Add as
// post-ops; a convolution of a concatenation as one convolution per part adding into one result, so
// that nothing is copied together; the weights reordered once into the kernels' layouts; and one
// memory arena in which tensors (and the kernels' scratch memory) whose lifetimes do not overlap
// share bytes.
//
// Loading and every run happen on the network's own worker thread, below the interface's priority
// (oneDNN's OpenMP threads are made by that thread and inherit its priority), one run at a time;
// callers wait.
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

    // Bytes held for the tensors of a run (with the kernels' scratch memory), and for the weights.
    std::size_t arenaBytes() const;
    std::size_t weightBytes() const;

private:
    class Plan;

    DnnlNetwork();

    std::unique_ptr<LowPriorityWorker> m_worker;
    std::unique_ptr<Plan> m_plan;
};
