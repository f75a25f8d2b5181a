// What every report window does when shown: the configured fonts, its
// design geometry scaled and centred, and the report colour group (the
// fourth of the settings) on its parts.
#pragma once

#include <QSize>
#include <vector>

#include "core/utilities.h"

class QWidget;

namespace keldro::reports {

// Fonts, then the recorded geometry scaled by ScaleFactor and centred on
// `screen` (the window's own screen when not given).
void PlaceReportForm(QWidget* form, const FormDimensions& dims, QSize screen = {});

struct ReportColorParts {
  QWidget* form = nullptr;
  std::vector<QWidget*> majorTitles, minorTitles, edits, lists, radios, checks;
};
void ApplyReportColors(const ReportColorParts& parts);

}  // namespace keldro::reports
