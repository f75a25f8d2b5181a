#include "grid/ix_lookup_search.h"

#include <cctype>
#include <vector>

#include "grid/ix_text.h"
#include "platform/text.h"
#include "platform/ui.h"

namespace grid {

using framework::SameText;
using framework::TDataSet;
using framework::TField;
using framework::TIndexDef;

namespace {

bool IsNameStart(char c) { return std::isalpha(static_cast<unsigned char>(c)) || c == '_'; }
bool IsNameChar(char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '_'; }

// Controls stay still while the table moves; a failure in between still
// gives them back.
class ControlsDisabled {
 public:
  explicit ControlsDisabled(TDataSet& dataSet) : dataSet_(dataSet) { dataSet_.DisableControls(); }
  ~ControlsDisabled() { dataSet_.EnableControls(); }
  ControlsDisabled(const ControlsDisabled&) = delete;
  ControlsDisabled& operator=(const ControlsDisabled&) = delete;

 private:
  TDataSet& dataSet_;
};

}  // namespace

std::string IndexLeadingField(const TIndexDef& index, const TDataSet& dataSet) {
  const std::string& text = index.Fields();
  if (!(index.Options() & framework::ixExpression)) return text.substr(0, text.find(';'));
  // The first name that is not a function's (not followed by "(") and is a field.
  for (size_t i = 0; i < text.size();) {
    if (text[i] == '"' || text[i] == '\'') {
      const size_t close = text.find(text[i], i + 1);
      if (close == std::string::npos) break;
      i = close + 1;
      continue;
    }
    if (!IsNameStart(text[i])) {
      ++i;
      continue;
    }
    size_t end = i;
    while (end < text.size() && IsNameChar(text[end])) ++end;
    size_t next = end;
    while (next < text.size() && text[next] == ' ') ++next;
    const std::string name = text.substr(i, end - i);
    if ((next >= text.size() || text[next] != '(') && dataSet.FindField(name) != nullptr) return name;
    i = end;
  }
  return std::string();
}

bool FindLookupIndexForField(TixTable& table, std::string_view fieldName) {
  if (!table.Active() || fieldName.empty()) return false;
  const framework::TIndexDefs& defs = table.IndexDefs();
  const TIndexDef* chosen = nullptr;
  for (const bool caseInsensitiveOnly : {true, false}) {
    for (int i = 0; i < defs.Count() && chosen == nullptr; ++i) {
      const TIndexDef& d = defs[i];
      if (caseInsensitiveOnly && !(d.Options() & framework::ixCaseInsensitive)) continue;
      if (SameText(IndexLeadingField(d, table), fieldName)) chosen = &d;
    }
    if (chosen != nullptr) break;
  }
  if (chosen == nullptr) return false;
  if (SameText(chosen->Name(), table.IndexName())) return true;
  const std::string name = chosen->Name();
  TField* field = table.FindField(fieldName);
  const bool current = !(table.Bof() && table.Eof());
  if (table.IsSQLBased() && table.SyncSQLByRange) {
    // The server keeps no position across orders: a range from the old key.
    const std::string old = current && field != nullptr ? field->AsString() : std::string();
    table.SetIndexName(name);
    if (!old.empty() && table.IndexFieldCount() > 0) SetRangeFrom(table, {old});
    return true;
  }
  ControlsDisabled still(table);
  framework::TBookmark mark;
  if (current) mark = table.GetBookmark();
  table.SetIndexName(name);
  if (current && table.BookmarkValid(mark)) table.GotoBookmark(mark);
  return true;
}

bool FindLookupIndexFor(TixTable& table, const TLines& selected) {
  if (selected.empty()) return false;
  return FindLookupIndexForField(table, selected[0].substr(0, selected[0].find('\t')));
}

bool IncrementalSearch(TixTable& table, const std::string& text, int n) {
  const int keys = table.IndexFieldCount();
  if (keys == 0) {
    platform::ui::ShowMessage("Table " + table.Name + ": Table index not found", "Warning",
                              platform::ui::Buttons::Ok, platform::ui::Icon::Warning);
    return false;
  }
  if (n < 0 || n >= keys) n = 0;
  TField* field = table.IndexFields(n);
  if (field == nullptr || !CheckFieldValueText(*field, text)) return false;
  platform::ui::BusyCursor busy;
  {
    ControlsDisabled still(table);
    std::vector<std::string> key;
    const bool current = !(table.Bof() && table.Eof());
    for (int i = 0; i < n; ++i) key.push_back(current ? table.IndexFields(i)->AsString() : std::string());
    key.push_back(text);
    const bool isString = field->DataType() == framework::ftString;
    if (table.NarrowSearch) {
      if (isString && text.empty()) {
        table.CancelRange();
      } else if (isString) {
        std::vector<std::string> end = key;
        end.back() += '\xff';
        table.SetRange(key, end);
      } else {
        SetRangeFrom(table, key);
      }
    } else if (table.IsSQLBased() && table.SyncSQLByRange) {
      if (text.empty())
        table.CancelRange();
      else
        SetRangeFrom(table, key);
    } else {
      table.FindNearest(key);
    }
  }
  if (table.Bof() && table.Eof()) return false;
  return platform::AnsiUpper(field->Text()).find(platform::AnsiUpper(text)) != std::string::npos;
}

}  // namespace grid
