// The report colour group (the fourth of the settings) on the parts of a
// report window.
#pragma once

#include <vector>

class QWidget;

namespace keldro::reports {

struct ReportColorParts {
  QWidget* form = nullptr;
  std::vector<QWidget*> majorTitles, minorTitles, edits, lists, radios, checks;
};
void ApplyReportColors(const ReportColorParts& parts);

}  // namespace keldro::reports
