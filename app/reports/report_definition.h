// ReportDefinition: one user-defined report, and its fixed 20,622-byte record
// in the report definitions file "KELDRO.URP".
//
// Record layout (little-endian, no padding). A text of up to N characters
// takes N+1 bytes: a length byte, then N character bytes of which those past
// the length are written as zero. A flag is one byte, 0 or 1.
//
//   offset  size    field
//        0    31    name (text <= 30)
//       31     2    characters per line (int16: 90, 120 or 150)
//       33  5x61    fonts 1..5 (ReportFont): titles, column headers, body,
//                   spare, footnotes
//      338     1    Column Headers          339  1  Page Numbers
//      340     1    Print Landscape         341  1  Date On Pages
//      342     1    Use Totals
//      343     2    NumLines (int16, 0..12)
//      345  1500    totals line (ReportLine)
//     1845   4x8    margins top, bottom, left, right (IEEE double, inches)
//     1877     1    Vertical Lines          1878 1  Horizontal Lines
//     1879  3x81    titles 1..3 (text <= 80)
//     2122 12x1500  body lines 1..12
//    20122     1    Group by Level 1 Sort   20123 1 Group by Level 2 Sort
//    20124   498    reserved: kept as read, zero in a new record
//
//   ReportFont (61): name (text <= 50) +0, size in points int16 +51, bold +53,
//     italic +54, underline +55, strike-out +56, colour int32 +57.
//   ReportLine (1500): 20 ReportCells of 75 bytes.
//   ReportCell (75): part name (text <= 30) +0, field number byte +31,
//     width int16 +32 (0 ends the line), label text (text <= 40) +34.
//
// Reading a damaged record never takes more than a field holds: each length
// byte is clamped to its field, NumLines to 0..12, flags read as set when
// not zero.
//
// The older file "VIVO.URP" holds 19,831-byte records of the same cells:
// name +0, characters per line +31, Column Headers +83, Page Numbers +84,
// Use Totals +85, NumLines +86, totals cells from +88, titles from +1588,
// body lines from +1831.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace keldro::reports {

inline constexpr size_t kReportDefinitionSize = 20622;
inline constexpr size_t kOldReportDefinitionSize = 19831;
inline constexpr int kCellsPerLine = 20;
inline constexpr int kBodyLineCount = 12;
inline constexpr int kFontSlotCount = 5;

inline constexpr std::string_view kLabelPart = "<LABEL>";
inline constexpr std::string_view kFillerPart = "<FILLER>";

// The fields a totals line can show, by number 1..4.
struct TotalsField {
  int number;
  std::string_view name;
};
inline constexpr std::array<TotalsField, 4> TotalsFields{
    {{1, "Cost"}, {2, "Value"}, {3, "Replacement Cost"}, {4, "Quantity"}}};

struct ReportFont {
  std::string name;  // at most 50
  int16_t size = 0;
  bool bold = false;
  bool italic = false;
  bool underline = false;
  bool strikeOut = false;
  int32_t color = 0;
  bool operator==(const ReportFont&) const = default;
};

struct ReportCell {
  std::string partName;      // at most 30: a field name, "<LABEL>" or "<FILLER>"
  uint8_t fieldNumber = 0;   // body: 1..22 into ItemFields; totals: 1..4 into TotalsFields
  int16_t width = 0;         // characters; below 1 ends the line
  std::string labelText;     // at most 40
  bool operator==(const ReportCell&) const = default;
};

struct ReportLine {
  std::array<ReportCell, kCellsPerLine> cells{};
  bool operator==(const ReportLine&) const = default;
};

struct ReportDefinition {
  std::string name;  // at most 30
  int16_t charsPerLine = 0;
  std::array<ReportFont, kFontSlotCount> fonts{};
  bool columnHeaders = false;
  bool pageNumbers = false;
  bool printLandscape = false;
  bool dateOnPages = false;
  bool useTotals = false;
  int16_t numLines = 0;
  ReportLine totalsLine;
  double topMargin = 0, bottomMargin = 0, leftMargin = 0, rightMargin = 0;
  bool verticalLines = false;
  bool horizontalLines = false;
  std::array<std::string, 3> titles{};  // at most 80 each
  std::array<ReportLine, kBodyLineCount> bodyLines{};
  bool groupLevel1 = false;
  bool groupLevel2 = false;
  std::array<uint8_t, 498> reserved{};
  bool operator==(const ReportDefinition&) const = default;
};

using ReportRecordBytes = std::array<uint8_t, kReportDefinitionSize>;

// The record's bytes; texts longer than their field are cut.
void WriteReportDefinition(const ReportDefinition& def, uint8_t* out /* kReportDefinitionSize bytes */);
ReportRecordBytes EncodeReportDefinition(const ReportDefinition& def);
ReportDefinition ReadReportDefinition(const uint8_t* record /* kReportDefinitionSize bytes */);

// The defaults every new record starts from. Field numbers are left as the
// record held them.
void InitReportDefinition(ReportDefinition& def);
// The totals line of the default reports: Cost, Replacement Cost and Value
// with their labels, 136 characters wide.
void SetDefaultTotalsLine(ReportDefinition& def);
// What "New Report" puts in the buffer; reserved bytes and field numbers are
// left as the buffer held them.
void FillNewReportDefinition(ReportDefinition& def);

// The eight definitions a new file receives, in file order.
std::array<ReportDefinition, 8> DefaultReportDefinitions();

// The seven built-in names of the older file, whose records are not carried over.
bool IsOldBuiltInReportName(std::string_view name);
// One record of the older file as a definition of today.
ReportDefinition ConvertOldReportDefinition(const uint8_t* record /* kOldReportDefinitionSize bytes */);

// Makes the used cells of a line add up to exactly `charsPerLine`: a cell of
// width 0 counts as the whole line, the cell where the sum reaches the
// width is cut or stretched to it, the cells after it become empty.
void BalanceLine(ReportLine& line, int charsPerLine);

}  // namespace keldro::reports
