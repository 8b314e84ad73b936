// The one record of a job's settings and run state. RunMain owns it and hands it to every stage
// by reference; field names are the option keys that users write.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "job/data_matrix.h"

namespace tarvex::job {

// A trained network as a network file gives it: the layout and every weight and bias, in the
// order of the engine's GetWeights.
struct NetworkWeights {
  std::int32_t InputCount = 0;
  std::int32_t HiddenCount = 0;
  std::int32_t OutputCount = 0;
  std::vector<double> Weights;
};

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

  std::string nof;              // network output file: the trained network is saved there
  std::string nif;              // network input file: predictions come from the network in it
  NetworkWeights SavedNetwork;  // the network read from nif
};

void SetDefaults(JobSettings& job);

// A job with nif predicts with a saved network and trains nothing.
inline bool TrainsNetwork(const JobSettings& job) { return job.nif.empty(); }
// A training job with nof and without pof saves the network and predicts nothing.
inline bool PredictsOutputs(const JobSettings& job) {
  return !(job.nif.empty() && !job.nof.empty() && job.pof.empty());
}

}  // namespace tarvex::job
