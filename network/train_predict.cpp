#include "network/train_predict.h"

#include <array>
#include <exception>
#include <limits>
#include <optional>

#include "job/progress.h"
#include "job/run_log.h"
#include "network/engine_loader.h"
#include "network/network_size.h"
#include "network/network_store.h"
#include "network/prediction.h"
#include "network/report.h"
#include "platform/paths.h"

namespace tarvex::network {

using job::BoundedVector;
using job::DataMatrix;
using job::Failure;
using job::Index;
using job::JobSettings;
using job::WriteLog;

namespace {

std::int32_t CheckedInt32(Index value) {
  if (value < std::numeric_limits<std::int32_t>::min() ||
      value > std::numeric_limits<std::int32_t>::max()) {
    throw Failure(job::kOverflow);
  }
  return static_cast<std::int32_t>(value);
}

}  // namespace

bool TrainAndPredict(JobSettings& job) {
  bool result = false;
  // Owned by the stage: released when it ends, whether it succeeded or failed.
  std::optional<EngineComponent> component;
  try {
    const std::int64_t start = SecondsOfDay();
    const DataMatrix& inputs = job.TrainingInputs;
    const DataMatrix& targets = job.TrainingOutputs;
    const DataMatrix& prediction_inputs = job.PredictionInputs;

    const std::int32_t input_count = CheckedInt32(inputs.ColumnCount());
    const std::int32_t hidden_size =
        job.n != 0 ? job.n : CheckedInt32(2 * static_cast<Index>(input_count) + 2);
    const std::int32_t output_size = CheckedInt32(targets.ColumnCount());
    const std::array<std::int32_t, 2> layer_sizes = {hidden_size, output_size};

    // Before anything is allocated: a network too large ends with a reason, not by the kernel.
    CheckNetworkFits(input_count, hidden_size, output_size,
                     job::PredictsOutputs(job) ? prediction_inputs.RowCount() : 0);
    component.emplace(platform::ProgramFolder());
    network::NetworkEngine& engine = component->engine();
    engine.CreateNetwork(2, input_count, layer_sizes, job.iw, job.af);

    // The prediction row has the training inputs' column bounds, so prediction inputs with other
    // bounds fail on their first value.
    BoundedVector prediction_row(inputs.ColumnLow(), inputs.ColumnHigh());
    if (job::PredictsOutputs(job)) {
      job.PredictionOutputs = DataMatrix(prediction_inputs.RowLow(), prediction_inputs.RowHigh(),
                                         targets.ColumnLow(), targets.ColumnHigh());
    }
    engine.SetLearningRate(job.lr);
    engine.SetMomentum(job.m);

    // Rows in ascending order, the same in every epoch. A row is handed over in place: the row
    // of the targets is taken at the inputs' row index, so matrices with different row bounds
    // fail in the first epoch.
    job::ShowTraining(job.ep, job.wd);
    for (std::int64_t epoch = 1; epoch <= job.ep; ++epoch) {
      for (Index row = inputs.RowLow(); row <= inputs.RowHigh(); ++row) {
        engine.TrainSample(inputs.Row(row), targets.Row(row));
        job.LastMinWeightDelta = engine.GetMinWeightDelta();
      }
      job.LastEpoch = static_cast<std::int32_t>(epoch);
      job::ShowEpoch(epoch, job.LastMinWeightDelta);
      if (engine.IsTargetReached(job.wd)) break;
      // Nothing to yield to between epochs: the program has no window and no event loop.
    }

    if (job::PredictsOutputs(job)) PredictRows(job, engine, prediction_row);
    // A network that cannot be saved fails the run, as the user asked for the file.
    if (!job.nof.empty()) SaveNetworkFile(job, hidden_size, engine.GetWeights());
    // From here on the predictions stand: a failing report still lets the output stage run.
    result = true;

    WriteLog(job.log, TrainingReport(job, hidden_size, output_size, SecondsSince(start)),
             job::LogEntry::kReport);
  } catch (const std::exception& failure) {
    WriteLog(job.log, job::DescribeFailure(failure));
  }
  component.reset();
  return result;
}

}  // namespace tarvex::network
