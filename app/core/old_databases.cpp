#include "core/old_databases.h"

#include <unistd.h>

#include <cmath>
#include <cstdint>
#include <optional>
#include <system_error>
#include <utility>
#include <vector>

#include "core/inventory_table.h"
#include "core/item_fields.h"
#include "framework/dbtables.h"
#include "framework/sysutils.h"
#include "platform/paths.h"
#include "platform/ui.h"

namespace fs = std::filesystem;
namespace ui = platform::ui;

namespace keldro {

namespace {

bool IsNumericType(framework::TFieldType t) {
  using namespace framework;
  return t == ftSmallint || t == ftInteger || t == ftWord || t == ftFloat || t == ftCurrency || t == ftBCD;
}

bool IsDateType(framework::TFieldType t) { return t == framework::ftDate || t == framework::ftDateTime; }

bool IsWholeNumberInRange(framework::TFieldType t, double value) {
  if (t == framework::ftFloat || t == framework::ftCurrency || t == framework::ftBCD) return true;
  const double rounded = std::round(value);
  return std::isfinite(rounded) && rounded >= -2147483648.0 && rounded <= 2147483647.0;
}

// A value read from a table of an earlier version, held until every record
// has been read.
struct Cell {
  enum Kind { Null, Text, Number, Date } kind = Null;
  std::string text;
  double number = 0;
};

// A value that cannot be carried over as the new field's type.
struct CellError {
  std::string message;
};

// Reads an old field as the type of the new one: text as text, numbers and
// dates by value, so no display format (a two-digit year, a decimal comma)
// comes between them.
Cell ReadCell(const framework::TField& from, framework::TFieldType toType) {
  Cell c;
  if (from.IsNull()) return c;
  if (toType == framework::ftString) {
    c.kind = Cell::Text;
    c.text = from.AsString();
    return c;
  }
  if (IsNumericType(toType)) {
    c.kind = Cell::Number;
    if (IsNumericType(from.DataType())) {
      c.number = from.AsFloat();
    } else {
      const std::string t = framework::Trim(from.AsString());
      if (t.empty()) return Cell{};
      if (!framework::TryStrToFloat(t, c.number, '.'))
        throw CellError{"\"" + t + "\" in field " + from.FieldName() + " is not a number."};
    }
    // A whole-number field takes a 32-bit value: anything larger would be
    // stored wrapped round.
    if (!IsWholeNumberInRange(toType, c.number))
      throw CellError{"the value of field " + from.FieldName() + " is too large for its new field."};
    return c;
  }
  if (IsDateType(toType)) {
    if (!IsDateType(from.DataType()))
      throw CellError{"field " + from.FieldName() + " does not hold a date."};
    c.kind = Cell::Date;
    c.number = from.AsDateTime();
    return c;
  }
  throw CellError{"field " + from.FieldName() + " has a type that cannot be converted."};
}

void WriteCell(framework::TField& to, const Cell& c) {
  switch (c.kind) {
    case Cell::Null: to.Clear(); break;
    case Cell::Text: to.SetAsString(c.text); break;
    case Cell::Number:
      if (to.DataType() == framework::ftFloat || to.DataType() == framework::ftCurrency)
        to.SetAsFloat(c.number);
      else
        to.SetAsInteger(static_cast<int32_t>(std::llround(c.number)));
      break;
    case Cell::Date: to.SetAsDateTime(c.number); break;
  }
}

void OpenForReading(framework::TTable& table, const ItemTableLocation& location) {
  table.SetTableType(framework::ttDBase);
  table.SetReadOnly(true);
  table.SetExclusive(false);
  table.SetDatabaseName(location.directory.string());
  table.SetTableName(location.tableName);
  table.Open();
}

std::optional<std::vector<std::string>> ReadFieldNames(const ItemTableLocation& location) {
  framework::TTable table;
  OpenForReading(table, location);
  std::vector<std::string> names;
  table.GetFieldNames(names);
  return names;
}

// Every record of the old table, converted to the types of the new fields.
std::vector<std::vector<Cell>> ReadOldRecords(framework::TDataSet& target, const fs::path& path, OldVersion version,
                                              const std::vector<FieldCopy>& copies) {
  framework::TTable old;
  OpenForReading(old, LocateItemTable(path));
  std::vector<std::vector<Cell>> rows;
  int recordNumber = 0;
  for (old.First(); !old.Eof(); old.Next()) {
    ++recordNumber;
    std::vector<Cell> row;
    try {
      for (const FieldCopy& c : copies)
        row.push_back(ReadCell(*old.FieldByName(c.from), target.FieldByName(c.to)->DataType()));
      if (version == OldVersion::Version1) {
        const Version1Date d = Version1PurchaseDate(old.FieldByName("PurchMonth")->AsString(),
                                                    old.FieldByName("PurchDay")->AsString(),
                                                    old.FieldByName("PurchYear")->AsString());
        if (d.kind == Version1Date::Invalid) throw CellError{"its purchase date is not a valid date."};
        Cell date;
        if (d.kind == Version1Date::Valid) {
          date.kind = Cell::Date;
          date.number = framework::EncodeDate(d.date.year, d.date.month, d.date.day);
        }
        row.push_back(date);
      }
    } catch (const CellError& e) {
      throw CellError{"record " + std::to_string(recordNumber) + ": " + e.message};
    }
    rows.push_back(std::move(row));
  }
  return rows;
}

// Whether `stored`, read back from a new field, is `written` as that field
// keeps it: texts cut to its width without their trailing blanks (an empty
// one as no value), numbers to its decimals, dates to the day.
bool SameAsStored(const Cell& written, const Cell& stored, const ItemField& field) {
  auto text = [&](const Cell& c) {
    std::string t = c.kind == Cell::Text ? c.text.substr(0, static_cast<size_t>(field.width)) : std::string();
    while (!t.empty() && t.back() == ' ') t.pop_back();
    return t;
  };
  if (field.typeCode == kCharacterField) return text(written) == text(stored);
  if (written.kind != stored.kind) return false;
  if (written.kind == Cell::Null) return true;
  if (field.typeCode == kIntegerField) return std::llround(written.number) == std::llround(stored.number);
  if (field.typeCode == kDateField) return std::floor(written.number) == std::floor(stored.number);
  return std::fabs(written.number - stored.number) <= 0.5 * std::pow(10.0, -field.decimals) + 1e-9;
}

// Whether the last records of the open table's file, in record order, are
// `rows` as a conversion stores them: a kill between the conversion's
// commit and the removal of the old file leaves just that.
bool EndsWithConverted(const framework::TTable& target, const std::vector<std::vector<Cell>>& rows,
                       const std::vector<FieldCopy>& copies, OldVersion version) {
  if (rows.empty()) return false;
  try {
    framework::TTable table;  // read beside the open one, in record order
    table.SetTableType(framework::ttDBase);
    table.SetReadOnly(true);
    table.SetDatabaseName(target.DatabaseName());
    table.SetTableName(target.TableName());
    table.Open();
    table.Last();  // on the last record (Eof is set), or both ends of none
    if (table.Bof() && table.Eof()) return false;
    for (size_t n = rows.size(); n-- > 0;) {
      const std::vector<Cell>& row = rows[n];
      for (size_t i = 0; i <= copies.size(); ++i) {
        if (i == copies.size() && version != OldVersion::Version1) break;
        const std::string_view name = i < copies.size() ? std::string_view(copies[i].to) : "PurchDate";
        const ItemField* field = ItemFieldByName(name);
        const framework::TField* stored = table.FieldByName(std::string(name));
        if (field == nullptr || stored == nullptr) return false;
        if (!SameAsStored(i < copies.size() ? row[i] : row.back(), ReadCell(*stored, stored->DataType()), *field))
          return false;
      }
      if (n == 0) break;
      table.Prior();
      if (table.Bof()) return false;
    }
    return true;
  } catch (const CellError&) {
    return false;
  } catch (const framework::Exception&) {
    return false;
  }
}

// The old table at `path` was converted into `target` already, and only
// its removal was cut off.
bool ConvertedBefore(framework::TTable& target, const fs::path& path, OldVersion version) {
  const std::vector<FieldCopy>& copies =
      version == OldVersion::Version2 ? Version2FieldCopies() : Version1FieldCopies();
  if (!target.Active()) return false;
  try {
    return EndsWithConverted(target, ReadOldRecords(target, path, version, copies), copies, version);
  } catch (const CellError&) {
    return false;
  } catch (const framework::Exception&) {
    return false;
  }
}

}  // namespace

void DefineItemFields(framework::TFieldDefs& defs) {
  defs.Clear();
  for (const ItemField& f : ItemFields) {
    const std::string name(f.name);
    switch (f.typeCode) {
      case kCharacterField: defs.Add(name, framework::ftString, f.width); break;
      case kIntegerField: defs.Add(name, framework::ftInteger); break;
      case kFloatField: defs.Add(name, framework::ftFloat, f.decimals); break;
      case kDateField: defs.Add(name, framework::ftDate); break;
    }
  }
}

std::string ConvertOldTable(framework::TTable& target, const fs::path& path, OldVersion version) {
  const std::vector<FieldCopy>& copies =
      version == OldVersion::Version2 ? Version2FieldCopies() : Version1FieldCopies();
  if (!target.Active()) return "no database is open.";
  std::vector<std::vector<Cell>> rows;
  try {
    rows = ReadOldRecords(target, path, version, copies);
  } catch (const CellError& e) {
    return e.message;
  } catch (const framework::Exception& e) {
    return e.Message();
  }

  // One batch: a kill, a crash or a full disk leaves the table without
  // any of the records or with all of them, and the old file is deleted
  // only once they are in.
  std::error_code ec;
  std::vector<framework::TBookmark> appended;
  try {
    target.BeginBatch();
    for (const std::vector<Cell>& row : rows) {
      target.Append();
      for (size_t i = 0; i < copies.size(); ++i) WriteCell(*target.FieldByName(copies[i].to), row[i]);
      if (version == OldVersion::Version1) WriteCell(*target.FieldByName("PurchDate"), row.back());
      target.Post();
      appended.push_back(target.GetBookmark());
    }
    // A folder that takes no removal would leave the records doubled at
    // the next start: seen before they go in.
    const fs::path folder = path.parent_path().empty() ? fs::path(".") : path.parent_path();
    if (::access(folder.c_str(), W_OK) != 0) {
      target.RollbackBatch();
      return "the old file could not be deleted.";
    }
    target.CommitBatch();
  } catch (const framework::Exception& e) {
    // A failed post or commit has rolled the batch back already.
    try {
      target.Cancel();
      if (target.InBatch()) target.RollbackBatch();
    } catch (const framework::Exception&) {
    }
    return e.Message();
  }
  fs::remove(path, ec);
  if (!ec && !fs::exists(path, ec)) return "";
  // Taken out again (one batch too), so that the next start's conversion
  // doubles nothing.
  try {
    target.BeginBatch();
    for (const framework::TBookmark& b : appended) {
      target.GotoBookmark(b);
      target.Delete();
    }
    target.CommitBatch();
  } catch (const framework::Exception&) {
    try {
      if (target.InBatch()) target.RollbackBatch();
    } catch (const framework::Exception&) {
    }
  }
  return "the old file could not be deleted.";
}

std::string ConversionFailedMessage(std::string_view fileName, std::string_view failure) {
  return "The database \"" + std::string(fileName) + "\" could not be converted: " + std::string(failure) +
         "  It has been kept as it was, and nothing was added.";
}

bool CheckForConversion(const fs::path& programDir, framework::TTable& target) {
  struct Old {
    std::string_view fileName;
    OldVersion version;
    std::string_view question;
    bool (*check)(const fs::path&, const FieldNameReader&);
  };
  static constexpr Old kOld[] = {{"D2ADE.DBF", OldVersion::Version2, kConvertVersion2Question, CheckDBaseFormatV2},
                                 {"VIDI.DBF", OldVersion::Version1, kConvertVersion1Question, CheckDBaseFormatV1}};
  bool ran = false;
  for (const Old& o : kOld) {
    std::error_code ec;
    const fs::path path = platform::FindFileNoCase(programDir, o.fileName);
    if (!fs::exists(path, ec)) continue;
    bool recognised = false;
    try {
      recognised = o.check(path, ReadFieldNames);
    } catch (const framework::Exception& e) {
      ui::ShowMessage(e.Message(), "Error");
    }
    if (!recognised) continue;
    // Its records are in already (a kill came before the old file went):
    // what is left of that conversion is the removal, not another offer.
    if (ConvertedBefore(target, path, o.version)) {
      fs::remove(path, ec);
      continue;
    }
    if (ui::ShowMessage(std::string(o.question), "Convert", ui::Buttons::YesNo) != ui::Answer::Yes) continue;
    const std::string failure = ConvertOldTable(target, path, o.version);
    if (!failure.empty()) ui::ShowMessage(ConversionFailedMessage(path.filename().string(), failure), "Error");
    ran = true;
  }
  return ran;
}

}  // namespace keldro
