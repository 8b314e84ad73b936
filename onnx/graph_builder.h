// Putting a graph together node by node: constants of the model's element type, nodes whose
// output is named after the node, and the operator sets that the nodes use. The network's graph
// and the parts that later jobs add (encodings of input columns, class outputs) share it.
#pragma once

#include <cstdint>
#include <deque>
#include <set>
#include <string>
#include <vector>

#include "onnx/model_proto.h"

namespace tarvex::onnx {

inline constexpr std::int64_t kDefaultOpset = 13;
inline constexpr std::string_view kMlDomain = "ai.onnx.ml";
inline constexpr std::int64_t kMlOpset = 2;

class GraphBuilder {
 public:
  // Every constant and every computed tensor of the graph is of type (float or double).
  explicit GraphBuilder(ElementType type) : type_(type) {}
  GraphBuilder(const GraphBuilder&) = delete;
  GraphBuilder& operator=(const GraphBuilder&) = delete;

  ElementType type() const { return type_; }

  // A constant that the builder keeps; one name gives one tensor, so a shared constant (1, 0.5)
  // is stored once. Returns its name.
  std::string Constant(const std::string& name, std::vector<std::int64_t> dims,
                       std::vector<double> values);
  // A constant whose values the caller keeps alive until the model is encoded.
  std::string View(const std::string& name, std::vector<std::int64_t> dims, TensorValues values);

  // A node of one output, which takes the node's name; returns that name.
  std::string Add(const std::string& op_type, std::vector<std::string> inputs,
                  const std::string& name, std::vector<Attribute> attributes = {},
                  const std::string& domain = "");

  void AddInput(ValueInfo input) { graph_.inputs.push_back(std::move(input)); }
  void AddOutput(ValueInfo output) { graph_.outputs.push_back(std::move(output)); }

  // The graph so far; its constants point into the builder, which must outlive every use.
  const Graph& graph() const { return graph_; }
  Graph& graph() { return graph_; }
  // The default operator set, and ai.onnx.ml where a node of it was added.
  std::vector<OperatorSet> Opsets() const;

 private:
  ElementType type_;
  Graph graph_;
  std::deque<std::vector<double>> kept_;  // a deque keeps the values in place as it grows
  std::set<std::string> constants_;
  bool uses_ml_ = false;
};

}  // namespace tarvex::onnx
