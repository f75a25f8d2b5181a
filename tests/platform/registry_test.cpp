#include "platform/registry.h"

#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "platform/detail/registry_file.h"
#include "platform/paths.h"
#include "temp_root.h"

using testing_support::TempRoot;
namespace reg = platform::registry;

namespace {

std::string Hklm() { return TempRoot::ReadFile(platform::RegistryDir() / "HKLM.reg"); }

TEST(Registry, EveryTypeRoundTripsInTheDocumentedForm) {
  TempRoot root;
  reg::Key key;
  ASSERT_EQ(reg::CreateKey(reg::Hive::LocalMachine, "Software\\Vantrix\\Slw32", key), reg::kSuccess);
  EXPECT_EQ(key.SetString("LOCALE_LIB1", "C:\\SL\\\"A\".SLL"), reg::kSuccess);
  EXPECT_EQ(key.SetDword("Count", 300), reg::kSuccess);
  EXPECT_EQ(key.SetBinary("Bias", {0x00, 0x01, 0xff}), reg::kSuccess);
  EXPECT_EQ(key.SetString("", "default"), reg::kSuccess);
  EXPECT_EQ(key.SetDword("count", 301), reg::kSuccess);  // same value, other spelling
  EXPECT_EQ(Hklm(),
            "REGEDIT4\r\n\r\n"
            "[HKEY_LOCAL_MACHINE\\Software\\Vantrix\\Slw32]\r\n"
            "\"LOCALE_LIB1\"=\"C:\\\\SL\\\\\\\"A\\\".SLL\"\r\n"
            "\"Count\"=dword:0000012d\r\n"
            "\"Bias\"=hex:00,01,ff\r\n"
            "@=\"default\"\r\n"
            "\r\n");

  reg::Key ro;
  ASSERT_EQ(reg::OpenKey(reg::Hive::LocalMachine, "SOFTWARE\\vantrix\\SLW32", false, ro), reg::kSuccess);
  std::string text;
  uint32_t n = 0;
  std::vector<uint8_t> bytes;
  EXPECT_EQ(ro.QueryString("locale_lib1", text), reg::kSuccess);
  EXPECT_EQ(text, "C:\\SL\\\"A\".SLL");
  EXPECT_EQ(ro.QueryDword("Count", n), reg::kSuccess);
  EXPECT_EQ(n, 301u);
  EXPECT_EQ(ro.QueryBinary("Bias", bytes), reg::kSuccess);
  EXPECT_EQ(bytes, (std::vector<uint8_t>{0, 1, 255}));
  EXPECT_EQ(ro.QueryString("", text), reg::kSuccess);
  EXPECT_EQ(text, "default");
  EXPECT_EQ(ro.QueryString("Missing", text), reg::kFileNotFound);

  std::vector<std::string> names;
  reg::Value v;
  for (uint32_t i = 0; ro.EnumValue(i, v) == reg::kSuccess; ++i) names.push_back(v.name);
  EXPECT_EQ(names, (std::vector<std::string>{"LOCALE_LIB1", "Count", "Bias", ""}));
  EXPECT_EQ(ro.EnumValue(4, v), reg::kNoMoreItems);

  EXPECT_EQ(key.DeleteValue("BIAS"), reg::kSuccess);
  EXPECT_EQ(key.DeleteValue("Bias"), reg::kFileNotFound);
  EXPECT_EQ(ro.QueryBinary("Bias", bytes), reg::kFileNotFound);
}

TEST(Registry, ReadsAHandWrittenFileAndKeepsWhatItDoesNotKnow) {
  TempRoot root;
  const std::string hand =
      "REGEDIT4\n"
      "\n"
      "[HKEY_CURRENT_USER\\Control Panel\\International]\n"
      "\"sDecimal\"=\",\"\r\n"
      "; a comment\n"
      "\"iDigits\"=dword:2\n"
      "\"Long\"=hex:01,02,\\\n"
      "  03,04\n"
      "\"Expand\"=hex(2):41,00\n"
      "garbage line\n"
      "\"Unclosed=\"x\n"
      "\"BadDword\"=dword:123456789\n"
      "\n"
      "[HKEY_LOCAL_MACHINE\\Elsewhere]\n"
      "\"x\"=\"y\"\n"
      "[HKEY_CURRENT_USER\\Control Panel\\Desktop\\Deep]\n"
      "@=\"d\"\n";
  TempRoot::WriteFile(platform::RegistryDir() / "HKCU.reg", hand);
  reg::Key key;
  ASSERT_EQ(reg::OpenKey(reg::Hive::CurrentUser, "Control Panel\\International", false, key), reg::kSuccess);
  std::string text;
  uint32_t n = 0;
  std::vector<uint8_t> bytes;
  EXPECT_EQ(key.QueryString("sDecimal", text), reg::kSuccess);
  EXPECT_EQ(text, ",");
  EXPECT_EQ(key.QueryDword("iDigits", n), reg::kSuccess);
  EXPECT_EQ(n, 2u);
  EXPECT_EQ(key.QueryBinary("Long", bytes), reg::kSuccess);
  EXPECT_EQ(bytes, (std::vector<uint8_t>{1, 2, 3, 4}));
  for (const char* unreadable : {"Expand", "Unclosed", "BadDword"})
    EXPECT_EQ(key.QueryString(unreadable, text), reg::kFileNotFound) << unreadable;
  // The other hive's key in this file is not ours.
  reg::Key other;
  EXPECT_EQ(reg::OpenKey(reg::Hive::CurrentUser, "Elsewhere", false, other), reg::kFileNotFound);
  EXPECT_FALSE(other.IsOpen());

  // Keys exist implicitly above a deeper key; enumeration lists each child once.
  reg::Key panel;
  ASSERT_EQ(reg::OpenKey(reg::Hive::CurrentUser, "control panel", false, panel), reg::kSuccess);
  std::vector<std::string> children;
  std::string child;
  for (uint32_t i = 0; panel.EnumKey(i, child) == reg::kSuccess; ++i) children.push_back(child);
  EXPECT_EQ(children, (std::vector<std::string>{"International", "Desktop"}));
  reg::Key desktop;
  EXPECT_EQ(reg::OpenKey(reg::Hive::CurrentUser, "Control Panel\\Desktop", false, desktop), reg::kSuccess);

  // A change keeps every line it could not read.
  reg::Key w;
  ASSERT_EQ(reg::OpenKey(reg::Hive::CurrentUser, "Control Panel\\International", true, w), reg::kSuccess);
  EXPECT_EQ(w.SetString("sThousand", "."), reg::kSuccess);
  const std::string now = TempRoot::ReadFile(platform::RegistryDir() / "HKCU.reg");
  for (const char* kept : {"; a comment\r\n", "\"Expand\"=hex(2):41,00\r\n", "garbage line\r\n",
                           "[HKEY_LOCAL_MACHINE\\Elsewhere]\r\n\"x\"=\"y\"\r\n", "\"Long\"=hex:01,02,03,04\r\n",
                           "\"sThousand\"=\".\"\r\n"})
    EXPECT_NE(now.find(kept), std::string::npos) << kept;

  // A hand edit is seen by a key that is already open.
  TempRoot::WriteFile(platform::RegistryDir() / "HKCU.reg",
                      "REGEDIT4\n[HKEY_CURRENT_USER\\Control Panel\\International]\n\"sDecimal\"=\";\"\n");
  EXPECT_EQ(key.QueryString("sDecimal", text), reg::kSuccess);
  EXPECT_EQ(text, ";");
}

TEST(Registry, DeletingAValueRemovesItsDuplicatesToo) {
  // A hand-edited hive may name a value twice; the first wins on reading, so
  // deleting only the first would bring the second back.
  TempRoot root;
  TempRoot::WriteFile(platform::RegistryDir() / "HKLM.reg",
                      "REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\Software\\X]\r\n"
                      "\"Path\"=\"C:\\\\OLD\"\r\n\"PATH\"=\"C:\\\\OLDER\"\r\n\"Keep\"=dword:00000001\r\n");
  reg::Key key;
  ASSERT_EQ(reg::OpenKey(reg::Hive::LocalMachine, "Software\\X", true, key), reg::kSuccess);
  std::string text;
  ASSERT_EQ(key.QueryString("path", text), reg::kSuccess);
  EXPECT_EQ(text, "C:\\OLD");
  EXPECT_EQ(key.DeleteValue("Path"), reg::kSuccess);
  EXPECT_EQ(key.QueryString("Path", text), reg::kFileNotFound);
  uint32_t keep = 0;
  EXPECT_EQ(key.QueryDword("Keep", keep), reg::kSuccess);
  EXPECT_EQ(keep, 1u);
}

TEST(Registry, AKeyWrittenTwiceInTheFileReadsAsOne) {
  // A snippet appended to the hive by hand repeats a key's line; its values
  // belong to the key as much as those under the first line.
  TempRoot root;
  TempRoot::WriteFile(platform::RegistryDir() / "HKLM.reg",
                      "REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\Software\\X]\r\n\"A\"=\"1\"\r\n\"B\"=\"2\"\r\n\r\n"
                      "[HKLM\\software\\x]\r\n\"b\"=\"shadowed\"\r\n\"C\"=\"3\"\r\n");
  reg::Key key;
  ASSERT_EQ(reg::OpenKey(reg::Hive::LocalMachine, "Software\\X", true, key), reg::kSuccess);
  std::string text;
  ASSERT_EQ(key.QueryString("C", text), reg::kSuccess);
  EXPECT_EQ(text, "3");
  ASSERT_EQ(key.QueryString("B", text), reg::kSuccess);
  EXPECT_EQ(text, "2");
  std::vector<std::string> names;
  reg::Value v;
  for (uint32_t i = 0; key.EnumValue(i, v) == reg::kSuccess; ++i) names.push_back(v.name);
  EXPECT_EQ(names, (std::vector<std::string>{"A", "B", "C"}));
  EXPECT_EQ(key.SetString("c", "4"), reg::kSuccess);
  ASSERT_EQ(key.QueryString("C", text), reg::kSuccess);
  EXPECT_EQ(text, "4");
  EXPECT_EQ(key.DeleteValue("B"), reg::kSuccess);
  EXPECT_EQ(key.QueryString("B", text), reg::kFileNotFound);
  EXPECT_EQ(key.DeleteValue("C"), reg::kSuccess);
  EXPECT_EQ(key.QueryString("C", text), reg::kFileNotFound);
}

TEST(Registry, DeletingAKeyRemovesItsSubtree) {
  TempRoot root;
  reg::Key key;
  ASSERT_EQ(reg::CreateKey(reg::Hive::LocalMachine, "A\\B\\C", key), reg::kSuccess);
  ASSERT_EQ(reg::CreateKey(reg::Hive::LocalMachine, "A\\Bx", key), reg::kSuccess);
  EXPECT_EQ(reg::DeleteKey(reg::Hive::LocalMachine, "a\\b"), reg::kSuccess);
  EXPECT_EQ(reg::OpenKey(reg::Hive::LocalMachine, "A\\B\\C", false, key), reg::kFileNotFound);
  EXPECT_EQ(reg::OpenKey(reg::Hive::LocalMachine, "A\\Bx", false, key), reg::kSuccess);
  EXPECT_EQ(reg::DeleteKey(reg::Hive::LocalMachine, "A\\B"), reg::kFileNotFound);
  EXPECT_EQ(reg::DeleteKey(reg::Hive::LocalMachine, ""), reg::kAccessDenied);
}

TEST(Registry, TwoProcessesWritingLoseNothing) {
  TempRoot root;
  constexpr int kWrites = 150;
  pid_t children[2];
  for (int p = 0; p < 2; ++p) {
    children[p] = fork();
    ASSERT_GE(children[p], 0);
    if (children[p] == 0) {
      reg::Key key;
      int failures = 0;
      if (reg::CreateKey(reg::Hive::CurrentUser, "Software\\Test", key) != reg::kSuccess) _exit(2);
      for (int i = 0; i < kWrites; ++i) {
        std::string name = std::string(1, static_cast<char>('A' + p)) + std::to_string(i);
        if (key.SetDword(name, static_cast<uint32_t>(i)) != reg::kSuccess) ++failures;
      }
      _exit(failures ? 1 : 0);
    }
  }
  for (pid_t child : children) {
    int status = 0;
    waitpid(child, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  }
  reg::Key key;
  ASSERT_EQ(reg::OpenKey(reg::Hive::CurrentUser, "Software\\Test", false, key), reg::kSuccess);
  for (int p = 0; p < 2; ++p) {
    for (int i = 0; i < kWrites; ++i) {
      uint32_t n = 0;
      std::string name = std::string(1, static_cast<char>('A' + p)) + std::to_string(i);
      ASSERT_EQ(key.QueryDword(name, n), reg::kSuccess) << name;
      EXPECT_EQ(n, static_cast<uint32_t>(i));
    }
  }
}

TEST(Registry, RefusedWritesChangeNothing) {
  TempRoot root;
  reg::Key key;
  ASSERT_EQ(reg::CreateKey(reg::Hive::LocalMachine, "Software\\Vantrix\\Database Engine", key), reg::kSuccess);
  ASSERT_EQ(key.SetString("CONFIGFILE01", "C:\\ORBEX.CFG"), reg::kSuccess);
  const std::string before = Hklm();

  reg::Key ro;
  ASSERT_EQ(reg::OpenKey(reg::Hive::LocalMachine, "Software\\Vantrix\\Database Engine", false, ro),
            reg::kSuccess);
  EXPECT_EQ(ro.SetString("CONFIGFILE01", "X"), reg::kAccessDenied);
  EXPECT_EQ(ro.SetDword("N", 1), reg::kAccessDenied);
  EXPECT_EQ(ro.DeleteValue("CONFIGFILE01"), reg::kAccessDenied);

  reg::SetHiveReadOnlyForTesting(reg::Hive::LocalMachine, true);
  EXPECT_EQ(key.SetString("CONFIGFILE01", "X"), reg::kAccessDenied);
  EXPECT_EQ(reg::CreateKey(reg::Hive::LocalMachine, "New", key), reg::kAccessDenied);
  EXPECT_EQ(reg::OpenKey(reg::Hive::LocalMachine, "Software", true, key), reg::kAccessDenied);
  EXPECT_EQ(reg::DeleteKey(reg::Hive::LocalMachine, "Software"), reg::kAccessDenied);
  // The other hive is unaffected, and reading still works.
  EXPECT_EQ(reg::CreateKey(reg::Hive::CurrentUser, "New", key), reg::kSuccess);
  std::string text;
  EXPECT_EQ(ro.QueryString("CONFIGFILE01", text), reg::kSuccess);
  reg::SetHiveReadOnlyForTesting(reg::Hive::LocalMachine, false);
  EXPECT_EQ(Hklm(), before);

  reg::Key closed;
  EXPECT_EQ(closed.SetString("a", "b"), reg::kInvalidParameter);
  EXPECT_EQ(closed.QueryString("a", text), reg::kInvalidParameter);
}

TEST(Registry, ContinuationNeverSwallowsTheNextKey) {
  auto file = reg::detail::ParseHive(reg::Hive::LocalMachine,
                                     "REGEDIT4\n[HKEY_LOCAL_MACHINE\\A]\n\"b\"=hex:01,\\\n[HKEY_LOCAL_MACHINE\\B]\n");
  ASSERT_EQ(file.keys.size(), 2u);
  EXPECT_EQ(file.keys[1].path, "B");
  ASSERT_EQ(file.keys[0].entries.size(), 1u);
  EXPECT_TRUE(file.keys[0].entries[0].parsed);
  EXPECT_EQ(file.keys[0].entries[0].value.bytes, (std::vector<uint8_t>{1}));
}

TEST(Registry, ParserNeverTrustsItsInput) {
  // Truncated and odd input parses to whatever it can read.
  for (const char* text : {"", "REGEDIT4", "[", "[]", "\"a\"=", "[HKEY_LOCAL_MACHINE\\x]\n\"a\"=hex:1,\\",
                           "[HKEY_LOCAL_MACHINE\\x]\n\"a\"=\"\\", "[HKEY_LOCAL_MACHINE\\\\\\]\n@=dword:",
                           "\xEF\xBB\xBFREGEDIT4\r\n[HKLM\\y]\r\n@=hex:\r\n",
                           "[HKLM\\x]\n@=hex:1,\\ \\\t\\", "[b=HEX\\\n\\]\n"}) {
    auto file = reg::detail::ParseHive(reg::Hive::LocalMachine, text);
    auto again = reg::detail::ParseHive(reg::Hive::LocalMachine,
                                        reg::detail::SerializeHive(reg::Hive::LocalMachine, file));
    EXPECT_EQ(reg::detail::SerializeHive(reg::Hive::LocalMachine, again),
              reg::detail::SerializeHive(reg::Hive::LocalMachine, file))
        << text;
  }
}

}  // namespace
