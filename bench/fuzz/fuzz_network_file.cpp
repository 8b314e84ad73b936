// The network file reader: any text is refused with its reason or read, and what is read is
// written and read back to the same network, bit for bit.
#include <cstdlib>
#include <cstring>

#include "bench/fuzz/fuzz_support.h"
#include "netfile/network_file.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace tarvex::netfile;
  NetworkFile file;
  try {
    file = ParseNetworkFile(tarvex::fuzz::AsText(data, size));
  } catch (const NetworkFileError&) {
    return 0;  // any other exception escapes and fails the target
  }
  const NetworkFile again = ParseNetworkFile(NetworkFileText(file));
  const std::vector<double>& weights = file.network.Weights;
  if (again.network.Weights.size() != weights.size() ||
      std::memcmp(again.network.Weights.data(), weights.data(), weights.size() * sizeof(double)) !=
          0 ||
      again.input_min != file.input_min || again.output_max != file.output_max ||
      again.activation != file.activation || again.training.inputs.selector != file.training.inputs.selector) {
    std::abort();
  }
  return 0;
}
