#include "onnx/class_outputs.h"

#include <cstdint>
#include <vector>

#include "onnx/network_graph.h"

namespace tarvex::onnx {

void AddClassOutputs(GraphBuilder& graph, const std::string& sums,
                     std::span<const std::string> classes) {
  // Softmax subtracts the row's largest sum before e^x, as the engine does, so it neither
  // overflows nor loses the small classes.
  AddClassLabels(
      graph,
      graph.Add("Softmax", {sums}, std::string(kProbabilitiesName), {{"axis", std::int64_t{-1}}}),
      classes);
}

void AddClassLabels(GraphBuilder& graph, const std::string& probabilities,
                    std::span<const std::string> classes) {
  const std::int64_t count = static_cast<std::int64_t>(classes.size());
  // ArgMax on the probabilities, not the sums: Tarvex picks the class from the probabilities,
  // and two sums that differ can round to one probability.
  const std::string index = graph.Add("ArgMax", {probabilities}, "class_index",
                                      {{"axis", std::int64_t{1}},
                                       {"keepdims", std::int64_t{0}},
                                       {"select_last_index", std::int64_t{0}}});
  std::vector<std::int64_t> keys(classes.size());
  for (std::int64_t k = 0; k < count; ++k) keys[static_cast<std::size_t>(k)] = k;
  graph.Add("LabelEncoder", {index}, std::string(kLabelName),
            {{"keys_int64s", std::move(keys)},
             {"values_strings", std::vector<std::string>(classes.begin(), classes.end())}},
            std::string(kMlDomain));
  graph.AddOutput({std::string(kProbabilitiesName),
                   graph.type(),
                   {std::string(kRowsName), count},
                   "the probability of each class, in class order"});
  graph.AddOutput({std::string(kLabelName),
                   ElementType::kString,
                   {std::string(kRowsName)},
                   "the label of the most probable class (the first in class order on a tie)"});
}

}  // namespace tarvex::onnx
