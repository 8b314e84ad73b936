#include "results/training_entry.h"

#include <gtest/gtest.h>

namespace tarvex::network {

using namespace tarvex::job;
using results::ElapsedTimeText;
using results::FormatWeightDelta;
using results::TrainingResultsEntry;
using results::WarningLines;
namespace {

TEST(ElapsedTimeTextTest, EndsInThreeCharactersOfTheDayFraction) {
  struct Case {
    std::int64_t seconds;
    const char* text;
  };
  // 5 s is 0.0000578703703704 days; 65 s is 0.0007523148148148.
  const Case cases[] = {{0, "00:00:00.000"},    {5, "00:00:05.787"},     {65, "00:01:05.231"},
                        {3661, "01:01:01.268"}, {86399, "23:59:59.842"}, {1, "00:00:01.157"}};
  for (const Case& c : cases) {
    EXPECT_EQ(ElapsedTimeText(c.seconds, "."), c.text) << c.seconds;
    EXPECT_EQ(ElapsedTimeText(c.seconds, ","), c.text) << c.seconds;
  }
}

TEST(FormatWeightDeltaTest, PutsASpaceBeforeTheLastThreeIntegerDigits) {
  struct Case {
    double value;
    const char* point;
    const char* comma;
  };
  const Case cases[] = {
      {0.5, " 0.5000000", " 0,5000000"},
      {0, " 0.0000000", " 0,0000000"},
      {1234.5, "1 234.5000000", "1 234,5000000"},
      {1234567.5, "1234 567.5000000", "1234 567,5000000"},
      {999.99999996, "1 000.0000000", "1 000,0000000"},
      {12.34567891, " 12.3456789", " 12,3456789"},
      {0.00000004, " 0.0000000", " 0,0000000"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(FormatWeightDelta(c.value, "."), c.point) << c.value;
    EXPECT_EQ(FormatWeightDelta(c.value, ","), c.comma) << c.value;
  }
}

TEST(TrainingReportTest, WritesEveryLineLetterForLetter) {
  JobSettings job;
  job.DecimalSeparator = ".";
  SetDefaults(job);
  job.TrainingInputs = DataMatrix(0, 11, 0, 2);
  job.TrainingOutputs = DataMatrix(0, 11, 0, 0);
  job.PredictionInputs = DataMatrix(0, 3, 0, 2);
  job.LastEpoch = 250;
  job.LastMinWeightDelta = 0.000987654321;
  EXPECT_EQ(TrainingResultsEntry(job, 8, 1, 5),
            "Training results: \r\n"
            "       Training Time: 00:00:05.787\r\n"
            "       Traning Inputs: Array(12,3)\r\n"
            "       Traning Outputs: Array(12,1)\r\n"
            "       Prediction Inputs: Array(4,3)\r\n"
            "       Prediction Outputs: Array(4,1)\r\n"
            "       Learning Rate: 0.3\r\n"
            "       Initial Weights: 0.3\r\n"
            "       Momentum: 0.6\r\n"
            "       Number of neurons in hidden layer: 8\r\n"
            "       Number of neurons in output layer: 1\r\n"
            "       Limit of epochs: 3000\r\n"
            "       Last epoch: 250\r\n"
            "       Target Minimum weight delta (%): 0.001\r\n"
            "       Last Minimum weight delta (%):  0.0009877\r\n");
  job.DecimalSeparator = ",";
  job.wd = 0.00001;
  std::string report = TrainingResultsEntry(job, 8, 1, 5);
  EXPECT_NE(report.find("       Learning Rate: 0,3\r\n"), std::string::npos);
  EXPECT_NE(report.find("       Target Minimum weight delta (%): 1E-05\r\n"), std::string::npos);
  EXPECT_NE(report.find("       Last Minimum weight delta (%):  0,0009877\r\n"), std::string::npos);
}

}  // namespace
// The cause follows the findings: saturation names the learning rate, a stop on the weight delta
// target its epoch; the figures take the job's decimal separator.
TEST(WarningLinesTest, NameTheLikelyCauseInTheJobsNumbers) {
  using Kind = TrainingWarning::Kind;
  TrainingWarning no_better;
  no_better.columns = {{1, 4.0216}, {3, 1.005}};
  TrainingWarning saturated;
  saturated.kind = Kind::kSaturated;
  TrainingWarning classes;
  classes.classifier = true;
  classes.validation_rows = true;
  classes.error_rate = 0.71;
  classes.majority_error_rate = 0.53333;
  const std::string numbers =
      "(squared error output column 1: 4,02 times the mean's, output "
      "column 3: 1,00 times the mean's); ";
  const struct {
    std::vector<TrainingWarning> warnings;
    StopReason stop;
    std::vector<std::string> lines;
  } cases[] = {
      {{no_better},
       StopReason::kEpochLimit,
       {"Warning: the network predicts the training outputs no better than their mean " + numbers +
        "it may need more epochs ('/ep') or another learning rate ('/lr')."}},
      {{no_better},
       StopReason::kWeightDeltaTarget,
       {"Warning: the network predicts the training outputs no better than their mean " + numbers +
        "training ended at epoch 7 on the weight delta target ('/wd'); '/wd=0' trains for every "
        "epoch."}},
      {{no_better, saturated},
       StopReason::kWeightDeltaTarget,
       {"Warning: the network predicts the training outputs no better than their mean " + numbers +
            "the learning rate ('/lr') is likely too large for the activation ('/af').",
        "Warning: the hidden layer is saturated: 9 in 10 of its outputs on the training rows or "
        "more lie within 1 % of an end of their range, where the steps hardly move them; the "
        "learning rate ('/lr') is likely too large for the activation ('/af')."}},
      {{classes},
       StopReason::kEarlyStop,
       {"Warning: the network classifies the validation rows no better than naming the training "
        "rows' most frequent class (error rate 0,7100 against 0,5333); what it learned does not "
        "hold beyond its training rows; try early stopping ('/es') or fewer hidden neurons "
        "('/n')."}},
      {{}, StopReason::kEpochLimit, {}},
  };
  for (const auto& c : cases) {
    JobSettings job;
    job.DecimalSeparator = ",";
    job.LastEpoch = 7;
    job.Results.stop = c.stop;
    job.Results.warnings = c.warnings;
    EXPECT_EQ(WarningLines(job), c.lines);
  }
}

}  // namespace tarvex::network
