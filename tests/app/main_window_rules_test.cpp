#include "core/main_window_rules.h"

#include <gtest/gtest.h>

namespace keldro {
namespace {

TEST(RecentFiles, KeepTheDatabasesUsedBeforeNewestFirst) {
  struct Case {
    const char* name;
    RecentFiles before;
    const char* previous;
    const char* current;
    RecentFiles after;
  } cases[] = {
      {"first use", {}, "/a/A.DBF", "/a/B.DBF", {"/a/A.DBF"}},
      {"the current one was first", {"/a/B.DBF", "/a/C.DBF"}, "/a/A.DBF", "/a/B.DBF", {"/a/A.DBF", "/a/C.DBF"}},
      {"from the middle", {"1", "2", "3", "4", "5"}, "0", "3", {"0", "1", "2", "4", "5"}},
      {"the fifth drops off", {"1", "2", "3", "4", "5"}, "0", "9", {"0", "1", "2", "3", "4"}},
      {"the current one again is pushed", {"1"}, "/a/A.DBF", "/a/A.DBF", {"/a/A.DBF", "1"}},
      {"exact comparison", {"/a/a.dbf"}, "/a/X.DBF", "/a/A.DBF", {"/a/X.DBF", "/a/a.dbf"}},
      {"no previous database pushes nothing", {"1", "2"}, "", "2", {"1"}},
  };
  for (const Case& c : cases) {
    RecentFiles files = c.before;
    DoLastFiles(files, c.previous, c.current);
    EXPECT_EQ(files, c.after) << c.name;
  }
  EXPECT_EQ(RecentFileCaption(1, "/a/B.DBF"), "&1   /a/B.DBF");
  EXPECT_FALSE(AnyRecentFile({}));
  EXPECT_TRUE(AnyRecentFile({"", "", "", "", "x"}));
}

TEST(BrowseMode, OnlyTheFirstArgumentCounts) {
  struct Case { std::vector<std::string> args; bool browse; } cases[] = {
      {{"keldro", "/BROWSE"}, true},   {{"keldro", "/browse"}, true}, {{"keldro", "/BrOwSe", "x"}, true},
      {{"keldro", "/BROWSEX"}, false}, {{"keldro", "x", "/BROWSE"}, false}, {{"keldro"}, false},
      {{}, false},                     {{"keldro", "/BROWSE" + std::string(30, ' ')}, false},
  };
  for (const Case& c : cases) EXPECT_EQ(IsBrowseModeArgument(c.args), c.browse) << (c.args.size() > 1 ? c.args[1] : "");
}

}  // namespace
}  // namespace keldro
