#include "reports/report_generator.h"

#include <algorithm>
#include <charconv>
#include <cmath>

#include "platform/file_io.h"
#include "report/base_report.h"

namespace keldro::reports {

namespace {

constexpr const char* kNoGroup = "zzxkytrweq";
constexpr size_t kGroupTextLimit = 120;
constexpr int kQuantityField = 9;
constexpr int kCostField = 11;
constexpr int kRepCostField = 13;
constexpr int kValueField = 18;
constexpr int kQuantityTotal = 4;

// The value of a whole text as a number, 0 when it is not one.
template <typename T>
T ParseOr0(const std::string& text) {
  const std::string t = TrimBlanks(text);
  T value{};
  const char* end = t.data() + t.size();
  auto [p, ec] = std::from_chars(t.data(), end, value);
  if (ec != std::errc() || p != end) return T{};
  return value;
}

std::string Cut(std::string text, size_t width) {
  if (text.size() > width) text.resize(width);
  return text;
}

// A margin from the file: a value that is not a number counts as the default.
double Margin(double value) { return std::isfinite(value) ? value : 0.5; }

}  // namespace

ReportEnvironment ReportEnvironment::From(const AppSettings& settings, const IntlSettings& intl, std::string today) {
  ReportEnvironment env;
  env.sortLevels = settings.sortLevels;
  for (size_t i = 0; i < env.fieldTitles.size(); ++i) env.fieldTitles[i] = settings.fields[i].title;
  env.currencyFormat = settings.currencyFormat;
  env.numericFormat = settings.numericFormat;
  env.intl = intl;
  env.insurance = settings.reports;
  env.today = std::move(today);
  return env;
}

GroupFields ChooseGroupFields(const ReportDefinition& def, const SortLevels& levels) {
  GroupFields g;
  if (!def.groupLevel1) return g;
  for (int level : levels.levels) {
    if (!ItemFieldByNumber(level)) continue;
    if (g.level1 == 0) g.level1 = level;
    else if (g.level2 == 0) g.level2 = level;
  }
  if (!def.groupLevel2) g.level2 = 0;
  return g;
}

int UsableCharsPerLine(int charsPerLine) {
  return charsPerLine == 90 || charsPerLine == 120 || charsPerLine == 150 ? charsPerLine : 120;
}

void ConfigureReportWriter(report::TBaseReport& writer) {
  writer.LineHeightMethod = report::lhmFont;
  writer.SetUnitsFactor(1);
  writer.SetMarginLeft(0.5);
  writer.SetMarginRight(0.5);
  writer.SetMarginTop(0.5);
  writer.SetMarginBottom(0.5);
  writer.Title = "Test Report";
  writer.SetOrientation(report::poPortrait);
  writer.SetScaleX(100);
  writer.SetScaleY(100);
}

ReportGenerator::ReportGenerator(const ReportDefinition& def, ReportRows& rows, ReportEnvironment env,
                                 int destination)
    : def_(def), rows_(rows), env_(std::move(env)), destination_(destination) {}

void ReportGenerator::Attach(report::TBaseReport& writer) {
  writer_ = &writer;
  writer.OnBeforePrint = [this](report::TBaseReport&) { BeforePrint(); };
  writer.OnPrintHeader = [this](report::TBaseReport&) { PrintHeader(); };
  writer.OnPrintPage = [this](report::TBaseReport&) { return PrintPage(); };
  writer.OnPrintFooter = [this](report::TBaseReport&) { PrintFooter(); };
  writer.OnAfterPrint = [this](report::TBaseReport&) { AfterPrint(); };
}

// ------------------------------------------------------------------ cells

ReportGenerator::Cells ReportGenerator::UsedCells(const ReportLine& line, bool totals) const {
  Cells out;
  for (const ReportCell& c : line.cells) {
    if (c.width < 1) break;
    Cell cell;
    cell.width = c.width;
    if (c.partName == kLabelPart) {
      cell.kind = CellKind::Label;
      cell.label = c.labelText;
    } else if (c.partName != kFillerPart) {
      // A field number the file got wrong prints as a filler.
      const bool valid = totals ? (c.fieldNumber >= 1 && c.fieldNumber <= TotalsFields.size())
                                : ItemFieldByNumber(c.fieldNumber) != nullptr;
      if (valid) {
        cell.kind = CellKind::Field;
        cell.field = c.fieldNumber;
      }
    }
    out.push_back(std::move(cell));
  }
  return out;
}

std::string ReportGenerator::CellValue(int field) const {
  const ItemField* f = ItemFieldByNumber(field);
  if (!f) return {};
  if (f->letter != 'N') return rows_.Text(field);
  const double v = rows_.Value(field);
  if (f->decimals == 2) return FormatCurrencyIntl(v, 1, env_.currencyFormat, env_.intl);
  return FormatNumberIntl(v, 1, 0, env_.numericFormat, env_.intl);
}

double ReportGenerator::CellTabWidth(int width) const {
  return static_cast<double>(width) / charsPerLine_ * printableWidth_;
}

std::string ReportGenerator::FitTextToTab(std::string text, double width) const {
  while (!text.empty() && writer_->TextWidth(text) > width) text.pop_back();
  return text;
}

// ------------------------------------------------------------- the writer

int ReportGenerator::Remaining() const { return writer_->RemainingLines(); }

void ReportGenerator::LineToFile(const std::string& text) {
  text_ += text;
  text_ += "\r\n";
  // The writer only moves on by the line, as an empty printed line would
  // move it: the file is paged like a printout, with nothing drawn.
  writer_->CheckPrinting();
  writer_->NewLine();
}

void ReportGenerator::SetMyFont(int slot) {
  if (slot != 1 && slot != 2 && slot != 3 && slot != 5) return;
  const ReportFont& f = def_.fonts[static_cast<size_t>(slot - 1)];
  writer_->SetFont(f.name, f.size);
  writer_->SetBold(f.bold);
  writer_->SetItalic(f.italic);
  writer_->SetUnderline(f.underline);
  writer_->SetStrikeOut(f.strikeOut);
  writer_->SetFontColor(f.color);
}

// ----------------------------------------------------------------- events

void ReportGenerator::BeforePrint() {
  report::TBaseReport& w = *writer_;
  w.StatusFormat = "Printing Page %p\r%0\r%1";
  w.StatusText.push_back("");
  w.StatusText.push_back("");
  w.SetMarginTop(Margin(def_.topMargin));
  w.SetMarginBottom(Margin(def_.bottomMargin));
  w.SetMarginLeft(Margin(def_.leftMargin));
  w.SetMarginRight(Margin(def_.rightMargin));
  charsPerLine_ = UsableCharsPerLine(def_.charsPerLine);
  numLines_ = std::clamp<int>(def_.numLines, 0, kBodyLineCount);
  for (size_t i = 0; i < body_.size(); ++i) body_[i] = UsedCells(def_.bodyLines[i], false);
  totalsCells_ = UsedCells(def_.totalsLine, true);
  printableWidth_ = w.PageWidth() - w.MarginLeft() - w.MarginRight();
  group_ = ChooseGroupFields(def_, env_.sortLevels);
  previous1_ = previous2_ = kNoGroup;
  headerPending_ = footerPending_ = endPending_ = false;
  firstGroup_ = true;
  grand_ = groupTotals_ = Totals{};
  text_.clear();
  textFileFailed_ = false;
  textFileError_ = 0;
  rows_.DisableControls();
  rows_.First();
}

void ReportGenerator::AfterPrint() {
  if (FileMode() && !textFileName_.empty()) {
    int error = 0;
    textFileFailed_ = !platform::WriteFileAtomic(textFileName_, text_, &error);
    textFileError_ = error;
  }
  rows_.EnableControls();
}

void ReportGenerator::PrintHeader() {
  report::TBaseReport& w = *writer_;
  if (FileMode()) {
    for (const std::string& title : def_.titles)
      if (!title.empty()) LineToFile(title);
    return;
  }
  w.SetSectionTop(0.5);
  w.SetSectionBottom(1.25);
  w.Home();
  SetMyFont(1);
  for (const std::string& title : def_.titles) {
    if (title.empty()) continue;
    w.PrintCenterAt(title, w.PageWidth() * 0.5);
    w.NewLine();
  }
}

bool ReportGenerator::PrintPage() {
  report::TBaseReport& w = *writer_;
  w.Home();
  w.SetSectionTop(1.25);
  w.SetSectionBottom(w.PageHeight() - w.MarginBottom() - 0.75);
  if (numLines_ == 1) {
    if (def_.verticalLines && def_.horizontalLines) boxFlags_ = 15;
    else if (def_.verticalLines) boxFlags_ = 3;
    else if (def_.horizontalLines) boxFlags_ = 12;
    else boxFlags_ = 0;
  } else {
    boxFlags_ = 0;
  }
  if (numLines_ == 1 && def_.columnHeaders) {
    SetMyFont(2);
    // The previous page left its data tabs behind.
    w.ClearTabs();
    SetBodyTabs(true);
    PrintColumnHeaders();
    SetMyFont(3);
    if (!FileMode()) w.PrintLine("");
  } else {
    SetMyFont(3);
  }
  if (numLines_ == 1) {
    w.ClearTabs();
    SetBodyTabs(false);
  }
  pageHasContent_ = false;

  bool newPage = false;
  while (!rows_.Eof() && !newPage && (Remaining() >= numLines_ || !pageHasContent_)) {
    if (footerPending_) newPage = FinishGroup();
    if (!newPage && headerPending_) newPage = PrintGroupHeader();
    if (!newPage && group_.level1 != 0) {
      const std::string text1 = Cut(rows_.Text(group_.level1), kGroupTextLimit);
      if (group_.level2 == 0) {
        if (text1 != previous1_) newPage = StartGroup(text1);
      } else {
        const std::string text2 = Cut(rows_.Text(group_.level2), kGroupTextLimit);
        if (text2 != previous2_) {
          previous2_ = text2;
          newPage = StartGroup(text1);
        } else if (text1 != previous1_) {
          newPage = StartGroup(text1);
        }
      }
    }
    if (newPage) break;
    if (numLines_ == 1) {
      PrintBodyLine(1);
    } else {
      for (int n = 1; n <= numLines_; ++n) {
        w.ClearTabs();
        SetLineTabs(n);
        PrintBodyLine(n);
      }
    }
    if (numLines_ > 0) pageHasContent_ = true;
    if (def_.useTotals) AccumulateTotals();
    rows_.Next();
  }
  if (rows_.Eof()) FinishReport();
  return !(rows_.Eof() && !endPending_);
}

void ReportGenerator::PrintFooter() {
  report::TBaseReport& w = *writer_;
  std::string insurance;
  if (env_.insurance.printInsuranceCompany) insurance += env_.insurance.insuranceCompany + "    ";
  if (env_.insurance.printPolicyNumber) insurance += "#" + env_.insurance.policyNumber;
  const std::string page = "Page " + std::to_string(w.CurrentPage());
  if (FileMode()) {
    LineToFile("");
    std::string line = page + "     " + insurance;
    if (def_.dateOnPages) line += "     " + env_.today;
    LineToFile(line + '\f');
    return;
  }
  w.SetSectionTop(w.PageHeight() - w.MarginBottom() - 0.5);
  w.SetSectionBottom(w.PageHeight() - w.MarginBottom());
  SetMyFont(5);
  w.PrintBottomLine(page, 1);
  w.PrintBottomLine(insurance, 0);
  if (def_.dateOnPages) w.PrintBottomLine(env_.today, 2);
}

// ----------------------------------------------------------------- groups

bool ReportGenerator::StartGroup(const std::string& level1Text) {
  previous1_ = level1Text;
  if (FinishGroup()) {
    headerPending_ = true;
    return true;
  }
  return PrintGroupHeader();
}

bool ReportGenerator::FinishGroup() {
  if (firstGroup_) {
    firstGroup_ = false;
    footerPending_ = false;
    return false;
  }
  if (!def_.useTotals) {
    footerPending_ = false;
    return false;
  }
  if (Remaining() < numLines_ + 3 && pageHasContent_) {
    footerPending_ = true;
    return true;
  }
  PrintCentredTitle("TOTALS");
  writer_->ClearTabs();
  SetTotalsTabs();
  PrintTotalsLine(groupTotals_);
  groupTotals_ = Totals{};
  if (numLines_ == 1) {
    writer_->ClearTabs();
    SetBodyTabs(false);
  }
  footerPending_ = false;
  pageHasContent_ = true;
  return false;
}

bool ReportGenerator::PrintGroupHeader() {
  report::TBaseReport& w = *writer_;
  if (Remaining() < numLines_ + 2 && pageHasContent_) {
    headerPending_ = true;
    return true;
  }
  std::string title;
  if (group_.level1 != 0) title = previous1_;
  if (group_.level2 != 0) title += ", " + previous2_;
  if (FileMode()) {
    LineToFile("");
    const int d = (charsPerLine_ - static_cast<int>(title.size())) / 2;
    const std::string indent = RepeatChar(' ', std::max(d, 0));
    const std::string dashes = RepeatChar('-', static_cast<int>(title.size()));
    LineToFile(indent + dashes);
    LineToFile(indent + title);
    LineToFile(indent + dashes);
  } else {
    double width = w.TextWidth(title);
    if (width > printableWidth_ - 0.2) {
      title = FitTextToTab(title, printableWidth_ - 0.2);
      width = printableWidth_;
    }
    w.PrintLine("");
    w.ClearTabs();
    w.SetTab(w.MarginLeft() + (printableWidth_ - width) / 2, 0, width + 0.2, 2, 15, 0);
    w.PrintLine("\t" + title);
    if (numLines_ == 1) {
      w.ClearTabs();
      SetBodyTabs(false);
    }
  }
  headerPending_ = false;
  pageHasContent_ = true;
  return false;
}

void ReportGenerator::PrintCentredTitle(const std::string& text) {
  report::TBaseReport& w = *writer_;
  if (FileMode()) {
    const int d = (charsPerLine_ - static_cast<int>(text.size())) / 2;
    LineToFile(RepeatChar(' ', std::max(d, 0)) + text);
    return;
  }
  std::string t = text;
  double width = w.TextWidth(t);
  if (width > printableWidth_ - 0.2) {
    t = FitTextToTab(t, printableWidth_ - 0.2);
    width = printableWidth_;
  }
  w.ClearTabs();
  w.SetTab(w.MarginLeft() + (printableWidth_ - width) / 2, 0, width + 0.2, 2, 8, 0);
  w.PrintLine("\t" + t);
}

void ReportGenerator::FinishReport() {
  report::TBaseReport& w = *writer_;
  const bool statement = env_.insurance.printStatement;
  const int needed = (def_.useTotals ? 5 : 0) + (statement ? 5 : 0);
  if (Remaining() < needed && pageHasContent_) {
    endPending_ = true;
    return;
  }
  if (def_.useTotals) {
    PrintCentredTitle("TOTALS");
    w.ClearTabs();
    SetTotalsTabs();
    PrintTotalsLine(groupTotals_);
    if (FileMode()) LineToFile("");
    else w.PrintLine("");
    PrintCentredTitle("GRAND TOTALS");
    w.ClearTabs();
    SetTotalsTabs();
    PrintTotalsLine(grand_);
  }
  if (statement) {
    const std::string lines[] = {
        "", "As of this date, " + env_.today + ", this is a true and accurate inventory of my home.", "",
        RepeatChar('_', 35), env_.insurance.yourName};
    if (FileMode()) {
      for (const std::string& line : lines) LineToFile(line);
    } else {
      w.ClearTabs();
      for (const std::string& line : lines) w.PrintLine(line);
    }
  }
  if (needed > 0) pageHasContent_ = true;
  endPending_ = false;
}

// ------------------------------------------------------------------- tabs

void ReportGenerator::SetBodyTabs(bool headerMode) {
  for (const Cell& c : body_[0]) {
    int justify = 1;
    if (headerMode) justify = 0;
    else if (c.kind == CellKind::Field && ItemFieldByNumber(c.field)->letter == 'N') justify = 2;
    writer_->SetTab(report::kDefault, justify, CellTabWidth(c.width), 2, boxFlags_, 0);
  }
}

void ReportGenerator::SetLineTabs(int line) {
  writer_->ClearTabs();
  for (const Cell& c : body_[static_cast<size_t>(line - 1)])
    writer_->SetTab(report::kDefault, c.kind == CellKind::Label ? 2 : 1, CellTabWidth(c.width), 2, boxFlags_, 0);
}

void ReportGenerator::SetTotalsTabs() {
  writer_->ClearTabs();
  for (const Cell& c : totalsCells_)
    writer_->SetTab(report::kDefault, c.kind == CellKind::Label ? 2 : 1, CellTabWidth(c.width), 2, 0, 0);
}

// ------------------------------------------------------------------ lines

// Print mode: one tab cell per text, each cut to its tab; file mode: values
// padded on the right, labels on the left, fillers as blanks.
void ReportGenerator::PrintCells(const Cells& cells, const std::vector<std::string>& texts) {
  if (FileMode()) {
    std::string line;
    for (size_t i = 0; i < cells.size(); ++i) {
      const Cell& c = cells[i];
      const std::string text = Cut(texts[i], static_cast<size_t>(c.width));
      line += c.kind == CellKind::Label ? PadLeft(text, c.width) : PadRight(text, c.width);
    }
    LineToFile(line);
    return;
  }
  for (size_t i = 0; i < cells.size(); ++i) {
    if (cells[i].kind == CellKind::Filler) writer_->Print("\t");
    else writer_->Print(std::string("\t").append(FitTextToTab(texts[i], writer_->TabWidth(static_cast<int>(i) + 1))));
  }
  writer_->PrintLine("");
}

void ReportGenerator::PrintBodyLine(int line) {
  const Cells& cells = body_[static_cast<size_t>(line - 1)];
  std::vector<std::string> texts;
  texts.reserve(cells.size());
  for (const Cell& c : cells)
    texts.push_back(c.kind == CellKind::Field ? CellValue(c.field) : c.kind == CellKind::Label ? c.label : "");
  PrintCells(cells, texts);
}

void ReportGenerator::PrintColumnHeaders() {
  const Cells& cells = body_[0];
  if (FileMode()) {
    std::string line;
    for (const Cell& c : cells) {
      const std::string title =
          c.kind == CellKind::Field ? env_.fieldTitles[static_cast<size_t>(c.field - 1)] : std::string();
      line += PadRight(Cut(title, static_cast<size_t>(c.width)), c.width);
    }
    LineToFile(line);
    return;
  }
  for (size_t i = 0; i < cells.size(); ++i) {
    const Cell& c = cells[i];
    std::string title;
    if (c.kind == CellKind::Field)
      title = FitTextToTab(env_.fieldTitles[static_cast<size_t>(c.field - 1)],
                           writer_->TabWidth(static_cast<int>(i) + 1));
    writer_->Print("\t" + title);
  }
}

void ReportGenerator::PrintTotalsLine(const Totals& totals) {
  std::vector<std::string> texts;
  texts.reserve(totalsCells_.size());
  for (const Cell& c : totalsCells_) {
    if (c.kind == CellKind::Field) {
      const double v = totals.sum[static_cast<size_t>(c.field - 1)];
      texts.push_back(c.field == kQuantityTotal ? FormatNumberIntl(v, 1, 0, env_.numericFormat, env_.intl)
                                                : FormatCurrencyIntl(v, 1, env_.currencyFormat, env_.intl));
    } else {
      texts.push_back(c.kind == CellKind::Label ? c.label : "");
    }
  }
  PrintCells(totalsCells_, texts);
}

void ReportGenerator::AccumulateTotals() {
  const double q = ParseOr0<long long>(rows_.Text(kQuantityField));
  const double c = ParseOr0<double>(rows_.Text(kCostField));
  const double r = ParseOr0<double>(rows_.Text(kRepCostField));
  const double v = ParseOr0<double>(rows_.Text(kValueField));
  for (Totals* t : {&grand_, &groupTotals_}) {
    t->sum[0] += q * c;
    t->sum[1] += q * v;
    t->sum[2] += q * r;
    t->sum[3] += q;
  }
}

}  // namespace keldro::reports
