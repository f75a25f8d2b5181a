// The report generator: turns one ReportDefinition and the rows of the
// inventory table into a report on a report writer (printer or recorded
// stream) or into a text file. It supplies the writer's event handlers; the
// writer runs the page loop, this class decides what goes on each page:
// titles, column headers, groups on the first two sort levels, one to
// twelve body lines per item, totals weighted by quantity, the end block
// with the insurance statement, and the page footer.
//
// In text-file mode every file line also moves the writer one line down,
// so the file is paged exactly as a printout would be.
//
// Text file: Windows-1252 bytes, each line ended by CR LF; a page ends with
// an empty line and the footer line whose last character is a form feed.
// Every cell takes exactly its width: values padded on the right, labels on
// the left, fillers (and header labels) as blanks.
#pragma once

#include <array>
#include <filesystem>
#include <string>

#include "core/item_fields.h"
#include "core/settings.h"
#include "core/sort_levels.h"
#include "core/utilities.h"
#include "reports/report_definition.h"
#include "reports/report_rows.h"

namespace report {
class TBaseReport;
}

namespace keldro::reports {

enum ReportDestination : int { kToPrinter = 1, kToPreview = 2, kToTextFile = 3 };

// What a report reads besides its definition and its rows.
struct ReportEnvironment {
  SortLevels sortLevels;
  std::array<std::string, kItemFieldCount> fieldTitles{};  // "Field Names"
  int currencyFormat = 1;
  int numericFormat = 1;
  IntlSettings intl;
  ReportSettings insurance;  // statement, company, policy number, name
  std::string today;         // today's date in the short date format

  static ReportEnvironment From(const AppSettings& settings, const IntlSettings& intl, std::string today);
};

// The group fields of a definition: the first two sort levels in use when
// grouping is on (the second only with the level-2 switch); 0 for none.
struct GroupFields {
  int level1 = 0;
  int level2 = 0;
};
GroupFields ChooseGroupFields(const ReportDefinition& def, const SortLevels& levels);

// Characters per line as the generator uses them: anything but 90, 120 or
// 150 counts as 120.
int UsableCharsPerLine(int charsPerLine);

// The settings both writers of the status window start from: line pitch by
// the font, inches, margins of half an inch, portrait, scale 100.
void ConfigureReportWriter(report::TBaseReport& writer);

class ReportGenerator {
 public:
  ReportGenerator(const ReportDefinition& def, ReportRows& rows, ReportEnvironment env, int destination);

  // Installs the handlers for before print, header, page, footer and after
  // print on the writer.
  void Attach(report::TBaseReport& writer);

  // Text-file mode: where the file goes when the run ends. The file is
  // written whole (beside itself, then renamed in), so a failure leaves an
  // existing file as it was.
  void SetTextFileName(std::filesystem::path file) { textFileName_ = std::move(file); }
  const std::filesystem::path& TextFileName() const { return textFileName_; }
  const std::string& TextFileBytes() const { return text_; }
  // The text file could not be written; errno detail in TextFileError().
  bool TextFileFailed() const { return textFileFailed_; }
  int TextFileError() const { return textFileError_; }

  // A field cell's text: numbers as money (two decimals) or whole numbers.
  std::string CellValue(int field) const;

 private:
  enum class CellKind { Field, Label, Filler };
  struct Cell {
    CellKind kind = CellKind::Filler;
    int field = 0;  // body: ItemFields number; totals: TotalsFields number
    int width = 0;
    std::string label;
  };
  using Cells = std::vector<Cell>;
  struct Totals {
    std::array<double, 4> sum{};  // by TotalsFields number - 1
  };

  Cells UsedCells(const ReportLine& line, bool totals) const;
  bool FileMode() const { return destination_ == kToTextFile; }
  int Remaining() const;
  void LineToFile(const std::string& text);
  void SetMyFont(int slot);
  double CellTabWidth(int width) const;

  void BeforePrint();
  void AfterPrint();
  void PrintHeader();
  bool PrintPage();
  void PrintFooter();

  bool StartGroup(const std::string& level1Text);
  bool FinishGroup();
  bool PrintGroupHeader();
  void PrintCentredTitle(const std::string& text);
  void FinishReport();
  void SetBodyTabs(bool headerMode);
  void SetLineTabs(int line);
  void SetTotalsTabs();
  void PrintBodyLine(int line);
  void PrintColumnHeaders();
  void PrintTotalsLine(const Totals& totals);
  void PrintCells(const Cells& cells, const std::vector<std::string>& texts, bool totals);
  // A field cell of the body with a numeric field, or any field cell of the
  // totals line: its text is a figure and is never cut.
  static bool IsFigure(const Cell& cell, bool totals);
  static bool HeaderFollows(const Cells& cells, size_t i);
  void PrintWidenedTabs(const std::vector<std::string>& texts, const std::vector<double>& extra);
  std::string FitTextToTab(std::string text, double width) const;
  void AccumulateTotals();

  const ReportDefinition& def_;
  ReportRows& rows_;
  ReportEnvironment env_;
  int destination_;
  report::TBaseReport* writer_ = nullptr;

  int charsPerLine_ = 120;
  int numLines_ = 1;
  std::array<Cells, kBodyLineCount> body_{};
  Cells totalsCells_;
  double printableWidth_ = 0;
  GroupFields group_;
  std::string previous1_, previous2_;
  bool headerPending_ = false, footerPending_ = false, firstGroup_ = true, endPending_ = false;
  // Something was printed in this page's body: a block that does not fit
  // waits for the next page only then, so every page makes progress.
  bool pageHasContent_ = false;
  int boxFlags_ = 0;
  Totals grand_, groupTotals_;

  std::filesystem::path textFileName_;
  std::string text_;
  bool textFileFailed_ = false;
  int textFileError_ = 0;
};

}  // namespace keldro::reports
