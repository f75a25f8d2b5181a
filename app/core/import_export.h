// What export and import decide without a window: the fields an export
// writes, the mapping of import columns onto inventory fields, and the first
// pass of an import, which reads and converts everything before anything is
// appended (an import is all or nothing).
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "core/item_text_file.h"
#include "core/settings.h"

namespace keldro {

// The included fields (numbers 1..22) in export order: by export position,
// ties by field number.
std::vector<int> ExportFields(const AppSettings& settings);

// One row of the mapping grid: the source column it holds (1-based, 0 for
// "<EMPTY>") and whether it is used. Row r stands against inventory field r.
struct MappingRow {
  int column = 0;
  bool use = false;
};
// field number for each source column (index column - 1), 0 for none.
std::vector<int> ColumnTargets(const std::vector<MappingRow>& rows, std::size_t columnCount);

// One record to append: for each inventory field (index number - 1) the value.
using ImportRecord = std::vector<ImportValue>;

// Takes each good record in turn; an import's first pass only counts them,
// its second appends them.
using RecordSink = std::function<void(const ImportRecord&)>;

struct ImportCheck {
  std::vector<ImportRecord> records;  // kept when no sink takes them
  std::size_t goodRecords = 0;
  std::size_t badLines = 0;
  std::size_t firstBadLine = 0;   // 1-based line of the file
  std::size_t firstBadValue = 0;  // 1-based value of that line
  std::string firstReason;
};

// Reads every record of a text file's content against the mapping (targets
// from ColumnTargets), skipping the first when asked; a bad record is named
// by the line it starts on. Good records go
// to `sink` when one is given, else into `records`.
ImportCheck CheckTextImport(std::string_view content, std::size_t columnCount, const std::vector<int>& targets,
                            bool skipFirst, const RecordSink& sink = {});
// Converts one source record given as text values, handing it on (as above)
// or counting it bad as line `line`.
void AddImportRecord(ImportCheck& check, std::size_t line, const std::vector<std::string>& values,
                     const std::vector<int>& targets, const RecordSink& sink = {});

// The "Error" text for an import with bad lines.
std::string ImportRefusedText(const ImportCheck& check);

}  // namespace keldro
