#include "core/search_replace.h"

#include "core/item_fields.h"
#include "core/utilities.h"
#include "platform/text.h"

namespace keldro {

namespace {

// An entry still as its mask left it: nothing but blanks and separators.
bool IsUntouchedDate(std::string_view text) {
  for (char c : text)
    if (c != ' ' && c != '/' && c != '-' && c != '.' && c != framework::DateSeparator) return false;
  return true;
}

bool ToNumber(const std::string& text, double& value) {
  return !text.empty() && framework::TryStrToFloat(text, value, '.');
}

bool ToDate(const std::string& text, framework::TDateTime& value) {
  return !IsUntouchedDate(text) && framework::TryStrToDate(text, value);
}

}  // namespace

std::string_view ReplaceMaskFor(char typeLetter) {
  switch (typeLetter) {
    case 'D': return "99/99/0000;1";
    case 'N': return "ccccccccc;1";
    default: return "";
  }
}

std::string_view ReplaceInputMessage(ReplaceInputError error) {
  switch (error) {
    case ReplaceInputError::None: return "";
    case ReplaceInputError::NoField: return kNoFieldSelectedMessage;
    case ReplaceInputError::SearchValue: return kInvalidSearchValueMessage;
    case ReplaceInputError::ReplaceValue: return kInvalidReplaceValueMessage;
    case ReplaceInputError::SearchDate: return kInvalidSearchDateMessage;
    case ReplaceInputError::ReplaceDate: return kInvalidReplaceDateMessage;
  }
  return "";
}

ReplaceInputError PrepareReplace(int field, std::string_view search, std::string_view replace, ReplaceSpec& spec) {
  if (field < 1 || field > kItemFieldCount) return ReplaceInputError::NoField;
  spec = ReplaceSpec{};
  spec.field = field;
  spec.typeLetter = ItemFields[static_cast<size_t>(field - 1)].letter;
  const std::string s = TrimBlanks(search);
  spec.replaceText = TrimBlanks(replace);
  switch (spec.typeLetter) {
    case 'N': {
      double replacement = 0;
      if (!ToNumber(s, spec.searchNumber)) return ReplaceInputError::SearchValue;
      if (!ToNumber(spec.replaceText, replacement)) return ReplaceInputError::ReplaceValue;
      // A whole-number field cannot store a fraction: told here, not as a
      // failure in the middle of the walk.
      int64_t whole = 0;
      if (ItemFields[static_cast<size_t>(field - 1)].typeCode == kIntegerField &&
          !framework::TryStrToInt(spec.replaceText, whole))
        return ReplaceInputError::ReplaceValue;
      break;
    }
    case 'D':
      if (!ToDate(s, spec.searchDate)) return ReplaceInputError::SearchDate;
      if (!ToDate(spec.replaceText, spec.replaceDate)) return ReplaceInputError::ReplaceDate;
      break;
    default: spec.searchText = platform::AnsiUpper(s); break;
  }
  return ReplaceInputError::None;
}

bool ReplaceMatches(const ReplaceSpec& spec, const framework::TField& field) {
  switch (spec.typeLetter) {
    case 'N': return field.AsFloat() == spec.searchNumber;
    case 'D': return !field.IsNull() && field.AsDateTime() == spec.searchDate;
    default: return platform::AnsiUpper(field.AsString()) == spec.searchText;
  }
}

void StoreReplacement(const ReplaceSpec& spec, framework::TField& field) {
  if (spec.typeLetter == 'D')
    field.SetAsDateTime(spec.replaceDate);
  else
    field.SetAsString(spec.replaceText);
}

std::string ReplaceConfirmQuestion(std::string_view item) {
  return "Item = \"" + std::string(item) + "\".  Change this record?";
}

void ReplaceAll(framework::TDataSet& table, const ReplaceSpec& spec,
                const std::function<bool(const framework::TDataSet&)>& confirm,
                const std::function<void(const ReplaceCounts&)>& progress, ReplaceCounts& counts) {
  const std::string fieldName(ItemFields[static_cast<size_t>(spec.field - 1)].name);
  table.First();
  while (!table.Eof()) {
    framework::TField* field = table.FieldByName(fieldName);
    if (ReplaceMatches(spec, *field)) {
      if (!confirm || confirm(table)) {
        table.Edit();
        StoreReplacement(spec, *table.FieldByName(fieldName));
        table.Post();
        ++counts.changed;
      }
      ++counts.found;
    }
    ++counts.processed;
    if (progress) progress(counts);
    table.Next();
  }
}

void ReplaceAllInBatch(framework::TTable& table, const ReplaceSpec& spec,
                       const std::function<bool(const framework::TDataSet&)>& confirm,
                       const std::function<void(const ReplaceCounts&)>& progress, ReplaceCounts& counts) {
  table.BeginBatch();
  try {
    ReplaceAll(table, spec, confirm, progress, counts);
    table.CommitBatch();
  } catch (...) {
    // A failed post or commit has rolled back already.
    try {
      table.Cancel();
      if (table.InBatch()) table.RollbackBatch();
    } catch (const std::exception&) {
    }
    counts.changed = 0;
    throw;
  }
}

}  // namespace keldro
