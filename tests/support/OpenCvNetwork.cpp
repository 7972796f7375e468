#include "OpenCvNetwork.h"

#include <QFile>

#include <cstring>
#include <numeric>

OpenCvNetwork::OpenCvNetwork(const QString &path, std::string outputName, InferenceGraph::Shape inputShape,
                             InferenceGraph::Shape outputShape)
    : m_net(cv::dnn::readNetFromONNX(QFile::encodeName(path).toStdString()))
    , m_outputName(std::move(outputName))
    , m_inputShape(inputShape)
    , m_outputShape(outputShape)
{}

std::unique_ptr<InferenceNetwork> OpenCvNetwork::segmentation(const QString &path)
{
    return std::make_unique<OpenCvNetwork>(path, "output", InferenceGraph::Shape{1, 3, 1024, 1024},
                                           InferenceGraph::Shape{1, 1, 1024, 1024});
}

void OpenCvNetwork::run(const float *input, float *output)
{
    const int dims[4]{int(m_inputShape[0]), int(m_inputShape[1]), int(m_inputShape[2]), int(m_inputShape[3])};
    m_net.setInput(cv::Mat(4, dims, CV_32F, const_cast<float *>(input)));
    const cv::Mat result = m_net.forward(m_outputName);
    const std::size_t count =
        std::accumulate(m_outputShape.begin(), m_outputShape.end(), std::size_t(1), std::multiplies<>());
    CV_Assert(result.isContinuous() && result.type() == CV_32F && result.total() == count);
    std::memcpy(output, result.ptr<float>(), count * sizeof(float));
}
