// The font dialog of the report fonts: name, size 6 to 16, colour, bold,
// italic, underline and strike-out, with a sample. Shown in the report
// colours, scaled and centred.
#pragma once

#include <QString>
#include <vector>

#include "reports/report_definition.h"
#include "tdialog.h"

class QCheckBox;
class QComboBox;
class QFontComboBox;
class QLabel;
class QPushButton;

namespace keldro::reports {

// The font dialog of the report fonts.
class TReportFontDialog : public TDialog {
  Q_OBJECT
 public:
  TReportFontDialog(QWidget* parent, const ReportFont& font);
  QFontComboBox* FontName = nullptr;
  QComboBox *FontSize = nullptr, *FontColor = nullptr;
  QCheckBox *Bold = nullptr, *Italic = nullptr, *Underline = nullptr, *StrikeOut = nullptr;
  QLabel* Sample = nullptr;
  QPushButton *OkButton = nullptr, *CancelButton = nullptr;
  // The font as chosen.
  ReportFont Chosen() const;

 protected:
  void SetColors() override;

 private:
  void UpdateSample();
  std::vector<QWidget*> labels_;
  ReportFont original_;
  QString shownFamily_;
};

}  // namespace keldro::reports
