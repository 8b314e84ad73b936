// The engine as tarvex sees it: through NetworkEngine, and from the built shared library.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "engine/weight_generator.h"
#include "tests/support/test_support.h"
#include "training/network_engine.h"

namespace tarvex::engine {
namespace {

using training::NetworkEngine;

std::unique_ptr<NetworkEngine> NewEngine() {
  std::unique_ptr<NetworkEngine> engine(TarvexCreateNetworkEngine());
  if (!engine) throw std::runtime_error("no engine");
  return engine;
}

// Runs action, which must throw; returns the description.
std::string Failure(const std::function<void()>& action) {
  try {
    action();
  } catch (const std::exception& failure) {
    return failure.what();
  }
  ADD_FAILURE() << "no exception";
  return "";
}

TEST(EngineInterface, OperationsBeforeCreateNetworkThrow) {
  auto engine = NewEngine();
  const std::vector<double> values(3);
  const std::vector<std::function<void()>> operations = {
      [&] { engine->SetMomentum(0.6); },
      [&] { engine->SetLearningRate(0.3); },
      [&] { engine->GetOutputs(); },
      [&] { engine->SetInputs(values); },
      [&] { engine->ComputeOutputs(); },
      [&] { engine->IsTargetReached(0.001); },
      [&] { engine->TrainSample(values, values); },
      [&] { engine->GetMinWeightDelta(); },
      [&] { engine->GetWeights(); },
      [&] { engine->SetWeights(values); },
      [&] { engine->SeedWeights(1); },
  };
  for (std::size_t i = 0; i < operations.size(); ++i) {
    EXPECT_NE(Failure(operations[i]).find("CreateNetwork"), std::string::npos) << "operation " << i;
  }
}

TEST(EngineInterface, CreateNetworkRejectsBadLayouts) {
  struct Row {
    std::int32_t layer_count;
    std::int32_t input_count;
    std::vector<std::int32_t> sizes;
    const char* expected;
  };
  const Row rows[] = {
      {1, 3, {8, 1}, "2 layers"},
      {3, 3, {8, 1}, "2 layers"},
      {2, 0, {8, 1}, "at least one input"},
      {2, -1, {8, 1}, "at least one input"},
      {2, 3, {0, 1}, "at least one hidden neuron"},
      {2, 3, {-4, 1}, "at least one hidden neuron; -4 was given"},
      {2, 3, {8, 0}, "at least one output neuron"},
      {2, 3, {8}, "Subscript out of range"},
      {2, 3, {8, 1, 1}, "Subscript out of range"},
      {2, INT32_MAX, {INT32_MAX, 1}, "Out of memory"},
  };
  for (const Row& row : rows) {
    auto engine = NewEngine();
    const std::string description = Failure(
        [&] { engine->CreateNetwork(row.layer_count, row.input_count, row.sizes, 0.3, 0); });
    EXPECT_NE(description.find(row.expected), std::string::npos) << description;
    // A failed creation leaves no network behind.
    EXPECT_NE(Failure([&] { engine->ComputeOutputs(); }).find("CreateNetwork"), std::string::npos);
  }
}

TEST(EngineInterface, MismatchedVectorsAreSubscriptErrors) {
  auto engine = NewEngine();
  const std::array<std::int32_t, 2> sizes = {5, 2};
  engine->CreateNetwork(2, 3, sizes, 0.3, 0);
  const std::vector<double> two(2), three(3), four(4);
  EXPECT_EQ(Failure([&] { engine->SetInputs(four); }),
            "Subscript out of range: 4 input values given to a network with 3 inputs");
  EXPECT_EQ(Failure([&] { engine->TrainSample(two, two); }),
            "Subscript out of range: 2 input values given to a network with 3 inputs");
  EXPECT_EQ(Failure([&] { engine->TrainSample(three, three); }),
            "Subscript out of range: 3 target values given to a network with 2 outputs");
  EXPECT_EQ(Failure([&] { engine->SetWeights(four); }),
            "Subscript out of range: 4 weights given to a network with 32 weights");
  EXPECT_EQ(engine->GetWeights().size(), 32u);
}

// Seeding draws what the fixed start would with that seed: the fixed seed gives the network
// CreateNetwork made, other seeds other weights in the same range.
TEST(EngineInterface, SeedWeightsRedrawsFromTheGivenSeed) {
  const std::array<std::int32_t, 2> sizes = {4, 2};
  auto weights = [&](std::optional<std::uint64_t> seed) {
    auto engine = NewEngine();
    engine->CreateNetwork(2, 3, sizes, 0.7, 0);
    if (seed) engine->SeedWeights(*seed);
    std::span<const double> drawn = engine->GetWeights();
    return std::vector<double>(drawn.begin(), drawn.end());
  };
  const std::vector<double> fixed = weights(std::nullopt);
  EXPECT_EQ(weights(WeightGenerator::kSeed), fixed);
  for (std::uint64_t seed : {0u, 1u, 4294967295u}) {
    const std::vector<double> seeded = weights(seed);
    EXPECT_EQ(seeded, weights(seed));
    EXPECT_NE(seeded, fixed);
    for (double w : seeded) EXPECT_TRUE(w >= -0.7 && w <= 0.7) << w;
  }
}

// Right after a step, the outputs are that step's forward pass: the sample's error before it
// was learnt, which the learning curve's training error adds up.
TEST(EngineInterface, OutputsAfterTrainSampleAreThoseBeforeTheStep) {
  auto engine = NewEngine();
  const std::array<std::int32_t, 2> sizes = {5, 2};
  engine->CreateNetwork(2, 3, sizes, 0.5, 2);
  const std::vector<double> inputs = {0.2, -0.4, 0.9}, targets = {0.8, -0.7};
  for (int step = 0; step < 5; ++step) {
    engine->SetInputs(inputs);
    engine->ComputeOutputs();
    const std::span<const double> computed = engine->GetOutputs();
    const std::vector<double> before(computed.begin(), computed.end());
    engine->TrainSample(inputs, targets);
    const std::span<const double> trained = engine->GetOutputs();
    EXPECT_EQ(std::vector<double>(trained.begin(), trained.end()), before) << step;
  }
}

// The training stage's own sequence, on XOR, against the library that tarvex loads.
TEST(EngineInterface, SharedLibraryLoadsAndLearns) {
  const std::string path = (testing::BinFolder() / training::kNetworkEngineLibrary).string();
  void* library = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  ASSERT_NE(library, nullptr) << dlerror();
  using Entry = NetworkEngine* (*)();
  auto create = reinterpret_cast<Entry>(dlsym(library, training::kNetworkEngineEntry));
  ASSERT_NE(create, nullptr) << dlerror();
  {
    std::unique_ptr<NetworkEngine> engine(create());
    ASSERT_NE(engine, nullptr);
    const std::array<std::int32_t, 2> sizes = {6, 1};
    engine->CreateNetwork(2, 2, sizes, 1.0, 2);
    engine->SetLearningRate(0.3);
    engine->SetMomentum(0.6);
    const double rows[4][3] = {
        {-0.9, -0.9, -0.9}, {-0.9, 0.9, 0.9}, {0.9, -0.9, 0.9}, {0.9, 0.9, -0.9}};
    const auto total_error = [&] {
      double error = 0;
      for (const auto& row : rows) {
        engine->SetInputs(std::span(row, 2));
        engine->ComputeOutputs();
        error += std::fabs(engine->GetOutputs()[0] - row[2]);
      }
      return error;
    };
    const double before = total_error();
    for (int epoch = 0; epoch < 1000; ++epoch) {
      for (const auto& row : rows) {
        engine->TrainSample(std::span(row, 2), std::span(row + 2, 1));
        EXPECT_GE(engine->GetMinWeightDelta(), 0.0);
      }
      if (engine->IsTargetReached(0.001)) break;
    }
    EXPECT_LT(total_error(), before / 4);
    EXPECT_NE(Failure([&] { engine->SetInputs(std::vector<double>(5)); }).find("Subscript"),
              std::string::npos);
  }
  EXPECT_EQ(dlclose(library), 0);
}

}  // namespace
}  // namespace tarvex::engine
