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

#include "core/item_fields.h"
#include "core/item_text_file.h"
#include "core/settings.h"
#include <filesystem>

#include "framework/dbtables.h"
#include "platform/file_io.h"

namespace keldro {

// The included fields (numbers 1..22) in export order: by export position,
// ties by field number.
std::vector<int> ExportFields(const AppSettings& settings);

// The export's text line of a table's current record: the fields found once
// for the whole walk, each value's edit text (a date with its four-digit
// year) quoted, doubled, cut and trimmed as ItemTextValue does.
class ItemTextExporter {
 public:
  ItemTextExporter(framework::TDataSet& table, const std::vector<int>& fields);
  // Appends the current record's line, CR LF included.
  void AppendLine(std::string& out) const;
  // The longest line a record can make: room for `records` lines reserved
  // once is never copied again (pages not written are never touched).
  std::size_t LongestLine() const;

 private:
  struct Column {
    framework::TField* field;
    int typeCode;
  };
  std::vector<Column> columns_;
};

// The export's text file, written as its lines come: they pass through a
// small buffer to a file beside the target, renamed in when whole (see
// platform::AtomicFileWriter), so an export never holds all its lines and
// a failed one leaves an old file as it was.
class ItemTextFileWriter {
 public:
  // False, with errno-style detail, when the file cannot be begun.
  bool Open(const std::filesystem::path& file, int* error);
  // A line as it is (the title line), or the exporter's line of the
  // current record. After a failed write the rest is not written.
  void Append(std::string_view line);
  void Append(const ItemTextExporter& exporter);
  // Writes what is buffered and puts the file in place; false, with the
  // first failure's errno-style detail, when anything could not be written.
  bool Finish(int* error);

 private:
  void WriteWhenFull();

  platform::AtomicFileWriter file_;
  std::string buffer_;
  int error_ = 0;
};

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

// Stores a converted value in the table's record being inserted (a blank
// one leaves the field empty).
void StoreImportValue(framework::TDataSet& table, const ItemField& field, const ImportValue& value);

// The second pass of an import: appends every record `produce` hands to its
// sink to the open table as one batch of the engine's, so the records reach
// the file all together at the commit or not at all, also across a kill or
// a full disk. `progress` hears the count appended so far.
struct ImportOutcome {
  bool ok = false;
  std::size_t appended = 0;  // committed records (0 unless ok)
  std::string error;         // why it failed
  // After a failure: the table was given back as it was before the import.
  // When not, the engine undoes what is left at the table's next open.
  bool restored = true;
};
ImportOutcome AppendImport(framework::TTable& table, const std::function<void(const RecordSink&)>& produce,
                           const std::function<void(std::size_t)>& progress = {});

// A dBASE export: the table of the chosen fields (in export order, no
// indexes) created beside the target under a name of its own and filled in
// one batch, with no sync per record; Finish commits it (its one sync),
// renames it over the target and syncs the folder. Until then the target is
// untouched; a writer destroyed unfinished takes its table away again.
class DBaseExportWriter {
 public:
  // Throws the framework's exceptions when the table cannot be made.
  DBaseExportWriter(framework::TTable& table, const std::filesystem::path& target, const std::vector<int>& fields);
  ~DBaseExportWriter();
  DBaseExportWriter(const DBaseExportWriter&) = delete;
  DBaseExportWriter& operator=(const DBaseExportWriter&) = delete;

  // Appends the current record of `source` (always the same dataset), by value.
  void Write(framework::TDataSet& source);
  // Empty when the export is in place; else why not (the target as it was).
  std::string Finish();

 private:
  void Abandon();
  void RemoveFiles() const;
  framework::TTable& table_;
  std::filesystem::path target_;
  std::filesystem::path building_;
  std::vector<int> fields_;
  std::vector<framework::TField*> from_;
  bool finished_ = false;
};

}  // namespace keldro
