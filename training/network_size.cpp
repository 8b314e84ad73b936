#include "training/network_size.h"

#include <string>

#include "job/failure.h"
#include "platform/memory.h"

namespace tarvex::training {

namespace {

std::string Count(std::int64_t count, const char* noun) {
  return std::to_string(count) + " " + noun + (count == 1 ? "" : "s");
}

}  // namespace

void CheckNetworkFits(std::int64_t input_count, std::int64_t hidden_size, std::int64_t output_size,
                      std::int64_t prediction_rows) {
  if (input_count < 1 || hidden_size < 1 || output_size < 1) return;
  // Every weight and its previous change (momentum), each row padded by up to eight doubles for
  // vector loads, the layers' working values, and the predicted outputs. Long double keeps the
  // product of absurd sizes from wrapping.
  const long double weights = static_cast<long double>(hidden_size) * (input_count + 9) +
                              static_cast<long double>(output_size) * (hidden_size + 9);
  const long double doubles =
      2 * weights + 4 * static_cast<long double>(input_count + hidden_size + output_size) +
      static_cast<long double>(prediction_rows) * output_size;
  const long double needed = doubles * sizeof(double);
  const std::uint64_t available = platform::MemoryTheProcessCanGet();
  if (needed <= static_cast<long double>(available)) return;
  const std::uint64_t shown = needed >= 1.8e19L ? UINT64_MAX : static_cast<std::uint64_t>(needed);
  throw job::Failure("Out of memory: a network of " + Count(input_count, "input") + ", " +
                     Count(hidden_size, "hidden neuron") + " and " +
                     Count(output_size, "output neuron") + " needs " +
                     platform::ByteSizeText(shown) +
                     " to train and predict, but the process can "
                     "get " +
                     platform::ByteSizeText(available));
}

}  // namespace tarvex::training
