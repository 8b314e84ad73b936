// The engine's results do not depend on how it was built or on the processor's vector width:
// the component, a baseline -O2 build and an -O3 -march=native build train the same jobs to the
// same bits.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "engine/weight_generator.h"
#include "tests/support/test_support.h"
#include "training/network_engine.h"

namespace tarvex::engine {
namespace {

using training::NetworkEngine;

struct Job {
  std::int32_t inputs;
  std::int32_t hidden;
  std::int32_t outputs;
  std::int16_t af;
  int rows;
  int epochs;
  bool classifier = false;  // softmax outputs, one-hot targets, rows of weight 1 and 2.5
};

// Shapes that fill their vectors and shapes that do not, one and several outputs, every code.
constexpr Job kJobs[] = {
    {3, 8, 1, 0, 12, 40}, {3, 8, 1, 1, 12, 40}, {3, 8, 1, 2, 12, 40},   {3, 8, 1, 3, 12, 40},
    {3, 8, 1, 4, 12, 40}, {3, 8, 1, 5, 12, 40}, {13, 28, 1, 1, 30, 10}, {13, 28, 1, 2, 30, 10},
    {7, 9, 3, 2, 20, 15}, {7, 9, 3, 4, 20, 15}, {1, 1, 1, 0, 5, 50},    {50, 102, 5, 0, 8, 3},
    {3, 8, 2, 0, 12, 40, true}, {7, 9, 3, 2, 20, 15, true}, {13, 28, 5, 1, 30, 10, true},
    {50, 102, 19, 4, 8, 3, true},
};

// Every weight delta of the training, then every weight, then the predictions of fresh rows.
std::vector<double> Results(const std::string& path, const Job& job) {
  void* library = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (library == nullptr) {
    ADD_FAILURE() << dlerror();
    return {};
  }
  using Entry = NetworkEngine* (*)();
  auto create = reinterpret_cast<Entry>(dlsym(library, training::kNetworkEngineEntry));
  std::vector<double> results;
  {
    std::unique_ptr<NetworkEngine> engine(create());
    const std::array<std::int32_t, 2> sizes = {job.hidden, job.outputs};
    if (job.classifier) {
      engine->CreateClassifier(job.inputs, job.hidden, job.outputs, 0.5, job.af);
    } else {
      engine->CreateNetwork(2, job.inputs, sizes, 0.5, job.af);
    }
    engine->SetLearningRate(0.4);
    engine->SetMomentum(0.7);
    WeightGenerator generator(static_cast<std::uint64_t>(job.inputs * 1000 + job.af));
    std::vector<double> inputs(static_cast<std::size_t>(job.rows * job.inputs));
    std::vector<double> targets(static_cast<std::size_t>(job.rows * job.outputs));
    for (double& v : inputs) v = generator.NextWeight(0.9);
    for (double& v : targets) v = 0.45 + generator.NextWeight(0.4);
    if (job.classifier) {
      std::fill(targets.begin(), targets.end(), 0.0);
      for (int r = 0; r < job.rows; ++r) targets[static_cast<std::size_t>(r * job.outputs + r % job.outputs)] = 1.0;
    }
    for (int epoch = 0; epoch < job.epochs; ++epoch) {
      for (int r = 0; r < job.rows; ++r) {
        const std::span<const double> row_inputs(&inputs[static_cast<std::size_t>(r * job.inputs)],
                                                 static_cast<std::size_t>(job.inputs));
        const std::span<const double> row_targets(
            &targets[static_cast<std::size_t>(r * job.outputs)],
            static_cast<std::size_t>(job.outputs));
        if (job.classifier) {
          engine->TrainClassSample(row_inputs, row_targets, r % 3 == 0 ? 2.5 : 1.0);
        } else {
          engine->TrainSample(row_inputs, row_targets);
        }
        results.push_back(engine->GetMinWeightDelta());
      }
    }
    const std::span<const double> weights = engine->GetWeights();
    results.insert(results.end(), weights.begin(), weights.end());
    std::vector<double> row(static_cast<std::size_t>(job.inputs));
    for (int r = 0; r < 4; ++r) {
      for (double& v : row) v = generator.NextWeight(1.2);
      engine->SetInputs(row);
      engine->ComputeOutputs();
      const std::span<const double> outputs = engine->GetOutputs();
      results.insert(results.end(), outputs.begin(), outputs.end());
    }
  }
  dlclose(library);
  return results;
}

TEST(EngineBuilds, BaselineAndNativeBuildsGiveTheComponentsBits) {
  const std::string component = (testing::BinFolder() / training::kNetworkEngineLibrary).string();
  for (const Job& job : kJobs) {
    SCOPED_TRACE(std::to_string(job.inputs) + "-" + std::to_string(job.hidden) + "-" +
                 std::to_string(job.outputs) + " af=" + std::to_string(job.af));
    const std::vector<double> expected = Results(component, job);
    ASSERT_FALSE(expected.empty());
    for (const char* build : {TARVEX_ENGINE_BASELINE, TARVEX_ENGINE_NATIVE}) {
      const std::vector<double> got = Results(build, job);
      ASSERT_EQ(got.size(), expected.size()) << build;
      // NOLINTNEXTLINE(bugprone-suspicious-memory-comparison): the bits are the point
      EXPECT_EQ(std::memcmp(got.data(), expected.data(), got.size() * sizeof(double)), 0) << build;
    }
  }
}

}  // namespace
}  // namespace tarvex::engine
