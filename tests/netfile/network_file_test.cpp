// The network file: numbers that come back as the same doubles under either locale, and every
// kind of bad file ending the run with its one log line and nothing written.
#include "netfile/network_file.h"

#include <gtest/gtest.h>
#include <sys/resource.h>

#include <cmath>
#include <cstring>
#include <functional>
#include <nlohmann/json.hpp>
#include <random>

#include "tests/support/locale_guard.h"
#include "tests/support/tarvex_run.h"

namespace tarvex::network {

using netfile::NetworkFile;
using netfile::NetworkFileText;
using netfile::ParseNetworkFile;
namespace {

using Json = nlohmann::ordered_json;

// Any finite double, from random bits: subnormals, extremes and long digit strings included.
double AnyFinite(std::mt19937_64& bits, double limit) {
  for (;;) {
    const std::uint64_t word = bits();
    double value;
    std::memcpy(&value, &word, sizeof value);
    if (std::isfinite(value) && std::fabs(value) <= limit) return value;
  }
}

TEST(NetworkFileTest, NumbersReadBackToTheSameDoublesWrittenUnderOneLocaleReadUnderTheOther) {
  std::mt19937_64 bits(20261207);
  NetworkFile file;
  file.network = {7, 30, 3, {}};
  for (int i = 0; i < 30 * 8 + 3 * 31; ++i) file.network.Weights.push_back(AnyFinite(bits, 1e308));
  // Ranges whose widths stay finite, as any range computed from data does.
  for (int j = 0; j < 7; ++j) file.input_min.push_back(AnyFinite(bits, 1e300));
  file.input_max = file.input_min;
  file.output_min = file.output_max = {AnyFinite(bits, 1e300), 0.1, -0.0};
  const char* locales[] = {"C", testing::kCommaLocale};
  for (int write = 0; write < 2; ++write) {
    std::string text;
    {
      testing::LocaleGuard locale(locales[write]);
      ASSERT_TRUE(locale.ok());
      text = NetworkFileText(file);
    }
    testing::LocaleGuard locale(locales[1 - write]);
    const NetworkFile read = ParseNetworkFile(text);
    ASSERT_EQ(read.network.Weights.size(), file.network.Weights.size());
    // NOLINTNEXTLINE(bugprone-suspicious-memory-comparison): the bits are the point
    EXPECT_EQ(std::memcmp(read.network.Weights.data(), file.network.Weights.data(),
                          file.network.Weights.size() * sizeof(double)),
              0);
    EXPECT_EQ(read.input_min, file.input_min);
    EXPECT_EQ(read.output_max, file.output_max);
  }
}

class BadNetworkFileTest : public testing::TarvexRun {
 protected:
  BadNetworkFileTest() {
    EXPECT_EQ(Run({"/tiv=0,0;0,1;1,0;1,1", "/tov=0;1;1;0", "/n=2", "/ep=5", "/nof=good.json"}), 0);
    good_ = Json::parse(Read("good.json"));
  }
  Json good_;
};

TEST_F(BadNetworkFileTest, EachEndsTheRunWithItsLineAndWritesNothing) {
  using Change = std::function<void(Json&)>;
  struct Case {
    const char* what;
    std::function<std::string(Json)> text;  // the file from the good one; none: no file
    std::string line;                       // the log line, or its start where the library words it
    std::vector<std::string> more = {};
  };
  auto changed = [](Change change) {
    return [change](Json json) {
      change(json);
      return json.dump(2);
    };
  };
  const std::string at = "File name: bad.json  ";
  const Case cases[] = {
      {"missing file", nullptr, "File not found: bad.json"},
      {"not JSON", [](Json) { return "{\"format\": tarvex}"; },
       at + "Not a JSON text: parse error at line 1, column 13"},
      {"JSON of another kind", [](Json) { return "[1, 2, 3]"; },
       at + "Not a Tarvex network file: its \"format\" is not \"tarvex-network\""},
      {"another version", changed([](Json& j) { j["version"] = 5; }),
       at + "Network file version 5 cannot be read; this Tarvex reads versions 1, 2, 3 and 4"},
      {"an ensemble of one network", changed([](Json& j) {
         j["version"] = 4;
         j["members"] = Json::array(
             {Json{{"hidden_layer", j["hidden_layer"]}, {"output_layer", j["output_layer"]}}});
         j.erase("hidden_layer");
         j.erase("output_layer");
       }),
       at + "Field members: 2 to 1000 networks are expected, not 1"},
      {"an ensemble's version with one network's layers",
       changed([](Json& j) { j["version"] = 4; }), at + "Missing field: members"},
      {"an encoded network's version without its encoding",
       changed([](Json& j) { j["version"] = 3; }), at + "Missing field: encoding"},
      {"a classifier's version without its classes", changed([](Json& j) { j["version"] = 2; }),
       at + "Missing field: classification"},
      {"classes that do not match the outputs",
       changed([](Json& j) {
         j["version"] = 2;
         j["classification"] = {{"classes", {"a", "b", "c"}}, {"labels_are_numbers", false}};
       }),
       at + "Field classification.classes: 3 labels, the layout has " +
           std::to_string(1) + " output neuron"},
      {"missing field", changed([](Json& j) { j["layout"].erase("hidden"); }),
       at + "Missing field: layout.hidden"},
      {"extra field", changed([](Json& j) { j["scaling"]["offset"] = 1; }),
       at + "Unknown field: scaling.offset"},
      {"a row too few", changed([](Json& j) { j["hidden_layer"]["weights"].erase(0); }),
       at + "Field hidden_layer.weights: 1 row, the layout has 2 hidden neurons"},
      {"a weight too many",
       changed([](Json& j) { j["output_layer"]["weights"][0].push_back(0.5); }),
       at + "Field output_layer.weights[0]: 3 values, the layout has 2 hidden neurons"},
      {"a range too few", changed([](Json& j) { j["scaling"]["input_min"].erase(1); }),
       at + "Field scaling.input_min: 1 value, the layout has 2 inputs"},
      {"weight written as null (NaN)",
       changed([](Json& j) { j["output_layer"]["biases"][0] = nullptr; }),
       at + "Field output_layer.biases[0]: a number is expected"},
      {"weight beyond a double",
       [](Json j) {
         j["hidden_layer"]["weights"][0][0] = 12345.5;
         std::string text = j.dump(2);
         return text.replace(text.find("12345.5"), 7, "1e999");
       },
       at + "Not a finite number: number overflow parsing '1e999'"},
      {"a number of a million digits",
       [](Json j) {
         j["hidden_layer"]["weights"][0][0] = 12345.5;
         std::string text = j.dump(2);
         return text.replace(text.find("12345.5"), 7, std::string(1000000, '9'));
       },
       at + "Not a finite number: number overflow parsing '999"},
      {"a field name of a million letters",
       changed([](Json& j) { j["scaling"][std::string(1000000, 'x')] = 1; }),
       at + "Unknown field: scaling.xxx"},
      {"sizes beyond memory", changed([](Json& j) {
         j["layout"]["inputs"] = 2147483647;
         j["layout"]["hidden"] = 2147483647;
       }),
       at + "Out of memory: a network of 2147483647 inputs, 2147483647 hidden neurons and 1 "
            "output neuron does not fit"},
      {"no outputs", changed([](Json& j) { j["layout"]["outputs"] = 0; }),
       at + "Field layout.outputs: 0 is outside 1 to 2147483647"},
      {"range too wide", changed([](Json& j) {
         j["scaling"]["input_min"][0] = -1e308;
         j["scaling"]["input_max"][0] = 1e308;
       }),
       at + "Field scaling.input_max[0]: the range is too wide to compute with"},
      {"nested 100,000 deep",
       [](Json j) {
         std::string text = j.dump(2);
         return text.replace(text.find("\"version\": 1"), 12,
                             "\"version\": " + std::string(100000, '[') + std::string(100000, ']'));
       },
       at + "Field version" +
           [] {
             std::string levels;
             for (int i = 0; i < 31; ++i) levels += "[0]";
             return levels;
           }() +
           ": more than 32 lists and objects inside one another"},
      {"a field twice",
       [](Json j) {
         std::string text = j.dump(2);
         return text.replace(text.find("\"hidden\":"), 9, "\"hidden\": 3, \"hidden\":");
       },
       at + "Duplicate field: layout.hidden"},
      {"100,000 fields",
       [](Json j) {
         std::string fields;
         for (int i = 0; i < 100000; ++i) fields += "\"k" + std::to_string(i) + "\": 0, ";
         std::string text = j.dump(2);
         return text.insert(text.find("\"inputs\""), fields);
       },
       at + "Field layout has more than 64 fields"},
      {"input count",
       [](Json j) { return j.dump(); },
       "Prediction inputs do not match the network. File: 'bad.json'   Network Inputs: 2   "
       "Prediction Inputs Array(1,3)",
       {"/piv=0.5,0.5,0.5"}},
      {"with /nof",
       [](Json j) { return j.dump(); },
       "The Parameters '/nif' and '/nof' cannot be used together.",
       {"/nof=new.json"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::filesystem::remove(folder_ / "bad.json");
    std::filesystem::remove(folder_ / "run.log");
    if (c.text) Write("bad.json", c.text(good_));
    std::vector<std::string> arguments = {"/nif=bad.json", "/piv=0.5,0.5", "/pof=po.txt",
                                          "/log=run.log"};
    arguments.insert(arguments.end(), c.more.begin(), c.more.end());
    EXPECT_EQ(Run(arguments), 1);
    const std::vector<std::string> log = Log();
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(log[0].substr(0, c.line.size()), c.line);
    EXPECT_LE(log[0].size(), 300u) << "a line quotes the file whole";
    EXPECT_FALSE(Exists("po.txt"));
    EXPECT_FALSE(Exists("new.json"));
  }
}

// Under an address-space limit: a file larger than that of any network that fits is refused
// before it is read, and one whose values would not fit once parsed is refused while they are
// read, with the memory figure; neither ends the run by a signal.
TEST_F(BadNetworkFileTest, FilesBeyondTheMemoryEndWithTheOutOfMemoryLine) {
  if (testing::kSanitized) GTEST_SKIP() << "the sanitizers need the address space";
  const std::string text = good_.dump();
  std::string values = ", \"extra\": [0";
  for (int i = 0; i < 20000000; ++i) values += ",0";
  const struct {
    const char* what;
    std::string file;
    rlim_t address_space;
    std::string line;
  } cases[] = {
      {"60 MB, blanks after the network", text + std::string(60 << 20, ' '), 250ul << 20,
       "File name: bad.json  Out of memory: the file of 60.0 MiB is larger than that of any "
       "network that fits into the "},
      {"40 MB, 20 million values more", text.substr(0, text.size() - 1) + values + "]}",
       600ul << 20, "File name: bad.json  Out of memory: reading the file takes more than the "},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    Write("bad.json", c.file);
    std::filesystem::remove(folder_ / "run.log");
    testing::RunOptions options;
    options.working_folder = folder_.path();
    options.limits = {{RLIMIT_AS, c.address_space}};
    options.alarm_seconds = 120;
    const testing::RunResult run = testing::RunProgram(
        program_, {"/nif=bad.json", "/piv=0.5,0.5", "/pof=po.txt", "/log=run.log"}, options);
    EXPECT_EQ(run.exit_status, 1);
    const std::vector<std::string> log = Log();
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(log[0].substr(0, c.line.size()), c.line) << log[0];
    EXPECT_FALSE(Exists("po.txt"));
  }
}

}  // namespace
}  // namespace tarvex::network
