// The graph of a trained network: the raw input columns scaled into the activation's range as
// Tarvex scales them, the hidden and the output layer with the job's activation code, and the
// outputs mapped back into the units of the training outputs, or for a classifier its class
// probabilities and labels.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "onnx/graph_builder.h"

namespace tarvex::onnx {

inline constexpr std::string_view kInputName = "inputs";
inline constexpr std::string_view kOutputName = "outputs";
inline constexpr std::string_view kRowsName = "N";  // the symbolic number of rows

// A trained network and the scaling that belongs to it; the spans stay alive until the model is
// encoded, since the layers' constants are read from them.
struct NetworkDescription {
  std::int32_t inputs = 0, hidden = 0, outputs = 0;
  std::span<const double> weights;  // in the engine's order (job::NetworkWeights)
  std::int16_t activation = 0;  // the job's af
  double scale_low = 0, scale_high = 0;
  std::span<const double> input_min, input_max, output_min, output_max;  // one per column
  // A classifier's labels in class order, one per output neuron; empty for a numeric network,
  // whose outputs are unscaled. A classifier needs no output ranges.
  std::span<const std::string> classes = {};
  // An ensemble's networks, whose weights follow one another: the graph averages their outputs
  // (a classifier's probabilities).
  std::int32_t members = 1;
};

// Adds the network to the graph: the graph input "inputs" [N, inputs] and the graph output
// "outputs" [N, outputs], both of the builder's element type; for a classifier the outputs of
// AddClassOutputs instead of "outputs". Throws job::Failure when the
// weights do not fit the layout or a range is too wide for the arithmetic ("Overflow").
void AddNetwork(GraphBuilder& graph, const NetworkDescription& network);

}  // namespace tarvex::onnx
