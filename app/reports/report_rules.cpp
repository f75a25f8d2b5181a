#include "reports/report_rules.h"

#include "platform/ui.h"

namespace keldro::reports {

SaveResult SaveReportDefinition(ReportFile& file, const ReportDefinition& buffer, const SaveRequest& request) {
  SaveResult result;
  bool asNew = request.isNew;
  // The name as the record keeps it.
  const std::string name = buffer.name.substr(0, 30);
  if (!request.isNew && name != request.originalName.substr(0, 30)) {
    const platform::ui::Answer answer = platform::ui::ShowMessage(
        std::string(kTitleChangedQuestion), "Warning", platform::ui::Buttons::YesNoCancel, platform::ui::Icon::Error,
        0, true);
    if (answer == platform::ui::Answer::Cancel || answer == platform::ui::Answer::None) {
      result.outcome = SaveResult::Cancelled;
      return result;
    }
    asNew = answer == platform::ui::Answer::Yes;
  }
  if (asNew) {
    result.status = file.Append(buffer, &result.index);
    result.outcome = result.status.ok() ? SaveResult::Appended : SaveResult::Failed;
  } else {
    result.index = request.originalIndex;
    result.status = file.Overwrite(request.originalIndex, buffer);
    result.outcome = result.status.ok() ? SaveResult::Overwritten : SaveResult::Failed;
  }
  return result;
}

DeleteResult DeleteReportDefinition(ReportFile& file, size_t index) {
  DeleteResult result;
  const platform::ui::Answer answer = platform::ui::ShowMessage(
      std::string(kDeleteQuestion), "Warning", platform::ui::Buttons::YesNo, platform::ui::Icon::Warning, 1, true);
  if (answer != platform::ui::Answer::Yes) {
    result.outcome = DeleteResult::Cancelled;
    return result;
  }
  result.status = file.Delete(index);
  result.outcome = result.status.ok() ? DeleteResult::Deleted : DeleteResult::Failed;
  return result;
}

}  // namespace keldro::reports
