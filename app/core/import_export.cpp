#include "core/import_export.h"

#include <algorithm>

namespace keldro {

std::vector<int> ExportFields(const AppSettings& settings) {
  std::vector<int> fields;
  for (int f = 1; f <= kItemFieldCount; ++f)
    if (settings.fields[static_cast<std::size_t>(f - 1)].exportField) fields.push_back(f);
  std::stable_sort(fields.begin(), fields.end(), [&](int a, int b) {
    return settings.fields[static_cast<std::size_t>(a - 1)].exportOrder <
           settings.fields[static_cast<std::size_t>(b - 1)].exportOrder;
  });
  return fields;
}

std::vector<int> ColumnTargets(const std::vector<MappingRow>& rows, std::size_t columnCount) {
  std::vector<int> targets(columnCount, 0);
  for (std::size_t r = 0; r < rows.size() && r < static_cast<std::size_t>(kItemFieldCount); ++r) {
    const MappingRow& row = rows[r];
    if (row.column >= 1 && static_cast<std::size_t>(row.column) <= columnCount && row.use)
      targets[static_cast<std::size_t>(row.column - 1)] = static_cast<int>(r + 1);
  }
  return targets;
}

namespace {

std::string FaultText(LineFault fault) {
  switch (fault) {
    case LineFault::kTooLong: return "it is longer than 255 characters";
    case LineFault::kUnterminated: return "the line ends inside it (an unmatched quote or a value without quotes)";
    case LineFault::kTooMany: return "the line holds more values than the first line";
    case LineFault::kAfterQuote: return "its closing quote is followed by something other than a comma";
    default: return {};
  }
}

void Bad(ImportCheck& check, std::size_t line, std::size_t value, const std::string& reason) {
  if (check.badLines++ == 0) {
    check.firstBadLine = line;
    check.firstBadValue = value;
    check.firstReason = reason;
  }
}

}  // namespace

void AddImportRecord(ImportCheck& check, std::size_t line, const std::vector<std::string>& values,
                     const std::vector<int>& targets, const RecordSink& sink) {
  ImportRecord record(kItemFieldCount);
  for (std::size_t i = 0; i < values.size() && i < targets.size(); ++i) {
    const ItemField* field = ItemFieldByNumber(targets[i]);
    if (field == nullptr) continue;
    std::string reason;
    if (!ConvertImportValue(field->typeCode, field->width, values[i], record[static_cast<std::size_t>(field->number - 1)],
                            reason)) {
      Bad(check, line, i + 1, reason);
      return;
    }
  }
  ++check.goodRecords;
  if (sink)
    sink(record);
  else
    check.records.push_back(std::move(record));
}

ImportCheck CheckTextImport(std::string_view content, std::size_t columnCount, const std::vector<int>& targets,
                            bool skipFirst, const RecordSink& sink) {
  ImportCheck check;
  if (!sink) check.records.reserve(static_cast<std::size_t>(std::count(content.begin(), content.end(), '\n')) + 1);
  std::size_t pos = 0;
  std::size_t line = 1;  // of the file, where the record starts
  for (bool first = true; pos < content.size(); first = false) {
    const std::size_t start = pos;
    ItemTextRecord r = ReadItemTextRecord(content, pos, columnCount);
    const std::size_t recordLine = line;
    line += static_cast<std::size_t>(std::count(content.begin() + static_cast<std::ptrdiff_t>(start),
                                                content.begin() + static_cast<std::ptrdiff_t>(pos), '\n'));
    if (first && skipFirst) continue;
    if (r.fault != LineFault::kNone) {
      Bad(check, recordLine, r.faultValue, FaultText(r.fault));
      continue;
    }
    if (r.empty) continue;
    AddImportRecord(check, recordLine, r.values, targets, sink);
  }
  return check;
}

std::string ImportRefusedText(const ImportCheck& check) {
  std::string text = "Nothing was imported.  Line " + std::to_string(check.firstBadLine) + ", value " +
                     std::to_string(check.firstBadValue) + ": " + check.firstReason + ".";
  if (check.badLines > 1) text += "  " + std::to_string(check.badLines) + " lines cannot be imported.";
  return text;
}

}  // namespace keldro
