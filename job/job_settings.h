// The one record of a job's settings and run state. RunMain owns it and hands it to every stage
// by reference; field names are the option keys that users write.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "job/data_matrix.h"
#include "job/table_encoding.h"
#include "job/training_results.h"

namespace tarvex::job {

// How far the reading of the options got. Until they are read, a run writes no summary and no
// report; until the number options are accepted, the summary shows /vf, /es, /sd and /cv as
// written (a summary or report that may not be written is the job's SummaryRefused or
// ReportRefused).
enum class OptionsState { kNotRead, kRead, kNumbersAccepted };

struct JobSettings {
  double lr = 0;        // learning rate
  double m = 0;         // momentum
  double wd = 0;        // target minimum weight delta, percent
  std::int32_t ep = 0;  // limit of epochs
  double iw = 0;        // initial weights range
  std::int16_t af = 0;  // activation-function code

  DataMatrix TrainingInputs;     // scaled
  DataMatrix TrainingOutputs;    // scaled
  DataMatrix PredictionInputs;   // scaled
  DataMatrix PredictionOutputs;  // in the units of the training outputs

  BoundedVector TrainingInputMin;
  BoundedVector TrainingInputMax;
  BoundedVector TrainingOutputMin;
  BoundedVector TrainingOutputMax;

  std::int32_t n = 0;  // hidden-layer size; 0 means 2 x inputs + 2

  std::string tif, tof, pif, pof;  // file paths
  std::string tifh, tofh, pifh;    // selectors of the three data files
  std::string pos;                 // output address
  std::string ini;                 // parameter file
  std::string log;                 // run log; empty means nothing is logged

  double ScaleLow = 0;
  double ScaleHigh = 0;

  std::int32_t LastEpoch = 0;
  double LastMinWeightDelta = 0;

  std::string tiv, tov, piv;  // direct values

  std::string DecimalSeparator;

  std::string nof;               // network output file: the trained network is saved there
  std::string nif;               // network input file: predictions come from the network in it
  NetworkWeights SavedNetwork;   // the network read from nif
  TrainingRecord SavedTraining;  // how the network of nif was trained

  // The ONNX model file, and whether a float model is written beside it ("1"; checked with the
  // options) and where.
  std::string onnx, onnxf, OnnxFloatFile;
  NetworkWeights TrainedNetwork;  // the trained network, kept for the ONNX export

  // Validation data: files, selectors and direct values as for the training data.
  std::string vif, vof, vifh, vofh, viv, vov;
  // Held-out fraction, patience and seed as written; ReadCommandLine checks them into the
  // numbers below once every option is read, so that a bad value can be logged.
  std::string vf, es, sd;
  double ValidationFraction = 0;  // 0: no rows held out
  std::int32_t Patience = 0;      // 0: no early stopping
  // /es=auto: Patience is the rule's floor, and grows with the best epoch (training/stop_rule.h).
  bool PatienceFitsCurve = false;
  std::optional<std::uint32_t> Seed;
  std::string lcf, sof;  // learning-curve and run-summary files
  std::string rof;       // report file (HTML)
  // rof or sof cannot be written without harm (one of the job's own files, a folder, a pipe):
  // that file is not written, the other one still is.
  bool ReportRefused = false;
  bool SummaryRefused = false;
  // Cross-validation: the number of folds as written, and checked (0: none).
  std::string cv;
  std::int32_t Folds = 0;
  // /refit as written, and checked: after early stopping or cross-validation, the network that
  // predicts is trained again on every training row for the epochs found.
  std::string refit;
  bool Refit = false;
  // With /refit and /vf: the training rows as they were before any was held out (scaled; the
  // outputs as given where kept), which the refit network trains on.
  DataMatrix RefitInputs, RefitOutputs, RefitOutputValues;
  // /ens as written, and checked: the number of networks whose mean output predicts (1: one).
  std::string ens;
  std::int32_t EnsembleSize = 1;

  DataMatrix ValidationInputs;   // scaled
  DataMatrix ValidationOutputs;  // scaled
  // The outputs as given, for the error figures: kept only when a job asks for figures.
  DataMatrix TrainingOutputValues;
  DataMatrix ValidationOutputValues;
  // The training inputs as given: kept only for cross-validation, whose folds scale their own.
  DataMatrix TrainingInputValues;

  // Classification: the task, the class weights and the probabilities option as written.
  std::string task, cw, pp;
  // Once the training outputs are read: the classes in class order, and whether every label was
  // a number (then sorted by value). TrainingOutputs and ValidationOutputs hold one column of 0
  // and 1 per class, unscaled; PredictionOutputs one probability per class.
  std::vector<std::string> Classes;
  bool ClassesAreNumbers = false;
  std::vector<double> ClassWeights;  // one per class; empty: every row weighs 1
  // Rows left out for a blank label.
  std::int64_t UnlabelledTrainingRows = 0;
  std::int64_t UnlabelledValidationRows = 0;

  // Tables with categories and missing cells: /cat, /na, /mv and /mvi as written; once the
  // training inputs are read (or the network file), their encoding and what the rows held.
  std::string cat, na, mv, mvi;
  TableEncoding Encoding;
  DataProfile Profile;
  // The encoded training and prediction inputs before their missing cells are filled (NaN):
  // /vf fills them again with the values of the rows trained on.
  DataMatrix UnfilledTrainingInputs, UnfilledPredictionInputs;

  OptionsState Options = OptionsState::kNotRead;
  TrainingResults Results;
};

void SetDefaults(JobSettings& job);

inline TrainingSettings TrainingSettingsOf(const JobSettings& job) {
  return {job.lr, job.m, job.wd, job.iw, job.ep, job.n, job.af};
}
// A file given for a data set wins over values given for it.
inline DataSource DataSourceOf(const std::string& file, const std::string& selector) {
  if (file.empty()) return {};
  return {SourceKind::kFile, file, selector};
}
// The job's own training, as it stands once it ended.
inline TrainingRecord TrainingRecordOf(const JobSettings& job) {
  return {TrainingSettingsOf(job),
          job.Results.refit ? job.Results.refit->last_epoch : job.LastEpoch,
          DataSourceOf(job.tif, job.tifh), DataSourceOf(job.tof, job.tofh)};
}

// /cat, /na, /mv or /mvi given: the data sets are read as tables of numbers, texts and blanks.
inline bool UsesTableOptions(const JobSettings& job) {
  return !(job.cat.empty() && job.na.empty() && job.mv.empty() && job.mvi.empty());
}

// A job with nif predicts with a saved network and trains nothing.
inline bool TrainsNetwork(const JobSettings& job) { return job.nif.empty(); }
// A job without pof that saves its trained network (nof) or exports a network (onnx) predicts
// nothing.
inline bool PredictsOutputs(const JobSettings& job) {
  if (!job.pof.empty()) return true;
  return !(job.nif.empty() && !job.nof.empty()) && job.onnx.empty();
}
// Validation rows come from files or values of their own, or are held out of the training rows.
inline bool HasValidationSource(const JobSettings& job) {
  return !(job.vif.empty() && job.viv.empty() && job.vof.empty() && job.vov.empty());
}
inline bool HasValidationData(const JobSettings& job) {
  return HasValidationSource(job) || job.ValidationFraction > 0;
}
// The epoch whose network predicts: the best with early stopping, else the last.
inline std::int32_t KeptEpoch(std::int32_t patience, std::int32_t best_epoch,
                              std::int32_t last_epoch) {
  return patience > 0 && best_epoch > 0 ? best_epoch : last_epoch;
}
inline std::int32_t KeptEpoch(const JobSettings& job) {
  return KeptEpoch(job.Patience, job.Results.best_epoch, job.LastEpoch);
}
// The error figures are computed for the validation entry of the log, the run summary and the
// report.
inline bool WantsFigures(const JobSettings& job) {
  return HasValidationData(job) || !job.sof.empty() || !job.rof.empty() || job.Folds > 0;
}

}  // namespace tarvex::job
