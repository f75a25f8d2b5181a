#include "grid/ix_locate.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <vector>

#include "engine_link.h"
#include "platform/text.h"
#include "platform/ui.h"

namespace grid {

using namespace framework;

namespace {

constexpr size_t kRecordBufferSize = 32767;
constexpr size_t kFieldBufferSize = 256;
constexpr size_t kMemoBufferSize = 32767;

std::string Prepared(std::string_view text, bool caseSensitive) {
  return caseSensitive ? std::string(text) : platform::AnsiUpper(text);
}

std::string_view Limited(std::string_view text, size_t limit) {
  return limit == kNoTextLimit ? text : text.substr(0, limit);
}

const TIndexDef* ActiveIndexDef(TTable& table) {
  if (table.IndexName().empty()) return nullptr;
  return table.IndexDefs().Find(table.IndexName());
}

bool IsStringField(const TField& field) { return field.DataType() == ftString; }

}  // namespace

bool MatchFieldText(std::string_view fieldText, std::string_view value, int matchType, bool caseSensitive) {
  const std::string text = Prepared(fieldText, caseSensitive);
  switch (matchType) {
    case mtPartialMatchStart: return text.compare(0, value.size(), value) == 0 && text.size() >= value.size();
    case mtPartialMatchAny: return text.find(value) != std::string::npos;
    case mtExactMatch: return text == value;
    default: return false;
  }
}

bool MatchMemoText(TField& field, const uint8_t* record, std::string_view value, bool caseSensitive, int matchType) {
  auto* dataSet = dynamic_cast<TDBDataSet*>(field.DataSet());
  const OrbCursor cursor = dataSet ? dataSet->Handle() : 0;
  detail::EngineLink& engine = detail::Engine();
  const auto fieldNumber = static_cast<uint16_t>(field.FieldNo());
  // The engine's blob calls take a writable buffer; the scan's is its own.
  auto* buffer = const_cast<uint8_t*>(record);
  if (!cursor || engine.OpenBlob(cursor, buffer, fieldNumber, ORB_BLOB_READ_ONLY) != ORB_OK) {
    platform::ui::ShowMessage("Fail to create blob", "Information", platform::ui::Buttons::Ok,
                              platform::ui::Icon::Information);
    return false;
  }
  // Room for every byte read and the terminator after them.
  std::vector<uint8_t> text(kMemoBufferSize + 1, 0);
  uint32_t read = 0;
  const OrbResult r = engine.GetBlob(cursor, buffer, fieldNumber, 0, kMemoBufferSize, text.data(), &read);
  engine.FreeBlob(cursor, buffer, fieldNumber);
  if (r != ORB_OK && r != ORB_ERR_BLOB_END) read = 0;
  read = std::min<uint32_t>(read, kMemoBufferSize);
  const std::string memo = Prepared(std::string_view(reinterpret_cast<const char*>(text.data()), read), caseSensitive);
  switch (matchType) {
    case mtPartialMatchStart: return memo.compare(0, value.size(), value) == 0 && memo.size() >= value.size();
    case mtPartialMatchAny: return memo.find(value) != std::string::npos;
    case mtExactMatch: return memo.size() == value.size() && memo == value;
    default: return false;
  }
}

std::string FieldValueText(const TField& field, const uint8_t* record) {
  auto* dataSet = dynamic_cast<TDBDataSet*>(field.DataSet());
  const OrbCursor cursor = dataSet ? dataSet->Handle() : 0;
  if (!cursor || field.FieldNo() <= 0) return std::string();
  detail::EngineLink& engine = detail::Engine();
  const auto number = static_cast<uint16_t>(field.FieldNo());
  std::array<char, kFieldBufferSize> value{};
  int32_t blank = 0;
  if (engine.GetField(cursor, number, record, value.data(), static_cast<uint32_t>(value.size()), &blank) != ORB_OK ||
      blank)
    return std::string();
  switch (field.DataType()) {
    case ftString:
      value.back() = 0;
      return std::string(value.data());
    case ftSmallint:
    case ftWord:
    case ftInteger: {
      // dBASE numbers come back as doubles: a whole-number field is written
      // signed, without decimals.
      double d = 0;
      std::memcpy(&d, value.data(), sizeof d);
      return IntToStr(std::llround(d));
    }
    case ftFloat:
    case ftCurrency:
    case ftBCD: {
      double d = 0;
      std::memcpy(&d, value.data(), sizeof d);
      if (field.Decimals() > 0) {
        char buf[64];
        std::snprintf(buf, sizeof buf, "%.*f", field.Decimals(), d);
        return buf;
      }
      return FloatToStr(d, '.');
    }
    case ftDate: {
      // The engine's day number, as a calendar date in the short format.
      int32_t day = 0;
      std::memcpy(&day, value.data(), sizeof day);
      return DateToStr(EngineDayToDate(day));
    }
    case ftBoolean: {
      int16_t b = 0;
      std::memcpy(&b, value.data(), sizeof b);
      return b ? "True" : "False";
    }
    default: return std::string();
  }
}

bool IndexIsCaseSensitive(TTable& table) {
  const TIndexDef* def = ActiveIndexDef(table);
  return def && (def->Options() & ixCaseInsensitive) == 0;
}

bool IndexLeadsWithField(TDataSet& dataSet) {
  auto* table = dynamic_cast<TTable*>(&dataSet);
  if (!table) return false;
  const TIndexDef* def = ActiveIndexDef(*table);
  if (!def || (def->Options() & ixExpression)) return false;
  const std::string& fields = def->Fields();
  return dataSet.FindField(fields.substr(0, fields.find(';'))) != nullptr;
}

void MarkFound(TDataSet& dataSet, bool& found) {
  // The engine cursor moved behind the dataset's back: re-read around it.
  dataSet.CursorPosChanged();
  dataSet.Resync();
  found = true;
}

bool IsFloatField(const TField& field) {
  return field.DataType() == ftFloat || field.DataType() == ftCurrency || field.DataType() == ftBCD;
}

bool LocateRecord(bool fromBeginning, TDataSet& dataSet, std::string_view fieldName, bool caseSensitive,
                  int matchType, std::string_view rawValue, size_t textLimit) {
  dataSet.CheckBrowseMode();
  fieldName = Limited(fieldName, textLimit);
  TField* field = dataSet.FindField(fieldName);
  if (!field) {
    platform::ui::ShowMessage("Field " + std::string(fieldName) + " not found.", "Warning", platform::ui::Buttons::Ok,
                              platform::ui::Icon::Warning);
    return false;
  }
  dataSet.UpdateCursorPos();
  const std::string value = Prepared(Limited(rawValue, textLimit), caseSensitive);
  auto fieldText = [&](const std::string& text) { return std::string(Limited(text, textLimit)); };

  bool indexPath = false;
  auto* table = dynamic_cast<TTable*>(&dataSet);
  if (table && !field->IsBlob() && !dataSet.IsEmpty()) {
    table->IndexDefs().Update();
    const std::string current = Prepared(fieldText(field->AsString()), caseSensitive);
    const bool keyed = table->IndexFieldCount() > 0 && IndexLeadsWithField(dataSet) &&
                       SameText(table->IndexFields(0)->FieldName(), field->FieldName());
    const bool caseAgrees = IndexIsCaseSensitive(*table) == caseSensitive;
    if (keyed && matchType == mtExactMatch && (current != value || fromBeginning) &&
        field->DataType() != ftBoolean && (!IsStringField(*field) || caseAgrees)) {
      return table->FindKey({value});
    }
    if (keyed && matchType == mtPartialMatchStart && IsStringField(*field) && caseAgrees) {
      indexPath = true;
      const bool currentMatches = MatchFieldText(current, value, mtPartialMatchStart, caseSensitive);
      if (fromBeginning || !currentMatches) {
        // In index order nothing after a greater key can start with the value.
        if (!fromBeginning && value < current) return false;
        table->FindNearest({value});
        return MatchFieldText(fieldText(field->AsString()), value, mtPartialMatchStart, caseSensitive);
      }
    }
  }

  auto* engineSet = dynamic_cast<TDBDataSet*>(&dataSet);
  if (!engineSet) return false;
  detail::EngineLink& engine = detail::Engine();
  const bool floatExact = matchType == mtExactMatch && IsFloatField(*field);
  double floatValue = 0;
  const bool valueIsFloat = floatExact && TryStrToFloat(value, floatValue, '.');

  std::vector<uint8_t> record(kRecordBufferSize);
  OrbTableInfo info{};
  if (engine.GetTableInfo(engineSet->Handle(), &info) == ORB_OK && info.recordSize > record.size())
    record.resize(info.recordSize);
  const auto recordSize = static_cast<uint32_t>(record.size());
  const TBookmark bookmark = dataSet.GetBookmark();
  platform::ui::BusyCursor busy;
  bool found = false;

  // The record in the buffer against the value.
  auto matches = [&]() {
    if (field->IsBlob()) return MatchMemoText(*field, record.data(), value, caseSensitive, matchType);
    const std::string text = fieldText(FieldValueText(*field, record.data()));
    if (valueIsFloat) {
      double d = 0;
      return !text.empty() && TryStrToFloat(text, d, '.') && d == floatValue;
    }
    return MatchFieldText(text, value, matchType, caseSensitive);
  };

  try {
    if (fromBeginning) {
      dataSet.First();
      dataSet.UpdateCursorPos();
      // An empty dataset has no first record to test.
      if (!dataSet.IsEmpty()) {
        OrbRecordInfo ri{};
        if (engine.GetRecord(engineSet->Handle(), record.data(), recordSize, &ri) == ORB_OK && matches())
          MarkFound(dataSet, found);
      }
    }
    if (!found && !dataSet.IsEmpty()) {
      dataSet.UpdateCursorPos();
      const OrbCursor cursor = engineSet->Handle();
      OrbRecordInfo ri{};
      while (engine.GetNextRecord(cursor, record.data(), recordSize, &ri) == ORB_OK) {
        if (matches()) {
          MarkFound(dataSet, found);
          break;
        }
        if (indexPath) break;
      }
    }
  } catch (const EDatabaseError&) {
    found = false;  // an engine failure while reading is "not found"
  }
  if (!found) {
    dataSet.CursorPosChanged();
    if (!bookmark.empty()) dataSet.GotoBookmark(bookmark);
  }
  return found;
}

}  // namespace grid
