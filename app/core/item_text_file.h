// The item text file of export and import: one record a line, every value in
// double quotes with inner quotes doubled, values separated by commas, lines
// ended by CR LF (LF alone is read too), Windows-1252 bytes. A value holds
// its own line ends as they are; dates are written with four-digit years. The writer makes
// what a spreadsheet reads as CSV; the reader takes every line the writer
// makes and reports the first fault of any other line.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "framework/sysutils.h"

namespace keldro {

inline constexpr std::size_t kItemTextValueLimit = 255;
inline constexpr std::size_t kItemTextMaxColumns = 32;

// One value as written: cut to 255 characters, quotes doubled (kept within
// 255), trimmed of blanks, in quotes.
std::string ItemTextValue(std::string_view editText);
// The same appended to `out`.
void AppendItemTextValue(std::string& out, std::string_view editText);
// A whole line with its CR LF.
std::string ItemTextLine(const std::vector<std::string>& editTexts);

// A date's text as the export writes it: the short date format's order and
// separators with the year in four digits ("m/d/yy": 12/31/1999, 1/1/0001),
// so the import reads back the same day whatever the century.
std::string ItemTextDate(framework::TDateTime date);

enum class LineFault {
  kNone,
  kTooLong,       // a value past 255 characters
  kUnterminated,  // the line ends inside a value (unmatched quote, unquoted values)
  kTooMany,       // more values than allowed
  kAfterQuote,    // a closing quote followed by something other than a comma
};

struct ItemTextRecord {
  std::vector<std::string> values;
  LineFault fault = LineFault::kNone;
  std::size_t faultValue = 0;  // 1-based value the fault is in
  bool empty = false;          // no record: an empty line, or one empty value alone
};

// Reads the record that starts at `pos` of a file's content, at most
// maxValues values, and moves `pos` past its line end (after a fault: past
// the end of the line the fault is in). A quoted value may hold line ends.
ItemTextRecord ReadItemTextRecord(std::string_view content, std::size_t& pos,
                                  std::size_t maxValues = kItemTextMaxColumns);
// The same for content holding one record.
ItemTextRecord ReadItemTextLine(std::string_view line, std::size_t maxValues = kItemTextMaxColumns);

// The first line's check: 0 good, 1 a value longer than 255 characters, 2 an
// unexpected end of the line, 3 too many values; and the column names (the
// first 20 characters of each value, "<BLANK FIELD>" for an empty one).
int FirstLineCode(const ItemTextRecord& first);
std::vector<std::string> ItemTextColumnNames(const ItemTextRecord& first);
// The "Error" text for a first-line code 1..3.
std::string FirstLineErrorText(int code);

// A value converted for an inventory field of a type code (1 character,
// 2 integer, 3 float, 4 date).
struct ImportValue {
  bool blank = true;
  std::string text;          // character fields, cut to `width`
  long long integer = 0;
  double number = 0;
  framework::TDateTime date = 0;
};

// Converts text for a field; false with a reason when it cannot be stored: a
// number that does not convert, or a date with the date separator and no
// letter that is no valid date. A date without the separator, or holding a
// letter, stays blank, as does an empty number.
bool ConvertImportValue(int typeCode, int width, std::string_view text, ImportValue& out, std::string& reason);

}  // namespace keldro
