// The Search window's query without the window: the flat list of search
// items (one group of items per level: AND within a group, OR across
// groups), the criterion cells turned into items, and the test of one record
// read through a field reader.
#pragma once

#include <array>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/item_fields.h"

namespace keldro {

inline constexpr int kMaxSearchItems = 75;
inline constexpr int kMaxSearchLevels = 10;
inline constexpr size_t kSearchTextMax = 110;

// Comparison of one item.
enum SearchOperator : int { soEqual = 1, soGreater = 2, soLess = 3, soContains = 5 };
// What a numeric or date row's cell asks for: "=", ">", "<", or a range
// (greater than a low value AND less than a high value).
enum CriterionType : int { ctEqual = 1, ctGreater = 2, ctLess = 3, ctRange = 4 };

struct SearchItem {
  std::string text;     // the criterion (text test); a printable form otherwise
  double number = 0;    // value of a numeric test
  double date = 0;      // value of a date test (TDateTime)
  int fieldNumber = 0;  // 1..22
  int op = 0;           // SearchOperator
  bool groupEnd = false;
  bool isDate = false;
  bool operator==(const SearchItem&) const = default;
};
using SearchItems = std::vector<SearchItem>;

// The rows of the criteria grid: row r is field r.
using CriteriaCells = std::array<std::string, kItemFieldCount>;
using CriterionTypes = std::array<int, kItemFieldCount>;

// The six rows whose "..." offers a pick list, in their field order.
bool IsPickListRow(int row);
// Numeric and date rows offer the choice of comparison, pick-list rows a list.
bool RowHasChoice(int row);
// The edit mask of row r's criterion cell under its criterion type.
std::string CriterionMask(int row, int criterionType);
// The comparison list of the options dialog, in criterion type order.
inline constexpr std::array<std::string_view, 4> kComparisonChoices = {" = ", " > ", " < ", " > X < "};

inline constexpr std::string_view kInvalidCriteriaMessage = "Invalid search criteria entered.  Please correct.";
inline constexpr std::string_view kNoCriteriaMessage = "No search criteria entered.";
inline constexpr std::string_view kNoMatchesMessage = "No valid matches found.  Search criteria will be cleared.";
// "More than 75 search items have been entered.  This exceeds ..."
std::string TooManyItemsMessage();

// The level's heading of the criteria column.
std::string CriteriaHeading(int level);

enum class SaveFieldsResult { Ok, Invalid, NoCriteria, TooManyItems };
struct SaveFieldsOutcome {
  SaveFieldsResult result = SaveFieldsResult::Ok;
  int row = 0;  // the offending row of an invalid criterion
};

// One pass over rows 1 to 22: the level's criteria appended to `items`.
// Invalid: the items of this pass are dropped (earlier levels kept) and
// `row` names the row. TooManyItems: the 76th item; `items` is emptied (the
// whole query is cleared). NoCriteria: the level added nothing. Ok: the
// last item carries the group end. Dates are read with the framework's
// short date format.
SaveFieldsOutcome SaveFields(SearchItems& items, const CriteriaCells& cells, const CriterionTypes& types);

// Reads field n (1..22) of the record under test; an empty optional is a
// blank number or date.
struct SearchFieldReader {
  std::function<std::optional<double>(int field)> number;
  std::function<std::optional<double>(int field)> date;
  std::function<std::string(int field)> text;
};

// Whether the record passes: every item of at least one group holds. An
// empty query rejects every record; a blank number or date never passes a
// comparison.
bool BuildFilter(const SearchItems& items, const SearchFieldReader& reader);

}  // namespace keldro
