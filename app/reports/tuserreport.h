// TUserReport, "Report Definition": edits the definition in the buffer
// (name, width, titles, margins, options, number of lines, fonts and
// layout) and saves it into or deletes it from the definitions file.
#pragma once

#include <array>
#include <cstddef>
#include <string>


#include "core/utilities.h"
#include "reports/report_definition.h"
#include "tdialog.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace keldro::reports {

class TMyReport;

class TUserReport : public TDialog {
  Q_OBJECT
 public:
  // `index` is the record the definition was read from (ignored when new).
  TUserReport(TMyReport* selection, bool isNew, size_t index);

  QLineEdit *ReportName = nullptr, *Title1 = nullptr, *Title2 = nullptr, *Title3 = nullptr, *NumLines = nullptr;
  QLineEdit *TopMargin = nullptr, *BottomMargin = nullptr, *LeftMargin = nullptr, *RightMargin = nullptr;
  QRadioButton *Chars90 = nullptr, *Chars120 = nullptr, *Chars150 = nullptr;
  QCheckBox *ColumnHeaders = nullptr, *PageNumbers = nullptr, *LandOrient = nullptr, *DateOnPage = nullptr,
            *UseTotals = nullptr, *HorzLines = nullptr, *VertLines = nullptr, *Level1Group = nullptr,
            *Level2Group = nullptr;
  QLineEdit *TitleLineFont = nullptr, *ColumnHeaderFont = nullptr, *RepBodyDataFont = nullptr,
            *FootnoteFont = nullptr;
  QPushButton *SetFonts = nullptr, *SpecifyButton = nullptr, *UpdateButton = nullptr, *DeleteButton = nullptr,
              *HelpButton = nullptr, *CancelButton = nullptr;

  bool NumLinesOk();
  void NumLinesExit();
  void ReportNameExit();
  void ChangeWidth(int charsPerLine);
  void SetFontsClick();
  void SpecifyButtonClick();
  void UpdateButtonClick();
  void DeleteButtonClick();
  void HelpButtonClick();
  // The checked width.
  int CheckedWidth() const;

 protected:
  void FormShow() override;
  void SetColors() override;

 private:
  void ShowFontDescriptions();
  bool MarginsOk();
  void SaveOutVars();
  void CheckWidthButton(int charsPerLine);
  void EnableLineOptions(int numLines);

  TMyReport* selection_;
  bool isNew_;
  size_t index_;
  std::string originalName_;
};

}  // namespace keldro::reports
