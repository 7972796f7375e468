#pragma once

#include <onnx/onnx_pb.h>

#include <QString>

#include <array>
#include <cstdint>
#include <string>
#include <vector>

// Small ONNX models for tests, built node by node: graphs that take an inference engine down each of
// its paths, and graphs it must refuse. Weights are made up but reproducible.
class OnnxModelBuilder
{
public:
    using Shape = std::array<std::int64_t, 4>;

    struct ConvolutionOptions
    {
        std::int64_t kernel = 3;
        std::int64_t stride = 1;
        std::int64_t dilation = 1;
        std::int64_t pad = 1;
        bool bias = true;
    };

    // A float input named "input" of `shape`, operator set 15.
    explicit OnnxModelBuilder(const Shape &shape);

    // Adds a node and returns the name of its first output.
    std::string add(const std::string &op, const std::vector<std::string> &inputs,
                    const std::vector<onnx::AttributeProto> &attributes = {});
    // A convolution with made-up weights (and bias) stored in the model.
    std::string convolution(const std::string &input, std::int64_t inChannels, std::int64_t outChannels,
                            const ConvolutionOptions &options);
    std::string convolution(const std::string &input, std::int64_t inChannels, std::int64_t outChannels)
    {
        return convolution(input, inChannels, outChannels, ConvolutionOptions{});
    }
    // A list of integers stored in the model.
    std::string integers(const std::vector<std::int64_t> &values);
    // Marks `name`, of `shape`, as an output of the graph.
    void output(const std::string &name, const Shape &shape);

    onnx::ModelProto &model() { return m_model; }
    // False when the file cannot be written.
    bool write(const QString &path) const;

    static onnx::AttributeProto integerAttribute(const std::string &name, std::int64_t value);
    static onnx::AttributeProto integersAttribute(const std::string &name,
                                                  const std::vector<std::int64_t> &values);
    static onnx::AttributeProto textAttribute(const std::string &name, const std::string &value);

private:
    std::string fresh(const char *prefix);

    onnx::ModelProto m_model;
    int m_names = 0;
    unsigned m_seed = 1;
};
