#include "onnx/model_export.h"

#include <exception>
#include <nlohmann/json.hpp>
#include <optional>
#include <vector>

#include "job/class_list.h"
#include "job/failure.h"
#include "job/file_kind.h"
#include "job/job_file.h"
#include "job/messages.h"
#include "job/run_log.h"
#include "onnx/graph_builder.h"
#include "onnx/network_graph.h"
#include "onnx/protobuf_writer.h"
#include "platform/memory.h"
#include "platform/text.h"

namespace tarvex::onnx {

using job::JobSettings;

namespace {

const job::NetworkWeights& NetworkOf(const JobSettings& job) {
  return job::TrainsNetwork(job) ? job.TrainedNetwork : job.SavedNetwork;
}

job::TrainingRecord RecordOf(const JobSettings& job) {
  return job::TrainsNetwork(job) ? job::TrainingRecordOf(job) : job.SavedTraining;
}

// A header selector of a text file names the columns in their order; other sources say nothing
// of names that the job knows.
std::optional<std::vector<std::string>> ColumnNames(const std::string& file,
                                                    const std::string& selector) {
  if (file.empty() || selector.empty()) return std::nullopt;
  const std::optional<job::FileFormat> format = job::FormatOfPath(file);
  if (!format || format->kind != job::FileKind::kText) return std::nullopt;
  std::vector<std::string> names;
  for (std::string_view name : platform::SplitAll(selector, ',')) names.emplace_back(name);
  return names;
}

std::string OptionsText(const JobSettings& job, const job::TrainingRecord& record) {
  nlohmann::ordered_json options;
  if (!job::TrainsNetwork(job)) options["nif"] = job.nif;
  if (job::IsClassification(job)) options["task"] = "classification";
  const job::TrainingSettings& settings = record.settings;
  options["lr"] = settings.lr;
  options["m"] = settings.m;
  options["wd"] = settings.wd;
  options["ep"] = settings.ep;
  options["af"] = settings.af;
  options["n"] = settings.n;
  options["iw"] = settings.iw;
  if (job::TrainsNetwork(job)) {
    if (job.Seed) options["sd"] = *job.Seed;
    if (!job.vf.empty()) options["vf"] = job.vf;
    if (!job.es.empty()) options["es"] = job.es;
    if (!job.cv.empty()) options["cv"] = job.cv;
    if (!job.cw.empty()) options["cw"] = job.cw;
    if (!job.ens.empty()) options["ens"] = job.ens;
  }
  for (const auto& [key, source] : {std::pair{"tif", &record.inputs}, {"tof", &record.outputs}}) {
    options[key] = source->kind == job::SourceKind::kValues ? "values" : source->name;
    if (!source->selector.empty()) options[std::string(key) + "h"] = source->selector;
  }
  options["epochs"] = record.epochs;
  return options.dump();
}

// A label's bytes are the data file's own and need not be UTF-8: JSON takes U+FFFD for a byte
// that is not, where the graph's strings keep them as they are.
std::string JsonList(const std::vector<std::string>& texts) {
  return nlohmann::json(texts).dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

std::string Count(std::int64_t count, const char* noun) {
  return std::to_string(count) + " " + noun + (count == 1 ? "" : "s");
}

}  // namespace

std::string FloatModelPath(std::string_view path) {
  const std::size_t name =
      path.find_last_of("\\/") == std::string_view::npos ? 0 : path.find_last_of("\\/") + 1;
  const std::size_t dot = path.rfind('.');
  const std::size_t end = dot == std::string_view::npos || dot < name ? path.size() : dot;
  return std::string(path.substr(0, end)) + "_float" + std::string(path.substr(end));
}

std::string ModelBytes(const JobSettings& job, ElementType type, std::string_view version) {
  const job::NetworkWeights& network = NetworkOf(job);
  const bool classifier = job::IsClassification(job);
  GraphBuilder graph(type);
  const std::span<const std::string> classes =
      classifier ? std::span<const std::string>(job.Classes) : std::span<const std::string>();
  NetworkDescription description{network.InputCount, network.HiddenCount, network.OutputCount,
                                 network.Weights, job.af, job.ScaleLow, job.ScaleHigh,
                                 job.TrainingInputMin.Values(), job.TrainingInputMax.Values(),
                                 job.TrainingOutputMin.Values(), job.TrainingOutputMax.Values(),
                                 classes};
  description.members = network.MemberCount;
  AddNetwork(graph, description);
  graph.graph().name = "tarvex_network";

  Model model;
  model.producer_name = "Tarvex";
  model.producer_version = version;
  const std::string outputs = std::to_string(network.OutputCount);
  model.doc_string = "A network trained by Tarvex: inputs [N, " +
                     std::to_string(network.InputCount) + "] to " +
                     (classifier ? "probabilities [N, " + outputs + "] and label [N]"
                                 : "outputs [N, " + outputs + "]");
  model.opsets = graph.Opsets();
  const job::TrainingRecord record = RecordOf(job);
  model.metadata.emplace_back("tarvex.version", version);
  model.metadata.emplace_back("tarvex.precision", type == ElementType::kFloat ? "float" : "double");
  if (auto names = ColumnNames(record.inputs.name, record.inputs.selector)) {
    model.metadata.emplace_back("tarvex.input_columns", JsonList(*names));
  }
  if (auto names = ColumnNames(record.outputs.name, record.outputs.selector)) {
    model.metadata.emplace_back("tarvex.output_columns", JsonList(*names));
  }
  if (classifier) model.metadata.emplace_back("tarvex.classes", JsonList(job.Classes));
  model.metadata.emplace_back("tarvex.options", OptionsText(job, record));
  model.graph = graph.graph();

  // Counted before a byte is written, so that a network too large never takes the memory.
  const std::uint64_t size = EncodedSize(model);
  if (size > kLargestMessageBytes) {
    throw job::Failure("The ONNX model of a network of " + Count(network.InputCount, "input") +
                       ", " + Count(network.HiddenCount, "hidden neuron") + " and " +
                       Count(network.OutputCount, "output neuron") + " would take " +
                       platform::ByteSizeText(size) +
                       ", more than one protobuf message can hold (2 GiB)");
  }
  return EncodeModel(model);
}

bool ExportOnnxModels(const JobSettings& job) {
  if (job.onnx.empty()) return true;
  struct File {
    const std::string& path;
    ElementType type;
    const char* what;
  };
  std::vector<File> files = {{job.onnx, ElementType::kDouble, "The ONNX model file"}};
  if (!job.OnnxFloatFile.empty()) {
    files.push_back({job.OnnxFloatFile, ElementType::kFloat, "The ONNX float model file"});
  }
  std::string report = "Export results: \r\n";
  for (const File& file : files) {
    try {
      // One model in memory at a time: a large one takes as much as the network itself.
      job::WriteJobFile(job, file.path, file.what, ModelBytes(job, file.type, TARVEX_VERSION));
    } catch (const std::exception& failure) {
      const std::string description = job::DescribeFailure(failure);
      // WriteJobFile's failures name the file already.
      job::WriteLog(job.log,
                    description.starts_with("File name: ")
                        ? description
                        : job::FileNameLine(file.path, description + "; nothing was written"));
      return false;
    }
    report += std::string("       ") +
              (file.type == ElementType::kFloat ? "ONNX float model file: " : "ONNX model file: ") +
              file.path + "\r\n";
  }
  job::WriteLog(job.log, report, job::LogEntry::kReport);
  return true;
}

}  // namespace tarvex::onnx
