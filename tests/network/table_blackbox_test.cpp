// Jobs on tables with a text column and missing cells (/cat, /na, /mv, /mvi) through the built
// program: against scikit-learn's OneHotEncoder and SimpleImputer on the same rows, the same
// network from every source, a saved network predicting from raw rows, fill values that never
// see validation or prediction rows, unseen categories counted, and the inputs that end a run
// with one line.
#include <nlohmann/json.hpp>

#include <cmath>

#include "tests/support/tarvex_run.h"

namespace tarvex::network {
namespace {

using Json = nlohmann::json;
using Args = std::vector<std::string>;
using tarvex::testing::TarvexRun;

class TableRun : public TarvexRun {
 protected:
  // The peer's table and its encoded copy; returns the peer's fill values and categories.
  Json Peer(int seed, const std::string& rule, bool indicators) {
    Write("table_peer.py",
          testing::ReadFile(testing::SourceFolder() / "tests/network/table_peer.py"));
    testing::RunOptions options;
    options.working_folder = folder_.path();
    const testing::RunResult result = testing::RunProgram(
        "/usr/bin/python3", {"table_peer.py", std::to_string(seed), rule, indicators ? "1" : "0"},
        options);
    EXPECT_EQ(result.exit_status, 0) << result.standard_error;
    return Json::parse(result.standard_output);
  }
  static Args Raw(Args more) {
    Args arguments = {"/tif=train.csv", "/tifh=colour,size,weight",
                      "/tof=train.csv", "/tofh=y",
                      "/pif=pred.csv",  "/pifh=colour,size,weight",
                      "/pof=po.csv",    "/log=run.log",
                      "/ep=200",        "/sd=2",
                      "/ini=na.ini"};
    arguments.insert(arguments.end(), more.begin(), more.end());
    return arguments;
  }
  void SetUp() override { Write("na.ini", "[Parameter]\n/na=NA\n"); }
  Json ReadJson(const std::string& name) { return Json::parse(Read(name)); }
  static bool SameNetwork(const Json& a, const Json& b) {
    return a["hidden_layer"] == b["hidden_layer"] && a["output_layer"] == b["output_layer"] &&
           a["scaling"] == b["scaling"];
  }
};

// Doubles that differ by one unit in the last place at most.
bool WithinOneUlp(double a, double b) { return a == b || std::nextafter(a, b) == b; }

TEST_F(TableRun, EncodingIsScikitLearnsAndItsCopyTrainsTheSameNetwork) {
  int bit_for_bit = 0;
  for (const int seed : {1, 2, 3}) {
    for (const std::string rule : {"mean", "median"}) {
      for (const bool indicators : {false, true}) {
        SCOPED_TRACE(std::to_string(seed) + " " + rule + " " + std::to_string(indicators));
        const Json peer = Peer(seed, rule, indicators);
        ASSERT_EQ(Run(Raw({"/cat=colour", "/mv=" + rule, indicators ? "/mvi=1" : "/mvi=0",
                           "/nof=raw.json"})),
                  0)
            << Read("run.log");
        ASSERT_EQ(Run({"/tif=enc_train.csv", "/tof=enc_y.csv", "/pif=enc_pred.csv",
                       "/pof=po_enc.csv", "/log=run.log", "/ep=200", "/sd=2", "/nof=enc.json"}),
                  0)
            << Read("run.log");
        const Json raw = ReadJson("raw.json"), encoded = ReadJson("enc.json");
        const Json& columns = raw["encoding"]["columns"];
        EXPECT_EQ(columns[0]["categories"], peer["colour"]);
        const double size = columns[1]["fill"], weight = columns[2]["fill"];
        EXPECT_TRUE(WithinOneUlp(size, peer["size"])) << size << " " << peer["size"];
        EXPECT_TRUE(WithinOneUlp(weight, peer["weight"])) << weight << " " << peer["weight"];
        EXPECT_EQ(raw["layout"]["inputs"], encoded["layout"]["inputs"]);
        if (size == peer["size"].get<double>() && weight == peer["weight"].get<double>()) {
          ++bit_for_bit;
          EXPECT_TRUE(SameNetwork(raw, encoded));
          EXPECT_EQ(Read("po.csv"), Read("po_enc.csv"));
        }
      }
    }
  }
  EXPECT_GE(bit_for_bit, 6);  // the medians at least
}

TEST_F(TableRun, EverySourceGivesTheSameNetwork) {
  Peer(4, "mean", true);
  const Args common = {"/cat=1", "/mv=mean",     "/mvi=1",        "/ep=200",
                       "/sd=2",  "/log=run.log", "/nof=net.json", "/ini=values.ini"};
  const Args sources[] = {
      {"/tif=train.csv", "/tifh=colour,size,weight", "/tof=train.csv", "/tofh=y"},
      {"/tif=train.xlsx", "/tis=Data!A1:C40", "/tof=train.xlsx", "/tos=Data!D1:D40"},
      {"/tif=train.mdb", "/tifh=select colour, size, weight from t order by id", "/tof=train.mdb",
       "/tofh=select y from t order by id"},
      {},  // the direct values of values.ini
  };
  Json first;
  for (const Args& source : sources) {
    Args arguments = source;
    arguments.insert(arguments.end(), common.begin(), common.end());
    ASSERT_EQ(Run(arguments), 0) << arguments[0] << ": " << Read("run.log");
    Json network = ReadJson("net.json");
    for (Json& column : network["encoding"]["columns"]) column.erase("name");
    if (first.is_null()) {
      first = network;
      continue;
    }
    EXPECT_TRUE(SameNetwork(network, first)) << arguments[0];
    EXPECT_EQ(network["encoding"], first["encoding"]) << arguments[0];
  }
}

TEST_F(TableRun, SavedNetworkPredictsFromRawRowsWhatTheTrainingRunPredicted) {
  Peer(5, "mean", true);
  const Args cases[] = {
      {"/cat=colour", "/mv=mean", "/mvi=1"},
      {"/cat=auto", "/mv=median", "/vf=0.25"},
      {"/cat=colour", "/task=classification", "/tofh=kind", "/pp=1", "/mv=mean"},
  };
  for (const Args& options : cases) {
    SCOPED_TRACE(options[1]);
    Args arguments = Raw(options);
    arguments.push_back("/nof=net.json");
    ASSERT_EQ(Run(arguments), 0) << Read("run.log");
    Args saved = {"/nif=net.json", "/pif=pred.csv", "/pifh=colour,size,weight", "/pof=po_nif.csv",
                  "/log=run.log"};
    if (options.back() == "/mv=mean" && options.size() == 5) saved.push_back("/pp=1");
    ASSERT_EQ(Run(saved), 0) << Read("run.log");
    EXPECT_EQ(Read("po_nif.csv"), Read("po.csv"));
    EXPECT_EQ(ReadJson("net.json")["version"], 3);
  }
  // A classification job leaves out the rows whose label is missing, "NA" included.
  const std::string table = Read("train.csv");
  int unlabelled = 0;
  for (std::size_t at = table.find(",\n"); at != std::string::npos;
       at = table.find(",\n", at + 1)) {
    ++unlabelled;
  }
  for (std::size_t at = table.find(",NA\n"); at != std::string::npos;
       at = table.find(",NA\n", at + 1)) {
    ++unlabelled;
  }
  const std::vector<std::string> log = Log();
  const std::string line =
      std::to_string(unlabelled) + " training rows have no label and are left out";
  EXPECT_GT(unlabelled, 1);
  EXPECT_NE(std::find(log.begin(), log.end(), line), log.end()) << line;
}

TEST_F(TableRun, FillValuesNeverSeeValidationOrPredictionRows) {
  Peer(6, "mean", true);
  const std::string valid = Read("valid.csv"), pred = Read("pred.csv");
  // A value far beyond the training rows' and an unseen category in the rows after the header.
  auto planted = [](std::string table) {
    const std::size_t line = table.find('\n') + 1;
    return table.insert(
        line, "violet,1e9,1e9" +
                  std::string(table.find("y,kind") != std::string::npos ? ",1e9,high\n" : "\n"));
  };
  for (const std::string rule : {"mean", "median"}) {
    SCOPED_TRACE(rule);
    const Args job =
        Raw({"/cat=colour", "/mv=" + rule, "/mvi=1", "/vif=valid.csv", "/vifh=colour,size,weight",
             "/vof=valid.csv", "/vofh=y", "/nof=net.json", "/sof=summary.json"});
    Write("valid.csv", valid);
    Write("pred.csv", pred);
    ASSERT_EQ(Run(job), 0) << Read("run.log");
    const Json network = ReadJson("net.json"), summary = ReadJson("summary.json");
    for (const bool in_validation : {true, false}) {
      Write("valid.csv", in_validation ? planted(valid) : valid);
      Write("pred.csv", in_validation ? pred : planted(pred));
      ASSERT_EQ(Run(job), 0) << Read("run.log");
      const Json planted_network = ReadJson("net.json");
      EXPECT_TRUE(SameNetwork(planted_network, network)) << in_validation;
      EXPECT_EQ(planted_network["encoding"], network["encoding"]) << in_validation;
      Json columns = ReadJson("summary.json")["data"]["columns"];
      // The planted category is unseen; nothing else of the profile moves.
      EXPECT_EQ(columns[0]["unseen"]["count"],
                summary["data"]["columns"][0]["unseen"]["count"].get<int>() + 1);
      columns[0]["unseen"] = summary["data"]["columns"][0]["unseen"];
      EXPECT_EQ(columns, summary["data"]["columns"]);
    }
  }
}

TEST_F(TableRun, UnseenCategoriesAreCountedAndNamed) {
  Peer(7, "mean", false);
  std::string valid = Read("valid.csv");
  // "big" stands where training had only numbers: counted too, and filled like a missing cell.
  valid.insert(valid.find('\n') + 1,
               "Violet,1,1,0.5,low\nviolet,1,1,0.5,low\nteal,big,1,0.5,low\n");
  Write("valid.csv", valid);
  ASSERT_EQ(Run(Raw({"/cat=colour", "/vif=valid.csv", "/vifh=colour,size,weight", "/vof=valid.csv",
                     "/vofh=y", "/sof=summary.json"})),
            0)
      << Read("run.log");
  // pred.csv ends with one violet row; the prediction rows are read before the validation rows.
  const Json columns = ReadJson("summary.json")["data"]["columns"];
  EXPECT_EQ(columns[0]["unseen"], Json({{"count", 4}, {"names", {"violet", "Violet", "teal"}}}));
  EXPECT_EQ(columns[1]["unseen"], Json({{"count", 1}, {"names", {"big"}}}));
  const std::string log = Read("run.log");
  EXPECT_NE(log.find("unseen 4: violet, Violet, teal\r\n"), std::string::npos) << log;
  EXPECT_NE(log.find("texts filled 1: big\r\n"), std::string::npos) << log;
}

TEST_F(TableRun, BadInputEndsWithOneLineAndWritesNothing) {
  Peer(8, "mean", false);
  std::string many = "name,y\n";
  for (int k = 0; k <= 1000; ++k) many += "n" + std::to_string(k) + "," + std::to_string(k) + "\n";
  Write("many.csv", many);
  ASSERT_EQ(Run({"/tif=enc_train.csv", "/tof=enc_y.csv", "/nof=plain.json", "/log=plain.log"}), 0);
  const struct {
    const char* name;
    Args arguments;
    std::string line;  // the start of the one log line
  } cases[] = {
      {"no such column", Raw({"/cat=shade"}),
       "The Parameter '/cat' names no input column: \"shade\" (the training inputs' columns: "
       "colour, size, weight)"},
      {"an output column", Raw({"/cat=y"}),
       "The Parameter '/cat' names \"y\", a column of the training outputs"},
      {"a rule not in the list", Raw({"/mv=mode"}),
       "The Parameter '/mv' must be zero, mean, median or refuse: mode"},
      {"an indicator flag not 0 or 1", Raw({"/mvi=2"}), "The Parameter '/mvi' must be 0 or 1: 2"},
      {"a missing cell refused", Raw({"/cat=colour", "/mv=refuse"}),
       "Invalid data. Values must be numerical. File: 'train.csv'   Missing cell: Row "},
      {"a text in a numeric column", Raw({"/mv=mean"}),
       "Invalid data. Values must be numerical. File: 'train.csv'   Row 1, column 1: "},
      {"too many categories",
       {"/tif=many.csv", "/tifh=name", "/tof=many.csv", "/tofh=y", "/cat=name", "/log=run.log",
        "/nof=net.json"},
       "The input column \"name\" holds 1001 categories; a categorical column takes 1000 at most"},
      {"a saved network without categories",
       {"/nif=plain.json", "/pif=enc_pred.csv", "/pof=po.csv", "/cat=1", "/log=run.log"},
       "The Parameter '/cat' names categorical inputs; the network input file plain.json has "
       "none"},
      {"a saved network keeps its rule",
       {"/nif=plain.json", "/pif=enc_pred.csv", "/pof=po.csv", "/mv=mean", "/log=run.log"},
       "The Parameters '/nif' and '/mv' cannot be used together."},
  };
  for (const auto& bad : cases) {
    SCOPED_TRACE(bad.name);
    std::filesystem::remove(folder_ / "run.log");
    Args arguments = bad.arguments;
    arguments.push_back("/sof=summary.json");
    EXPECT_EQ(Run(arguments), 1);
    const std::vector<std::string> log = Log();
    ASSERT_EQ(log.size(), 1u) << ::testing::PrintToString(log);
    EXPECT_EQ(log[0].substr(0, bad.line.size()), bad.line);
    EXPECT_FALSE(Exists("po.csv"));
    EXPECT_FALSE(Exists("net.json"));
    EXPECT_EQ(ReadJson("summary.json")["failure"], log[0]);
  }
}

}  // namespace
}  // namespace tarvex::network
