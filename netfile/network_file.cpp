#include "netfile/network_file.h"

#include <cmath>
#include <initializer_list>
#include <limits>
#include <new>
#include <span>
#include <string_view>
#include <vector>

#include "netfile/network_json.h"
#include "platform/memory.h"

namespace tarvex::netfile {

namespace {

// ---- Writing ----

Json Row(std::span<const double> values) {
  return Json(std::vector<double>(values.begin(), values.end()));
}

// One layer's weights as rows (one per neuron) and its biases, from the engine's order, where
// each neuron's weights are followed by its bias.
Json Layer(std::span<const double> weights, std::int32_t neurons, std::int32_t inputs) {
  Json rows = Json::array();
  Json biases = Json::array();
  const std::size_t width = static_cast<std::size_t>(inputs) + 1;
  for (std::size_t j = 0; j < static_cast<std::size_t>(neurons); ++j) {
    rows.push_back(Row(weights.subspan(j * width, width - 1)));
    biases.push_back(weights[j * width + width - 1]);
  }
  Json layer;
  layer["weights"] = std::move(rows);
  layer["biases"] = std::move(biases);
  return layer;
}

Json Source(const job::DataSource& source) {
  Json json;
  json["kind"] = source.kind == job::SourceKind::kFile ? "file" : "values";
  json["name"] = source.name;
  json["selector"] = source.selector;
  return json;
}

Json EncodingJson(const job::TableEncoding& encoding) {
  Json columns = Json::array();
  for (const job::ColumnEncoding& column : encoding.columns) {
    Json item;
    item["name"] = column.name;
    item["kind"] = column.categorical ? "categorical" : "numeric";
    item["categories"] = column.categories;
    item["fill"] = column.categorical ? Json(nullptr) : Json(column.fill);
    item["indicator"] = column.indicator;
    columns.push_back(std::move(item));
  }
  Json json;
  json["missing"] = job::MissingRuleName(encoding.rule);
  json["na"] = encoding.na;
  json["columns"] = std::move(columns);
  return json;
}

// ---- Reading ----

[[noreturn]] void Complain(const std::string& path, const std::string& what) {
  throw NetworkFileError("Field " + path + ": " + what);
}

std::string Join(const std::string& path, std::string_view key) {
  return path.empty() ? std::string(key) : path + "." + std::string(key);
}

std::string Indexed(const std::string& path, std::size_t index) {
  return path + "[" + std::to_string(index) + "]";
}

// The object's fields must be exactly keys: the first missing one, in this order, else the first
// unknown one, is the complaint.
const Json& Object(const Json& value, const std::string& path,
                   std::span<const std::string_view> keys) {
  if (!value.is_object()) Complain(path, "an object is expected");
  for (std::string_view key : keys) {
    if (!value.contains(key)) throw NetworkFileError("Missing field: " + Join(path, key));
  }
  for (const auto& item : value.items()) {
    bool known = false;
    for (std::string_view key : keys) known = known || item.key() == key;
    if (!known) throw NetworkFileError("Unknown field: " + Join(path, Printable(item.key())));
  }
  return value;
}

const Json& Object(const Json& value, const std::string& path,
                   std::initializer_list<std::string_view> keys) {
  return Object(value, path, std::span<const std::string_view>(keys.begin(), keys.size()));
}

std::int64_t Whole(const Json& object, const std::string& path, std::string_view key,
                   std::int64_t low, std::int64_t high) {
  const Json& value = object.at(key);
  const std::string where = Join(path, key);
  if (!value.is_number_integer()) Complain(where, "a whole number is expected");
  if (value.is_number_unsigned() && value.get<std::uint64_t>() > static_cast<std::uint64_t>(high)) {
    Complain(where, Printable(value.dump()) + " is larger than " + std::to_string(high));
  }
  const std::int64_t number = value.get<std::int64_t>();
  if (number < low || number > high) {
    Complain(where, std::to_string(number) + " is outside " + std::to_string(low) + " to " +
                        std::to_string(high));
  }
  return number;
}

double Finite(const Json& value, const std::string& path) {
  if (!value.is_number()) Complain(path, "a number is expected");
  const double number = value.get<double>();
  if (!std::isfinite(number)) Complain(path, "not a finite number");
  return number;
}

std::string Text(const Json& object, const std::string& path, std::string_view key) {
  const Json& value = object.at(key);
  if (!value.is_string()) Complain(Join(path, key), "a text is expected");
  return value.get<std::string>();
}

std::string Counted(std::int64_t count, const char* noun) {
  return std::to_string(count) + " " + noun + (count == 1 ? "" : "s");
}

const Json& List(const Json& value, const std::string& path, std::int64_t count, const char* unit,
                 const std::string& counted) {
  if (!value.is_array()) Complain(path, "a list is expected");
  if (static_cast<std::int64_t>(value.size()) != count) {
    Complain(path, Counted(static_cast<std::int64_t>(value.size()), unit) + ", the layout has " +
                       counted);
  }
  return value;
}

std::vector<double> Numbers(const Json& value, const std::string& path, std::int64_t count,
                            const std::string& counted) {
  const Json& list = List(value, path, count, "value", counted);
  std::vector<double> numbers;
  numbers.reserve(list.size());
  for (const Json& item : list) {
    numbers.push_back(Finite(item, Indexed(path, numbers.size())));
  }
  return numbers;
}

// A layer's rows and biases into the engine's order: each neuron's weights, then its bias.
void ReadLayer(const Json& layer, const std::string& path, std::int64_t neurons,
               const std::string& neurons_counted, std::int64_t inputs,
               const std::string& inputs_counted, std::vector<double>& weights) {
  Object(layer, path, {"weights", "biases"});
  const std::string rows_path = Join(path, "weights");
  const Json& rows = List(layer.at("weights"), rows_path, neurons, "row", neurons_counted);
  const std::vector<double> biases =
      Numbers(layer.at("biases"), Join(path, "biases"), neurons, neurons_counted);
  for (std::size_t j = 0; j < rows.size(); ++j) {
    const std::vector<double> row = Numbers(rows[j], Indexed(rows_path, j), inputs, inputs_counted);
    weights.insert(weights.end(), row.begin(), row.end());
    weights.push_back(biases[j]);
  }
}

// Scaling back and forth subtracts the ends of each range, which must stay finite.
void CheckRanges(const std::vector<double>& minimum, const std::vector<double>& maximum,
                 const std::string& path) {
  for (std::size_t j = 0; j < minimum.size(); ++j) {
    if (!std::isfinite(maximum[j] - minimum[j])) {
      Complain(Indexed(path, j), "the range is too wide to compute with");
    }
  }
}

job::DataSource ReadSource(const Json& object, const std::string& path) {
  Object(object, path, {"kind", "name", "selector"});
  const std::string kind = Text(object, path, "kind");
  job::DataSource source{job::SourceKind::kFile, Text(object, path, "name"),
                         Text(object, path, "selector")};
  if (kind == "values") {
    source.kind = job::SourceKind::kValues;
  } else if (kind != "file") {
    Complain(Join(path, "kind"), "\"file\" or \"values\" is expected");
  }
  return source;
}

}  // namespace

std::string NetworkFileText(const NetworkFile& file) {
  const job::NetworkWeights& network = file.network;
  const std::span<const double> weights = network.Weights;
  const std::size_t hidden_total =
      static_cast<std::size_t>(network.HiddenCount) * (network.InputCount + 1);
  const std::size_t each = network.MemberWeightCount();
  if (network.MemberCount < 1 || network.MemberCount > kMostEnsembleMembers ||
      weights.size() != each * static_cast<std::size_t>(network.MemberCount)) {
    throw NetworkFileError("The network's weights do not match its layout");
  }
  const bool ensemble = network.MemberCount > 1;

  Json json;
  json["format"] = kNetworkFileFormat;
  const bool classifier = !file.classes.empty();
  if (classifier && file.classes.size() != static_cast<std::size_t>(network.OutputCount)) {
    throw NetworkFileError("The classifier's classes do not match its outputs");
  }
  const bool encoded = file.encoding.Active();
  if (encoded && file.encoding.EncodedCount() != network.InputCount) {
    throw NetworkFileError("The network's encoding does not match its inputs");
  }
  json["version"] = ensemble     ? kEnsembleFileVersion
                    : encoded    ? kEncodedFileVersion
                    : classifier ? kClassifierFileVersion
                                 : kNetworkFileVersion;
  json["layout"]["inputs"] = network.InputCount;
  json["layout"]["hidden"] = network.HiddenCount;
  json["layout"]["outputs"] = network.OutputCount;
  json["layout"]["activation"] = file.activation;
  json["scaling"]["low"] = file.scale_low;
  json["scaling"]["high"] = file.scale_high;
  json["scaling"]["input_min"] = file.input_min;
  json["scaling"]["input_max"] = file.input_max;
  json["scaling"]["output_min"] = file.output_min;
  json["scaling"]["output_max"] = file.output_max;
  auto add_layers = [&](Json& target, std::span<const double> member) {
    target["hidden_layer"] =
        Layer(member.first(hidden_total), network.HiddenCount, network.InputCount);
    target["output_layer"] =
        Layer(member.subspan(hidden_total), network.OutputCount, network.HiddenCount);
  };
  if (ensemble) {
    Json& members = json["members"] = Json::array();
    for (std::size_t k = 0; k < static_cast<std::size_t>(network.MemberCount); ++k) {
      Json member;
      add_layers(member, weights.subspan(k * each, each));
      members.push_back(std::move(member));
    }
  } else {
    add_layers(json, weights);
  }
  Json& training = json["training"];
  training["saved"] = file.saved;
  training["epochs"] = file.training.epochs;
  training["last_weight_delta"] = file.last_weight_delta;
  const job::TrainingSettings& settings = file.training.settings;
  training["options"] = {{"lr", settings.lr}, {"m", settings.m},   {"wd", settings.wd},
                         {"ep", settings.ep}, {"iw", settings.iw}, {"af", settings.af},
                         {"n", settings.n}};
  training["sources"]["inputs"] = Source(file.training.inputs);
  training["sources"]["outputs"] = Source(file.training.outputs);
  if (classifier) {
    json["classification"]["classes"] = file.classes;
    json["classification"]["labels_are_numbers"] = file.labels_are_numbers;
  }
  if (encoded) json["encoding"] = EncodingJson(file.encoding);
  // The library writes the shortest digits that read back to the same double, always with ".".
  return json.dump(2) + "\n";
}

namespace {

constexpr std::int64_t kMost = std::numeric_limits<std::int32_t>::max();

// The sizes of the layers, and each as a count in words for the complaints.
struct Layout {
  std::int64_t inputs = 0, hidden = 0, outputs = 0;
  std::string input_counted, hidden_counted, output_counted;
};

struct FileKind {
  bool classifier = false;
  bool encoded = false;
  bool ensemble = false;
};

// Which version the file is and whether it is a classifier's.
FileKind CheckKindAndFields(const Json& json) {
  // The kind of file first, then its version: a complaint about a field of some other JSON file
  // would only confuse.
  if (!json.is_object() || !json.contains("format") || json.at("format") != kNetworkFileFormat) {
    throw NetworkFileError("Not a Tarvex network file: its \"format\" is not \"" +
                           std::string(kNetworkFileFormat) + "\"");
  }
  FileKind kind;
  const bool has_version = json.contains("version");
  kind.ensemble = has_version && json.at("version") == kEnsembleFileVersion;
  kind.encoded = has_version && (json.at("version") == kEncodedFileVersion ||
                                 (kind.ensemble && json.contains("encoding")));
  kind.classifier = (has_version && json.at("version") == kClassifierFileVersion) ||
                    ((kind.encoded || kind.ensemble) && json.contains("classification"));
  if (!has_version || (json.at("version") != kNetworkFileVersion && !kind.classifier &&
                       !kind.encoded && !kind.ensemble)) {
    throw NetworkFileError(
        "Network file version " + (has_version ? Printable(json.at("version").dump()) : "(none)") +
        " cannot be read; this Tarvex reads versions " + std::to_string(kNetworkFileVersion) +
        ", " + std::to_string(kClassifierFileVersion) + ", " + std::to_string(kEncodedFileVersion) +
        " and " + std::to_string(kEnsembleFileVersion));
  }
  std::vector<std::string_view> keys = {"format", "version", "layout", "scaling"};
  if (kind.ensemble) {
    keys.push_back("members");
  } else {
    keys.insert(keys.end(), {"hidden_layer", "output_layer"});
  }
  keys.push_back("training");
  if (kind.encoded) keys.push_back("encoding");
  if (kind.classifier) keys.push_back("classification");
  Object(json, "", keys);
  return kind;
}

// The encoding: each column's name, kind, categories (distinct, in code point order, within the
// bound), fill value and indicator; together as many inputs as the layout has.
void ReadEncoding(const Json& json, const Layout& layout, NetworkFile& file) {
  const Json& encoding = Object(json.at("encoding"), "encoding", {"missing", "na", "columns"});
  const std::string rule = Text(encoding, "encoding", "missing");
  bool known = false;
  for (job::MissingRule candidate : {job::MissingRule::kZero, job::MissingRule::kMean,
                                     job::MissingRule::kMedian, job::MissingRule::kRefuse}) {
    if (rule == job::MissingRuleName(candidate)) {
      file.encoding.rule = candidate;
      known = true;
    }
  }
  if (!known) Complain("encoding.missing", "zero, mean, median or refuse is expected");
  const Json& na = encoding.at("na");
  if (!na.is_array()) Complain("encoding.na", "a list is expected");
  for (std::size_t k = 0; k < na.size(); ++k) {
    if (!na[k].is_string()) Complain(Indexed("encoding.na", k), "a text is expected");
    file.encoding.na.push_back(na[k].get<std::string>());
  }
  const Json& columns = encoding.at("columns");
  if (!columns.is_array() || columns.empty()) Complain("encoding.columns", "a list is expected");
  for (std::size_t c = 0; c < columns.size(); ++c) {
    const std::string path = Indexed("encoding.columns", c);
    const Json& item =
        Object(columns[c], path, {"name", "kind", "categories", "fill", "indicator"});
    job::ColumnEncoding column;
    column.name = Text(item, path, "name");
    const std::string kind = Text(item, path, "kind");
    if (kind != "categorical" && kind != "numeric") {
      Complain(Join(path, "kind"), "\"categorical\" or \"numeric\" is expected");
    }
    column.categorical = kind == "categorical";
    const Json& categories = item.at("categories");
    if (!categories.is_array()) Complain(Join(path, "categories"), "a list is expected");
    if (categories.size() > job::kMostCategories) {
      Complain(Join(path, "categories"),
               "more than " + std::to_string(job::kMostCategories) + " categories");
    }
    for (std::size_t k = 0; k < categories.size(); ++k) {
      const std::string at = Indexed(Join(path, "categories"), k);
      if (!categories[k].is_string()) Complain(at, "a text is expected");
      std::string category = categories[k].get<std::string>();
      if (!column.categories.empty() && !(column.categories.back() < category)) {
        Complain(at, "the categories must be distinct and in code point order");
      }
      column.categories.push_back(std::move(category));
    }
    if (column.categorical && column.categories.empty()) {
      Complain(Join(path, "categories"), "a categorical column needs a category");
    }
    if (!column.categorical && !column.categories.empty()) {
      Complain(Join(path, "categories"), "a numeric column has none");
    }
    const Json& fill = item.at("fill");
    if (column.categorical) {
      if (!fill.is_null()) Complain(Join(path, "fill"), "null is expected");
    } else {
      column.fill = Finite(fill, Join(path, "fill"));
    }
    const Json& indicator = item.at("indicator");
    if (!indicator.is_boolean()) Complain(Join(path, "indicator"), "true or false is expected");
    column.indicator = indicator.get<bool>();
    if (column.categorical && column.indicator) {
      Complain(Join(path, "indicator"), "a categorical column has none");
    }
    file.encoding.columns.push_back(std::move(column));
  }
  if (file.encoding.EncodedCount() != layout.inputs) {
    Complain("encoding.columns", "they make " + std::to_string(file.encoding.EncodedCount()) +
                                     " inputs, the layout has " + layout.input_counted);
  }
}

// The classes, one per output, each a distinct text.
void ReadClasses(const Json& json, const Layout& layout, NetworkFile& file) {
  const Json& classification =
      Object(json.at("classification"), "classification", {"classes", "labels_are_numbers"});
  const Json& classes = List(classification.at("classes"), "classification.classes", layout.outputs,
                             "label", layout.output_counted);
  for (std::size_t k = 0; k < classes.size(); ++k) {
    const std::string path = Indexed("classification.classes", k);
    if (!classes[k].is_string()) Complain(path, "a text is expected");
    std::string label = classes[k].get<std::string>();
    for (const std::string& earlier : file.classes) {
      if (earlier == label) Complain(path, "the class \"" + Printable(label) + "\" is there twice");
    }
    file.classes.push_back(std::move(label));
  }
  if (file.classes.size() < 2)
    Complain("classification.classes", "two classes at least are needed");
  const Json& numbers = classification.at("labels_are_numbers");
  if (!numbers.is_boolean())
    Complain("classification.labels_are_numbers", "true or false is expected");
  file.labels_are_numbers = numbers.get<bool>();
}

Layout ReadLayout(const Json& json, NetworkFile& file) {
  const Json& layout =
      Object(json.at("layout"), "layout", {"inputs", "hidden", "outputs", "activation"});
  Layout sizes;
  sizes.inputs = Whole(layout, "layout", "inputs", 1, kMost);
  sizes.hidden = Whole(layout, "layout", "hidden", 1, kMost);
  sizes.outputs = Whole(layout, "layout", "outputs", 1, kMost);
  const std::int64_t inputs = sizes.inputs, hidden = sizes.hidden, outputs = sizes.outputs;
  file.activation = static_cast<std::int16_t>(Whole(layout, "layout", "activation",
                                                    std::numeric_limits<std::int16_t>::min(),
                                                    std::numeric_limits<std::int16_t>::max()));
  sizes.input_counted = Counted(inputs, "input");
  sizes.hidden_counted = Counted(hidden, "hidden neuron");
  sizes.output_counted = Counted(outputs, "output neuron");
  // Below 2^31 each, so the products stay far inside 64 bits. Checked before any list is
  // compared, so an absurd layout is named as such.
  const std::uint64_t weight_count = static_cast<std::uint64_t>(hidden) * (inputs + 1) +
                                     static_cast<std::uint64_t>(outputs) * (hidden + 1);
  if (weight_count > std::vector<double>().max_size()) {
    throw NetworkFileError("Out of memory: a network of " + sizes.input_counted + ", " +
                           sizes.hidden_counted + " and " + sizes.output_counted + " does not fit");
  }
  return sizes;
}

void ReadScaling(const Json& json, const Layout& layout, NetworkFile& file) {
  const Json& scaling =
      Object(json.at("scaling"), "scaling",
             {"low", "high", "input_min", "input_max", "output_min", "output_max"});
  file.scale_low = Finite(scaling.at("low"), "scaling.low");
  file.scale_high = Finite(scaling.at("high"), "scaling.high");
  if (!std::isfinite(file.scale_high - file.scale_low)) {
    Complain("scaling.high", "the range is too wide to compute with");
  }
  file.input_min =
      Numbers(scaling.at("input_min"), "scaling.input_min", layout.inputs, layout.input_counted);
  file.input_max =
      Numbers(scaling.at("input_max"), "scaling.input_max", layout.inputs, layout.input_counted);
  file.output_min = Numbers(scaling.at("output_min"), "scaling.output_min", layout.outputs,
                            layout.output_counted);
  file.output_max = Numbers(scaling.at("output_max"), "scaling.output_max", layout.outputs,
                            layout.output_counted);
  CheckRanges(file.input_min, file.input_max, "scaling.input_max");
  CheckRanges(file.output_min, file.output_max, "scaling.output_max");
}

void ReadLayers(const Json& json, const Layout& layout, NetworkFile& file) {
  job::NetworkWeights& network = file.network;
  network.InputCount = static_cast<std::int32_t>(layout.inputs);
  network.HiddenCount = static_cast<std::int32_t>(layout.hidden);
  network.OutputCount = static_cast<std::int32_t>(layout.outputs);
  auto read_layers = [&](const Json& holder, const std::string& path) {
    ReadLayer(holder.at("hidden_layer"), Join(path, "hidden_layer"), layout.hidden,
              layout.hidden_counted, layout.inputs, layout.input_counted, network.Weights);
    ReadLayer(holder.at("output_layer"), Join(path, "output_layer"), layout.outputs,
              layout.output_counted, layout.hidden, layout.hidden_counted, network.Weights);
  };
  if (!json.contains("members")) {
    read_layers(json, "");
    return;
  }
  const Json& members = json.at("members");
  if (!members.is_array()) Complain("members", "a list is expected");
  if (members.size() < 2 || members.size() > static_cast<std::size_t>(kMostEnsembleMembers)) {
    Complain("members", "2 to " + std::to_string(kMostEnsembleMembers) +
                            " networks are expected, not " + std::to_string(members.size()));
  }
  network.MemberCount = static_cast<std::int32_t>(members.size());
  for (std::size_t k = 0; k < members.size(); ++k) {
    const std::string path = Indexed("members", k);
    read_layers(Object(members[k], path, {"hidden_layer", "output_layer"}), path);
  }
}

// How the network came about.
void ReadTraining(const Json& json, NetworkFile& file) {
  const Json& training = Object(json.at("training"), "training",
                                {"saved", "epochs", "last_weight_delta", "options", "sources"});
  file.saved = Text(training, "training", "saved");
  file.training.epochs = static_cast<std::int32_t>(Whole(training, "training", "epochs", 0, kMost));
  file.last_weight_delta = Finite(training.at("last_weight_delta"), "training.last_weight_delta");
  const Json& options =
      Object(training.at("options"), "training.options", {"lr", "m", "wd", "ep", "iw", "af", "n"});
  job::TrainingSettings& settings = file.training.settings;
  settings.lr = Finite(options.at("lr"), "training.options.lr");
  settings.m = Finite(options.at("m"), "training.options.m");
  settings.wd = Finite(options.at("wd"), "training.options.wd");
  settings.iw = Finite(options.at("iw"), "training.options.iw");
  constexpr std::int64_t kLeast = std::numeric_limits<std::int32_t>::min();
  settings.ep = static_cast<std::int32_t>(Whole(options, "training.options", "ep", kLeast, kMost));
  settings.n = static_cast<std::int32_t>(Whole(options, "training.options", "n", kLeast, kMost));
  settings.af = static_cast<std::int16_t>(Whole(options, "training.options", "af",
                                                std::numeric_limits<std::int16_t>::min(),
                                                std::numeric_limits<std::int16_t>::max()));
  const Json& sources = Object(training.at("sources"), "training.sources", {"inputs", "outputs"});
  file.training.inputs = ReadSource(sources.at("inputs"), "training.sources.inputs");
  file.training.outputs = ReadSource(sources.at("outputs"), "training.sources.outputs");
}

NetworkFile ReadNetworkFields(const Json& json) {
  const FileKind kind = CheckKindAndFields(json);
  NetworkFile file;
  const Layout layout = ReadLayout(json, file);
  ReadScaling(json, layout, file);
  ReadLayers(json, layout, file);
  ReadTraining(json, file);
  if (kind.classifier) ReadClasses(json, layout, file);
  if (kind.encoded) ReadEncoding(json, layout, file);
  return file;
}

}  // namespace

void CheckNetworkFileSize(std::uint64_t file_size, std::uint64_t memory) {
  const std::uint64_t largest = memory /
                                (kMostTextPerWeight + kBytesPerValue + kBytesPerWeightToPredict) *
                                kMostTextPerWeight;
  if (file_size <= largest) return;
  throw NetworkFileError("Out of memory: the file of " + platform::ByteSizeText(file_size) +
                         " is larger than that of any network that fits into the " +
                         platform::ByteSizeText(memory) + " the process can get (at most " +
                         platform::ByteSizeText(largest) + ")");
}

NetworkFile ParseNetworkFile(std::string_view text) {
  const std::uint64_t memory = platform::MemoryTheProcessCanGet();
  try {
    return ReadNetworkFields(ParseBoundedJson(text, memory));
  } catch (const std::bad_alloc&) {
    throw NetworkFileError(ReadingOutOfMemory(memory));
  }
}

}  // namespace tarvex::netfile
