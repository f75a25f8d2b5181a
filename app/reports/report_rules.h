// How the definition editor saves and deletes a definition in the report
// definitions file; its questions are asked through platform::ui, so the
// rules are tested without a window.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "reports/report_file.h"

namespace keldro::reports {

inline constexpr std::string_view kTitleChangedQuestion =
    "Report Title has changed!  Do you wish to save this as a new report?   "
    "(YES saves as new report.  NO overwrites old report.  CANCEL aborts.)";
inline constexpr std::string_view kDeleteQuestion = "Are you sure you want to delete this report?";

// The definition editor's "Update", after its own checks: a definition read
// with "Modify" whose name changed asks whether to save it as a new report.
struct SaveRequest {
  bool isNew = false;            // opened with "New"
  std::string originalName;      // the name when the editor opened
  size_t originalIndex = 0;      // the record it was read from
};
struct SaveResult {
  enum Outcome { Cancelled, Appended, Overwritten, Failed } outcome = Failed;
  size_t index = 0;  // the record now holding the definition
  ReportFileStatus status;
};
SaveResult SaveReportDefinition(ReportFile& file, const ReportDefinition& buffer, const SaveRequest& request);

// The editor's "Delete": asks, then removes the record.
struct DeleteResult {
  enum Outcome { Cancelled, Deleted, Failed } outcome = Failed;
  ReportFileStatus status;
};
DeleteResult DeleteReportDefinition(ReportFile& file, size_t index);

}  // namespace keldro::reports
