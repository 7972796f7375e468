#include "OnnxModelBuilder.h"

#include <QFile>

#include <cmath>
#include <random>

OnnxModelBuilder::OnnxModelBuilder(const Shape &shape)
{
    m_model.set_ir_version(8);
    onnx::OperatorSetIdProto *opset = m_model.add_opset_import();
    opset->set_domain("");
    opset->set_version(15);
    onnx::ValueInfoProto *input = m_model.mutable_graph()->add_input();
    input->set_name("input");
    onnx::TypeProto::Tensor *type = input->mutable_type()->mutable_tensor_type();
    type->set_elem_type(onnx::TensorProto::FLOAT);
    for (const std::int64_t dim : shape)
        type->mutable_shape()->add_dim()->set_dim_value(dim);
}

std::string OnnxModelBuilder::fresh(const char *prefix)
{
    return prefix + std::to_string(++m_names);
}

std::string OnnxModelBuilder::add(const std::string &op, const std::vector<std::string> &inputs,
                                  const std::vector<onnx::AttributeProto> &attributes)
{
    onnx::NodeProto *node = m_model.mutable_graph()->add_node();
    node->set_op_type(op);
    node->set_name(fresh("node"));
    for (const std::string &input : inputs)
        node->add_input(input);
    const std::string output = fresh("tensor");
    node->add_output(output);
    for (const onnx::AttributeProto &attribute : attributes)
        *node->add_attribute() = attribute;
    return output;
}

std::string OnnxModelBuilder::convolution(const std::string &input, std::int64_t inChannels,
                                          std::int64_t outChannels, const ConvolutionOptions &options)
{
    std::mt19937 random(m_seed++);
    // Weights of the usual magnitude, so that values neither vanish nor blow up through a few layers.
    std::normal_distribution<float> weight(
        0.f, std::sqrt(2.f / float(inChannels * options.kernel * options.kernel)));
    std::uniform_real_distribution<float> bias(-0.1f, 0.1f);

    onnx::TensorProto *weights = m_model.mutable_graph()->add_initializer();
    weights->set_name(fresh("weights"));
    weights->set_data_type(onnx::TensorProto::FLOAT);
    for (const std::int64_t dim : {outChannels, inChannels, options.kernel, options.kernel})
        weights->add_dims(dim);
    for (std::int64_t i = 0; i < outChannels * inChannels * options.kernel * options.kernel; ++i)
        weights->add_float_data(weight(random));
    std::vector<std::string> inputs{input, weights->name()};
    if (options.bias) {
        onnx::TensorProto *biases = m_model.mutable_graph()->add_initializer();
        biases->set_name(fresh("bias"));
        biases->set_data_type(onnx::TensorProto::FLOAT);
        biases->add_dims(outChannels);
        for (std::int64_t i = 0; i < outChannels; ++i)
            biases->add_float_data(bias(random));
        inputs.push_back(biases->name());
    }
    const std::int64_t pad = options.pad;
    return add("Conv", inputs,
               {integersAttribute("kernel_shape", {options.kernel, options.kernel}),
                integersAttribute("strides", {options.stride, options.stride}),
                integersAttribute("dilations", {options.dilation, options.dilation}),
                integersAttribute("pads", {pad, pad, pad, pad})});
}

std::string OnnxModelBuilder::integers(const std::vector<std::int64_t> &values)
{
    onnx::TensorProto *tensor = m_model.mutable_graph()->add_initializer();
    tensor->set_name(fresh("integers"));
    tensor->set_data_type(onnx::TensorProto::INT64);
    tensor->add_dims(std::int64_t(values.size()));
    for (const std::int64_t value : values)
        tensor->add_int64_data(value);
    return tensor->name();
}

void OnnxModelBuilder::output(const std::string &name, const Shape &shape)
{
    onnx::ValueInfoProto *output = m_model.mutable_graph()->add_output();
    output->set_name(name);
    onnx::TypeProto::Tensor *type = output->mutable_type()->mutable_tensor_type();
    type->set_elem_type(onnx::TensorProto::FLOAT);
    for (const std::int64_t dim : shape)
        type->mutable_shape()->add_dim()->set_dim_value(dim);
}

bool OnnxModelBuilder::write(const QString &path) const
{
    QFile file(path);
    const std::string bytes = m_model.SerializeAsString();
    return file.open(QIODevice::WriteOnly) &&
           file.write(bytes.data(), qint64(bytes.size())) == qint64(bytes.size());
}

onnx::AttributeProto OnnxModelBuilder::integerAttribute(const std::string &name, std::int64_t value)
{
    onnx::AttributeProto attribute;
    attribute.set_name(name);
    attribute.set_type(onnx::AttributeProto::INT);
    attribute.set_i(value);
    return attribute;
}

onnx::AttributeProto OnnxModelBuilder::integersAttribute(const std::string &name,
                                                         const std::vector<std::int64_t> &values)
{
    onnx::AttributeProto attribute;
    attribute.set_name(name);
    attribute.set_type(onnx::AttributeProto::INTS);
    for (const std::int64_t value : values)
        attribute.add_ints(value);
    return attribute;
}

onnx::AttributeProto OnnxModelBuilder::textAttribute(const std::string &name, const std::string &value)
{
    onnx::AttributeProto attribute;
    attribute.set_name(name);
    attribute.set_type(onnx::AttributeProto::STRING);
    attribute.set_s(value);
    return attribute;
}
