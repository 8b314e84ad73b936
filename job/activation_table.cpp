#include "job/activation_table.h"

namespace tarvex::job {

namespace {

using enum ActivationFunction;

constexpr Activation kActivations[] = {
    {0, kCentredLogistic, kCentredLogistic, -0.4, 0.4},
    {1, kLogistic, kLogistic, 0.1, 0.9},
    {2, kTanh, kTanh, -0.9, 0.9},
    {3, kCentredLogistic, kLinear, -0.4, 0.4},
    {4, kLogistic, kLinear, 0.1, 0.9},
    {5, kTanh, kLinear, -0.9, 0.9},
};

// A code computes one function in both layers, or a linear output layer: what --help says of them.
constexpr bool OneFunctionOrLinearOutput() {
  for (const Activation& activation : kActivations) {
    if (activation.output != activation.hidden && activation.output != kLinear) return false;
  }
  return true;
}
static_assert(OneFunctionOrLinearOutput());

}  // namespace

std::span<const Activation> ActivationTable() { return kActivations; }

const Activation* FindActivation(std::int16_t code) {
  for (const Activation& activation : kActivations) {
    if (activation.code == code) return &activation;
  }
  return nullptr;
}

LayerFunctions LayerFunctionsOfCode(std::int16_t code) {
  const Activation* activation = FindActivation(code);
  if (activation == nullptr) activation = FindActivation(0);
  return {activation->hidden, activation->output};
}

std::string_view ActivationName(ActivationFunction function) {
  switch (function) {
    case kCentredLogistic:
      return "logistic - 0.5";
    case kLogistic:
      return "logistic";
    case kTanh:
      return "tanh";
    case kLinear:
      return "linear";
  }
  return "";
}

}  // namespace tarvex::job
