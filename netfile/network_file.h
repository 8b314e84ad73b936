// The network file: a trained network kept as JSON together with the scaling that belongs to it,
// so that a later run predicts with it exactly as the run that trained it did, and a person or
// another program can read it.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "job/job_settings.h"
#include "netfile/network_file_error.h"

namespace tarvex::netfile {

inline constexpr std::string_view kNetworkFileFormat = "tarvex-network";
inline constexpr std::int64_t kNetworkFileVersion = 1;
// A classifier's file: version 1 and a "classification" field with the classes in class order.
// Regression networks are still written as version 1, which every Tarvex reads.
inline constexpr std::int64_t kClassifierFileVersion = 2;
// A network whose inputs are encoded from a table (categories, fill values): version 3 with an
// "encoding" field, and "classification" for a classifier. Networks without an encoding keep
// their versions.
inline constexpr std::int64_t kEncodedFileVersion = 3;
// An ensemble (/ens): version 4 with "members", each network's "hidden_layer" and
// "output_layer", in place of the one network's; "classification" and "encoding" where they
// belong. A job of one network keeps the versions above.
inline constexpr std::int64_t kEnsembleFileVersion = 4;
inline constexpr std::int64_t kMostEnsembleMembers = 1000;

// Everything a network file holds. The column ranges have one value per input or output column.
struct NetworkFile {
  job::NetworkWeights network;
  std::int16_t activation = 0;
  double scale_low = 0;
  double scale_high = 0;
  std::vector<double> input_min, input_max, output_min, output_max;
  // A classifier's classes in class order, one per output; empty for a regression network.
  std::vector<std::string> classes;
  bool labels_are_numbers = false;
  // How raw input columns become the network's inputs; without columns the inputs are numbers.
  job::TableEncoding encoding;

  // How the network came about; kept for people, not needed to predict.
  std::string saved;  // UTC, as 2026-12-07T15:11:09Z
  double last_weight_delta = 0;
  job::TrainingRecord training;
};

// The JSON text of the file. Numbers read back to the same doubles, with "." under every locale.
std::string NetworkFileText(const NetworkFile& file);

// Reads a network file's text: every field must be there and no other, every count must match
// the layout and every number must be finite; the text must keep within the bounds of
// ParseBoundedJson, with the memory that the process can get. Throws NetworkFileError.
NetworkFile ParseNetworkFile(std::string_view text);

// The most bytes a weight takes in the file as written (eight blanks of indent, the longest
// shortest-digits double, a comma and a line end) and in the engine (the weight and its change).
inline constexpr std::uint64_t kMostTextPerWeight = 34;
inline constexpr std::uint64_t kBytesPerWeightToPredict = 16;

// Refuses, before it is read, a file larger than that of the largest network that a process
// with memory bytes can read and predict with. Throws NetworkFileError ("Out of memory: ...").
void CheckNetworkFileSize(std::uint64_t file_size, std::uint64_t memory);

}  // namespace tarvex::netfile
