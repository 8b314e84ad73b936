// The encoder against the protobuf library: the bytes of a model made once with onnx.helper
// (make_helper_model.py), and the refusal of a model beyond one protobuf message.
#include "onnx/model_proto.h"

#include <gtest/gtest.h>
#include <sys/mman.h>

#include "job/failure.h"
#include "onnx/graph_builder.h"
#include "onnx/network_graph.h"
#include "onnx/protobuf_writer.h"
#include "tests/support/test_support.h"

namespace tarvex::onnx {
namespace {

TEST(ModelProtoTest, EncodesTheBytesOfOnnxHelper) {
  // The weights as the engine keeps them: each row its weights, then its bias.
  const double rows[] = {0.1, -2.5e-300, 0.5, 1e300, -0.0, -1.0 / 3.0};
  const double half = 0.5;
  Model model;
  model.producer_name = "Tarvex";
  model.producer_version = "0.1";
  model.doc_string = "fixture";
  Graph& graph = model.graph;
  graph.name = "fixture";
  graph.doc_string = "a small classifier";
  graph.nodes = {
      {{"x"},
       {"imputed"},
       "imputed",
       "Imputer",
       {{"replaced_value_float", -1.0f}, {"imputed_value_floats", std::vector<float>{0.5f, 1.5f}}},
       "",
       "ai.onnx.ml"},
      {{"imputed", "weights", "biases"},
       {"sum"},
       "sum",
       "Gemm",
       {{"transB", std::int64_t{1}}, {"alpha", 1.0f}},
       "x W' + b",
       ""},
      {{"sum"}, {"probabilities"}, "probabilities", "Softmax", {{"axis", std::int64_t{1}}}, "", ""},
      {{"probabilities"},
       {"class"},
       "class",
       "ArgMax",
       {{"keepdims", std::int64_t{0}}, {"axis", std::int64_t{1}}},
       "",
       ""},
      {{"class"},
       {"label"},
       "label",
       "LabelEncoder",
       {{"values_strings", std::vector<std::string>{"no", "yes", ""}},
        {"keys_int64s", std::vector<std::int64_t>{0, 1, -7}},
        {"default_string", std::string("?")}},
       "",
       "ai.onnx.ml"},
  };
  graph.initializers = {
      {"weights", ElementType::kDouble, {2, 2}, {rows, 2, 2, 3}},
      {"biases", ElementType::kDouble, {2}, {rows + 2, 2, 1, 3}},
      {"half", ElementType::kFloat, {}, {&half, 1, 1, 1}},
  };
  graph.inputs = {{"x", ElementType::kDouble, {std::string("N"), 2}, "two columns"}};
  graph.outputs = {{"probabilities", ElementType::kDouble, {std::string("N"), 2}, ""},
                   {"label", ElementType::kString, {std::string("N")}, ""}};
  model.opsets = {{"", 13}, {"ai.onnx.ml", 2}};
  model.metadata = {{"tarvex.version", "0.1"}, {"tarvex.options", "{\"af\":0}"}};

  const std::string expected =
      testing::ReadFile(testing::SourceFolder() / "tests/onnx/data/helper_model.onnx");
  ASSERT_FALSE(expected.empty());
  const std::string bytes = EncodeModel(model);
  EXPECT_EQ(bytes.size(), EncodedSize(model));
  EXPECT_EQ(bytes, expected);
}

// Pages that are mapped but never touched cost no memory, so a network of more than 2 GB of
// weights can be described without holding it.
class UntouchedDoubles {
 public:
  explicit UntouchedDoubles(std::size_t count) : bytes_(count * sizeof(double)) {
    void* pages =
        mmap(nullptr, bytes_, PROT_READ, MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
    if (pages != MAP_FAILED) values_ = static_cast<const double*>(pages);
  }
  ~UntouchedDoubles() {
    if (values_ != nullptr) munmap(const_cast<double*>(values_), bytes_);
  }
  std::span<const double> span() const { return {values_, bytes_ / sizeof(double)}; }
  bool mapped() const { return values_ != nullptr; }

 private:
  std::size_t bytes_;
  const double* values_ = nullptr;
};

TEST(ModelProtoTest, RefusesAModelBeyondOneProtobufMessage) {
  // 16,384 inputs and 16,386 hidden neurons: 268,484,610 weights, just past 2 GB as doubles,
  // half of it as floats.
  const std::int32_t inputs = 16384, hidden = 16386, outputs = 1;
  const std::size_t count = static_cast<std::size_t>(hidden) * (inputs + 1) + (hidden + 1);
  UntouchedDoubles weights(count);
  ASSERT_TRUE(weights.mapped());
  const std::vector<double> input_range(inputs, 0.0), output_range(outputs, 0.0);
  GraphBuilder doubles(ElementType::kDouble), floats(ElementType::kFloat);
  for (GraphBuilder* graph : {&doubles, &floats}) {
    AddNetwork(*graph, {inputs, hidden, outputs, weights.span(), 0, -0.4, 0.4, input_range,
                        input_range, output_range, output_range});
  }
  Model model;
  model.graph = doubles.graph();
  // The weights and, within a megabyte, everything else (the scaling takes half of that).
  EXPECT_GT(EncodedSize(model), count * sizeof(double));
  EXPECT_LT(EncodedSize(model), count * sizeof(double) + 1024 * 1024);
  EXPECT_THROW(EncodeModel(model), job::Failure);
  model.graph = floats.graph();
  EXPECT_LT(EncodedSize(model), count * sizeof(float) + 1024 * 1024);
}

}  // namespace
}  // namespace tarvex::onnx
