#include "core/settings.h"

#include <algorithm>
#include <charconv>
#include <optional>
#include <limits>

#include "platform/profile.h"

namespace keldro {

namespace {

// Characters taken from the file before a value is converted.
constexpr size_t kNumberLimit = 15;
constexpr size_t kTextLimit = 250;
constexpr size_t kShortTextLimit = 150;
constexpr size_t kNoCut = std::numeric_limits<size_t>::max();

std::string Trimmed(std::string_view s) {
  size_t b = 0, e = s.size();
  while (b < e && (s[b] == ' ' || s[b] == '\t')) ++b;
  while (e > b && (s[e - 1] == ' ' || s[e - 1] == '\t')) --e;
  return std::string(s.substr(b, e - b));
}

std::optional<long long> ParseWhole(std::string_view text) {
  const std::string t = Trimmed(text);
  if (t.empty()) return std::nullopt;
  long long v = 0;
  const char* first = t.data();
  const char* last = t.data() + t.size();
  if (*first == '+') ++first;
  auto [ptr, ec] = std::from_chars(first, last, v);
  if (ec != std::errc() || ptr != last) return std::nullopt;
  return v;
}

// One key of the file and the member it fills. Loading and saving walk the
// same list, so the two can never disagree on the order.
class Walker {
 public:
  virtual ~Walker() = default;
  virtual void Number(std::string_view section, std::string_view key, int& value, size_t limit = kNumberLimit,
                      int lo = std::numeric_limits<int>::min(), int hi = std::numeric_limits<int>::max()) = 0;
  virtual void Color(std::string_view section, std::string_view key, int32_t& value,
                     size_t limit = kNumberLimit) = 0;
  virtual void YesNo(std::string_view section, std::string_view key, bool& value) = 0;
  virtual void Text(std::string_view section, std::string_view key, std::string& value, size_t limit,
                    size_t cut) = 0;
};

void WalkGridFont(Walker& w, std::string_view section, GridFontSettings& f) {
  w.Color(section, "Color", f.color, kShortTextLimit);
  w.Text(section, "Font Name", f.name, kShortTextLimit, kNoCut);
  w.Number(section, "Size", f.size, kShortTextLimit);
  w.YesNo(section, "Bold", f.bold);
  w.YesNo(section, "Italic", f.italic);
  w.YesNo(section, "Underline", f.underline);
  w.YesNo(section, "Strikeout", f.strikeOut);
}

void WalkSimpleFont(Walker& w, std::string_view section, SimpleFontSettings& f) {
  w.Text(section, "Font Name", f.name, kShortTextLimit, kNoCut);
  w.YesNo(section, "Bold", f.bold);
  w.YesNo(section, "Italic", f.italic);
}

void WalkAll(Walker& w, AppSettings& s) {
  const std::string_view misc = "Misc";
  w.Number(misc, "Button Bar", s.buttonBar);
  w.Number(misc, "Main Window Left", s.mainLeft);
  w.Number(misc, "Main Window Top", s.mainTop);
  w.Number(misc, "Main Window Width", s.mainWidth);
  w.Number(misc, "Main Window Height", s.mainHeight);
  // Paths are written whole and read whole: one cut short names another
  // file, and the database it named would seem to be gone.
  w.Text(misc, "Last Import File", s.lastImportFile, kNoCut, kNoCut);
  w.Text(misc, "Last Export File", s.lastExportFile, kNoCut, kNoCut);
  w.Text(misc, "Last Database", s.lastDatabase, kNoCut, kNoCut);
  for (size_t i = 0; i < s.lastFiles.size(); ++i)
    w.Text(misc, "Last File " + std::to_string(i + 1), s.lastFiles[i], kNoCut, kNoCut);
  w.YesNo(misc, "Show Tips", s.showTips);
  w.Number(misc, "Window Size", s.windowSize);
  w.Number(misc, "Date Format", s.dateFormat);
  w.YesNo(misc, "Date Leading Zeros", s.dateLeadingZeros);
  w.Number(misc, "Currency Format", s.currencyFormat);
  w.Number(misc, "Numeric Format", s.numericFormat);

  for (size_t i = 0; i < ItemFields.size(); ++i)
    w.Text("Field Names", ItemFields[i].name, s.fields[i].title, kShortTextLimit, 20);
  for (size_t i = 0; i < ItemFields.size(); ++i) w.YesNo("Display Fields", ItemFields[i].name, s.fields[i].display);
  for (size_t i = 0; i < ItemFields.size(); ++i) w.Number("Field Width", ItemFields[i].name, s.fields[i].width);
  for (size_t i = 0; i < ItemFields.size(); ++i) w.Number("Field Order", ItemFields[i].name, s.fields[i].order);
  for (size_t i = 0; i < ItemFields.size(); ++i)
    w.YesNo("Export Fields", ItemFields[i].name, s.fields[i].exportField);
  for (size_t i = 0; i < ItemFields.size(); ++i)
    w.Number("Export Order", ItemFields[i].name, s.fields[i].exportOrder);

  w.YesNo("Export", "First Row", s.exportFirstRow);
  w.Number("Export", "File Type", s.exportFileType);
  w.YesNo("Import", "Skip First", s.importSkipFirst);
  w.Number("Import", "File Type", s.importFileType);

  // A level names a field of the table, or none: anything else would index
  // past the field table.
  static constexpr std::array<std::string_view, 4> kSortKeys{"Primary Sort", "Secondary Sort",
                                                             "Third Level Sort", "Fourth Level Sort"};
  for (size_t i = 0; i < kSortKeys.size(); ++i)
    w.Number("Sort Order", kSortKeys[i], s.sortLevels.levels[i], kNumberLimit, 0, kItemFieldCount);

  for (size_t g = 0; g < kColorSections.size(); ++g)
    for (size_t c = 0; c < kColorKeys.size(); ++c) w.Color(kColorSections[g], kColorKeys[c], s.colors[g].colors[c]);

  w.YesNo("Grid Title", "Show Titles", s.showTitles);
  w.Color("Grid Title", "Background Color", s.titleColor);
  w.Number("Grid Title", "Alignment", s.titleAlignment);
  WalkGridFont(w, "Grid Title Font", s.gridTitleFont);
  WalkGridFont(w, "Grid Font", s.gridFont);

  w.Color("Grid Options", "Cell Color", s.cellColor);
  w.YesNo("Grid Options", "Column Lines", s.columnLines);
  w.YesNo("Grid Options", "Row Lines", s.rowLines);
  w.YesNo("Grid Options", "Row Indicator", s.rowIndicator);
  w.YesNo("Grid Options", "Field Editing", s.fieldEditing);

  WalkSimpleFont(w, "Edit Font", s.editFont);
  WalkSimpleFont(w, "Label Font", s.labelFont);
  WalkSimpleFont(w, "Button Font", s.buttonFont);

  const std::string_view rep = "Reports";
  ReportSettings& r = s.reports;
  w.Number(rep, "Last Report", r.lastReport);
  w.YesNo(rep, "Print Insurance Company", r.printInsuranceCompany);
  w.YesNo(rep, "Print Policy Number", r.printPolicyNumber);
  w.YesNo(rep, "Print Statement", r.printStatement);
  w.Text(rep, "Insurance Company", r.insuranceCompany, kTextLimit, 40);
  w.Text(rep, "Policy Number", r.policyNumber, kTextLimit, 20);
  w.Text(rep, "Your Name", r.yourName, kTextLimit, 30);
  w.Number(rep, "Report Viewing Window Left", r.viewLeft);
  w.Number(rep, "Report Viewing Window Top", r.viewTop);
  w.Number(rep, "Report Viewing Window Width", r.viewWidth);
  w.Number(rep, "Report Viewing Window Height", r.viewHeight);
}

class Reader : public Walker {
 public:
  explicit Reader(const platform::IniFile& ini) : ini_(ini) {}
  void Number(std::string_view section, std::string_view key, int& value, size_t limit, int lo, int hi) override {
    if (auto text = Get(section, key, limit)) {
      auto v = ParseWhole(*text);
      if (v && *v >= lo && *v <= hi) value = static_cast<int>(*v);
    }
  }
  void Color(std::string_view section, std::string_view key, int32_t& value, size_t limit) override {
    if (auto text = Get(section, key, limit)) {
      auto v = ParseWhole(*text);
      if (v && *v >= std::numeric_limits<int32_t>::min() && *v <= std::numeric_limits<int32_t>::max())
        value = static_cast<int32_t>(*v);
    }
  }
  void YesNo(std::string_view section, std::string_view key, bool& value) override {
    if (auto text = Get(section, key, kNumberLimit)) value = IsYes(*text);
  }
  void Text(std::string_view section, std::string_view key, std::string& value, size_t limit, size_t cut) override {
    if (auto text = Get(section, key, limit)) value = text->substr(0, std::min(cut, text->size()));
  }

 private:
  std::optional<std::string> Get(std::string_view section, std::string_view key, size_t limit) const {
    std::optional<std::string> v = ini_.Get(section, key);
    if (v && v->size() > limit) v->resize(limit);
    return v;
  }
  const platform::IniFile& ini_;
};

class Writer : public Walker {
 public:
  explicit Writer(platform::IniFile& ini) : ini_(ini) {}
  void Number(std::string_view section, std::string_view key, int& value, size_t, int, int) override {
    ini_.Set(section, key, std::to_string(value));
  }
  void Color(std::string_view section, std::string_view key, int32_t& value, size_t) override {
    ini_.Set(section, key, std::to_string(value));
  }
  void YesNo(std::string_view section, std::string_view key, bool& value) override {
    ini_.Set(section, key, BoolToYesNo(value));
  }
  void Text(std::string_view section, std::string_view key, std::string& value, size_t, size_t) override {
    ini_.Set(section, key, value);
  }

 private:
  platform::IniFile& ini_;
};

}  // namespace

std::array<FieldSettings, kItemFieldCount> AppSettings::DefaultFields() {
  std::array<FieldSettings, kItemFieldCount> fields;
  for (size_t i = 0; i < fields.size(); ++i) {
    fields[i].title = std::string(ItemFields[i].title);
    fields[i].order = ItemFields[i].number;
    fields[i].exportOrder = ItemFields[i].number;
  }
  return fields;
}

AppSettings DefaultSettings(std::string_view currentDir) {
  AppSettings s;
  s.lastImportFile = std::string(currentDir);
  s.lastExportFile = std::string(currentDir);
  return s;
}

AppSettings LoadSettings(const platform::IniFile& ini, std::string_view currentDir) {
  AppSettings s = DefaultSettings(currentDir);
  Reader reader(ini);
  WalkAll(reader, s);
  return s;
}

void SaveSettings(const AppSettings& settings, platform::IniFile& ini) {
  AppSettings copy = settings;
  Writer writer(ini);
  WalkAll(writer, copy);
}

AppSettings LoadSettings(std::string_view currentDir) {
  platform::IniFile ini(platform::ProfilePath(kSettingsFileName));
  ini.Load();  // an unreadable file gives the defaults, as the profile functions do
  return LoadSettings(ini, currentDir);
}

bool SaveSettings(const AppSettings& settings) {
  platform::IniFile ini(platform::ProfilePath(kSettingsFileName));
  if (!ini.Load()) return false;  // never replace a file we could not read
  SaveSettings(settings, ini);
  return ini.Save();
}

bool IsYes(std::string_view text) { return PCharToUpperStr(text, 255) == "YES"; }

std::string BoolToYesNo(bool flag) { return flag ? "Yes" : "No"; }

std::string PCharToUpperStr(std::string_view text, size_t limit) {
  std::string s(text.substr(0, std::min(limit, text.size())));
  for (char& c : s)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  return s;
}

}  // namespace keldro
