// LocateRecord: moves a dataset to the first, or the next, record whose
// field matches a value. It takes the active index when that index leads
// with the field and follows the requested case rule (a key search, or a
// nearest-key search for a match at the beginning); otherwise it reads the
// raw records through the engine cursor and compares the field's text,
// resynchronising the dataset once, on the record found. Nothing found
// leaves the dataset where it was.
//
//   grid::LocateRecord(true, table, "ITEM", false, grid::mtPartialMatchStart, "ham");
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "framework/db.h"
#include "framework/dbtables.h"

namespace grid {

enum TLocateMatchType : int { mtExactMatch = 0, mtPartialMatchStart = 1, mtPartialMatchAny = 2 };

// Texts beyond the limit are cut before they are compared (0: no limit).
inline constexpr size_t kNoTextLimit = 0;

// The field text (upper-cased here unless case-sensitive) against a value
// already prepared by the caller.
bool MatchFieldText(std::string_view fieldText, std::string_view value, int matchType, bool caseSensitive);
// The memo of `field` in a raw record of the field's table: at most 32,767
// bytes of it. "Fail to create blob" (and no match) when it cannot be read.
bool MatchMemoText(framework::TField& field, const uint8_t* record, std::string_view value, bool caseSensitive,
                   int matchType);
// The text of a field read straight from a raw record, as the field itself
// shows it (the short date format for dates, the field's decimals for
// numbers); blank fields give "".
std::string FieldValueText(const framework::TField& field, const uint8_t* record);
bool IndexIsCaseSensitive(framework::TTable& table);
// The active index is a field index whose first key is a field of the dataset.
bool IndexLeadsWithField(framework::TDataSet& dataSet);
// The dataset takes the record the engine cursor stands on.
void MarkFound(framework::TDataSet& dataSet, bool& found);
bool IsFloatField(const framework::TField& field);

// The one locate routine. "Field X not found." (warning) for a name the
// dataset lacks. `textLimit` cuts the value, field names and field texts.
bool LocateRecord(bool fromBeginning, framework::TDataSet& dataSet, std::string_view fieldName, bool caseSensitive,
                  int matchType, std::string_view value, size_t textLimit = kNoTextLimit);

}  // namespace grid
