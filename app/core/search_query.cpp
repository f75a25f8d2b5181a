#include "core/search_query.h"

#include "core/utilities.h"
#include "framework/sysutils.h"
#include "platform/text.h"

namespace keldro {

namespace {

// Deletes the first occurrence of `ch`.
std::string DeleteFirst(std::string text, char ch) {
  if (size_t p = text.find(ch); p != std::string::npos) text.erase(p, 1);
  return text;
}

// A date part left as the untouched mask (under any of the separators).
bool IsEmptyDate(const std::string& text) {
  return text.empty() || text == "/  /" || text == "-  -" || text == ".  .";
}

enum class Parse { Empty, Invalid, Value };

// Numbers are read with "." as the decimal point and no grouping, whatever
// the locale says.
Parse ParseNumber(const std::string& text, double& value) {
  if (text.empty()) return Parse::Empty;
  return framework::TryStrToFloat(text, value, '.') ? Parse::Value : Parse::Invalid;
}

Parse ParseDate(const std::string& text, double& value) {
  if (IsEmptyDate(text)) return Parse::Empty;
  return framework::TryStrToDate(text, value) ? Parse::Value : Parse::Invalid;
}

// A range "> low AND < high" split into its two trimmed sides.
void SplitRange(const std::string& cell, std::string& low, std::string& high) {
  const std::string text = framework::Trim(DeleteFirst(DeleteFirst(cell, '<'), '>'));
  const size_t p = text.find("AND");
  if (p == std::string::npos) {
    low = text;
    high.clear();
    return;
  }
  low = framework::Trim(text.substr(0, p));
  high = framework::Trim(text.substr(p + 3));
}

}  // namespace

bool IsPickListRow(int row) {
  return row == 2 || row == 5 || row == 7 || row == 12 || row == 14 || row == 17;
}

bool RowHasChoice(int row) {
  const ItemField* f = ItemFieldByNumber(row);
  if (!f) return false;
  return f->letter == 'N' || f->letter == 'D' || IsPickListRow(row);
}

std::string CriterionMask(int row, int criterionType) {
  const ItemField* f = ItemFieldByNumber(row);
  if (!f) return std::string();
  if (f->letter == 'N') {
    switch (criterionType) {
      case ctGreater: return "\\> ccccccccc;1";
      case ctLess: return "\\< ccccccccc;1";
      // No ";1", yet the literals stay in the text: "AND" is what splits it.
      case ctRange: return "\\> ccccccccc \\A\\ND \\< cccccccc";
      default: return "= ccccccccc;1";
    }
  }
  if (f->letter == 'D') {
    switch (criterionType) {
      case ctGreater: return "\\> 99/99/0000;1";
      case ctLess: return "\\< 99/99/0000;1";
      case ctRange: return "\\> 99/99/0000 \\A\\ND \\< 99/99/0000;1";
      default: return "= 99/99/0000;1";
    }
  }
  return std::string(static_cast<size_t>(f->width), 'c');
}

std::string TooManyItemsMessage() {
  return "More than " + TrimBlanks(FormatNumber(kMaxSearchItems, 1, 0)) +
         " search items have been entered.  This exceeds the maximum allowable.  Search criteria will be cleared.";
}

std::string CriteriaHeading(int level) {
  return " SEARCH CRITERIA    (Level " + TrimBlanks(FormatNumber(level, 1, 0)) + ")";
}

SaveFieldsOutcome SaveFields(SearchItems& items, const CriteriaCells& cells, const CriterionTypes& types) {
  const size_t levelStart = items.size();
  auto invalid = [&](int row) {
    items.resize(levelStart);
    return SaveFieldsOutcome{SaveFieldsResult::Invalid, row};
  };
  // False on the 76th item: the whole query is gone.
  auto add = [&](SearchItem item) {
    if (items.size() + 1 > static_cast<size_t>(kMaxSearchItems)) {
      items.clear();
      return false;
    }
    items.push_back(std::move(item));
    return true;
  };
  const SaveFieldsOutcome tooMany{SaveFieldsResult::TooManyItems, 0};

  for (int row = 1; row <= kItemFieldCount; ++row) {
    const ItemField& field = ItemFields[static_cast<size_t>(row - 1)];
    const std::string cell = framework::Trim(cells[static_cast<size_t>(row - 1)]);
    const int type = types[static_cast<size_t>(row - 1)];
    SearchItem item;
    item.fieldNumber = row;

    if (field.letter != 'N' && field.letter != 'D') {
      if (cell.empty()) continue;
      item.text = platform::AnsiUpper(cell.substr(0, kSearchTextMax));
      item.op = soContains;
      if (!add(item)) return tooMany;
      continue;
    }

    const bool isDate = field.letter == 'D';
    auto parse = [isDate](const std::string& text, double& value) {
      return isDate ? ParseDate(text, value) : ParseNumber(text, value);
    };
    auto make = [&](const std::string& text, double value, int op) {
      SearchItem it;
      it.fieldNumber = row;
      it.text = text.substr(0, kSearchTextMax);
      (isDate ? it.date : it.number) = value;
      it.isDate = isDate;
      it.op = op;
      return it;
    };

    if (type == ctRange) {
      std::string lowText, highText;
      SplitRange(cell, lowText, highText);
      double low = 0, high = 0;
      const Parse lp = parse(lowText, low), hp = parse(highText, high);
      if (lp == Parse::Empty && hp == Parse::Empty) continue;
      if (lp != Parse::Value || hp != Parse::Value) return invalid(row);
      if (!add(make(lowText, low, soGreater))) return tooMany;
      if (!add(make(highText, high, soLess))) return tooMany;
      continue;
    }

    const int op = (type == ctGreater || type == ctLess) ? type : ctEqual;
    const char symbol = op == ctGreater ? '>' : op == ctLess ? '<' : '=';
    const std::string rest = framework::Trim(DeleteFirst(cell, symbol));
    double value = 0;
    switch (parse(rest, value)) {
      case Parse::Empty: continue;
      case Parse::Invalid: return invalid(row);
      case Parse::Value: break;
    }
    if (!add(make(rest, value, op))) return tooMany;
  }

  if (items.size() == levelStart) return {SaveFieldsResult::NoCriteria, 0};
  items.back().groupEnd = true;
  return {};
}

bool BuildFilter(const SearchItems& items, const SearchFieldReader& reader) {
  if (items.empty()) return false;
  bool group = true;
  for (const SearchItem& item : items) {
    if (group) {
      if (item.op == soContains) {
        group = platform::AnsiUpper(reader.text(item.fieldNumber)).find(item.text) != std::string::npos;
      } else {
        const std::optional<double> v = item.isDate ? reader.date(item.fieldNumber) : reader.number(item.fieldNumber);
        const double target = item.isDate ? item.date : item.number;
        group = v && ((item.op == soEqual && *v == target) || (item.op == soGreater && *v > target) ||
                      (item.op == soLess && *v < target));
      }
    }
    if (item.groupEnd) {
      if (group) return true;
      group = true;
    }
  }
  return false;
}

}  // namespace keldro
