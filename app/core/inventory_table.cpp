#include "core/inventory_table.h"

#include <algorithm>
#include <system_error>

#include "core/item_fields.h"
#include "platform/paths.h"
#include "platform/ui.h"

namespace fs = std::filesystem;

namespace keldro {

namespace {

constexpr std::array<std::string_view, 18> kVersion2Names{
    "Item", "Brand", "Model", "Serial", "Location", "Description", "BoughtFrom", "IDMarks", "Quantity",
    "PurchDate", "Cost", "Category", "RepCost", "Warranty", "WarDate", "WarNotes", "Owner", "Value"};
constexpr std::array<std::string_view, 14> kVersion1Names{
    "Item", "Brand", "Model", "Serial", "Room", "Description", "BoughtFrom", "IDMarks", "Quantity",
    "PurchDay", "PurchMonth", "PurchYear", "Cost", "Category"};

template <size_t N>
bool MatchesOldLayout(const std::vector<std::string>& names, const std::array<std::string_view, N>& layout) {
  if (names.size() != N + 1) return false;
  for (size_t i = 0; i < N; ++i)
    if (!FieldNamesEqual(names[i + 1], layout[i].substr(0, 10))) return false;
  return true;
}

std::string Trim(std::string_view s) {
  size_t b = 0, e = s.size();
  while (b < e && s[b] == ' ') ++b;
  while (e > b && s[e - 1] == ' ') --e;
  return std::string(s.substr(b, e - b));
}

std::optional<int> Digits(std::string_view s) {
  if (s.empty() || s.size() > 4) return std::nullopt;
  int v = 0;
  for (char c : s) {
    if (c < '0' || c > '9') return std::nullopt;
    v = v * 10 + (c - '0');
  }
  return v;
}

}  // namespace

std::string TableInUseMessage(std::string_view path) {
  return "The table \"" + std::string(path) + "\" is currently in use by another program.  New table creation will be aborted.";
}

const std::vector<FieldCopy>& Version2FieldCopies() {
  static const std::vector<FieldCopy> copies = [] {
    std::vector<FieldCopy> v;
    for (size_t i = 0; i < kVersion2Names.size(); ++i)
      v.push_back({kVersion2Names[i].substr(0, 10), ItemFields[i].name});
    return v;
  }();
  return copies;
}

const std::vector<FieldCopy>& Version1FieldCopies() {
  static const std::vector<FieldCopy> copies{
      {"Item", "Item"},       {"Brand", "Brand"},           {"Model", "Model"},     {"Serial", "Serial"},
      {"Descriptio", "Descriptio"}, {"BoughtFrom", "BoughtFrom"}, {"IDMarks", "IDMarks"}, {"Quantity", "Quantity"},
      {"Cost", "Cost"},       {"Category", "Category"},     {"Room", "Location"}};
  return copies;
}

bool IsItemFieldLayout(const std::vector<std::string>& names) {
  if (names.size() != ItemFields.size()) return false;
  for (size_t i = 0; i < names.size(); ++i)
    if (!FieldNamesEqual(names[i], ItemFields[i].name)) return false;
  return true;
}

bool IsVersion2FieldLayout(const std::vector<std::string>& names) { return MatchesOldLayout(names, kVersion2Names); }
bool IsVersion1FieldLayout(const std::vector<std::string>& names) { return MatchesOldLayout(names, kVersion1Names); }

ItemTableLocation LocateItemTable(const fs::path& dbfPath) {
  std::error_code ec;
  fs::path full = fs::absolute(dbfPath, ec);
  if (ec) full = dbfPath;
  ItemTableLocation loc;
  loc.dbfPath = dbfPath;
  loc.directory = full.parent_path();
  loc.tableName = full.stem().string();
  loc.indexPath = platform::FindFileNoCase(loc.directory, loc.tableName + ".MDX");
  return loc;
}

std::string MainCaption(std::string_view tableName) {
  return "Stashwell Inventory 95 (" + std::string(tableName.substr(0, tableName.find('.'))) + ")";
}

namespace {

template <typename Test>
bool CheckWith(const ItemTableLocation& loc, const FieldNameReader& readFieldNames, Test test) {
  std::error_code ec;
  if (!fs::exists(loc.indexPath, ec)) RemoveMDXByte(loc.directory / loc.dbfPath.filename());
  const std::optional<std::vector<std::string>> names = readFieldNames(loc);
  return names && test(*names);
}

}  // namespace

bool CheckDBaseFormat(const fs::path& dbfPath, const FieldNameReader& readFieldNames) {
  return CheckDBaseFormat(LocateItemTable(dbfPath), readFieldNames);
}

bool CheckDBaseFormat(const ItemTableLocation& location, const FieldNameReader& readFieldNames) {
  if (CheckWith(location, readFieldNames, IsItemFieldLayout)) return true;
  platform::ui::ShowMessage(std::string(kNotAnItemTableMessage), "Error", platform::ui::Buttons::Ok);
  return false;
}

bool CheckDBaseFormatV2(const fs::path& dbfPath, const FieldNameReader& readFieldNames) {
  return CheckWith(LocateItemTable(dbfPath), readFieldNames, IsVersion2FieldLayout);
}

bool CheckDBaseFormatV1(const fs::path& dbfPath, const FieldNameReader& readFieldNames) {
  return CheckWith(LocateItemTable(dbfPath), readFieldNames, IsVersion1FieldLayout);
}

bool IsValidDate(const CivilDate& d) {
  if (d.year < 1 || d.year > 9999 || d.month < 1 || d.month > 12 || d.day < 1) return false;
  static constexpr int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  const bool leap = (d.year % 4 == 0 && d.year % 100 != 0) || d.year % 400 == 0;
  const int days = kDays[d.month - 1] + ((d.month == 2 && leap) ? 1 : 0);
  return d.day <= days;
}

Version1Date Version1PurchaseDate(std::string_view month, std::string_view day, std::string_view year) {
  const std::string m = Trim(month.substr(0, std::min<size_t>(month.size(), 4)));
  const std::string d = Trim(day.substr(0, std::min<size_t>(day.size(), 4)));
  const std::string y = Trim(year.substr(0, std::min<size_t>(year.size(), 4)));
  Version1Date result;
  if (m.empty() && d.empty() && y.empty()) return result;
  result.kind = Version1Date::Invalid;
  static constexpr std::array<std::string_view, 12> kMonths{"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                                            "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  std::optional<int> monthNumber;
  for (size_t i = 0; i < kMonths.size(); ++i)
    if (m == kMonths[i]) monthNumber = static_cast<int>(i + 1);
  if (!monthNumber) monthNumber = Digits(m);
  const std::optional<int> dayNumber = Digits(d);
  std::optional<int> yearNumber = Digits(y);
  if (!monthNumber || !dayNumber || !yearNumber) return result;
  if (y.size() <= 2) *yearNumber += (*yearNumber < 30) ? 2000 : 1900;
  const CivilDate date{*yearNumber, *monthNumber, *dayNumber};
  if (!IsValidDate(date)) return result;
  result.kind = Version1Date::Valid;
  result.date = date;
  return result;
}

}  // namespace keldro
