// A damaged definition record through the editor's rules: the width switch
// to each width, the layout's cell edges and hit test, the shown kinds, and
// a cell edit driven by the record's own bytes.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "reports/editor_rules.h"

using namespace keldro::reports;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::vector<uint8_t> record(kReportDefinitionSize, 0);
  for (size_t i = 0; i < size && i < record.size(); ++i) record[i] = data[i];
  // The bytes past one record steer the edit and the layout.
  const uint8_t* extra = size > kReportDefinitionSize ? data + kReportDefinitionSize : nullptr;
  const size_t extraSize = extra ? size - kReportDefinitionSize : 0;
  const ReportDefinition original = ReadReportDefinition(record.data());

  for (int width : {90, 120, 150}) {
    ReportDefinition def = original;
    SwitchCharsPerLine(def, width);
    uint8_t out[kReportDefinitionSize];
    WriteReportDefinition(def, out);
  }
  const int rowWidth = extraSize > 0 ? extra[0] * 4 : 620;
  for (const ReportLine* line : {&original.totalsLine, &original.bodyLines[0], &original.bodyLines[11]}) {
    const bool totals = line == &original.totalsLine;
    for (const ReportCell& c : line->cells) (void)ShownKindOf(c, totals);
    (void)CellRightEdges(*line, original.charsPerLine, rowWidth);
    for (int x = -1; x <= rowWidth + 1; x += 7) (void)CellAt(*line, original.charsPerLine, rowWidth, x);
  }
  if (extraSize >= 4) {
    CellEdit edit;
    edit.kind = extra[1] % 3;
    edit.fieldIndex = static_cast<int8_t>(extra[2]);
    edit.widthText = std::string(reinterpret_cast<const char*>(extra + 3), std::min<size_t>(extraSize - 3, 8));
    edit.labelText = std::string(reinterpret_cast<const char*>(extra + 3), extraSize - 3);
    ReportLine line = original.bodyLines[0];
    (void)ApplyCellEdit(line, 1 + extra[1] % 20, edit, original.charsPerLine, extra[2] & 1);
  }
  (void)CheckMargins(std::string(reinterpret_cast<const char*>(record.data()), 5), "0.5", "0.5", "0.5", 8.5, 11,
                     original.fonts[2].size);
  return 0;
}
