#include "engine/activation.h"

#include "engine/activation_lanes.h"
#include "engine/clones.h"

namespace tarvex::engine {

LayerActivations ActivationsForCode(std::int16_t code) {
  switch (code) {
    case 1:
      return {Activation::kLogistic, Activation::kLogistic};
    case 2:
      return {Activation::kTanh, Activation::kTanh};
    case 3:
      return {Activation::kCentredLogistic, Activation::kLinear};
    case 4:
      return {Activation::kLogistic, Activation::kLinear};
    case 5:
      return {Activation::kTanh, Activation::kLinear};
    default:
      return {Activation::kCentredLogistic, Activation::kCentredLogistic};
  }
}

TARVEX_ENGINE_CLONES
void Activate(Activation function, double* values, std::size_t count) {
  std::size_t i = 0;
  for (; i + kLanes <= count; i += kLanes)
    Store(values + i, Activated(function, Load<Lanes>(values + i)));
  // The tail goes through the same vector code, so no value depends on its position.
  if (i < count)
    StorePart(values + i, count - i, Activated(function, LoadPart(values + i, count - i)));
}

TARVEX_ENGINE_CLONES
void ExpInPlace(double* values, std::size_t count) {
  std::size_t i = 0;
  for (; i + kLanes <= count; i += kLanes) Store(values + i, Exp(Load<Lanes>(values + i)));
  if (i < count) StorePart(values + i, count - i, Exp(LoadPart(values + i, count - i)));
}

}  // namespace tarvex::engine
