#include "core/settings.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "platform/profile.h"
#include "temp_root.h"

using testing_support::TempRoot;

namespace keldro {
namespace {

// Every key of the settings file in the order it is written.
std::vector<std::pair<std::string, std::string>> ExpectedKeys() {
  std::vector<std::pair<std::string, std::string>> keys;
  for (const char* k : {"Button Bar", "Main Window Left", "Main Window Top", "Main Window Width", "Main Window Height",
                        "Last Import File", "Last Export File", "Last Database", "Last File 1", "Last File 2",
                        "Last File 3", "Last File 4", "Last File 5", "Show Tips", "Window Size", "Date Format",
                        "Date Leading Zeros", "Currency Format", "Numeric Format"})
    keys.emplace_back("Misc", k);
  for (const char* s : {"Field Names", "Display Fields", "Field Width", "Field Order", "Export Fields", "Export Order"})
    for (const ItemField& f : ItemFields) keys.emplace_back(s, std::string(f.name));
  keys.insert(keys.end(), {{"Export", "First Row"}, {"Export", "File Type"}, {"Import", "Skip First"},
                           {"Import", "File Type"}, {"Sort Order", "Primary Sort"}, {"Sort Order", "Secondary Sort"},
                           {"Sort Order", "Third Level Sort"}, {"Sort Order", "Fourth Level Sort"}});
  for (const char* s : {"Main Window Color", "Edit Window Color", "Search Window Color", "Report Window Color",
                        "Configure Window Color"})
    for (std::string_view k : kColorKeys) keys.emplace_back(s, std::string(k));
  keys.insert(keys.end(), {{"Grid Title", "Show Titles"}, {"Grid Title", "Background Color"}, {"Grid Title", "Alignment"}});
  for (const char* s : {"Grid Title Font", "Grid Font"})
    for (const char* k : {"Color", "Font Name", "Size", "Bold", "Italic", "Underline", "Strikeout"}) keys.emplace_back(s, k);
  for (const char* k : {"Cell Color", "Column Lines", "Row Lines", "Row Indicator", "Field Editing"})
    keys.emplace_back("Grid Options", k);
  for (const char* s : {"Edit Font", "Label Font", "Button Font"})
    for (const char* k : {"Font Name", "Bold", "Italic"}) keys.emplace_back(s, k);
  for (const char* k : {"Last Report", "Print Insurance Company", "Print Policy Number", "Print Statement",
                        "Insurance Company", "Policy Number", "Your Name", "Report Viewing Window Left",
                        "Report Viewing Window Top", "Report Viewing Window Width", "Report Viewing Window Height"})
    keys.emplace_back("Reports", k);
  return keys;
}

std::vector<std::pair<std::string, std::string>> WrittenKeys(const platform::IniFile& ini) {
  std::vector<std::pair<std::string, std::string>> keys;
  for (const std::string& s : ini.SectionNames())
    for (const auto& [k, v] : ini.Section(s)) keys.emplace_back(s, k);
  return keys;
}

TEST(Settings, NoFileGivesEveryDefaultAndWritesEveryKeyInOrder) {
  TempRoot root;
  const AppSettings s = LoadSettings("/home/user");
  EXPECT_EQ(s.lastImportFile, "/home/user");
  EXPECT_EQ(s.lastExportFile, "/home/user");
  EXPECT_EQ(s.sortLevels.levels, (std::array<int, 4>{12, 0, 0, 0}));
  EXPECT_EQ(s.mainWidth, 640);
  EXPECT_EQ(s.gridTitleFont.size, 12);
  EXPECT_EQ(s.gridFont.size, 10);
  EXPECT_EQ(s.fields[3].title, "Serial Number");
  EXPECT_EQ(s.fields[21].order, 22);
  ASSERT_TRUE(SaveSettings(s));

  platform::IniFile ini(platform::ProfilePath("KELDRO.INI"));
  ASSERT_TRUE(ini.Load());
  EXPECT_EQ(ini.path(), root.path() / "WINDOWS" / "KELDRO.INI");
  EXPECT_EQ(WrittenKeys(ini), ExpectedKeys());

  // The defaults as written, a sample of each kind.
  struct Case { const char* section; const char* key; const char* value; } cases[] = {
      {"Misc", "Button Bar", "1"},           {"Misc", "Show Tips", "Yes"},
      {"Misc", "Date Leading Zeros", "No"},  {"Misc", "Last Database", ""},
      {"Misc", "Window Size", "640"},        {"Field Names", "BoughtFrom", "Purchased From"},
      {"Field Width", "Item", "15"},         {"Export Order", "Value", "18"},
      {"Sort Order", "Primary Sort", "12"},  {"Main Window Color", "Main Background", "12632256"},
      {"Configure Window Color", "Check Text", "0"}, {"Grid Title", "Background Color", "8553090"},
      {"Grid Title Font", "Size", "12"},     {"Grid Font", "Font Name", "Arial"},
      {"Grid Options", "Field Editing", "No"}, {"Button Font", "Italic", "No"},
      {"Reports", "Report Viewing Window Height", "480"},
  };
  for (const Case& c : cases) EXPECT_EQ(ini.Get(c.section, c.key), c.value) << c.section << "/" << c.key;

  // What was written reads back the same.
  EXPECT_EQ(LoadSettings(ini, "/elsewhere").lastImportFile, "/home/user");
}

TEST(Settings, ValuesAreReadWithTheirLimits) {
  struct Case {
    const char* name;
    const char* section;
    const char* key;
    std::string value;
    std::function<bool(const AppSettings&)> check;
  } cases[] = {
      {"yes in lower case", "Misc", "Show Tips", "yes", [](auto& s) { return s.showTips; }},
      {"YES", "Misc", "Show Tips", "YES", [](auto& s) { return s.showTips; }},
      {"Y is off", "Misc", "Show Tips", "Y", [](auto& s) { return !s.showTips; }},
      {"True is off", "Misc", "Show Tips", "True", [](auto& s) { return !s.showTips; }},
      {"a long field title is cut to 20", "Field Names", "Item", std::string(30, 'T'),
       [](auto& s) { return s.fields[0].title == std::string(20, 'T'); }},
      {"a long last database is read whole", "Misc", "Last Database", std::string(300, 'p'),
       [](auto& s) { return s.lastDatabase == std::string(300, 'p'); }},
      {"a long recent file is read whole", "Misc", "Last File 5", std::string(253, 'r'),
       [](auto& s) { return s.lastFiles[4] == std::string(253, 'r'); }},
      {"a long import path is read whole", "Misc", "Last Import File", std::string(251, 'm'),
       [](auto& s) { return s.lastImportFile == std::string(251, 'm'); }},
      {"a font name up to 150", "Edit Font", "Font Name", std::string(200, 'f'),
       [](auto& s) { return s.editFont.name == std::string(150, 'f'); }},
      {"insurance company cut to 40", "Reports", "Insurance Company", std::string(60, 'i'),
       [](auto& s) { return s.reports.insuranceCompany == std::string(40, 'i'); }},
      {"policy cut to 20", "Reports", "Policy Number", std::string(25, '7'),
       [](auto& s) { return s.reports.policyNumber == std::string(20, '7'); }},
      {"your name cut to 30", "Reports", "Your Name", std::string(35, 'n'),
       [](auto& s) { return s.reports.yourName == std::string(30, 'n'); }},
      {"negative number", "Misc", "Main Window Left", "-20", [](auto& s) { return s.mainLeft == -20; }},
      {"not a whole number keeps the default", "Misc", "Main Window Width", "12.5",
       [](auto& s) { return s.mainWidth == 640; }},
      {"text keeps the default", "Misc", "Window Size", "big", [](auto& s) { return s.windowSize == 640; }},
      {"a number longer than 15 is cut", "Misc", "Main Window Height", "0000000000000001234",
       [](auto& s) { return s.mainHeight == 0; }},
      {"colour", "Edit Window Color", "Edit Text", "255", [](auto& s) { return s.colors[1].colors[4] == 255; }},
      {"grid font colour up to 150", "Grid Font", "Color", std::string(20, '0') + "42",
       [](auto& s) { return s.gridFont.color == 42; }},
      {"sort level of no field keeps the default", "Sort Order", "Primary Sort", "99",
       [](auto& s) { return s.sortLevels.levels[0] == 12; }},
      {"sort level", "Sort Order", "Fourth Level Sort", "22", [](auto& s) { return s.sortLevels.levels[3] == 22; }},
      {"styles added", "Grid Title Font", "Strikeout", "Yes", [](auto& s) { return s.gridTitleFont.strikeOut; }},
  };
  for (const Case& c : cases) {
    platform::IniFile ini;
    ini.Set(c.section, c.key, c.value);
    EXPECT_TRUE(c.check(LoadSettings(ini, "."))) << c.name;
  }
}

TEST(Settings, EveryValueRoundTrips) {
  AppSettings s = DefaultSettings("C:");
  s.buttonBar = 3;
  s.mainLeft = -4;
  s.lastFiles = {"/a/ONE.DBF", "/b/TWO.DBF", "", "/d/FOUR.DBF", ""};
  s.lastDatabase = "/" + std::string(251, 'd') + "/HOME.DBF";
  s.showTips = false;
  s.windowSize = 1024;
  s.dateFormat = 12;
  s.dateLeadingZeros = true;
  s.numericFormat = 2;
  s.fields[5] = {"Desc", false, 33, 2, false, 7};
  s.exportFirstRow = false;
  s.importFileType = 2;
  s.sortLevels.levels = {3, 0, 5, 22};
  s.colors[4].colors[12] = 16711680;
  s.titleAlignment = 3;
  s.gridTitleFont = {255, "Courier New", 14, true, true, true, true};
  s.fieldEditing = true;
  s.labelFont = {"Times New Roman", true, false};
  s.reports = {4, true, false, true, "Acme Mutual", "P-123", "A. Owner", 1, 2, 800, 600};

  platform::IniFile ini;
  SaveSettings(s, ini);
  platform::IniFile reread;
  reread.Parse(ini.Serialize());
  const AppSettings back = LoadSettings(reread, "ignored");
  EXPECT_EQ(back.lastFiles, s.lastFiles);
  EXPECT_EQ(back.lastDatabase, s.lastDatabase);
  EXPECT_EQ(back.fields[5].title, "Desc");
  EXPECT_EQ(back.fields[5].width, 33);
  EXPECT_FALSE(back.fields[5].exportField);
  EXPECT_EQ(back.sortLevels, s.sortLevels);
  EXPECT_EQ(back.colors, s.colors);
  EXPECT_EQ(back.gridTitleFont, s.gridTitleFont);
  EXPECT_EQ(back.labelFont, s.labelFont);
  EXPECT_EQ(back.reports, s.reports);
  EXPECT_EQ(back.lastImportFile, "C:");
  EXPECT_TRUE(back.fieldEditing && back.dateLeadingZeros && !back.showTips && !back.exportFirstRow);
  EXPECT_EQ(back.windowSize, 1024);
  EXPECT_EQ(ini.Get("Misc", "Date Leading Zeros"), "Yes");
  EXPECT_EQ(ini.Get("Display Fields", "Descriptio"), "No");
}

TEST(Settings, AnExistingFileKeepsItsOtherContent) {
  TempRoot root;
  TempRoot::WriteFile(root.path() / "WINDOWS" / "KELDRO.INI",
                      "; kept\r\n[Misc]\r\nButton Bar=2\r\nMy Own Key=mine\r\n");
  AppSettings s = LoadSettings(".");
  EXPECT_EQ(s.buttonBar, 2);
  s.buttonBar = 3;
  ASSERT_TRUE(SaveSettings(s));
  const std::string text = TempRoot::ReadFile(root.path() / "WINDOWS" / "KELDRO.INI");
  EXPECT_THAT(text, testing::HasSubstr("; kept"));
  EXPECT_THAT(text, testing::HasSubstr("My Own Key=mine"));
  EXPECT_THAT(text, testing::HasSubstr("Button Bar=3"));
}

}  // namespace
}  // namespace keldro
