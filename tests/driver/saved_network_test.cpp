// A saved network predicts what the run that trained it predicted, to the bit, under either
// locale: the stages run in this process, so the predictions are compared as doubles, not as text.
#include <gtest/gtest.h>

#include <cstring>
#include <regex>
#include <string>

#include "driver/command_line.h"
#include "job/job_settings.h"
#include "network/data_check.h"
#include "network/saved_predict.h"
#include "network/train_predict.h"
#include "platform/locale_text.h"
#include "tests/support/locale_guard.h"
#include "tests/support/test_support.h"

namespace tarvex::driver {
namespace {

using job::JobSettings;
using testing::Backslashed;

// The stages of RunMain up to the output stage.
JobSettings RunStages(const std::string& command_text) {
  JobSettings job;
  job.DecimalSeparator = platform::LocaleDecimalSeparator();
  job::SetDefaults(job);
  EXPECT_TRUE(ReadCommandLine(job, command_text)) << command_text;
  EXPECT_TRUE(network::CheckTrainingData(job)) << command_text;
  EXPECT_TRUE(job::TrainsNetwork(job) ? network::TrainAndPredict(job)
                                      : network::PredictWithSavedNetwork(job))
      << command_text;
  return job;
}

std::string WithoutSaveTime(const std::string& text) {
  return std::regex_replace(text, std::regex("\"saved\": \"[^\"]*\""), "");
}

TEST(SavedNetworkTest, PredictsWhatTheTrainingRunPredictedToTheBitUnderEitherLocale) {
  testing::TempFolder folder;
  std::string inputs, outputs;
  for (int r = 0; r < 15; ++r) {
    inputs += std::to_string(r % 4 * 0.25) + "\t" + std::to_string(r * 0.7 - 3) + "\n";
    outputs += std::to_string(r % 3 - r * 0.1) + "\t" + std::to_string(r * r * 1e-3) + "\n";
  }
  testing::WriteFile(folder / "ti.txt", inputs);
  testing::WriteFile(folder / "to.txt", outputs);
  // Rows outside the training range too: nothing is clamped on either side.
  testing::WriteFile(folder / "pi.txt", "0.1\t-2.5\n1.5\t9\n-0.5\t0\n0.3\t3.3\n");
  const std::string at = Backslashed(folder.path()) + "\\";
  const char* locales[] = {"C", testing::kCommaLocale};
  for (int af : {0, 1, 2, 3, 4, 5}) {
    std::string saved_text[2];
    for (int save = 0; save < 2; ++save) {
      for (int load = 0; load < 2; ++load) {
        SCOPED_TRACE("af=" + std::to_string(af) + " saved under " + locales[save] +
                     ", loaded under " + locales[load]);
        JobSettings trained;
        {
          testing::LocaleGuard locale(locales[save]);
          ASSERT_TRUE(locale.ok());
          trained = RunStages("/tif=" + at + "ti.txt /tof=" + at + "to.txt /pif=" + at +
                              "pi.txt /pof=po.txt /ep=300 /n=5 /af=" + std::to_string(af) +
                              " /nof=" + at + "net.json");
        }
        saved_text[save] = testing::ReadFile(folder / "net.json");
        testing::LocaleGuard locale(locales[load]);
        ASSERT_TRUE(locale.ok());
        JobSettings loaded = RunStages("/nif=" + at + "net.json /pif=" + at + "pi.txt /pof=po.txt");
        const job::DataMatrix& expected = trained.PredictionOutputs;
        const job::DataMatrix& actual = loaded.PredictionOutputs;
        ASSERT_EQ(actual.RowCount(), 4);
        ASSERT_EQ(actual.ColumnLow(), expected.ColumnLow());
        ASSERT_EQ(actual.ColumnHigh(), expected.ColumnHigh());
        // NOLINTNEXTLINE(bugprone-suspicious-memory-comparison): the bits are the point
        EXPECT_EQ(std::memcmp(actual.Values().data(), expected.Values().data(),
                              expected.Values().size() * sizeof(double)),
                  0);
      }
    }
    // The file does not depend on the locale it was written under.
    EXPECT_EQ(WithoutSaveTime(saved_text[0]), WithoutSaveTime(saved_text[1]));
  }
}

}  // namespace
}  // namespace tarvex::driver
