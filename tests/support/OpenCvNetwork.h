#pragma once

#include "platform/InferenceNetwork.h"

#include <QString>

#include <opencv2/dnn.hpp>

#include <string>

// A model run by OpenCV's dnn module: the reference the oneDNN engine is measured against.
class OpenCvNetwork final : public InferenceNetwork
{
public:
    // Throws cv::Exception when OpenCV cannot import the model.
    OpenCvNetwork(const QString &path, std::string outputName, InferenceGraph::Shape inputShape,
                  InferenceGraph::Shape outputShape);

    // The segmentation model's shapes: 1×3×1024×1024 in, 1×1×1024×1024 out.
    static std::unique_ptr<InferenceNetwork> segmentation(const QString &path);

    InferenceGraph::Shape inputShape() const override { return m_inputShape; }
    InferenceGraph::Shape outputShape() const override { return m_outputShape; }
    void run(const float *input, float *output) override;

private:
    cv::dnn::Net m_net;
    const std::string m_outputName;
    const InferenceGraph::Shape m_inputShape;
    const InferenceGraph::Shape m_outputShape;
};
