// TReportPart, "Select Report Part": edits one cell of a line of the
// layout's work copy: filler, label or field, and width. Shown in the report
// colours, scaled and centred.
#pragma once

#include <array>
#include <string>

#include "reports/report_definition.h"
#include "tdialog.h"

class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QRadioButton;

namespace keldro::reports {

class TReportPart : public TDialog {
  Q_OBJECT
 public:
  // `line` is 1..12 or 100 for the totals line; the edit lands in `work`.
  TReportPart(QWidget* parent, ReportDefinition& work, int line, int cell, int charsPerLine,
              const std::array<std::string, 22>& fieldTitles);

  QRadioButton *RadioFiller = nullptr, *RadioLabel = nullptr, *RadioField = nullptr;
  QListWidget* FieldList = nullptr;
  QLineEdit *FieldWidth = nullptr, *LabelName = nullptr;
  QLabel *SelPartLabel = nullptr, *LabelTextLabel = nullptr, *WidthLabel = nullptr;
  QPushButton *OkButton = nullptr, *CancelButton = nullptr;

  void OkButtonClick();

 protected:
  void SetColors() override;
  void FormShow() override;

 private:
  void EnableForKind();
  ReportLine& Target();
  ReportDefinition& work_;
  int line_, cell_, charsPerLine_;
  std::array<std::string, 22> titles_;
  ReportLine copy_;
};

}  // namespace keldro::reports
