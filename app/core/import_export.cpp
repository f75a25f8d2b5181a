#include "core/import_export.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <system_error>

#include "core/backup_restore.h"
#include "platform/file_io.h"

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

ItemTextExporter::ItemTextExporter(framework::TDataSet& table, const std::vector<int>& fields) {
  for (int f : fields) {
    const ItemField* item = ItemFieldByNumber(f);
    if (item == nullptr) continue;
    columns_.push_back({table.FindField(std::string(item->name)), item->typeCode});
  }
}

void ItemTextExporter::AppendLine(std::string& out) const {
  for (std::size_t i = 0; i < columns_.size(); ++i) {
    if (i > 0) out += ',';
    const framework::TField* field = columns_[i].field;
    if (field == nullptr) {
      out += "\"\"";
      continue;
    }
    switch (columns_[i].typeCode) {
      case kCharacterField: {
        // The stored text itself, without a copy.
        const std::string* text = std::get_if<std::string>(&field->Value());
        AppendItemTextValue(out, text != nullptr ? std::string_view(*text) : std::string_view());
        break;
      }
      case kDateField:
        AppendItemTextValue(out, field->IsNull() ? std::string() : ItemTextDate(field->AsDateTime()));
        break;
      default: AppendItemTextValue(out, field->Text()); break;
    }
  }
  out += "\r\n";
}

std::size_t ItemTextExporter::LongestLine() const {
  std::size_t longest = 2;
  for (const Column& c : columns_) {
    const std::size_t width = c.field != nullptr && c.typeCode == kCharacterField
                                  ? static_cast<std::size_t>(std::max(c.field->Size(), 0))
                                  : 32;  // a number's or a date's text
    longest += std::min<std::size_t>(2 * width, kItemTextValueLimit) + 3;
  }
  return longest;
}

namespace {
// The lines written out at a time.
constexpr std::size_t kExportChunk = 256 * 1024;
}  // namespace

bool ItemTextFileWriter::Open(const std::filesystem::path& file, int* error) {
  buffer_.clear();
  buffer_.reserve(kExportChunk + 4096);
  error_ = 0;
  return file_.Open(file, error);
}

void ItemTextFileWriter::Append(std::string_view line) {
  if (error_ != 0) return;
  buffer_ += line;
  WriteWhenFull();
}

void ItemTextFileWriter::Append(const ItemTextExporter& exporter) {
  if (error_ != 0) return;
  exporter.AppendLine(buffer_);
  WriteWhenFull();
}

void ItemTextFileWriter::WriteWhenFull() {
  if (buffer_.size() < kExportChunk) return;
  if (!file_.Write(buffer_, &error_) && error_ == 0) error_ = EIO;
  buffer_.clear();
}

bool ItemTextFileWriter::Finish(int* error) {
  if (error_ == 0 && !file_.Write(buffer_, &error_) && error_ == 0) error_ = EIO;
  buffer_.clear();
  if (error_ == 0 && !file_.Commit(&error_) && error_ == 0) error_ = EIO;
  if (error) *error = error_;
  return error_ == 0;
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

void StoreImportValue(framework::TDataSet& table, const ItemField& field, const ImportValue& v) {
  framework::TField* f = table.FindField(std::string(field.name));
  if (f == nullptr || v.blank) return;
  switch (field.typeCode) {
    case kIntegerField: f->SetAsFloat(static_cast<double>(v.integer)); break;
    case kFloatField: f->SetAsFloat(v.number); break;
    case kDateField: f->SetAsDateTime(v.date); break;
    default: f->SetAsString(v.text); break;
  }
}

ImportOutcome AppendImport(framework::TTable& table, const std::function<void(const RecordSink&)>& produce,
                           const std::function<void(std::size_t)>& progress) {
  ImportOutcome outcome;
  std::size_t appended = 0;
  try {
    table.BeginBatch();
    produce([&](const ImportRecord& record) {
      table.Append();
      for (const ItemField& field : ItemFields)
        StoreImportValue(table, field, record[static_cast<std::size_t>(field.number - 1)]);
      table.Post();
      ++appended;
      if (progress) progress(appended);
    });
    table.CommitBatch();
    outcome.ok = true;
    outcome.appended = appended;
    return outcome;
  } catch (const std::exception& e) {
    outcome.error = e.what();
  }
  // A failed post or commit has rolled the batch back already; anything
  // else is rolled back here.
  try {
    table.Cancel();
  } catch (const std::exception&) {
  }
  try {
    if (table.InBatch()) table.RollbackBatch();
  } catch (const std::exception&) {
    outcome.restored = false;
  }
  return outcome;
}

// ------------------------------------------------------------ dBASE export

DBaseExportWriter::DBaseExportWriter(framework::TTable& table, const std::filesystem::path& target,
                                     const std::vector<int>& fields)
    : table_(table), target_(target), building_(ExportBuildName(target)), fields_(fields) {
  // What an earlier export to the same name left goes first.
  RemoveFiles();
  table_.Close();
  table_.SetDatabaseName(target.parent_path().string());
  table_.SetTableName(building_.filename().string());
  table_.SetTableType(framework::ttDBase);
  table_.SetExclusive(true);
  framework::TFieldDefs& defs = table_.FieldDefs();
  defs.Clear();
  for (int f : fields_) {
    const ItemField& field = *ItemFieldByNumber(f);
    const std::string fieldName(field.name);
    switch (field.typeCode) {
      case kCharacterField: defs.Add(fieldName, framework::ftString, field.width); break;
      case kIntegerField: defs.Add(fieldName, framework::ftInteger); break;
      case kFloatField: defs.Add(fieldName, framework::ftFloat, field.decimals); break;
      default: defs.Add(fieldName, framework::ftDate); break;
    }
  }
  table_.IndexDefs().Clear();
  try {
    table_.CreateTable();
    table_.Open();
    table_.BeginBatch();
  } catch (...) {
    Abandon();
    throw;
  }
}

DBaseExportWriter::~DBaseExportWriter() {
  if (!finished_) Abandon();
}

void DBaseExportWriter::Abandon() {
  finished_ = true;
  try {
    table_.Cancel();
    if (table_.InBatch()) table_.RollbackBatch();
  } catch (const std::exception&) {
  }
  try {
    table_.Close();
  } catch (const std::exception&) {
  }
  RemoveFiles();
}

void DBaseExportWriter::RemoveFiles() const {
  // The table, and the journal the engine keeps beside it during the batch.
  std::error_code ec;
  std::filesystem::path journal = building_;
  for (const std::filesystem::path& file : {building_, journal.replace_extension(".JNL")})
    std::filesystem::remove(file, ec);
}

void DBaseExportWriter::Write(framework::TDataSet& source) {
  if (from_.empty())
    for (int f : fields_) from_.push_back(source.FindField(std::string(ItemFieldByNumber(f)->name)));
  table_.Append();
  // By value: dates keep their century, numbers their digits.
  for (std::size_t i = 0; i < fields_.size(); ++i) {
    framework::TField* from = from_[i];
    framework::TField* to = table_.Fields(static_cast<int>(i));
    if (from == nullptr || from->IsNull()) continue;
    switch (ItemFieldByNumber(fields_[i])->typeCode) {
      case kIntegerField:
      case kFloatField: to->SetAsFloat(from->AsFloat()); break;
      case kDateField: to->SetAsDateTime(from->AsDateTime()); break;
      default: to->SetAsString(from->AsString()); break;
    }
  }
  table_.Post();
}

std::string DBaseExportWriter::Finish() {
  try {
    table_.CommitBatch();
    table_.Close();
  } catch (const std::exception& e) {
    const std::string why = e.what();
    Abandon();
    return why;
  }
  finished_ = true;
  std::error_code ec;
  std::filesystem::rename(building_, target_, ec);
  if (ec) {
    std::filesystem::remove(building_, ec);
    return ec.message();
  }
  // The export is in place only when its folder holds the new name on disk.
  int error = 0;
  if (!platform::SyncFolder(target_.parent_path(), &error)) return std::strerror(error);
  return {};
}

}  // namespace keldro
