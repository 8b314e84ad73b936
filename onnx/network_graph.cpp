#include "onnx/network_graph.h"

#include <cmath>
#include <string>
#include <vector>

#include "job/activation_table.h"
#include "job/failure.h"
#include "job/messages.h"
#include "onnx/class_outputs.h"

namespace tarvex::onnx {

namespace {

// The activation table's functions; the engine computes the same for each code (a code outside
// the table as 0).
using job::LayerFunctions;
using Function = job::ActivationFunction;

std::string Scalar(GraphBuilder& graph, const std::string& name, double value) {
  return graph.Constant(name, {}, {value});
}

// The engine's own formulas, clamps included, so that the runtime rounds as the engine does
// everywhere but in e^x: 1 / (1 + e^-x) for the logistic, 1 - 2 / (e^2x + 1) for tanh.
std::string Activate(GraphBuilder& graph, Function function, const std::string& x,
                     const std::string& name) {
  const std::string one = Scalar(graph, "one", 1.0);
  switch (function) {
    case Function::kCentredLogistic:
    case Function::kLogistic: {
      const std::string clipped = graph.Add(
          "Clip",
          {x, Scalar(graph, "logistic_lowest", -700.0), Scalar(graph, "logistic_highest", 40.0)},
          name + "_clip");
      const std::string negated = graph.Add("Neg", {clipped}, name + "_neg");
      const std::string power = graph.Add("Exp", {negated}, name + "_exp");
      const std::string denominator = graph.Add("Add", {one, power}, name + "_denominator");
      if (function == Function::kLogistic) return graph.Add("Div", {one, denominator}, name);
      const std::string logistic = graph.Add("Div", {one, denominator}, name + "_logistic");
      return graph.Add("Sub", {logistic, Scalar(graph, "half", 0.5)}, name);
    }
    case Function::kTanh: {
      const std::string two = Scalar(graph, "two", 2.0);
      const std::string clipped = graph.Add(
          "Clip", {x, Scalar(graph, "tanh_lowest", -20.0), Scalar(graph, "tanh_highest", 20.0)},
          name + "_clip");
      const std::string doubled = graph.Add("Mul", {two, clipped}, name + "_double");
      const std::string power = graph.Add("Exp", {doubled}, name + "_exp");
      const std::string denominator = graph.Add("Add", {power, one}, name + "_denominator");
      const std::string ratio = graph.Add("Div", {two, denominator}, name + "_ratio");
      return graph.Add("Sub", {one, ratio}, name);
    }
    case Function::kLinear:
      break;
  }
  return x;
}

// value = (value - from_a) / (from_b - from_a) x (to_b - to_a) + to_a per column, in the order of
// job::ColumnRescaler, so that the same doubles come out. A constant column (equal bounds on
// either side) becomes to_a: (value - 0) / 1 x 0 + to_a is to_a for every finite value.
struct ColumnMapping {
  std::vector<double> from, from_span, to_span, to;

  void Add(double from_a, double from_b, double to_a, double to_b) {
    const bool constant = to_a == to_b || from_a == from_b;
    const double from_difference = from_b - from_a;
    const double to_difference = to_b - to_a;
    if (!constant && !(std::isfinite(from_difference) && std::isfinite(to_difference))) {
      throw job::Failure(job::kOverflow);
    }
    from.push_back(constant ? 0.0 : from_a);
    from_span.push_back(constant ? 1.0 : from_difference);
    to_span.push_back(constant ? 0.0 : to_difference);
    to.push_back(to_a);
  }
};

std::string Rescale(GraphBuilder& graph, const ColumnMapping& mapping, const std::string& x,
                    const std::string& prefix, const std::string& name) {
  const std::vector<std::int64_t> dims = {static_cast<std::int64_t>(mapping.from.size())};
  const std::string shifted =
      graph.Add("Sub", {x, graph.Constant(prefix + "_from", dims, mapping.from)}, prefix + "_sub");
  const std::string divided =
      graph.Add("Div", {shifted, graph.Constant(prefix + "_from_span", dims, mapping.from_span)},
                prefix + "_div");
  const std::string stretched =
      graph.Add("Mul", {divided, graph.Constant(prefix + "_to_span", dims, mapping.to_span)},
                prefix + "_mul");
  return graph.Add("Add", {stretched, graph.Constant(prefix + "_to", dims, mapping.to)}, name);
}

// Gemm with transB: the rows of the engine's vector are the neurons, each its weights from the
// layer below and then its bias, which is how Gemm's B and C take them.
std::string Layer(GraphBuilder& graph, const std::string& x, const double* rows,
                  std::int32_t neurons, std::int32_t below, Function function,
                  const std::string& name) {
  const std::size_t count = static_cast<std::size_t>(neurons);
  const std::size_t width = static_cast<std::size_t>(below);
  const std::string weights =
      graph.View(name + "_weights", {neurons, below}, {rows, count, width, width + 1});
  const std::string biases =
      graph.View(name + "_biases", {neurons}, {rows + width, count, 1, width + 1});
  const std::string sum =
      graph.Add("Gemm", {x, weights, biases}, name + "_sum", {{"transB", std::int64_t{1}}});
  return Activate(graph, function, sum, name);
}

// The raw columns as the network takes them. Encodings of other kinds of columns (one-hot
// categories, fill values for missing cells) are inputs of their own, joined before the scaling.
std::string ScaledInputs(GraphBuilder& graph, const NetworkDescription& network) {
  // Each column's maximum goes to the low end of the range and its minimum to the high end.
  ColumnMapping scaling;
  for (std::int32_t j = 0; j < network.inputs; ++j) {
    scaling.Add(network.input_max[j], network.input_min[j], network.scale_low, network.scale_high);
  }
  graph.AddInput({std::string(kInputName),
                  graph.type(),
                  {std::string(kRowsName), network.inputs},
                  "the input columns in the units of the training inputs"});
  return Rescale(graph, scaling, std::string(kInputName), "input_scaling", "scaled_inputs");
}

// The output layer's values, in the activation's range; a classifier's sums, which the softmax
// takes whatever the code's output function is.
std::string LayerOutputs(GraphBuilder& graph, const NetworkDescription& network,
                         const std::string& scaled, const double* hidden_rows,
                         const std::string& prefix) {
  LayerFunctions functions = job::LayerFunctionsOfCode(network.activation);
  if (!network.classes.empty()) functions.output = Function::kLinear;
  const double* output_rows = hidden_rows + std::size_t{1} * network.hidden * (network.inputs + 1);
  const std::string hidden = Layer(graph, scaled, hidden_rows, network.hidden, network.inputs,
                                   functions.hidden, prefix + "hidden");
  return Layer(graph, hidden, output_rows, network.outputs, network.hidden, functions.output,
               prefix + "output");
}

// An ensemble's mean: of the output layers' values, or of a classifier's probabilities, as the
// engine averages them.
std::string MemberMean(GraphBuilder& graph, const NetworkDescription& network,
                       const std::string& scaled) {
  const std::size_t each = network.weights.size() / static_cast<std::size_t>(network.members);
  std::vector<std::string> values;
  for (std::int32_t k = 0; k < network.members; ++k) {
    const std::string prefix = "member" + std::to_string(k + 1) + "_";
    std::string value =
        LayerOutputs(graph, network, scaled,
                     network.weights.data() + static_cast<std::size_t>(k) * each, prefix);
    if (!network.classes.empty()) {
      value = graph.Add("Softmax", {value}, prefix + "probabilities", {{"axis", std::int64_t{-1}}});
    }
    values.push_back(value);
  }
  // Added in member order and divided, as the engine does: runtimes have Mean only for floats.
  std::string sum = values.front();
  for (std::size_t k = 1; k < values.size(); ++k) {
    sum = graph.Add("Add", {sum, values[k]}, "member_sum" + std::to_string(k));
  }
  return graph.Add("Div", {sum, Scalar(graph, "member_count", network.members)},
                   network.classes.empty() ? "output" : std::string(kProbabilitiesName));
}

// The outputs of a numeric job.
void UnscaledOutputs(GraphBuilder& graph, const NetworkDescription& network,
                     const std::string& values) {
  ColumnMapping unscaling;
  for (std::int32_t k = 0; k < network.outputs; ++k) {
    unscaling.Add(network.scale_low, network.scale_high, network.output_max[k],
                  network.output_min[k]);
  }
  Rescale(graph, unscaling, values, "output_unscaling", std::string(kOutputName));
  graph.AddOutput({std::string(kOutputName),
                   graph.type(),
                   {std::string(kRowsName), network.outputs},
                   "the predicted output columns in the units of the training outputs"});
}

}  // namespace

void AddNetwork(GraphBuilder& graph, const NetworkDescription& network) {
  const std::int64_t inputs = network.inputs, hidden = network.hidden, outputs = network.outputs;
  if (inputs < 1 || hidden < 1 || outputs < 1 || network.members < 1 ||
      network.weights.size() !=
          static_cast<std::size_t>(hidden * (inputs + 1) + outputs * (hidden + 1)) *
              static_cast<std::size_t>(network.members) ||
      network.input_min.size() != static_cast<std::size_t>(inputs) ||
      network.input_max.size() != static_cast<std::size_t>(inputs)) {
    throw job::Failure(job::kSubscriptOutOfRange);
  }
  const bool classifier = !network.classes.empty();
  if (classifier ? network.classes.size() != static_cast<std::size_t>(outputs)
                 : network.output_min.size() != static_cast<std::size_t>(outputs) ||
                       network.output_max.size() != static_cast<std::size_t>(outputs)) {
    throw job::Failure(job::kSubscriptOutOfRange);
  }
  const std::string scaled = ScaledInputs(graph, network);
  if (network.members > 1) {
    const std::string mean = MemberMean(graph, network, scaled);
    if (classifier) {
      AddClassLabels(graph, mean, network.classes);
    } else {
      UnscaledOutputs(graph, network, mean);
    }
    return;
  }
  const std::string values = LayerOutputs(graph, network, scaled, network.weights.data(), "");
  if (classifier) {
    AddClassOutputs(graph, values, network.classes);
  } else {
    UnscaledOutputs(graph, network, values);
  }
}

}  // namespace tarvex::onnx
