#include "grid/ix_table.h"

#include <algorithm>

#include "grid/ix_filter.h"
#include "grid/ix_text.h"
#include "platform/text.h"
#include "platform/ui.h"

namespace grid {

using framework::EDatabaseError;
using framework::SameText;
using framework::TDataSet;
using framework::TField;
using framework::TParam;

namespace {

// A field value handed to a filter handler holds at most this many
// characters, as the value buffer of the record under test does.
constexpr size_t kFilterValueChars = 255;

std::string FirstPart(const std::string& line) { return line.substr(0, line.find(';')); }

void Warn(const std::string& text) {
  platform::ui::ShowMessage(text, "Warning", platform::ui::Buttons::Ok, platform::ui::Icon::Warning);
}

}  // namespace

void SetRangeFrom(TixTable& table, const std::vector<std::string>& start) {
  // A bound end left from an earlier range would cut this one short.
  table.CancelRange();
  table.SetRangeStart();
  const int n = table.IndexFieldCount();
  for (int i = 0; i < n && i < static_cast<int>(start.size()); ++i)
    table.IndexFields(i)->SetAsString(start[static_cast<size_t>(i)]);
  table.ApplyRange();
}

// ----------------------------------------------------------------- TixTable

TixTable::TixTable() = default;

TixTable::~TixTable() {
  destroying_ = true;
  lookupTables_.clear();
  for (bool* flag : watchers_) *flag = true;
  watchers_.clear();
  if (OnDestroyNotify) OnDestroyNotify(*this);
  // Closed here, while the record filter's state is still whole.
  try {
    Close();
  } catch (...) {
  }
}

void TixTable::RemoveWatcher(bool* flag) { watchers_.erase(std::remove(watchers_.begin(), watchers_.end(), flag), watchers_.end()); }

std::string TixTable::JoinFilterLines() const {
  std::string joined;
  bool first = true;
  for (const std::string& line : ixFilter_) {
    std::string text = TrimCharSet(line, " \t");
    if (text.empty()) continue;
    if (first)
      joined = text;
    else
      joined += " AND (" + text + ")";
    first = false;
  }
  return joined;
}

void TixTable::SetixFilter(const TLines& lines) {
  ixFilter_ = lines;
  if (!Active()) return;
  if (!ApplyFilter(JoinFilterLines(), *this, textFilter_, false)) Warn("Fail to set filter");
}

void TixTable::ReapplyFilter() { ApplyFilter(JoinFilterLines(), *this, textFilter_, true); }

void TixTable::SetOnFilter(TixTableFilterEvent handler) {
  onFilter_ = std::move(handler);
  // The framework's record filter is an engine callback filter of its own;
  // it carries a handler's failure back to the call that fetched.
  if (onFilter_) {
    SetOnFilterRecord([this](TDataSet&, bool& accept) { accept = RecordAccepted(); });
    SetFiltered(true);
  } else {
    SetFiltered(false);
    SetOnFilterRecord(nullptr);
  }
}

bool TixTable::RecordAccepted() {
  if (destroying_ || !onFilter_) return true;
  return onFilter_(*this);
}

void TixTable::PrepareCursor() {
  framework::TTable::PrepareCursor();
  ReapplyFilter();
}

void TixTable::CloseCursor() {
  // The engine's filters go with the cursor.
  textFilter_ = 0;
  framework::TTable::CloseCursor();
}

void TixTable::DoOnCalcFields() {
  DropStaleEntries(*this, &LookupFieldsLines(), &LookupLinksLines(), &ControlTypeLines());
  BuildLookupFields(*this, LookupFields(), LookupLinks(), lookupTables_);
  framework::TTable::DoOnCalcFields();
}

bool TixTable::IsDBaseTable(const framework::TTable& table) {
  if (table.TableType() == framework::ttDBase) return true;
  const std::string& name = table.TableName();
  return name.size() >= 4 && SameText(std::string_view(name).substr(name.size() - 4), ".DBF");
}

bool TixTable::IsTessalyTable(const framework::TTable& table) {
  if (table.TableType() != framework::ttDefault) return table.TableType() == framework::ttTessaly;
  std::string lower = framework::LowerCase(table.TableName());
  return lower.find(".db") != std::string::npos && !lower.empty() && lower.back() == 'b';
}

TParam& FilterFieldValue(TixTable& table, std::string_view fieldName) {
  TField* field = table.FindField(fieldName);
  if (!field) throw EDatabaseError("Field '" + std::string(fieldName) + "' not found");
  TParam& param = table.param_;
  param.SetName(field->FieldName());
  framework::FieldValue value = field->Value();
  if (auto* text = std::get_if<std::string>(&value); text && text->size() > kFilterValueChars)
    text->resize(kFilterValueChars);
  param.SetValue(field->DataType(), value);
  return param;
}

// ------------------------------------------------------- shared routines

int GetRecordCount(TDataSet& dataSet) { return dataSet.RecordCount(); }

bool IsLibraryDataSet(const TDataSet* dataSet) { return dynamic_cast<const TixDataSetLists*>(dataSet) != nullptr; }

TLines* GetControlTypeList(TDataSet* dataSet) {
  auto* lists = dynamic_cast<TixDataSetLists*>(dataSet);
  return lists ? &lists->ControlTypeLines() : nullptr;
}

TLines* GetLookupFieldsList(TDataSet* dataSet) {
  auto* lists = dynamic_cast<TixDataSetLists*>(dataSet);
  return lists ? &lists->LookupFieldsLines() : nullptr;
}

TLines* GetLookupLinksList(TDataSet* dataSet) {
  auto* lists = dynamic_cast<TixDataSetLists*>(dataSet);
  return lists ? &lists->LookupLinksLines() : nullptr;
}

bool DataSetHasField(const TDataSet* dataSet, std::string_view name) {
  return dataSet != nullptr && dataSet->FindField(name) != nullptr;
}

void DropStaleEntries(TDataSet& dataSet, TLines* lookupFields, TLines* lookupLinks, TLines* controlTypes) {
  // A closed dataset has no fields to judge by: dropping then would empty
  // every list.
  if (!dataSet.Active() || dataSet.FieldCount() == 0) return;
  if (lookupFields) {
    for (size_t i = lookupFields->size(); i-- > 0;) {
      if (DataSetHasField(&dataSet, FirstPart((*lookupFields)[i]))) continue;
      lookupFields->erase(lookupFields->begin() + static_cast<std::ptrdiff_t>(i));
      if (lookupLinks && i < lookupLinks->size()) lookupLinks->erase(lookupLinks->begin() + static_cast<std::ptrdiff_t>(i));
    }
  }
  if (controlTypes) {
    controlTypes->erase(std::remove_if(controlTypes->begin(), controlTypes->end(),
                                       [&](const std::string& line) { return !DataSetHasField(&dataSet, FirstPart(line)); }),
                        controlTypes->end());
  }
}

void BuildLookupFields(TDataSet& dataSet, const TLines& lookupFields, const TLines& lookupLinks,
                       TixLookupTables& lookupTables) {
  for (TixLookupTable& lt : lookupTables) lt.positioned = false;
  std::vector<std::string> parts, links;
  for (size_t n = 0; n < lookupFields.size(); ++n) {
    SplitString(lookupFields[n], ';', parts);
    if (parts.size() < 5) continue;
    const std::string linkText = n < lookupLinks.size() ? lookupLinks[n] : std::string();
    auto it = std::find_if(lookupTables.begin(), lookupTables.end(), [&](const TixLookupTable& lt) {
      return lt.table->DatabaseName() == parts[1] && lt.table->TableName() == parts[2] && SameText(lt.links, linkText);
    });
    if (it == lookupTables.end()) {
      TixLookupTable lt;
      lt.table = std::make_unique<TixTable>();
      lt.table->Name = parts[2];
      lt.table->SetDatabaseName(parts[1]);
      lt.table->SetTableName(parts[2]);
      lt.table->SetIndexName(parts[4]);
      lt.table->SetReadOnly(true);
      lt.table->Open();
      lt.links = linkText;
      lookupTables.push_back(std::move(lt));
      it = lookupTables.end() - 1;
    } else if (!it->table->Active()) {
      it->table->Open();
    }
    SplitString(linkText, ';', links);
    for (size_t i = 0; i < links.size(); i += 2) {
      if (DataSetHasField(&dataSet, links[i])) continue;
      if (TField* target = dataSet.FindField(parts[0]); target && target->Visible()) target->SetVisible(false);
      return;
    }
    if (!it->positioned) {
      std::vector<std::string> values;
      if (links.size() % 2 == 0 && links.size() >= 2 && links.size() <= 12) {
        for (size_t i = 0; i < links.size(); i += 2) values.push_back(dataSet.FindField(links[i])->AsString());
        it->found = FindKeyByLookupValues(*it->table, values, parts[4]);
      } else {
        it->found = false;
      }
    }
    if (TField* target = dataSet.FindField(parts[0])) {
      TField* shown = it->found ? it->table->FindField(parts[3]) : nullptr;
      target->SetAsString(shown ? shown->AsString() : std::string());
    }
    it->positioned = true;
  }
}

bool FindKeyByLookupValues(TixTable& table, const std::vector<std::string>& values, const std::string& lastIndex) {
  int keyFields = table.IndexFieldCount();
  if (keyFields == 0) return false;
  if (values.size() > static_cast<size_t>(keyFields)) {
    Warn("Table " + table.Name + ": FindKey has too many lookup values for index " +
         (table.IndexName().empty() ? lastIndex : table.IndexName()));
    return false;
  }
  if (table.IsSQLBased() && table.SyncSQLByRange) {
    bool same = !(table.Bof() && table.Eof());
    for (size_t i = 0; i < values.size() && same; ++i)
      same = platform::AnsiLower(table.IndexFields(static_cast<int>(i))->AsString()) == platform::AnsiLower(values[i]);
    if (same) return true;
    if (values.empty() || values[0].empty()) {
      table.CancelRange();
      return false;
    }
    SetRangeFrom(table, values);
    if (table.Bof() && table.Eof()) return false;
    for (size_t i = 0; i < values.size(); ++i)
      if (platform::AnsiLower(table.IndexFields(static_cast<int>(i))->AsString()) != platform::AnsiLower(values[i])) return false;
    return true;
  }
  if (table.NarrowSearch) table.CancelRange();
  if (!table.IsEmpty() && !table.Eof()) {
    bool same = true;
    for (size_t i = 0; i < values.size() && same; ++i)
      same = table.IndexFields(static_cast<int>(i))->AsString() == values[i];
    if (same) return true;
  }
  return table.FindKey(values);
}

}  // namespace grid
