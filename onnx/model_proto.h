// ONNX's ModelProto and the messages inside it, as far as Tarvex writes them, and their encoding
// in protobuf's wire format: fields in the order of their numbers and present exactly where
// onnx.helper sets them, so that a model encodes to the bytes that the protobuf library writes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <utility>
#include <variant>
#include <vector>

namespace tarvex::onnx {

// TensorProto.DataType.
enum class ElementType : std::int32_t { kFloat = 1, kInt64 = 7, kString = 8, kDouble = 11 };

// The values of a tensor as they lie in memory: rows of `columns` doubles whose starts are
// `stride` apart, so that a layer's weights are read straight from the network's own vector.
// They go to raw_data as the tensor's element type (float or double), little-endian.
struct TensorValues {
  const double* first = nullptr;
  std::size_t rows = 0;
  std::size_t columns = 0;
  std::size_t stride = 0;

  static TensorValues Of(std::span<const double> values) {
    return {values.data(), 1, values.size(), values.size()};
  }
  std::size_t Count() const { return rows * columns; }
};

struct Tensor {
  std::string name;
  ElementType type = ElementType::kDouble;
  std::vector<std::int64_t> dims;  // none for a scalar
  TensorValues values;
};

struct Attribute {
  std::string name;
  std::variant<std::int64_t, float, std::string, std::vector<std::int64_t>, std::vector<float>,
               std::vector<std::string>>
      value;
};

struct Node {
  std::vector<std::string> inputs;
  std::vector<std::string> outputs;
  std::string name;
  std::string op_type;
  std::vector<Attribute> attributes;  // written in name order, as onnx.helper.make_node sorts them
  std::string doc_string;
  std::string domain;  // empty: the default domain ai.onnx
};

// A dimension of a shape: a size, or a name for a size that the caller chooses (the rows).
using Dimension = std::variant<std::int64_t, std::string>;

struct ValueInfo {
  std::string name;
  ElementType type = ElementType::kDouble;
  std::vector<Dimension> shape;
  std::string doc_string;
};

struct Graph {
  std::vector<Node> nodes;
  std::string name;
  std::vector<Tensor> initializers;
  std::string doc_string;
  std::vector<ValueInfo> inputs;
  std::vector<ValueInfo> outputs;
};

struct OperatorSet {
  std::string domain;  // empty: ai.onnx
  std::int64_t version = 0;
};

struct Model {
  std::int64_t ir_version = 7;
  std::string producer_name;
  std::string producer_version;
  std::string doc_string;
  Graph graph;
  std::vector<OperatorSet> opsets;
  std::vector<std::pair<std::string, std::string>> metadata;
};

// The number of bytes EncodeModel gives, counted without touching a tensor's values.
std::uint64_t EncodedSize(const Model& model);

// The model's bytes. Throws job::Failure when they would exceed what one protobuf message can
// hold (kLargestMessageBytes).
std::string EncodeModel(const Model& model);

}  // namespace tarvex::onnx
