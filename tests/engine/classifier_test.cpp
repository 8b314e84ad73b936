// The softmax output layer: its step follows the gradient of the weighted cross-entropy, its
// outputs are probabilities however large the weighted sums grow, and a regression network
// refuses its step (and a classifier the regression step).
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <limits>
#include <numeric>
#include <span>
#include <stdexcept>
#include <string>
#include <vector>

#include "engine/network.h"
#include "engine/weight_generator.h"

namespace tarvex::engine {
namespace {

// Every weight in the order of CopyWeights, through the network's own slots.
double& WeightAt(Network& network, std::size_t index) {
  const std::size_t hidden_row = network.InputCount() + 1;
  const std::size_t hidden_total = network.HiddenCount() * hidden_row;
  if (index < hidden_total) return network.HiddenWeight(index / hidden_row, index % hidden_row);
  index -= hidden_total;
  const std::size_t output_row = network.HiddenCount() + 1;
  return network.OutputWeight(index / output_row, index % output_row);
}

std::vector<double> Weights(const Network& network) {
  std::vector<double> weights(network.WeightCount());
  network.CopyWeights(weights);
  return weights;
}

double CrossEntropy(Network& network, std::span<const double> inputs,
                    std::span<const double> targets, double weight) {
  network.SetInputs(inputs);
  network.ComputeOutputs();
  double error = 0;
  for (std::size_t k = 0; k < targets.size(); ++k) {
    error -= weight * targets[k] * std::log(network.Outputs()[k]);
  }
  return error;
}

TEST(Classifier, OneStepMovesEveryWeightByMinusRateTimesTheCrossEntropyGradient) {
  constexpr double kRate = 0.7;
  const std::array<double, 3> inputs = {0.3, -0.7, 0.55};
  struct Case {
    std::int16_t af;
    std::array<double, 4> targets;
    double weight;
  };
  // Every hidden activation; a one-hot row, a soft target and a weighted row.
  const Case cases[] = {{0, {0, 1, 0, 0}, 1.0}, {1, {1, 0, 0, 0}, 2.5}, {2, {0, 0, 0, 1}, 0.4},
                        {4, {0.2, 0.3, 0.5, 0}, 1.0}, {5, {0, 0, 1, 0}, 3.0}};
  for (const Case& c : cases) {
    SCOPED_TRACE("af=" + std::to_string(c.af));
    Network trained(3, 5, 4, 0.9, c.af, OutputLayer::kSoftmax);
    Network probe(3, 5, 4, 0.9, c.af, OutputLayer::kSoftmax);
    trained.SetLearningRate(kRate);
    trained.SetMomentum(0.0);
    const std::vector<double> before = Weights(trained);
    trained.TrainClassSample(inputs, c.targets, c.weight);
    const std::vector<double> after = Weights(trained);
    double largest = 0;
    for (std::size_t w = 0; w < before.size(); ++w) {
      constexpr double h = 1e-6;
      WeightAt(probe, w) = before[w] + h;
      const double up = CrossEntropy(probe, inputs, c.targets, c.weight);
      WeightAt(probe, w) = before[w] - h;
      const double down = CrossEntropy(probe, inputs, c.targets, c.weight);
      WeightAt(probe, w) = before[w];
      const double expected = -kRate * (up - down) / (2 * h);
      EXPECT_NEAR(after[w] - before[w], expected, 1e-9 + 1e-6 * std::fabs(expected))
          << "weight " << w;
      largest = std::max(largest, std::fabs(expected));
    }
    EXPECT_GT(largest, 1e-3);
  }
}

TEST(Classifier, OutputsAreProbabilitiesThatSumToOneEvenForHugeSums) {
  // Output weights up to 1e6 push the weighted sums far past where e^z overflows.
  for (double scale : {1.0, 1e3, 1e6}) {
    SCOPED_TRACE("scale=" + std::to_string(scale));
    Network network(4, 6, 7, 1.0, 2, OutputLayer::kSoftmax);
    WeightGenerator generator(7);
    for (std::size_t k = 0; k < network.OutputCount(); ++k) {
      for (std::size_t j = 0; j <= network.HiddenCount(); ++j) {
        network.OutputWeight(k, j) = scale * generator.NextWeight(1.0);
      }
    }
    for (int row = 0; row < 20; ++row) {
      std::array<double, 4> inputs;
      for (double& v : inputs) v = generator.NextWeight(1.0);
      network.SetInputs(inputs);
      network.ComputeOutputs();
      const std::span<const double> p = network.Outputs();
      for (double value : p) {
        EXPECT_GE(value, 0.0);
        EXPECT_LE(value, 1.0);
      }
      EXPECT_NEAR(std::accumulate(p.begin(), p.end(), 0.0), 1.0, 1e-12);
    }
  }
}

TEST(Classifier, LearnsThreeClassesOfPointsOnALine) {
  // Classes by the sign and size of one input: separable, but not by one hidden boundary alone.
  Network network(1, 6, 3, 0.5, 2, OutputLayer::kSoftmax);
  network.SetLearningRate(0.2);
  network.SetMomentum(0.5);
  const auto class_of = [](double x) { return x < -0.3 ? 0 : x < 0.3 ? 1 : 2; };
  for (int epoch = 0; epoch < 400; ++epoch) {
    for (int row = 0; row < 21; ++row) {
      const double x = -1.0 + row * 0.1;
      std::array<double, 3> targets = {0, 0, 0};
      targets[static_cast<std::size_t>(class_of(x))] = 1.0;
      network.TrainClassSample(std::array<double, 1>{x}, targets, 1.0);
    }
  }
  int right = 0;
  for (int row = 0; row < 21; ++row) {
    const double x = -1.0 + row * 0.1 + 0.05;
    network.SetInputs(std::array<double, 1>{x});
    network.ComputeOutputs();
    const std::span<const double> p = network.Outputs();
    const auto best = static_cast<int>(std::max_element(p.begin(), p.end()) - p.begin());
    right += best == class_of(x) ? 1 : 0;
  }
  EXPECT_GE(right, 19);
}

TEST(Classifier, EachKindOfNetworkRefusesTheOthersStepAndBadWeights) {
  const std::array<double, 2> inputs = {0.1, 0.2};
  const std::array<double, 2> targets = {1, 0};
  Network classifier(2, 3, 2, 0.5, 0, OutputLayer::kSoftmax);
  Network regression(2, 3, 2, 0.5, 0);
  EXPECT_THROW(classifier.TrainSample(inputs, targets), std::logic_error);
  EXPECT_THROW(regression.TrainClassSample(inputs, targets, 1.0), std::logic_error);
  EXPECT_THROW(classifier.TrainClassSample(inputs, targets,
                                           std::numeric_limits<double>::quiet_NaN()),
               std::invalid_argument);
  EXPECT_THROW(classifier.TrainClassSample(inputs, std::array<double, 3>{1, 0, 0}, 1.0),
               std::out_of_range);
}

}  // namespace
}  // namespace tarvex::engine
