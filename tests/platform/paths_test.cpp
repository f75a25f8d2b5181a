#include "platform/paths.h"

#include <gtest/gtest.h>

#include "temp_root.h"

using testing_support::TempRoot;

TEST(Paths, DirectoriesLiveUnderTheRoot) {
  TempRoot root;
  EXPECT_EQ(platform::WindowsDir(), root.path() / "WINDOWS");
  EXPECT_EQ(platform::SystemDir(), root.path() / "WINDOWS" / "SYSTEM");
  EXPECT_EQ(platform::RegistryDir(), root.path() / "REGISTRY");
  EXPECT_TRUE(std::filesystem::is_directory(platform::SystemDir()));
  EXPECT_EQ(platform::ProgramDir(), root.programDir());
}

TEST(Paths, FixedNamesAreFoundWithoutRegardToCase) {
  TempRoot root;
  TempRoot::WriteFile(root.programDir() / "master.dbf", "x");
  EXPECT_EQ(platform::FindFileNoCase(root.programDir(), "MASTER.DBF"), root.programDir() / "master.dbf");
  // A missing file gets the documented spelling.
  EXPECT_EQ(platform::FindFileNoCase(root.programDir(), "BRAND.LST"), root.programDir() / "BRAND.LST");
}

TEST(Paths, WindowsPathsMapToTheRoot) {
  TempRoot root;
  TempRoot::WriteFile(root.path() / "C" / "Data" / "Items.dbf", "x");
  EXPECT_EQ(platform::MapPath("C:\\DATA\\ITEMS.DBF"), root.path() / "C" / "Data" / "Items.dbf");
  EXPECT_EQ(platform::MapPath("c:\\data\\NEW\\X.DBF"), root.path() / "C" / "Data" / "NEW" / "X.DBF");
  EXPECT_EQ(platform::MapPath("/tmp"), std::filesystem::path("/tmp"));
}
