// The cost of validation per epoch: a training epoch, the same epoch followed by the pass over a
// validation set of a quarter of the training rows (a fifth of all rows), the bare forward
// passes over those rows, and the epoch with the learning curve recorded besides. Ratios are
// against the training epoch measured in the same run.
#include <cmath>
#include <cstdio>
#include <functional>
#include <vector>

#include "bench/bench_support.h"
#include "training/engine_loader.h"
#include "training/training_run.h"

namespace tarvex::bench {
namespace {

using job::DataMatrix;
using job::Index;

struct Shape {
  const char* name;
  int inputs, hidden, outputs;
  Index rows;
  int epochs;
};

DataMatrix Values(Index rows, int columns, double phase) {
  DataMatrix matrix(0, rows - 1, 0, columns - 1);
  for (Index r = 0; r < rows; ++r) {
    for (int c = 0; c < columns; ++c) {
      matrix.At(r, c) = 0.4 * std::sin(0.37 * static_cast<double>(r) * (c + 1) + phase);
    }
  }
  return matrix;
}

// Processor time of this thread: the machine is shared, and time spent waiting for a core is
// not the program's.
double ThreadSeconds() {
  timespec now{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}

// The shortest of seven runs of each, taken in turns so that a busy moment hurts all alike; in
// seconds per repetition.
std::vector<double> Shortest(int repetitions, const std::vector<std::function<void()>>& runs) {
  std::vector<double> best(runs.size(), 1e300);
  for (int round = 0; round < 7; ++round) {
    for (size_t i = 0; i < runs.size(); ++i) {
      const double start = ThreadSeconds();
      runs[i]();
      best[i] = std::min(best[i], (ThreadSeconds() - start) / repetitions);
    }
  }
  return best;
}

void Measure(const Shape& shape) {
  job::JobSettings job = FreshJob(".");
  const Index validation_rows = shape.rows / 4;
  const DataMatrix inputs = Values(shape.rows, shape.inputs, 0.1);
  const DataMatrix targets = Values(shape.rows, shape.outputs, 0.7);
  const DataMatrix validation_inputs = Values(validation_rows, shape.inputs, 1.3);
  const DataMatrix validation_outputs = Values(validation_rows, shape.outputs, 1.9);
  job.TrainingOutputMin = job::BoundedVector(0, shape.outputs - 1);
  job.TrainingOutputMax = job::BoundedVector(0, shape.outputs - 1);
  for (int c = 0; c < shape.outputs; ++c) {
    job.TrainingOutputMin.At(c) = -10;
    job.TrainingOutputMax.At(c) = 10;
  }
  const training::OutputMapping mapping(job);
  training::EngineComponent component(TARVEX_ENGINE_FOLDER);
  training::NetworkEngine& engine = component.engine();

  training::TrainingPlan plan;
  plan.input_count = shape.inputs;
  plan.hidden_size = shape.hidden;
  plan.output_size = shape.outputs;
  plan.settings.lr = 0.3;
  plan.settings.m = 0.6;
  plan.settings.wd = -1;  // never reached: every run does all its epochs
  plan.settings.iw = 0.3;
  plan.settings.ep = shape.epochs;
  const training::TrainingRows training{&inputs, &targets, &targets};
  const training::LabelledRows validation{&validation_inputs, &validation_outputs};
  auto train = [&](const training::LabelledRows* rows, bool curve) {
    training::TrainingPlan run = plan;
    run.record_curve = curve;
    training::TrainingOutcome outcome;
    training::TrainNetwork(engine, run, training, rows, mapping, outcome);
  };

  const std::vector<double> epochs =
      Shortest(shape.epochs, {[&] { train(nullptr, false); }, [&] { train(&validation, false); },
                              [&] { train(&validation, true); }});
  // The pass as the epoch loop makes it, and the bare forward passes over the same rows.
  training::ErrorSums sums(static_cast<size_t>(shape.outputs));
  const int passes = 50;
  const std::vector<double> rows =
      Shortest(passes, {[&] {
                          for (int p = 0; p < passes; ++p) {
                            sums.Clear();
                            sums.AddPredictions(engine, validation, mapping);
                          }
                        },
                        [&] {
                          for (int p = 0; p < passes; ++p) {
                            for (Index r = 0; r < validation_rows; ++r) {
                              engine.SetInputs(validation_inputs.Row(r));
                              engine.ComputeOutputs();
                              engine.GetOutputs();
                            }
                          }
                        }});
  const double epoch = epochs[0], pass = rows[0], forward = rows[1];
  std::printf("%-22s %8.1f us %8.1f us %8.1f us %6.3f %6.3f %8.3f %8.3f\n", shape.name, epoch * 1e6,
              pass * 1e6, forward * 1e6, pass / epoch, pass / forward, (epochs[1] - epoch) / epoch,
              (epochs[2] - epochs[1]) / epoch);
}

}  // namespace
}  // namespace tarvex::bench

int main() {
  using tarvex::bench::Shape;
  std::printf("Validation rows: a quarter of the training rows (a fifth of all rows).\n");
  std::printf(
      "Processor time per epoch and per pass; p/ep and p/fwd: the pass against the\n"
      "training epoch and against bare forward passes over the validation rows; +val and\n"
      "+curve: what the whole epoch loop gains with validation, then with the curve.\n");
  std::printf("%-22s %11s %11s %11s %6s %6s %8s %8s\n", "shape (in-hidden-out)", "epoch",
              "val. pass", "forward", "p/ep", "p/fwd", "+val", "+curve");
  for (const Shape& shape : {Shape{"3-8-1, 2000 rows", 3, 8, 1, 2000, 200},
                             Shape{"10-22-1, 2000 rows", 10, 22, 1, 2000, 100},
                             Shape{"50-102-3, 1000 rows", 50, 102, 3, 1000, 20}}) {
    tarvex::bench::Measure(shape);
  }
  return 0;
}
