#include "platform/profile.h"

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>

#include <gtest/gtest.h>

#include "platform/paths.h"
#include "temp_root.h"

using testing_support::TempRoot;

namespace {

TEST(Profile, WritesKeepForeignLinesCommentsAndOrder) {
  TempRoot root;
  const auto file = root.path() / "WINDOWS" / "KELDRO.INI";
  TempRoot::WriteFile(file,
                      "; written by hand\n"
                      "[Misc]\n"
                      "Button Bar = 2 \n"
                      "Unknown=keep me\n"
                      "not a key line\n"
                      "\n"
                      "[Other]\r\n"
                      ";comment=not a key\r\n"
                      "A=1\r\n");
  EXPECT_TRUE(platform::WriteProfileString("KELDRO.INI", "misc", "button bar", "3"));
  EXPECT_TRUE(platform::WriteProfileString("KELDRO.INI", "Misc", "Show Tips", "No"));
  EXPECT_TRUE(platform::WriteProfileString("KELDRO.INI", "Reports", "Last Report", "4"));
  EXPECT_EQ(TempRoot::ReadFile(file),
            "; written by hand\r\n"
            "[Misc]\r\n"
            "Button Bar=3\r\n"
            "Unknown=keep me\r\n"
            "not a key line\r\n"
            "Show Tips=No\r\n"
            "\r\n"
            "[Other]\r\n"
            ";comment=not a key\r\n"
            "A=1\r\n"
            "\r\n"
            "[Reports]\r\n"
            "Last Report=4\r\n");
  EXPECT_EQ(platform::GetProfileString("KELDRO.INI", "OTHER", "a", "x"), "1");
  EXPECT_EQ(platform::GetProfileString("KELDRO.INI", "Other", ";comment", "none"), "none");
  EXPECT_TRUE(platform::DeleteProfileKey("KELDRO.INI", "Misc", "Unknown"));
  EXPECT_EQ(platform::GetProfileSection("KELDRO.INI", "Misc"),
            (std::vector<std::pair<std::string, std::string>>{{"Button Bar", "3"}, {"Show Tips", "No"}}));
}

TEST(Profile, ReadsValuesAsTheProfileFunctionsDo) {
  TempRoot root;
  TempRoot::WriteFile(root.path() / "WINDOWS" / "keldro.ini",
                      "[Caf\xC9]\n"
                      "Name=  spaced value\t\n"
                      "Quoted=\"  kept inside  \"\n"
                      "Num=-42abc\n"
                      "Bad=abc\n"
                      "Big=99999999999\n"
                      "Name=second one is ignored\n");
  struct Case {
    const char* section;
    const char* key;
    const char* expected;
  } cases[] = {
      {"caf\xE9", "NAME", "spaced value"},  // Windows-1252 letters match without case too
      {"Caf\xC9", "quoted", "  kept inside  "},
      {"Caf\xC9", "missing", "def"},
      {"Nope", "Name", "def"},
  };
  for (const Case& c : cases)
    EXPECT_EQ(platform::GetProfileString("KELDRO.INI", c.section, c.key, "def"), c.expected) << c.key;
  EXPECT_EQ(platform::GetProfileInt("KELDRO.INI", "caf\xE9", "Num", 7), -42);
  EXPECT_EQ(platform::GetProfileInt("KELDRO.INI", "caf\xE9", "Bad", 7), 7);
  EXPECT_EQ(platform::GetProfileInt("KELDRO.INI", "caf\xE9", "Big", 7), 2147483647);
  EXPECT_EQ(platform::GetProfileInt("KELDRO.INI", "caf\xE9", "None", 7), 7);
  // The buffer limit cuts the value.
  EXPECT_EQ(platform::GetProfileString("KELDRO.INI", "caf\xE9", "Name", "", 6), "spaced");
  EXPECT_EQ(platform::GetProfileString("KELDRO.INI", "x", "y", "a default", 3), "a d");
}

TEST(Profile, ValuesWithLineBreaksCannotInjectKeys) {
  TempRoot root;
  EXPECT_TRUE(platform::WriteProfileString("A.INI", "S", "Key", "one\r\n[Evil]\r\nX=1"));
  EXPECT_EQ(platform::GetProfileString("A.INI", "Evil", "X", "none"), "none");
  EXPECT_EQ(platform::GetProfileString("A.INI", "S", "Key", ""), "one  [Evil]  X=1");
}

TEST(Profile, AValueInQuotesReadsBackAsWrittenThroughEveryRewrite) {
  // Reading removes one pair of enclosing quotes, so a value that has its
  // own must be written inside another pair or each rewrite loses one.
  const struct {
    const char* value;
    const char* line;
  } cases[] = {
      {"\"Main Stash\"", "K=\"\"Main Stash\"\""},
      {"\"\"", "K=\"\"\"\""},
      {"a \"b\" c", "K=a \"b\" c"},
      {"\"", "K=\""},
  };
  for (const auto& c : cases) {
    platform::IniFile ini;
    ini.Set("S", "K", c.value);
    EXPECT_EQ(ini.Serialize(), std::string("[S]\r\n") + c.line + "\r\n") << c.value;
    for (int round = 0; round < 2; ++round) {
      ini.Parse(ini.Serialize());
      ASSERT_EQ(ini.Get("S", "K"), c.value) << c.value;
      ini.Set("S", "K", *ini.Get("S", "K"));
    }
  }
}

TEST(Profile, SectionsWriteAsAWhole) {
  platform::IniFile ini;
  ini.Parse("[A]\nx=1\n;note\ny=2\n\n[B]\nz=3\n");
  ini.SetSection("a", {{"p", "5"}, {"q", "6"}});
  ini.SetSection("C", {});
  EXPECT_EQ(ini.Serialize(), "[A]\r\n;note\r\np=5\r\nq=6\r\n\r\n[B]\r\nz=3\r\n\r\n[C]\r\n");
  EXPECT_EQ(ini.SectionNames(), (std::vector<std::string>{"A", "B", "C"}));
  EXPECT_TRUE(ini.DeleteSection("b"));
  EXPECT_FALSE(ini.HasSection("B"));
}

TEST(Profile, PathsResolve) {
  TempRoot root;
  EXPECT_EQ(platform::ProfilePath("WIN.INI"), root.path() / "WINDOWS" / "WIN.INI");
  TempRoot::WriteFile(root.path() / "C" / "cfg" / "x.ini", "");
  EXPECT_EQ(platform::ProfilePath("C:\\CFG\\X.INI"), root.path() / "C" / "cfg" / "x.ini");
}

TEST(Profile, TwoProcessesWritingLoseNoKeys) {
  TempRoot root;
  constexpr int kWrites = 100;
  pid_t children[2];
  for (int p = 0; p < 2; ++p) {
    children[p] = fork();
    ASSERT_GE(children[p], 0);
    if (children[p] == 0) {
      int failures = 0;
      for (int i = 0; i < kWrites; ++i)
        if (!platform::WriteProfileString("SHARED.INI", p ? "B" : "A", "K" + std::to_string(i), std::to_string(i)))
          ++failures;
      _exit(failures ? 1 : 0);
    }
  }
  for (pid_t child : children) {
    int status = 0;
    waitpid(child, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  }
  EXPECT_EQ(platform::GetProfileSection("SHARED.INI", "A").size(), static_cast<size_t>(kWrites));
  EXPECT_EQ(platform::GetProfileSection("SHARED.INI", "B").size(), static_cast<size_t>(kWrites));
}

TEST(Profile, FailedWriteKeepsTheOldFile) {
  TempRoot root;
  const auto file = root.path() / "WINDOWS" / "KELDRO.INI";
  const std::string old = "[Misc]\r\nA=1\r\n";
  TempRoot::WriteFile(file, old);
  // A file-size limit makes the write fail half-way, as a full disk would.
  pid_t pid = fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    signal(SIGXFSZ, SIG_IGN);
    rlimit limit{16, 16};
    setrlimit(RLIMIT_FSIZE, &limit);
    bool ok = platform::WriteProfileString("KELDRO.INI", "Misc", "B", std::string(100, 'x'));
    _exit(ok ? 1 : 0);
  }
  int status = 0;
  waitpid(pid, &status, 0);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "the write reported success";
  EXPECT_EQ(TempRoot::ReadFile(file), old);
  // No temporary file is left behind.
  for (const auto& e : std::filesystem::directory_iterator(file.parent_path())) {
    const std::string name = e.path().filename().string();
    EXPECT_TRUE(name == "KELDRO.INI" || name == ".KELDRO.INI.lock") << name;
  }
  // A directory that does not exist cannot be written either.
  EXPECT_FALSE(platform::WriteProfileString((root.path() / "nope" / "X.INI").string(), "S", "K", "V"));
}

TEST(Profile, DeletingAKeyOrSectionRemovesItsDuplicatesToo) {
  // A hand-edited file may hold a key or a section twice; the first wins on
  // reading, so deleting only the first would bring the second back.
  TempRoot root;
  const auto file = root.path() / "WINDOWS" / "DUP.INI";
  TempRoot::WriteFile(file,
                      "[A]\r\nK=1\r\nk=2\r\nOther=x\r\n"
                      "[B]\r\nK=3\r\n"
                      "[a]\r\nK=4\r\n"
                      "[b]\r\nK=5\r\n");
  EXPECT_TRUE(platform::DeleteProfileKey("DUP.INI", "A", "K"));
  EXPECT_EQ(platform::GetProfileString("DUP.INI", "A", "K", "gone"), "gone");
  EXPECT_EQ(platform::GetProfileString("DUP.INI", "A", "Other", ""), "x");
  platform::IniFile ini(file);
  ASSERT_TRUE(ini.Load());
  EXPECT_TRUE(ini.DeleteSection("B"));
  EXPECT_FALSE(ini.HasSection("B"));
  EXPECT_EQ(ini.Get("B", "K"), std::nullopt);
  EXPECT_EQ(ini.Get("A", "Other"), "x");
}

}  // namespace
