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

TEST(Paths, DotDotNeverClimbsAboveTheDrive) {
  // As on Windows, ".." at a drive's root stays at that root.
  TempRoot root;
  TempRoot::WriteFile(root.path() / "C" / "Data" / "Items.dbf", "x");
  const struct {
    const char* in;
    std::filesystem::path want;
  } cases[] = {
      {"C:\\..\\Data\\Items.dbf", root.path() / "C" / "Data" / "Items.dbf"},
      {"C:\\Data\\..\\..\\..\\X.DBF", root.path() / "C" / "X.DBF"},
      {"D:..\\Y", root.path() / "D" / "Y"},
      {"/../tmp", std::filesystem::path("/tmp")},
      {"..\\..\\NO_SUCH_FILE.X", std::filesystem::path("../../NO_SUCH_FILE.X")},
  };
  for (const auto& c : cases) EXPECT_EQ(platform::MapPath(c.in), c.want) << c.in;
}
