// The rules of an inventory database that stand without the engine: the sort
// expression of index "NewIndex", the 22-field check, where a table's files
// are, the repair of the production-index flag, and recognising and
// converting the tables of the two earlier versions.
//
// The engine is reached through the callbacks a caller passes in, so these
// rules are tested on plain files.
#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/dbf_header.h"
#include "core/sort_levels.h"

namespace keldro {

inline constexpr std::string_view kNewIndexName = "NewIndex";
inline constexpr std::string_view kNotAnItemTableMessage =
    "This DBase file was not created with Stashwell Inventory 95.  It cannot be opened.  "
    "You may, however, import data from this file using the import function.";

inline constexpr std::string_view kLastDatabaseInvalidMessage =
    "The last database used as recorded in the INI file is not a valid Stashwell Inventory 95 file.  "
    "You will need to choose a new file.";
inline constexpr std::string_view kConvertVersion2Question =
    "A database from a previous version (2.X) has been detected.  Would you like to convert it now?  "
    "NOTE: After conversion the old file will be deleted.  You may wish to make a copy of \"D2ADE.DBF\" first.";
inline constexpr std::string_view kConvertVersion1Question =
    "A database from a previous version (1.X) has been detected.  Would you like to convert it now?  "
    "NOTE: After conversion the old file will be deleted.  You may wish to make a copy of \"VIDI.DBF\" first.";
// The refusal to create a database over a file another program has open.
std::string TableInUseMessage(std::string_view path);

// True when the names are exactly the 22 item fields in order, compared
// without regard to case.
bool IsItemFieldLayout(const std::vector<std::string>& fieldNames);
// The tables of the earlier versions: 19 (15) fields whose names from the
// second on match the old layout; the first field is not examined.
bool IsVersion2FieldLayout(const std::vector<std::string>& fieldNames);
bool IsVersion1FieldLayout(const std::vector<std::string>& fieldNames);

// How the fields of an old table go into the new one: (old field, new
// field) by name. Version 1's purchase date is built from three fields
// (Version1PurchaseDate) and is not in its list.
struct FieldCopy {
  std::string_view from;
  std::string_view to;
};
const std::vector<FieldCopy>& Version2FieldCopies();
const std::vector<FieldCopy>& Version1FieldCopies();

// Where the engine finds a database: its directory, its table name (the file
// name without its final extension, so MY.VIVO.DBF is table MY.VIVO) and its
// production index (table name + ".MDX", found without regard to case).
// Found once per open and handed on.
struct ItemTableLocation {
  std::filesystem::path dbfPath;  // the path as the caller gave it
  std::filesystem::path directory;
  std::string tableName;
  std::filesystem::path indexPath;
};
ItemTableLocation LocateItemTable(const std::filesystem::path& dbfPath);
// The caption of the main window for a table name: the name up to its first
// dot, as the table's short name ("MY.VIVO" gives "... (MY)").
std::string MainCaption(std::string_view tableName);

// Opens the table at a location and gives its field names; nullopt when it
// cannot be opened. Engine errors may also be thrown through.
using FieldNameReader = std::function<std::optional<std::vector<std::string>>(const ItemTableLocation&)>;

// Accepts a file as an inventory database: repairs the flag when the .MDX
// is missing, reads the field names and checks them. A refusal shows
// kNotAnItemTableMessage ("Error", OK) through platform::ui.
bool CheckDBaseFormat(const std::filesystem::path& dbfPath, const FieldNameReader& readFieldNames);
bool CheckDBaseFormat(const ItemTableLocation& location, const FieldNameReader& readFieldNames);
// The same test for the tables of the earlier versions, without a message.
bool CheckDBaseFormatV2(const std::filesystem::path& dbfPath, const FieldNameReader& readFieldNames);
bool CheckDBaseFormatV1(const std::filesystem::path& dbfPath, const FieldNameReader& readFieldNames);

// A calendar date as the conversion hands it to the table.
struct CivilDate {
  int year = 0;
  int month = 0;
  int day = 0;
  bool operator==(const CivilDate&) const = default;
};
bool IsValidDate(const CivilDate& date);

// The purchase date of a version-1 record from its three text fields:
// month "Jan".."Dec" (or a number), day and year as numbers; two-digit years
// 00-29 are 2000-2029, 30-99 1930-1999. All three blank: no date.
struct Version1Date {
  enum Kind { Empty, Valid, Invalid } kind = Empty;
  CivilDate date;
};
Version1Date Version1PurchaseDate(std::string_view month, std::string_view day, std::string_view year);

}  // namespace keldro
