// AppSettings: everything keldro keeps in "KELDRO.INI" (in the Windows
// directory), read once at start and written back at close.
//
// Keys are read and written in one fixed order, section by section; a new
// file therefore lists them in that order, an existing one keeps its own
// (the profile functions keep a file's order and comments). Booleans are
// "Yes"/"No"; a value is read up to its limit and then cut to its field.
// A number that is not a whole number, or out of the range the program can
// use, reads as the key's default.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "core/sort_levels.h"
#include "core/item_fields.h"

namespace platform {
class IniFile;
}

namespace keldro {

inline constexpr std::string_view kSettingsFileName = "KELDRO.INI";

// Per field (index = field number - 1).
struct FieldSettings {
  std::string title;      // "Field Names", at most 20 characters
  bool display = true;    // "Display Fields"
  int width = 15;         // "Field Width"
  int order = 0;          // "Field Order": the field's number by default
  bool exportField = true;  // "Export Fields"
  int exportOrder = 0;    // "Export Order": the field's number by default
};

inline constexpr int kColorCount = 13;
inline constexpr std::array<std::string_view, kColorCount> kColorKeys{
    "Main Background", "Major Title", "Minor Title", "Edit Background", "Edit Text",
    "Combo Background", "Combo Text", "List Box Background", "List Box Text",
    "Radio Background", "Radio Text", "Check Background", "Check Text"};
inline constexpr std::array<int32_t, kColorCount> kDefaultColors{
    12632256, 0, 0, 16777215, 0, 16777215, 0, 16777215, 0, 12632256, 0, 12632256, 0};

// The thirteen colours of one window group (Windows colour values).
struct ColorScheme {
  std::array<int32_t, kColorCount> colors = kDefaultColors;
  bool operator==(const ColorScheme&) const = default;
};
inline constexpr int kColorGroupCount = 5;  // main, edit, search, report, configure
inline constexpr std::array<std::string_view, kColorGroupCount> kColorSections{
    "Main Window Color", "Edit Window Color", "Search Window Color", "Report Window Color",
    "Configure Window Color"};

// The grid title font and the grid font keep colour, size and all styles.
struct GridFontSettings {
  int32_t color = 0;
  std::string name = "Arial";
  int size = 10;
  bool bold = false;
  bool italic = false;
  bool underline = false;
  bool strikeOut = false;
  bool operator==(const GridFontSettings&) const = default;
};

// The edit, label and button fonts keep only their name and two styles.
struct SimpleFontSettings {
  std::string name = "Arial";
  bool bold = false;
  bool italic = false;
  bool operator==(const SimpleFontSettings&) const = default;
};

struct ReportSettings {
  int lastReport = 0;
  bool printInsuranceCompany = false;
  bool printPolicyNumber = false;
  bool printStatement = false;
  std::string insuranceCompany;  // at most 40
  std::string policyNumber;      // at most 20
  std::string yourName;          // at most 30
  int viewLeft = 0, viewTop = 0, viewWidth = 640, viewHeight = 480;
  bool operator==(const ReportSettings&) const = default;
};

struct AppSettings {
  // "Misc"
  int buttonBar = 1;  // 1 speed buttons, 2 lettered, 3 none
  int mainLeft = 0, mainTop = 0, mainWidth = 640, mainHeight = 480;
  std::string lastImportFile;
  std::string lastExportFile;
  std::string lastDatabase;
  std::array<std::string, 5> lastFiles;  // newest first
  bool showTips = true;
  int windowSize = 640;
  int dateFormat = 1;
  bool dateLeadingZeros = false;
  int currencyFormat = 1;  // 1 U.S., 2 Windows setting
  int numericFormat = 1;   // 1 U.S., 2 Windows setting

  std::array<FieldSettings, kItemFieldCount> fields = DefaultFields();

  bool exportFirstRow = true;
  int exportFileType = 1;
  bool importSkipFirst = true;
  int importFileType = 1;

  SortLevels sortLevels;

  std::array<ColorScheme, kColorGroupCount> colors;

  // "Grid Title"
  bool showTitles = true;
  int32_t titleColor = 8553090;
  int titleAlignment = 2;  // 1 left, 2 centre, 3 right

  GridFontSettings gridTitleFont{0, "Arial", 12};
  GridFontSettings gridFont{0, "Arial", 10};

  // "Grid Options"
  int32_t cellColor = 12632256;
  bool columnLines = true;
  bool rowLines = true;
  bool rowIndicator = true;
  bool fieldEditing = false;

  SimpleFontSettings editFont, labelFont, buttonFont;

  ReportSettings reports;

  static std::array<FieldSettings, kItemFieldCount> DefaultFields();
};

// The defaults, with the current directory at start as the last import and
// export path.
AppSettings DefaultSettings(std::string_view currentDir);

// Reads every key; a missing key gives its default.
AppSettings LoadSettings(const platform::IniFile& ini, std::string_view currentDir);
// Writes every key in the fixed order.
void SaveSettings(const AppSettings& settings, platform::IniFile& ini);

// The same through the settings file in the Windows directory. Saving
// reports whether the file could be written.
AppSettings LoadSettings(std::string_view currentDir);
bool SaveSettings(const AppSettings& settings);

// The value conversions of the settings file.
bool IsYes(std::string_view text);  // "YES" in any case
std::string BoolToYesNo(bool flag);
std::string PCharToUpperStr(std::string_view text, size_t limit);

}  // namespace keldro
