#include "core/viewer_config.h"

#include <charconv>

namespace keldro {

namespace {

std::string_view TrimEnds(std::string_view s) {
  const auto blank = [](char c) { return c == ' ' || c == '\t'; };
  while (!s.empty() && blank(s.front())) s.remove_prefix(1);
  while (!s.empty() && blank(s.back())) s.remove_suffix(1);
  return s;
}

}  // namespace

ViewerGrids ViewerGridsFor(const AppSettings& settings) {
  ViewerGrids g;
  g.orderRows.fill(-1);
  for (size_t f = 0; f < settings.fields.size(); ++f) {
    const FieldSettings& s = settings.fields[f];
    g.shown[f] = s.display ? "Yes" : "No";
    g.widths[f] = std::to_string(s.width);
    g.titles[f] = s.title;
    // A position out of range names no row; of two fields with one
    // position the later one stands in the row.
    if (s.order >= 1 && s.order <= kItemFieldCount) g.orderRows[static_cast<size_t>(s.order - 1)] = static_cast<int>(f);
  }
  return g;
}

std::string StoredTitle(std::string_view cell) { return std::string(cell.substr(0, kMaxTitleLength)); }

std::optional<DuplicateTitle> FindDuplicateTitle(const std::array<std::string, kItemFieldCount>& titles) {
  // The settings file drops blanks at the ends of a value, so "Gear " comes
  // back as "Gear": compare what the next run will read.
  std::array<std::string, kItemFieldCount> stored;
  for (size_t i = 0; i < titles.size(); ++i) stored[i] = std::string(TrimEnds(StoredTitle(titles[i])));
  for (size_t i = 0; i < stored.size(); ++i)
    for (size_t j = i + 1; j < stored.size(); ++j)
      if (stored[i] == stored[j]) return DuplicateTitle{i, j, stored[i]};
  return std::nullopt;
}

std::string DuplicateTitleMessage(const DuplicateTitle& duplicate) {
  return "Two field names have the same name \"" + duplicate.title + "\".  Please change one.";
}

std::optional<int> ViewerWidthValue(std::string_view cell) {
  std::string_view digits = TrimEnds(cell);
  if (!digits.empty() && digits.front() == '+') digits.remove_prefix(1);
  long value = 0;
  const auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
  if (digits.empty() || ec != std::errc() || end != digits.data() + digits.size()) return std::nullopt;
  if (value <= 0 || value >= 256) return std::nullopt;
  return static_cast<int>(value);
}

int ParseViewerWidth(std::string_view cell) { return ViewerWidthValue(cell).value_or(kDefaultViewerWidth); }

std::string OrderRowText(const std::array<std::string, kItemFieldCount>& titles, int rowField) {
  return rowField >= 0 && rowField < kItemFieldCount ? titles[static_cast<size_t>(rowField)] : std::string();
}

int MoveOrderRow(std::array<int, kItemFieldCount>& rows, int row, int direction) {
  const int target = row + direction;
  if (row < 0 || row >= kItemFieldCount || target < 0 || target >= kItemFieldCount) return row;
  std::swap(rows[static_cast<size_t>(row)], rows[static_cast<size_t>(target)]);
  return target;
}

std::array<int, kItemFieldCount> DefaultOrderRows() {
  std::array<int, kItemFieldCount> rows{};
  for (int i = 0; i < kItemFieldCount; ++i) rows[static_cast<size_t>(i)] = i;
  return rows;
}

void ApplyViewerGrids(ViewerGrids& grids, AppSettings& settings) {
  for (size_t f = 0; f < settings.fields.size(); ++f) {
    FieldSettings& s = settings.fields[f];
    s.title = StoredTitle(grids.titles[f]);
    const std::optional<int> width = ViewerWidthValue(grids.widths[f]);
    s.width = width.value_or(kDefaultViewerWidth);
    if (!width) grids.widths[f] = std::to_string(kDefaultViewerWidth);
    s.display = grids.shown[f] == "Yes";
  }
  // By the field each row carries, so renaming fields never moves a column.
  for (size_t f = 0; f < settings.fields.size(); ++f) {
    for (size_t r = 0; r < grids.orderRows.size(); ++r) {
      if (grids.orderRows[r] == static_cast<int>(f)) {
        settings.fields[f].order = static_cast<int>(r) + 1;
        break;
      }
    }
  }
}

std::string FontCaption(const GridFontSettings& font) { return std::to_string(font.size) + "pt " + font.name; }

}  // namespace keldro
