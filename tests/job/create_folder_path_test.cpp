#include "job/create_folder_path.h"

#include <gtest/gtest.h>

#include "tests/support/test_support.h"

namespace tarvex::job {
namespace {

using tarvex::testing::Backslashed;
using tarvex::testing::TempFolder;
namespace fs = std::filesystem;

TEST(CreateFolderPathTest, CreatesEveryMissingFolderButNotTheFile) {
  TempFolder folder;
  std::string base = folder.path().string();
  CreateFolderPath(base + "/a/b/c/out.txt");
  EXPECT_TRUE(fs::is_directory(folder / "a/b/c"));
  EXPECT_FALSE(fs::exists(folder / "a/b/c/out.txt"));
  // Backslashes separate as well, and mixed separators too.
  CreateFolderPath(Backslashed(folder / "d\\e/f") + "\\out.txt");
  EXPECT_TRUE(fs::is_directory(folder / "d/e/f"));
  // All present: nothing changes.
  CreateFolderPath(base + "/a/b/c/out.txt");
  EXPECT_TRUE(fs::is_directory(folder / "a/b/c"));
}

TEST(CreateFolderPathTest, LeavesShortPathsAlone) {
  TempFolder folder;
  fs::current_path(folder.path());
  CreateFolderPath("new\\out.txt");
  CreateFolderPath("x\\new\\out.txt");
  EXPECT_FALSE(fs::exists("new"));
  EXPECT_FALSE(fs::exists("x")) << "the first component is never created";
  fs::create_directory("x");
  CreateFolderPath("x\\new\\out.txt");  // three components: nothing is done
  EXPECT_FALSE(fs::exists("x/new"));
  CreateFolderPath("x\\new\\deeper\\out.txt");
  EXPECT_TRUE(fs::is_directory("x/new/deeper"));
  fs::current_path("/");
}

TEST(CreateFolderPathTest, StopsSilentlyAtTheFirstFailure) {
  TempFolder folder;
  tarvex::testing::WriteFile(folder / "file", "x");
  CreateFolderPath((folder / "file/a/b/out.txt").string());
  EXPECT_TRUE(fs::is_regular_file(folder / "file"));
  // A missing first component: its children cannot be created.
  CreateFolderPath("no-such-root-xyz\\a\\b\\out.txt");
  EXPECT_FALSE(fs::exists("no-such-root-xyz"));
}

}  // namespace
}  // namespace tarvex::job
