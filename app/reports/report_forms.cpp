#include "reports/report_forms.h"

#include <QPalette>
#include <QWidget>

#include "app_state.h"
#include "ui_utilities.h"

namespace keldro::reports {

namespace {
// kColorKeys order.
enum Slot {
  kBackground, kMajorTitle, kMinorTitle, kEditBackground, kEditText, kComboBackground, kComboText,
  kListBackground, kListText, kRadioBackground, kRadioText, kCheckBackground, kCheckText
};

void Paint(QWidget* w, int32_t background, int32_t text, bool base) {
  QPalette p = w->palette();
  p.setColor(base ? QPalette::Base : QPalette::Window, WindowsColor(background));
  p.setColor(base ? QPalette::Text : QPalette::WindowText, WindowsColor(text));
  w->setPalette(p);
  w->setAutoFillBackground(true);
}
}  // namespace

void ApplyReportColors(const ReportColorParts& parts) {
  const auto& c = Settings.colors[3].colors;
  if (parts.form) Paint(parts.form, c[kBackground], c[kMinorTitle], false);
  for (QWidget* w : parts.majorTitles) Paint(w, c[kBackground], c[kMajorTitle], false);
  for (QWidget* w : parts.minorTitles) Paint(w, c[kBackground], c[kMinorTitle], false);
  for (QWidget* w : parts.edits) Paint(w, c[kEditBackground], c[kEditText], true);
  for (QWidget* w : parts.lists) Paint(w, c[kListBackground], c[kListText], true);
  for (QWidget* w : parts.radios) Paint(w, c[kRadioBackground], c[kRadioText], false);
  for (QWidget* w : parts.checks) Paint(w, c[kCheckBackground], c[kCheckText], false);
}

}  // namespace keldro::reports
