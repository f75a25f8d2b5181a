// The rules of the Viewer Configuration window that need no window: what its
// grids show for the settings, and how their texts go back into the
// settings when the window closes.
//
// Texts are Windows-1252 bytes, as the settings hold them.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>

#include "core/item_fields.h"
#include "core/settings.h"

namespace keldro {

inline constexpr size_t kMaxTitleLength = 20;  // bytes of a stored field title
inline constexpr int kDefaultViewerWidth = 10;  // what a width out of range becomes

// The cells of the window's grids, one entry per field (index = field
// number - 1), and the rows of the order grid, each carrying its field.
struct ViewerGrids {
  std::array<std::string, kItemFieldCount> shown;   // Fields to Show: "Yes" or "No"
  std::array<std::string, kItemFieldCount> widths;  // Field Widths
  std::array<std::string, kItemFieldCount> titles;  // Field Names
  // Field Order: the field index (0..21) shown in each row, -1 for a row
  // that no field's position names.
  std::array<int, kItemFieldCount> orderRows;
};

// The grids as the window fills them: field f in order row (position of f) - 1.
ViewerGrids ViewerGridsFor(const AppSettings& settings);

// A title as it is stored: its first 20 bytes.
std::string StoredTitle(std::string_view cell);

// The first pair of fields (i < j) whose titles would be stored equal, as
// the settings file gives them back (20 bytes, blanks at the ends dropped).
struct DuplicateTitle {
  size_t first, second;
  std::string title;  // as stored
};
std::optional<DuplicateTitle> FindDuplicateTitle(const std::array<std::string, kItemFieldCount>& titles);
// "Two field names have the same name "T".  Please change one."
std::string DuplicateTitleMessage(const DuplicateTitle& duplicate);

// A width cell: a whole number from 1 to 255 (blanks at the ends allowed);
// nothing for anything else, which is stored as 10.
std::optional<int> ViewerWidthValue(std::string_view cell);
int ParseViewerWidth(std::string_view cell);

// Field f's text in a row of the order grid: its title, empty for a row
// without a field.
std::string OrderRowText(const std::array<std::string, kItemFieldCount>& titles, int rowField);
// Up and Down on the order grid: the row that becomes current, unchanged
// when the move would leave the grid.
int MoveOrderRow(std::array<int, kItemFieldCount>& rows, int row, int direction);
// The program's order: field f in row f.
std::array<int, kItemFieldCount> DefaultOrderRows();

// Writes the grids into the settings: titles cut to 20 bytes, widths (a
// width out of range also corrected in `grids`, as its cell shows it), shown
// flags, and each field's position from the first order row that carries
// it; a field in no row keeps its position.
void ApplyViewerGrids(ViewerGrids& grids, AppSettings& settings);

// The title font's caption: "12pt Arial".
std::string FontCaption(const GridFontSettings& font);

}  // namespace keldro
