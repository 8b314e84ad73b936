// The outputs of a classifier's graph: the softmax of the output layer's sums as the class
// probabilities, and the label of the most probable class.
#pragma once

#include <span>
#include <string>
#include <string_view>

#include "onnx/graph_builder.h"

namespace tarvex::onnx {

inline constexpr std::string_view kProbabilitiesName = "probabilities";
inline constexpr std::string_view kLabelName = "label";

// Adds the graph outputs "probabilities" [N, classes] of the builder's element type and "label"
// [N] of strings to the graph, from sums [N, classes], the output layer before its activation.
// The label is the class of highest probability, ties going to the first in class order, as
// Tarvex predicts it.
void AddClassOutputs(GraphBuilder& graph, const std::string& sums,
                     std::span<const std::string> classes);
// The same from probabilities [N, classes] already named "probabilities" (an ensemble's mean).
void AddClassLabels(GraphBuilder& graph, const std::string& probabilities,
                    std::span<const std::string> classes);

}  // namespace tarvex::onnx
