#include "core/record_editor.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>

#include "core/display_formats.h"
#include "framework/sysutils.h"
#include "platform/file_io.h"
#include "platform/text.h"

namespace keldro {

const std::array<EditorEntryInfo, kEditorEntryCount> kEditorEntries{{
    {"Item", "Item", 0, EntryKind::Edit, 40, 40, 0},
    {"Brand", "Brand", 0, EntryKind::Combo, 20, 20, 1},
    {"Model", "Model", 0, EntryKind::Edit, 20, 20, 0},
    {"Serial", "Serial", 0, EntryKind::Edit, 20, 20, 0},
    {"IDMarks", "IDMarks", 0, EntryKind::Edit, 60, 60, 0},
    {"Comments", "Descriptio", 0, EntryKind::Edit, 110, 110, 0},
    {"Category", "Category", 0, EntryKind::Combo, 20, 20, 4},
    {"Location", "Location", 0, EntryKind::Combo, 30, 30, 2},
    {"TheOwner", "Owner", 0, EntryKind::Combo, 30, 30, 5},
    {"Quantity", "Quantity", 1, EntryKind::Number, 0, 10, 0},
    {"Value", "Value", 1, EntryKind::Number, 12, 20, 0},
    {"Cost", "Cost", 1, EntryKind::Number, 12, 20, 0},
    {"RepCost", "RepCost", 1, EntryKind::Number, 12, 20, 0},
    {"WarDate", "WarDate", 2, EntryKind::Date, 10, 20, 0},
    {"WarNotes", "WarNotes", 2, EntryKind::Edit, 30, 30, 0},
    {"PurchDate", "PurchDate", 2, EntryKind::Date, 10, 20, 0},
    {"Bought", "BoughtFrom", 2, EntryKind::Combo, 40, 40, 3},
    {"UserDef1", "UserDef1", 3, EntryKind::Edit, 40, 40, 0},
    {"UserDef2", "UserDef2", 3, EntryKind::Edit, 40, 40, 0},
    {"UserDef3", "UserDef3", 3, EntryKind::Edit, 40, 40, 0},
    {"UserDef4", "UserDef4", 3, EntryKind::Edit, 40, 40, 0},
}};

EditorEntry NextEntry(EditorEntry from) { return static_cast<EditorEntry>((from + 1) % kEditorEntryCount); }

namespace {

std::string NumberText(std::string_view text, int format, const IntlSettings& intl) {
  std::string t = TrimBlanks(text);
  if (format == 1) {
    t.erase(std::remove(t.begin(), t.end(), ','), t.end());
    return t;
  }
  t.erase(std::remove(t.begin(), t.end(), intl.thousand), t.end());
  if (size_t p = t.find(intl.decimal); p != std::string::npos) t[p] = '.';
  return t;
}

// Money fields are N(12,2), Quantity N(11,0): what does not fit is refused
// by the engine after the record was opened, so it is checked here.
constexpr int kMoneyWidth = 12;
constexpr int kQuantityWidth = 11;

bool FitsMoneyField(double v) {
  char buffer[64];
  const int n = std::snprintf(buffer, sizeof buffer, "%.2f", v);
  return n > 0 && n <= kMoneyWidth;
}

}  // namespace

std::optional<double> ReadNumberEntry(std::string_view text, int format, const IntlSettings& intl) {
  const std::string t = NumberText(text, format, intl);
  double v = 0;
  if (t.empty() || !framework::TryStrToFloat(t, v, '.') || !std::isfinite(v)) return std::nullopt;
  return v;
}

std::optional<int64_t> ReadWholeNumberEntry(std::string_view text, int format, const IntlSettings& intl) {
  const std::string t = NumberText(text, format, intl);
  int64_t v = 0;
  if (t.empty() || !framework::TryStrToInt(t, v)) return std::nullopt;
  return v;
}

bool IsBlankDateEntry(std::string_view trimmed) {
  return trimmed.empty() || trimmed == "/  /" || trimmed == "-  -" || trimmed == ".  .";
}

std::string DateEntryText(double date, char separator, std::string_view shortFormat) {
  int y = 0, m = 0, d = 0;
  framework::DecodeDate(date, y, m, d);
  char buffer[32];
  const bool dayFirst = !shortFormat.empty() && (shortFormat[0] == 'd' || shortFormat[0] == 'D');
  std::snprintf(buffer, sizeof buffer, "%02d%c%02d%c%04d", dayFirst ? d : m, separator, dayFirst ? m : d, separator,
                y);
  return buffer;
}

CheckedEntries CheckEntries(const EntryTexts& texts, int currencyFormat, int numericFormat, const IntlSettings& intl) {
  CheckedEntries r;
  auto fail = [&r](std::string message, int page, EditorEntry entry) {
    r.ok = false;
    r.message = std::move(message);
    r.page = page;
    r.entry = entry;
    return r;
  };
  auto date = [](const std::string& text, std::optional<double>& out) {
    const std::string t = TrimBlanks(text);
    if (IsBlankDateEntry(t)) return true;
    double d = 0;
    if (!framework::TryStrToDate(t, d)) return false;
    out = d;
    return true;
  };
  if (!date(texts.warDate, r.warDate)) return fail("Invalid warranty date specified.  Please correct.", 2, eWarDate);
  if (!date(texts.purchDate, r.purchDate))
    return fail("Invalid purchase date specified.  Please correct.", 2, ePurchDate);
  struct Money {
    const std::string* text;
    double* out;
    const char* message;
    EditorEntry entry;
  };
  const Money money[] = {
      {&texts.cost, &r.cost, "Invalid cost specified.  Please correct.", eCost},
      {&texts.value, &r.value, "Invalid value specified.  Please correct.", eValue},
      {&texts.repCost, &r.repCost, "Invalid replacement cost specified.  Please correct.", eRepCost},
  };
  for (const Money& m : money) {
    if (TrimBlanks(*m.text).empty()) {
      *m.out = 0;
      continue;
    }
    const std::optional<double> v = ReadNumberEntry(*m.text, currencyFormat, intl);
    if (!v || !FitsMoneyField(*v)) return fail(m.message, 1, m.entry);
    *m.out = *v;
  }
  if (!TrimBlanks(texts.quantity).empty()) {
    const std::optional<int64_t> q = ReadWholeNumberEntry(texts.quantity, numericFormat, intl);
    if (!q || *q < std::numeric_limits<int32_t>::min() || *q > std::numeric_limits<int32_t>::max() ||
        std::to_string(*q).size() > static_cast<size_t>(kQuantityWidth))
      return fail("Invalid quantity specified.  Please correct.", 1, eQuantity);
    r.quantity = static_cast<int32_t>(*q);
  }
  r.ok = true;
  return r;
}

EditorValues TakeSnapshot(const EditorValues& values) {
  EditorValues s = values;
  for (size_t i = 0; i < s.texts.size(); ++i) {
    const size_t width = static_cast<size_t>(kEditorEntries[i].snapshotWidth);
    if (s.texts[i].size() > width) s.texts[i].resize(width);
  }
  return s;
}

bool ValuesChanged(const EditorValues& snapshot, const EditorValues& current) {
  const EditorValues now = TakeSnapshot(current);
  if (now.warranty != snapshot.warranty) return true;
  for (size_t i = 0; i < now.texts.size(); ++i) {
    if (kEditorEntries[i].kind == EntryKind::Date) {
      if (TrimBlanks(now.texts[i]) != TrimBlanks(snapshot.texts[i])) return true;
    } else if (now.texts[i] != snapshot.texts[i]) {
      return true;
    }
  }
  return false;
}

bool AddToPickList(std::vector<std::string>& list, std::string_view entry) {
  std::string t = TrimBlanks(entry);
  if (t.empty() || std::find(list.begin(), list.end(), t) != list.end()) return false;
  list.push_back(std::move(t));
  return true;
}

PickListFile ReadPickListFile(const std::filesystem::path& file) {
  std::string bytes;
  switch (platform::ReadWholeFile(file, bytes)) {
    case platform::ReadStatus::kNotFound: return {};
    case platform::ReadStatus::kError: return {PickListFileStatus::Unreadable, {}};
    case platform::ReadStatus::kOk: break;
  }
  return {PickListFileStatus::Loaded, ParsePickList(bytes)};
}

bool WritePickListFile(const std::filesystem::path& file, const std::vector<std::string>& items) {
  std::string bytes;
  for (const std::string& item : items) bytes += item + "\r\n";
  return platform::WriteFileAtomic(file, bytes);
}

bool ListEditorAdd(std::vector<std::string>& items, std::string_view text) {
  std::string t = TrimBlanks(text);
  if (t.empty()) return false;
  items.push_back(std::move(t));
  return true;
}

int ListEditorDelete(std::vector<std::string>& items, int selected) {
  if (selected < 0 || selected >= static_cast<int>(items.size())) return selected;
  items.erase(items.begin() + selected);
  if (items.empty()) return -1;
  return std::min(selected, static_cast<int>(items.size()) - 1);
}

void ListEditorSort(std::vector<std::string>& items) {
  std::stable_sort(items.begin(), items.end(), [](const std::string& a, const std::string& b) {
    const int c = platform::AnsiCompareNoCase(a, b);
    return c != 0 ? c < 0 : a < b;
  });
}

}  // namespace keldro
