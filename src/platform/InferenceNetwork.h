#pragma once

#include "InferenceGraph.h"

// A trained network that turns one tensor of floats into another, each of a fixed shape.
class InferenceNetwork
{
public:
    virtual ~InferenceNetwork() = default;

    virtual InferenceGraph::Shape inputShape() const = 0;
    virtual InferenceGraph::Shape outputShape() const = 0;

    // `input` and `output` hold dense floats of those shapes, in batch, channel, row, column order.
    // Throws a std::exception (an InferenceError when the message is for the user) on failure.
    virtual void run(const float *input, float *output) = 0;
};
