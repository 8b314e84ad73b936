#include "onnx/graph_builder.h"

namespace tarvex::onnx {

std::string GraphBuilder::Constant(const std::string& name, std::vector<std::int64_t> dims,
                                   std::vector<double> values) {
  if (constants_.contains(name)) return name;
  kept_.push_back(std::move(values));
  return View(name, std::move(dims), TensorValues::Of(kept_.back()));
}

std::string GraphBuilder::View(const std::string& name, std::vector<std::int64_t> dims,
                               TensorValues values) {
  constants_.insert(name);
  graph_.initializers.push_back({name, type_, std::move(dims), values});
  return name;
}

std::string GraphBuilder::Add(const std::string& op_type, std::vector<std::string> inputs,
                              const std::string& name, std::vector<Attribute> attributes,
                              const std::string& domain) {
  if (domain == kMlDomain) uses_ml_ = true;
  graph_.nodes.push_back(
      {std::move(inputs), {name}, name, op_type, std::move(attributes), "", domain});
  return name;
}

std::vector<OperatorSet> GraphBuilder::Opsets() const {
  std::vector<OperatorSet> opsets = {{"", kDefaultOpset}};
  if (uses_ml_) opsets.push_back({std::string(kMlDomain), kMlOpset});
  return opsets;
}

}  // namespace tarvex::onnx
