#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <variant>
#include <vector>

// A network of image operations on 4-D float tensors (batch, channels, height, width), in the form the
// inference engine runs: every tensor's shape is known, every operation's parameters are plain
// numbers, and only the layers that the output needs are kept, each after the layers it reads.
// OnnxGraphLoader makes one from a model file.
struct InferenceGraph
{
    using Shape = std::array<std::int64_t, 4>; // batch, channels, height, width
    using Pair = std::array<std::int64_t, 2>;  // height, width

    // output = relu?(weights ∗ input + bias) + addend?
    struct Convolution
    {
        Pair kernel{1, 1};
        Pair strides{1, 1};
        Pair dilations{1, 1};
        Pair padBegin{0, 0};
        Pair padEnd{0, 0};
        std::vector<float> weights; // output channels × input channels × kernel height × kernel width
        std::vector<float> bias;    // one per output channel, or empty
        bool relu = false;
        int addend = -1; // a tensor of the output's shape added after the ReLU, or -1
    };
    // The largest value of each window. Windows may reach into the padding (ceil mode included),
    // where there is nothing to take.
    struct MaxPool
    {
        Pair kernel{1, 1};
        Pair strides{1, 1};
        Pair padBegin{0, 0};
        Pair padEnd{0, 0};
    };
    // Bilinear resampling to the output's size with pixel centres aligned (half-pixel), edges clamped.
    struct Resize
    {};
    // The inputs one after the other along the channels.
    struct Concat
    {};
    // The sum of two tensors of one shape.
    struct Add
    {};
    struct Sigmoid
    {};
    struct Relu
    {};
    using Operation = std::variant<Convolution, MaxPool, Resize, Concat, Add, Sigmoid, Relu>;

    struct Tensor
    {
        std::string name;
        Shape shape{};
    };
    struct Layer
    {
        std::string name;
        Operation operation;
        std::vector<int> inputs; // tensor indices (a convolution's addend is not among them)
        int output = -1;
    };

    std::vector<Tensor> tensors;
    std::vector<Layer> layers;
    int input = -1;
    int output = -1;
};
