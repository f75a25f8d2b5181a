// The texts the report tests expect: the four items of the examples, and
// the pieces of a report text file (cells padded to their widths, centred
// titles, the default totals line, CR LF line ends).
#pragma once

#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

#include "core/utilities.h"

namespace keldro::reports {

// One inventory row by field: texts as the table gives them.
struct Item {
  std::string category, item, location;
  std::string cost, repCost, quantity, value;
  std::string purchDate, warranty, warDate, warNotes;
  std::string brand, model, serial;
};

// Four items in three categories, in Category, Item order.
inline std::vector<Item> FourItemsData() {
  return {{"Electronics", "Camera", "Den", "10.00", "12.50", "3", "9.00", "01/15/95", "Yes", "01/15/97", "Store card",
           "Nikon", "F50", "N123"},
          {"Electronics", "Television", "Living Room", "450.00", "500.00", "1", "300.00", "06/01/94", "No", "", "",
           "Sony", "KV27", "S998"},
          {"Furniture", "Sofa", "Living Room", "800.00", "950.00", "1", "600.00", "", "No", "", "", "", "", ""},
          {"Tools", "Drill", "Garage", "65.50", "80.00", "2", "40.00", "03/03/96", "Yes", "03/03/98", "Lifetime",
           "Bosch", "D1", "B7"}};
}

inline std::string Blanks(int n) { return std::string(static_cast<size_t>(n), ' '); }
// Cells of a line: text padded on the right to its width.
inline std::string Row(std::initializer_list<std::pair<std::string, int>> cells) {
  std::string out;
  for (const auto& [text, width] : cells) out += PadRight(text, width);
  return out;
}
inline std::string Centred(const std::string& text, int charsPerLine) {
  return Blanks((charsPerLine - static_cast<int>(text.size())) / 2) + text;
}
inline std::vector<std::string> GroupTitle(const std::string& title, int charsPerLine) {
  const std::string dashes(title.size(), '-');
  return {"", Centred(dashes, charsPerLine), Centred(title, charsPerLine), Centred(dashes, charsPerLine)};
}
inline std::string TotalsLine(const std::string& cost, const std::string& rep, const std::string& value) {
  return "     Cost: " + PadRight(cost, 12) + "  Replacement Cost: " + PadRight(rep, 12) + "  Value: " +
         PadRight(value, 12) + Blanks(60);
}
inline std::string Join(const std::vector<std::string>& lines) {
  std::string out;
  for (const std::string& l : lines) out += l + "\r\n";
  return out;
}
inline void Append(std::vector<std::string>& to, const std::vector<std::string>& lines) {
  to.insert(to.end(), lines.begin(), lines.end());
}

inline std::string PageFooter(int page, const std::string& today) {
  return "Page " + std::to_string(page) + Blanks(10) + today + "\f";
}

// "Short Narrow Report" of the four items, grouped by category.
inline std::string ShortNarrowFourItems(const std::string& today) {
  auto body = [](const std::string& item, const std::string& loc, const std::string& cost, const std::string& rep,
                 const std::string& qty) { return Row({{item, 32}, {loc, 17}, {cost, 14}, {rep, 14}, {qty, 13}}); };
  std::vector<std::string> want{Row({{"Item", 32}, {"Location", 17}, {"Cost", 14}, {"Replacement C", 14},
                                     {"Quantity", 13}})};
  Append(want, GroupTitle("Electronics", 90));
  Append(want, {body("Camera", "Den", "10.00", "12.50", "3"), body("Television", "Living Room", "450.00", "500.00", "1"),
                Centred("TOTALS", 90), TotalsLine("480.00", "537.50", "327.00")});
  Append(want, GroupTitle("Furniture", 90));
  Append(want, {body("Sofa", "Living Room", "800.00", "950.00", "1"), Centred("TOTALS", 90),
                TotalsLine("800.00", "950.00", "600.00")});
  Append(want, GroupTitle("Tools", 90));
  Append(want, {body("Drill", "Garage", "65.50", "80.00", "2"), Centred("TOTALS", 90),
                TotalsLine("131.00", "160.00", "80.00"), "", Centred("GRAND TOTALS", 90),
                TotalsLine("1,411.00", "1,647.50", "1,007.00"), "", PageFooter(1, today)});
  return Join(want);
}

}  // namespace keldro::reports
