#include "reports/report_definition.h"

#include <algorithm>
#include <bit>
#include <cstring>

#include "core/item_fields.h"

namespace keldro::reports {

namespace {

constexpr size_t kNameOffset = 0;
constexpr size_t kCharsOffset = 31;
constexpr size_t kFontsOffset = 33;
constexpr size_t kFontSize = 61;
constexpr size_t kFlagsOffset = 338;
constexpr size_t kNumLinesOffset = 343;
constexpr size_t kTotalsOffset = 345;
constexpr size_t kLineSize = 1500;
constexpr size_t kCellSize = 75;
constexpr size_t kMarginsOffset = 1845;
constexpr size_t kVerticalOffset = 1877;
constexpr size_t kHorizontalOffset = 1878;
constexpr size_t kTitlesOffset = 1879;
constexpr size_t kTitleSize = 81;
constexpr size_t kBodyOffset = 2122;
constexpr size_t kGroup1Offset = 20122;
constexpr size_t kGroup2Offset = 20123;
constexpr size_t kReservedOffset = 20124;
static_assert(kBodyOffset + kBodyLineCount * kLineSize == kGroup1Offset);
static_assert(kReservedOffset + 498 == kReportDefinitionSize);

constexpr size_t kOldCharsOffset = 31;
constexpr size_t kOldColumnHeaders = 83;
constexpr size_t kOldPageNumbers = 84;
constexpr size_t kOldUseTotals = 85;
constexpr size_t kOldNumLines = 86;
constexpr size_t kOldTotalsOffset = 88;
constexpr size_t kOldTitlesOffset = 1588;
constexpr size_t kOldBodyOffset = 1831;
static_assert(kOldBodyOffset + kBodyLineCount * kLineSize == kOldReportDefinitionSize);

void PutText(uint8_t* p, size_t capacity, std::string_view text) {
  const size_t n = std::min(text.size(), capacity);
  p[0] = static_cast<uint8_t>(n);
  std::memcpy(p + 1, text.data(), n);
  std::memset(p + 1 + n, 0, capacity - n);
}
std::string GetText(const uint8_t* p, size_t capacity) {
  const size_t n = std::min<size_t>(p[0], capacity);
  return std::string(reinterpret_cast<const char*>(p + 1), n);
}
void Put16(uint8_t* p, int16_t v) {
  const auto u = static_cast<uint16_t>(v);
  p[0] = static_cast<uint8_t>(u);
  p[1] = static_cast<uint8_t>(u >> 8);
}
int16_t Get16(const uint8_t* p) { return static_cast<int16_t>(static_cast<uint16_t>(p[0] | (p[1] << 8))); }
void Put32(uint8_t* p, int32_t v) {
  const auto u = static_cast<uint32_t>(v);
  for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(u >> (8 * i));
}
int32_t Get32(const uint8_t* p) {
  uint32_t u = 0;
  for (int i = 0; i < 4; ++i) u |= static_cast<uint32_t>(p[i]) << (8 * i);
  return static_cast<int32_t>(u);
}
void PutDouble(uint8_t* p, double v) {
  const auto u = std::bit_cast<uint64_t>(v);
  for (int i = 0; i < 8; ++i) p[i] = static_cast<uint8_t>(u >> (8 * i));
}
double GetDouble(const uint8_t* p) {
  uint64_t u = 0;
  for (int i = 0; i < 8; ++i) u |= static_cast<uint64_t>(p[i]) << (8 * i);
  return std::bit_cast<double>(u);
}
void PutFlag(uint8_t* p, bool v) { *p = v ? 1 : 0; }
bool GetFlag(const uint8_t* p) { return *p != 0; }

void PutFont(uint8_t* p, const ReportFont& f) {
  PutText(p, 50, f.name);
  Put16(p + 51, f.size);
  PutFlag(p + 53, f.bold);
  PutFlag(p + 54, f.italic);
  PutFlag(p + 55, f.underline);
  PutFlag(p + 56, f.strikeOut);
  Put32(p + 57, f.color);
}
ReportFont GetFont(const uint8_t* p) {
  ReportFont f;
  f.name = GetText(p, 50);
  f.size = Get16(p + 51);
  f.bold = GetFlag(p + 53);
  f.italic = GetFlag(p + 54);
  f.underline = GetFlag(p + 55);
  f.strikeOut = GetFlag(p + 56);
  f.color = Get32(p + 57);
  return f;
}

void PutCell(uint8_t* p, const ReportCell& c) {
  PutText(p, 30, c.partName);
  p[31] = c.fieldNumber;
  Put16(p + 32, c.width);
  PutText(p + 34, 40, c.labelText);
}
ReportCell GetCell(const uint8_t* p) {
  ReportCell c;
  c.partName = GetText(p, 30);
  c.fieldNumber = p[31];
  c.width = Get16(p + 32);
  c.labelText = GetText(p + 34, 40);
  return c;
}

void PutLine(uint8_t* p, const ReportLine& line) {
  for (size_t c = 0; c < line.cells.size(); ++c) PutCell(p + kCellSize * c, line.cells[c]);
}
ReportLine GetLine(const uint8_t* p) {
  ReportLine line;
  for (size_t c = 0; c < line.cells.size(); ++c) line.cells[c] = GetCell(p + kCellSize * c);
  return line;
}

int16_t ClampNumLines(int16_t n) { return std::clamp<int16_t>(n, 0, kBodyLineCount); }

// The cells of every line of a record: "<FILLER>", empty, cell 1 150 wide.
void ResetLine(ReportLine& line) {
  for (ReportCell& c : line.cells) {
    c.partName = std::string(kFillerPart);
    c.width = 0;
    c.labelText.clear();
  }
  line.cells[0].width = 150;
}

}  // namespace

void WriteReportDefinition(const ReportDefinition& d, uint8_t* out) {
  std::memset(out, 0, kReportDefinitionSize);
  PutText(out + kNameOffset, 30, d.name);
  Put16(out + kCharsOffset, d.charsPerLine);
  for (size_t i = 0; i < d.fonts.size(); ++i) PutFont(out + kFontsOffset + kFontSize * i, d.fonts[i]);
  PutFlag(out + kFlagsOffset + 0, d.columnHeaders);
  PutFlag(out + kFlagsOffset + 1, d.pageNumbers);
  PutFlag(out + kFlagsOffset + 2, d.printLandscape);
  PutFlag(out + kFlagsOffset + 3, d.dateOnPages);
  PutFlag(out + kFlagsOffset + 4, d.useTotals);
  Put16(out + kNumLinesOffset, d.numLines);
  PutLine(out + kTotalsOffset, d.totalsLine);
  PutDouble(out + kMarginsOffset + 0, d.topMargin);
  PutDouble(out + kMarginsOffset + 8, d.bottomMargin);
  PutDouble(out + kMarginsOffset + 16, d.leftMargin);
  PutDouble(out + kMarginsOffset + 24, d.rightMargin);
  PutFlag(out + kVerticalOffset, d.verticalLines);
  PutFlag(out + kHorizontalOffset, d.horizontalLines);
  for (size_t i = 0; i < d.titles.size(); ++i) PutText(out + kTitlesOffset + kTitleSize * i, 80, d.titles[i]);
  for (size_t l = 0; l < d.bodyLines.size(); ++l) PutLine(out + kBodyOffset + kLineSize * l, d.bodyLines[l]);
  PutFlag(out + kGroup1Offset, d.groupLevel1);
  PutFlag(out + kGroup2Offset, d.groupLevel2);
  std::memcpy(out + kReservedOffset, d.reserved.data(), d.reserved.size());
}

ReportRecordBytes EncodeReportDefinition(const ReportDefinition& def) {
  ReportRecordBytes bytes;
  WriteReportDefinition(def, bytes.data());
  return bytes;
}

ReportDefinition ReadReportDefinition(const uint8_t* in) {
  ReportDefinition d;
  d.name = GetText(in + kNameOffset, 30);
  d.charsPerLine = Get16(in + kCharsOffset);
  for (size_t i = 0; i < d.fonts.size(); ++i) d.fonts[i] = GetFont(in + kFontsOffset + kFontSize * i);
  d.columnHeaders = GetFlag(in + kFlagsOffset + 0);
  d.pageNumbers = GetFlag(in + kFlagsOffset + 1);
  d.printLandscape = GetFlag(in + kFlagsOffset + 2);
  d.dateOnPages = GetFlag(in + kFlagsOffset + 3);
  d.useTotals = GetFlag(in + kFlagsOffset + 4);
  d.numLines = ClampNumLines(Get16(in + kNumLinesOffset));
  d.totalsLine = GetLine(in + kTotalsOffset);
  d.topMargin = GetDouble(in + kMarginsOffset + 0);
  d.bottomMargin = GetDouble(in + kMarginsOffset + 8);
  d.leftMargin = GetDouble(in + kMarginsOffset + 16);
  d.rightMargin = GetDouble(in + kMarginsOffset + 24);
  d.verticalLines = GetFlag(in + kVerticalOffset);
  d.horizontalLines = GetFlag(in + kHorizontalOffset);
  for (size_t i = 0; i < d.titles.size(); ++i) d.titles[i] = GetText(in + kTitlesOffset + kTitleSize * i, 80);
  for (size_t l = 0; l < d.bodyLines.size(); ++l) d.bodyLines[l] = GetLine(in + kBodyOffset + kLineSize * l);
  d.groupLevel1 = GetFlag(in + kGroup1Offset);
  d.groupLevel2 = GetFlag(in + kGroup2Offset);
  std::memcpy(d.reserved.data(), in + kReservedOffset, d.reserved.size());
  return d;
}

void InitReportDefinition(ReportDefinition& d) {
  d.name.clear();
  d.charsPerLine = 120;
  for (ReportFont& f : d.fonts) f = ReportFont{"Arial", 8, false, false, false, false, 0};
  d.columnHeaders = true;
  d.pageNumbers = true;
  d.printLandscape = false;
  d.dateOnPages = true;
  d.useTotals = true;
  d.numLines = 1;
  d.topMargin = d.bottomMargin = d.leftMargin = d.rightMargin = 0.5;
  d.verticalLines = false;
  d.horizontalLines = false;
  for (std::string& t : d.titles) t.clear();
  for (ReportLine& line : d.bodyLines) ResetLine(line);
  ResetLine(d.totalsLine);
  d.groupLevel1 = true;
  d.groupLevel2 = false;
  d.reserved.fill(0);
}

namespace {

ReportCell Label(std::string_view text, int width, uint8_t fieldNumber = 0) {
  return ReportCell{std::string(kLabelPart), fieldNumber, static_cast<int16_t>(width), std::string(text)};
}
ReportCell Filler(int width) { return ReportCell{std::string(kFillerPart), 0, static_cast<int16_t>(width), {}}; }
ReportCell Field(int number, int width) {
  return ReportCell{std::string(ItemFieldByNumber(number)->name), static_cast<uint8_t>(number),
                    static_cast<int16_t>(width), {}};
}
ReportCell Total(int number, int width) {
  return ReportCell{std::string(TotalsFields[static_cast<size_t>(number - 1)].name), static_cast<uint8_t>(number),
                    static_cast<int16_t>(width), {}};
}

// Puts the cells at the start of a line; the rest stay as they are.
void SetCells(ReportLine& line, std::initializer_list<ReportCell> cells) {
  size_t i = 0;
  for (const ReportCell& c : cells) line.cells[i++] = c;
}

}  // namespace

void SetDefaultTotalsLine(ReportDefinition& d) {
  SetCells(d.totalsLine, {Label("Cost:", 10), Filler(1), Total(1, 12), Label("Replacement Cost:", 19), Filler(1),
                          Total(3, 12), Label("Value:", 8), Filler(1), Total(2, 12), Filler(60)});
}

void FillNewReportDefinition(ReportDefinition& d) {
  d.name.clear();
  d.charsPerLine = 90;
  d.columnHeaders = d.pageNumbers = d.dateOnPages = d.useTotals = true;
  d.printLandscape = false;
  d.numLines = 1;
  d.topMargin = d.bottomMargin = d.leftMargin = d.rightMargin = 0.5;
  d.verticalLines = d.horizontalLines = true;
  d.groupLevel1 = true;
  d.groupLevel2 = false;
  for (std::string& t : d.titles) t.clear();
  for (size_t i = 0; i < d.fonts.size(); ++i)
    d.fonts[i] = ReportFont{"Courier New", 10, i == 0 || i == 1 || i == 4, false, false, false, 0};
  for (ReportLine& line : d.bodyLines) ResetLine(line);
  ResetLine(d.totalsLine);
}

std::array<ReportDefinition, 8> DefaultReportDefinitions() {
  std::array<ReportDefinition, 8> defs{};
  for (ReportDefinition& d : defs) InitReportDefinition(d);
  auto tenPoint = [](ReportDefinition& d) {
    for (ReportFont& f : d.fonts) f.size = 10;
  };

  // The first lines of the medium reports.
  const auto mediumLine1 = {Label("Item:", 5), Filler(1), Field(1, 40), Label("Location:", 11), Filler(1),
                            Field(5, 30), Label("Category:", 11), Filler(1), Field(12, 20)};
  const auto mediumLine2 = {Label("Brand:", 6), Filler(1), Field(2, 20), Label("Model:", 8), Filler(1),
                            Field(3, 15), Label("Serial:", 9), Filler(1), Field(4, 14), Label("Cost:", 7),
                            Filler(1), Field(11, 12), Label("Rep Cost:", 11), Filler(1), Field(13, 12)};
  const auto descLine = {Label("Desc:", 5), Filler(1), Field(6, 110)};

  ReportDefinition& shortNarrow = defs[0];
  shortNarrow.name = "Short Narrow Report";
  shortNarrow.charsPerLine = 90;
  tenPoint(shortNarrow);
  shortNarrow.verticalLines = shortNarrow.horizontalLines = true;
  SetCells(shortNarrow.bodyLines[0], {Field(1, 32), Field(5, 17), Field(11, 14), Field(13, 14), Field(9, 13)});

  ReportDefinition& shortWide = defs[1];
  shortWide.name = "Short Wide Report";
  shortWide.verticalLines = shortWide.horizontalLines = true;
  SetCells(shortWide.bodyLines[0], {Field(1, 26), Field(2, 12), Field(3, 12), Field(4, 12), Field(5, 17),
                                    Field(11, 14), Field(13, 14), Field(9, 13)});

  ReportDefinition& medium = defs[2];
  medium.name = "Medium Report";
  medium.columnHeaders = false;
  medium.numLines = 2;
  SetCells(medium.bodyLines[0], mediumLine1);
  SetCells(medium.bodyLines[1], mediumLine2);

  ReportDefinition& mediumLarge = defs[3];
  mediumLarge.name = "Medium Large Report";
  mediumLarge.columnHeaders = false;
  mediumLarge.numLines = 4;
  SetCells(mediumLarge.bodyLines[0], mediumLine1);
  SetCells(mediumLarge.bodyLines[1], mediumLine2);
  SetCells(mediumLarge.bodyLines[2], descLine);

  ReportDefinition& full = defs[4];
  full.name = "Full Report";
  full.columnHeaders = false;
  full.numLines = 7;
  SetCells(full.bodyLines[0], mediumLine1);
  SetCells(full.bodyLines[1], {Label("Brand:", 6), Filler(1), Field(2, 20), Label("Model:", 8), Filler(1),
                               Field(3, 15), Label("Serial:", 9), Filler(1), Field(4, 20), Label("Owner:", 8),
                               Filler(1), Field(17, 30)});
  SetCells(full.bodyLines[2], descLine);
  SetCells(full.bodyLines[3], {Label("Cost:", 5), Filler(1), Field(11, 13), Label("Rep. Cost:", 11), Filler(1),
                               Field(13, 13), Label("Value:", 8), Filler(1), Field(18, 13), Label("Purch From:", 13),
                               Filler(1), Field(7, 40)});
  SetCells(full.bodyLines[4], {Label("Purch Date:", 11), Filler(1), Field(10, 11), Label("Warranty:", 12), Filler(1),
                               Field(14, 3), Label("Expiration Date:", 19), Filler(1), Field(15, 11),
                               Label("Warranty Notes:", 18), Filler(1), Field(16, 30)});
  SetCells(full.bodyLines[5], {Label("ID Marks:", 9), Filler(1), Field(8, 60), Label("Quantity:", 11), Filler(1),
                               Field(9, 10)});

  ReportDefinition& warranty = defs[5];
  warranty.name = "Warranty Report";
  warranty.useTotals = false;
  SetCells(warranty.bodyLines[0], {Field(1, 30), Filler(2), Field(5, 15), Filler(2), Field(10, 11), Filler(2),
                                   Field(14, 3), Filler(2), Field(15, 11), Filler(2), Field(16, 30)});

  ReportDefinition& locationOwner = defs[6];
  locationOwner.name = "Location & Owner Report";
  locationOwner.charsPerLine = 90;
  tenPoint(locationOwner);
  locationOwner.verticalLines = locationOwner.horizontalLines = true;
  SetCells(locationOwner.bodyLines[0], {Field(1, 33), Field(5, 30), Field(17, 27)});

  ReportDefinition& summary = defs[7];
  summary.name = "Statistics/Summary Report";
  summary.columnHeaders = false;
  summary.numLines = 0;

  // The warranty report keeps the untouched totals line.
  for (size_t i = 0; i < defs.size(); ++i)
    if (i != 5) SetDefaultTotalsLine(defs[i]);
  return defs;
}

bool IsOldBuiltInReportName(std::string_view name) {
  static constexpr std::array<std::string_view, 7> kNames{
      "90 Column 1 Line Report",  "120 Column 2 Line Report", "Full Report",           "Statistics/Summary Report",
      "120 Column 1 Line Report", "120 Column 4 Line Report", "1 Line Warranty Report"};
  return std::find(kNames.begin(), kNames.end(), name) != kNames.end();
}

ReportDefinition ConvertOldReportDefinition(const uint8_t* in) {
  ReportDefinition d;
  d.name = GetText(in, 30);
  d.charsPerLine = Get16(in + kOldCharsOffset);
  d.columnHeaders = GetFlag(in + kOldColumnHeaders);
  d.pageNumbers = GetFlag(in + kOldPageNumbers);
  d.useTotals = GetFlag(in + kOldUseTotals);
  d.numLines = ClampNumLines(Get16(in + kOldNumLines));
  d.printLandscape = false;
  d.dateOnPages = true;
  d.topMargin = d.bottomMargin = d.leftMargin = d.rightMargin = 0.5;
  d.verticalLines = d.horizontalLines = false;
  d.groupLevel1 = true;
  d.groupLevel2 = false;
  for (size_t i = 0; i < d.titles.size(); ++i) d.titles[i] = GetText(in + kOldTitlesOffset + kTitleSize * i, 80);
  d.totalsLine = GetLine(in + kOldTotalsOffset);
  for (size_t l = 0; l < d.bodyLines.size(); ++l) d.bodyLines[l] = GetLine(in + kOldBodyOffset + kLineSize * l);
  const int16_t size = d.charsPerLine == 90 ? 10 : 8;
  for (size_t i = 0; i < d.fonts.size(); ++i)
    d.fonts[i] = ReportFont{"Courier New", size, i == 0 || i == 1 || i == 4, false, false, false, 0};
  return d;
}

void BalanceLine(ReportLine& line, int charsPerLine) {
  int sum = 0;
  size_t stop = line.cells.size() - 1;
  for (size_t c = 0; c < line.cells.size(); ++c) {
    const int before = sum;
    sum += line.cells[c].width < 1 ? charsPerLine : line.cells[c].width;
    if (sum >= charsPerLine || c == line.cells.size() - 1) {
      stop = c;
      line.cells[c].width = static_cast<int16_t>(std::clamp(charsPerLine - before, -32768, 32767));
      break;
    }
  }
  for (size_t c = stop + 1; c < line.cells.size(); ++c) line.cells[c].width = 0;
}

}  // namespace keldro::reports
