#include "reports/editor_rules.h"

#include <algorithm>
#include <cmath>

#include "core/item_fields.h"
#include "core/utilities.h"
#include "reports/preview_rules.h"

namespace keldro::reports {

namespace {
int Usable(int charsPerLine) {
  return charsPerLine == 90 || charsPerLine == 120 || charsPerLine == 150 ? charsPerLine : 120;
}
}  // namespace

int ParseNumLines(std::string_view text) { return ParseWholeNumber(text).value_or(0); }

bool NumLinesInRange(int numLines) { return numLines >= 0 && numLines <= kBodyLineCount; }

std::optional<Margins> CheckMargins(std::string_view top, std::string_view bottom, std::string_view left,
                                    std::string_view right, double pageWidth, double pageHeight, int bodyPoints) {
  Margins m;
  const std::string_view texts[] = {top, bottom, left, right};
  double* values[] = {&m.top, &m.bottom, &m.left, &m.right};
  for (size_t i = 0; i < 4; ++i) {
    const std::optional<double> v = ParseRealNumber(texts[i]);
    if (!v || !std::isfinite(*v) || *v < 0) return std::nullopt;
    *values[i] = *v;
  }
  const double line = std::max(bodyPoints, 1) / 60.0;
  if (pageHeight - m.bottom - 0.75 - 1.25 < line) return std::nullopt;
  if (pageWidth - m.left - m.right <= 0) return std::nullopt;
  return m;
}

std::optional<std::string_view> WidthSwitchQuestion(int from, int to) {
  if (to == 90 && from != 90) return kSwitchTo90;
  if (to == 120 && from == 150) return kSwitchTo120;
  return std::nullopt;
}

std::optional<std::string_view> WidthSwitchNotice(int to) {
  if (to == 120) return kBodyFont120;
  if (to == 150) return kBodyFont150;
  return std::nullopt;
}

int BodyPointsFor(int charsPerLine) { return charsPerLine == 90 ? 10 : charsPerLine == 150 ? 6 : 8; }

void SwitchCharsPerLine(ReportDefinition& def, int charsPerLine) {
  // NumLines may come from the file or the edit: never more lines than the
  // record has, never a negative count.
  const int lines = std::clamp<int>(def.numLines, 0, kBodyLineCount);
  for (int n = 0; n < lines; ++n) BalanceLine(def.bodyLines[static_cast<size_t>(n)], charsPerLine);
  def.charsPerLine = static_cast<int16_t>(charsPerLine);
  def.fonts[2].size = static_cast<int16_t>(BodyPointsFor(charsPerLine));
}

ShownKind ShownKindOf(const ReportCell& cell, bool totals) {
  if (cell.partName == kLabelPart) return ShownKind::Label;
  if (cell.partName == kFillerPart) return ShownKind::Filler;
  const bool valid = totals ? cell.fieldNumber >= 1 && cell.fieldNumber <= TotalsFields.size()
                            : ItemFieldByNumber(cell.fieldNumber) != nullptr;
  return valid ? ShownKind::Field : ShownKind::Filler;
}

CellEditResult ApplyCellEdit(ReportLine& line, int cell, const CellEdit& edit, int charsPerLine, bool totals) {
  const std::optional<int> width = ParseWholeNumber(edit.widthText);
  // Width 0 keeps its meaning (the rest of the line); below it is no width.
  if (!width || *width < 0 || *width > 32767) return CellEditResult::InvalidWidth;
  const int fields = totals ? static_cast<int>(TotalsFields.size()) : kItemFieldCount;
  if (edit.kind == 2 && (edit.fieldIndex < 0 || edit.fieldIndex >= fields)) return CellEditResult::NoField;
  if (cell < 1 || cell > kCellsPerLine) return CellEditResult::InvalidWidth;
  ReportCell& c = line.cells[static_cast<size_t>(cell - 1)];
  c.width = static_cast<int16_t>(*width);
  BalanceLine(line, Usable(charsPerLine));
  c.labelText.clear();
  if (edit.kind == 0) {
    c.partName = std::string(kFillerPart);
  } else if (edit.kind == 1) {
    c.partName = std::string(kLabelPart);
    c.labelText = TrimBlanks(edit.labelText).substr(0, 40);
  } else {
    c.partName = std::string(totals ? TotalsFields[static_cast<size_t>(edit.fieldIndex)].name
                                    : ItemFields[static_cast<size_t>(edit.fieldIndex)].name);
    c.fieldNumber = static_cast<uint8_t>(edit.fieldIndex + 1);
  }
  return CellEditResult::Ok;
}

std::vector<int> CellRightEdges(const ReportLine& line, int charsPerLine, int rowWidth) {
  const double perChar = static_cast<double>(rowWidth) / Usable(charsPerLine);
  std::vector<int> edges;
  long sum = 0;
  for (size_t c = 0; c < line.cells.size(); ++c) {
    if (line.cells[c].width < 1) break;
    sum += line.cells[c].width;
    edges.push_back(static_cast<int>(std::min<double>(perChar * sum, rowWidth)));
  }
  if (!edges.empty()) edges.back() = rowWidth;
  return edges;
}

int CellAt(const ReportLine& line, int charsPerLine, int rowWidth, int x) {
  if (x < 0 || x > rowWidth) return -1;
  const std::vector<int> edges = CellRightEdges(line, charsPerLine, rowWidth);
  for (size_t i = 0; i < edges.size(); ++i)
    if (edges[i] >= x) return static_cast<int>(i) + 1;
  return -1;
}

}  // namespace keldro::reports
