// The rules of the report definition editor that need no window: the number
// of lines and the margins, the switch of characters per line, the cell
// editor's OK, and where the layout picture puts each cell.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "reports/report_definition.h"

namespace keldro::reports {

inline constexpr std::string_view kNumLinesOutOfRange = "Number of lines must be in range of 0 to 12.  Please correct.";
inline constexpr std::string_view kBadMargins =
    "Margins must be numbers of 0 or more that leave room for one line of the report body.  Please correct.";
inline constexpr std::string_view kInvalidWidth = "Invalid width entered.  Please correct.";
inline constexpr std::string_view kNoFieldChosen = "No field has been selected.  Please choose one.";
inline constexpr std::string_view kSwitchTo90 =
    "Switching to 90 characters from 120 or 150 will truncate the current defined lines.  In addition, the font "
    "size will be reset to a 10 point as a default.  Are you sure you wish to do this?";
inline constexpr std::string_view kSwitchTo120 =
    "Switching to 120 characters from 150 will truncate the current defined lines.  In addition, the font size "
    "will be reset to a 8 point as a default.  Are you sure you wish to do this?";
inline constexpr std::string_view kBodyFont120 = "The Report Body font size has been set to a 8 Point default size as.";
inline constexpr std::string_view kBodyFont150 =
    "The Report Body font size has been set to a 6 Point default size as a result of switching to 150 characters "
    "per line.";
inline constexpr int kTotalsLineNumber = 100;

// The trimmed whole number of the NumLines edit; any other text is 0.
int ParseNumLines(std::string_view text);
bool NumLinesInRange(int numLines);

// The four margin texts as inches, when each is a number of 0 or more and
// together they leave a page of `pageWidth` x `pageHeight` inches room for
// one body line of `bodyPoints` (the body runs from 1.25 inch to 0.75 inch
// above the bottom margin).
struct Margins {
  double top = 0, bottom = 0, left = 0, right = 0;
};
std::optional<Margins> CheckMargins(std::string_view top, std::string_view bottom, std::string_view left,
                                    std::string_view right, double pageWidth, double pageHeight, int bodyPoints);

// The width switch: the question asked first (none when nothing is lost),
// and the notice after it (none for 90).
std::optional<std::string_view> WidthSwitchQuestion(int from, int to);
std::optional<std::string_view> WidthSwitchNotice(int to);
// Body font size for a width: 10, 8 or 6 points.
int BodyPointsFor(int charsPerLine);
// Switches the definition to `charsPerLine`: body lines 1..NumLines (at
// most twelve) re-balanced, the body font reset. The totals line stays.
void SwitchCharsPerLine(ReportDefinition& def, int charsPerLine);

// What the cell editor's OK stores. `kind` 0 filler, 1 label, 2 field;
// `fieldIndex` is the 0-based entry of the field list (-1 none chosen).
struct CellEdit {
  int kind = 0;
  std::string widthText;
  std::string labelText;
  int fieldIndex = -1;
};
enum class CellEditResult { Ok, InvalidWidth, NoField };
// Applies the edit to cell `cell` (1..20) of `line` and re-balances the
// line to `charsPerLine`; `totals` picks the TotalsFields names.
CellEditResult ApplyCellEdit(ReportLine& line, int cell, const CellEdit& edit, int charsPerLine, bool totals);

// The cell kinds as the layout and the cell editor show them: a field
// number that is out of range shows as a filler.
enum class ShownKind { Filler, Label, Field };
ShownKind ShownKindOf(const ReportCell& cell, bool totals);

// The right edges, in pixels of a row `rowWidth` wide, of the used cells of
// a line; the last used cell reaches the row's end.
std::vector<int> CellRightEdges(const ReportLine& line, int charsPerLine, int rowWidth);
// The used cell (1-based) under `x` of a row, or -1.
int CellAt(const ReportLine& line, int charsPerLine, int rowWidth, int x);

}  // namespace keldro::reports
