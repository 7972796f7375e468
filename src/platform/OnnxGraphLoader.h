#pragma once

#include "InferenceGraph.h"

#include <QString>

#include <string>

// Reads an ONNX model file into an InferenceGraph for the inference engine.
//
// The arithmetic on tensor shapes that feeds the resize sizes (Shape, Slice, Concat, Constant,
// Identity on constants) is worked out here, once, so that the graph holds only image operations.
// Only the layers that `outputName` needs are kept; a ReLU that follows a convolution, and an Add of a
// convolution's result to an earlier tensor, become part of that convolution. Anything the engine
// does not run (an operator, an attribute value, a data type, a shape it cannot work out) makes the
// load fail with an InferenceError that names it: a model is never run half understood.
namespace OnnxGraphLoader {

InferenceGraph load(const QString &path, const std::string &outputName);

} // namespace OnnxGraphLoader
