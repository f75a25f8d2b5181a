// TReportFonts, "Report Fonts": the titles, column headers, body and
// footnote fonts of the definition in the buffer, each changed through the
// report font dialog. Shown in the report colours, scaled and centred.
#pragma once

#include <array>
#include <string>

#include "reports/report_definition.h"
#include "tdialog.h"

class QLabel;
class QLineEdit;
class QPushButton;

namespace keldro::reports {

// "Arial 8pt".
std::string FontDescription(const ReportFont& font);

class TReportFonts : public TDialog {
  Q_OBJECT
 public:
  // Edits the fonts of `def` in place.
  TReportFonts(QWidget* parent, ReportDefinition& def);

  std::array<QLineEdit*, 4> Descriptions{};  // titles, column headers, body, footnotes
  std::array<QPushButton*, 4> FontButtons{};
  std::array<QLabel*, 4> RowLabels{};
  QPushButton* OkButton = nullptr;

  // Opens the font dialog for the row (0..3) and stores the choice.
  void ChooseFont(int row);
  // Slot of a row: 1, 2, 3 and 5 (slot 4 is never shown).
  static int SlotOf(int row) { return row == 3 ? 5 : row + 1; }

 protected:
  void SetColors() override;
  void FormShow() override;

 private:
  void Refresh();
  ReportDefinition& def_;
};

}  // namespace keldro::reports
