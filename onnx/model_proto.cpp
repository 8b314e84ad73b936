#include "onnx/model_proto.h"

#include <algorithm>
#include <bit>

#include "job/failure.h"
#include "onnx/protobuf_writer.h"
#include "platform/memory.h"

namespace tarvex::onnx {

namespace {

// Field numbers of onnx.proto.
namespace model_field {
constexpr int kIrVersion = 1, kProducerName = 2, kProducerVersion = 3, kDocString = 6, kGraph = 7,
              kOpsetImport = 8, kMetadataProps = 14;
}
namespace opset_field {
constexpr int kDomain = 1, kVersion = 2;
}
namespace entry_field {
constexpr int kKey = 1, kValue = 2;
}
namespace graph_field {
constexpr int kNode = 1, kName = 2, kInitializer = 5, kDocString = 10, kInput = 11, kOutput = 12;
}
namespace node_field {
constexpr int kInput = 1, kOutput = 2, kName = 3, kOpType = 4, kAttribute = 5, kDocString = 6,
              kDomain = 7;
}
namespace attribute_field {
constexpr int kName = 1, kF = 2, kI = 3, kS = 4, kFloats = 7, kInts = 8, kStrings = 9, kType = 20;
}
namespace tensor_field {
constexpr int kDims = 1, kDataType = 2, kName = 8, kRawData = 9;
}
namespace value_info_field {
constexpr int kName = 1, kType = 2, kDocString = 3;
}
namespace type_field {
constexpr int kTensorType = 1;               // TypeProto
constexpr int kElemType = 1, kShape = 2;     // TypeProto.Tensor
constexpr int kDim = 1;                      // TensorShapeProto
constexpr int kDimValue = 1, kDimParam = 2;  // TensorShapeProto.Dimension
}  // namespace type_field

// AttributeProto.AttributeType, in the order of Attribute::value's alternatives.
constexpr std::int64_t kAttributeTypes[] = {2 /* INT */,  1 /* FLOAT */,  3 /* STRING */,
                                            7 /* INTS */, 6 /* FLOATS */, 8 /* STRINGS */};

std::uint64_t ElementBytes(ElementType type) { return type == ElementType::kFloat ? 4 : 8; }

// Little-endian whatever the host, row by row; the bytes of a value are those of its bits.
template <typename Bits, typename Value>
void AppendRows(std::string& out, const TensorValues& v) {
  const std::size_t start = out.size();
  out.resize(start + v.Count() * sizeof(Bits));
  char* next = out.data() + start;
  for (std::size_t row = 0; row < v.rows; ++row) {
    const double* values = v.first + row * v.stride;
    for (std::size_t j = 0; j < v.columns; ++j) {
      const Bits bits = std::bit_cast<Bits>(static_cast<Value>(values[j]));
      // Byte by byte, which compilers turn into one store on a little-endian host.
      for (std::size_t byte = 0; byte < sizeof bits; ++byte) {
        *next++ = static_cast<char>(bits >> (8 * byte));
      }
    }
  }
}

void AppendValues(std::string& out, const Tensor& tensor) {
  if (tensor.type == ElementType::kFloat) {
    AppendRows<std::uint32_t, float>(out, tensor.values);
  } else {
    AppendRows<std::uint64_t, double>(out, tensor.values);
  }
}

template <typename Sink>
void EncodeTensor(Sink& out, const Tensor& tensor) {
  for (std::int64_t dim : tensor.dims) out.Varint(tensor_field::kDims, dim);
  out.Varint(tensor_field::kDataType, static_cast<std::int64_t>(tensor.type));
  out.String(tensor_field::kName, tensor.name);
  out.Bytes(tensor_field::kRawData, tensor.values.Count() * ElementBytes(tensor.type),
            [&tensor](std::string& bytes) { AppendValues(bytes, tensor); });
}

template <typename Sink>
void EncodeAttribute(Sink& out, const Attribute& attribute) {
  using namespace attribute_field;
  out.String(kName, attribute.name);
  const auto& value = attribute.value;
  if (const float* f = std::get_if<float>(&value))
    out.Fixed32(kF, std::bit_cast<std::uint32_t>(*f));
  if (const std::int64_t* i = std::get_if<std::int64_t>(&value)) out.Varint(kI, *i);
  if (const std::string* s = std::get_if<std::string>(&value)) out.String(kS, *s);
  // proto2 repeated numbers are not packed: one field per value.
  if (const auto* floats = std::get_if<std::vector<float>>(&value)) {
    for (float f : *floats) out.Fixed32(kFloats, std::bit_cast<std::uint32_t>(f));
  }
  if (const auto* ints = std::get_if<std::vector<std::int64_t>>(&value)) {
    for (std::int64_t i : *ints) out.Varint(kInts, i);
  }
  if (const auto* strings = std::get_if<std::vector<std::string>>(&value)) {
    for (const std::string& s : *strings) out.String(kStrings, s);
  }
  out.Varint(kType, kAttributeTypes[value.index()]);
}

template <typename Sink>
void EncodeNode(Sink& out, const Node& node) {
  using namespace node_field;
  for (const std::string& input : node.inputs) out.String(kInput, input);
  for (const std::string& output : node.outputs) out.String(kOutput, output);
  if (!node.name.empty()) out.String(kName, node.name);
  out.String(kOpType, node.op_type);
  std::vector<const Attribute*> attributes;
  for (const Attribute& attribute : node.attributes) attributes.push_back(&attribute);
  std::sort(attributes.begin(), attributes.end(),
            [](const Attribute* a, const Attribute* b) { return a->name < b->name; });
  for (const Attribute* attribute : attributes) {
    out.Message(kAttribute, [attribute](auto& sink) { EncodeAttribute(sink, *attribute); });
  }
  if (!node.doc_string.empty()) out.String(kDocString, node.doc_string);
  if (!node.domain.empty()) out.String(kDomain, node.domain);
}

template <typename Sink>
void EncodeValueInfo(Sink& out, const ValueInfo& info) {
  using namespace type_field;
  out.String(value_info_field::kName, info.name);
  out.Message(value_info_field::kType, [&info](auto& type) {
    type.Message(kTensorType, [&info](auto& tensor) {
      tensor.Varint(kElemType, static_cast<std::int64_t>(info.type));
      tensor.Message(kShape, [&info](auto& shape) {
        for (const Dimension& dimension : info.shape) {
          shape.Message(kDim, [&dimension](auto& dim) {
            if (const std::int64_t* size = std::get_if<std::int64_t>(&dimension)) {
              dim.Varint(kDimValue, *size);
            } else {
              dim.String(kDimParam, std::get<std::string>(dimension));
            }
          });
        }
      });
    });
  });
  if (!info.doc_string.empty()) out.String(value_info_field::kDocString, info.doc_string);
}

template <typename Sink>
void EncodeGraph(Sink& out, const Graph& graph) {
  using namespace graph_field;
  for (const Node& node : graph.nodes) {
    out.Message(kNode, [&node](auto& sink) { EncodeNode(sink, node); });
  }
  out.String(kName, graph.name);
  for (const Tensor& tensor : graph.initializers) {
    out.Message(kInitializer, [&tensor](auto& sink) { EncodeTensor(sink, tensor); });
  }
  if (!graph.doc_string.empty()) out.String(kDocString, graph.doc_string);
  for (const ValueInfo& input : graph.inputs) {
    out.Message(kInput, [&input](auto& sink) { EncodeValueInfo(sink, input); });
  }
  for (const ValueInfo& output : graph.outputs) {
    out.Message(kOutput, [&output](auto& sink) { EncodeValueInfo(sink, output); });
  }
}

template <typename Sink>
void Encode(Sink& out, const Model& model) {
  using namespace model_field;
  out.Varint(kIrVersion, model.ir_version);
  if (!model.producer_name.empty()) out.String(kProducerName, model.producer_name);
  if (!model.producer_version.empty()) out.String(kProducerVersion, model.producer_version);
  if (!model.doc_string.empty()) out.String(kDocString, model.doc_string);
  out.Message(kGraph, [&model](auto& sink) { EncodeGraph(sink, model.graph); });
  for (const OperatorSet& opset : model.opsets) {
    // onnx.helper.make_opsetid sets the domain even when it is empty.
    out.Message(kOpsetImport, [&opset](auto& sink) {
      sink.String(opset_field::kDomain, opset.domain);
      sink.Varint(opset_field::kVersion, opset.version);
    });
  }
  for (const auto& entry : model.metadata) {
    out.Message(kMetadataProps, [&entry](auto& sink) {
      sink.String(entry_field::kKey, entry.first);
      sink.String(entry_field::kValue, entry.second);
    });
  }
}

}  // namespace

std::uint64_t EncodedSize(const Model& model) {
  ProtobufSizer size;
  Encode(size, model);
  return size.bytes();
}

std::string EncodeModel(const Model& model) {
  const std::uint64_t size = EncodedSize(model);
  if (size > kLargestMessageBytes) {
    throw job::Failure("The ONNX model would take " + platform::ByteSizeText(size) +
                       ", more than one protobuf message can hold (2 GiB)");
  }
  std::string bytes;
  bytes.reserve(size);
  ProtobufWriter writer(bytes);
  Encode(writer, model);
  return bytes;
}

}  // namespace tarvex::onnx
