// TReportForm, the "Report Status Screen": a small modal window that runs
// one report and shows its progress. It owns the two report writers (the
// printer and the stream recorder) and the generator whose handlers the
// selection window installs on the writer in use; Cancel aborts the run, OK
// closes the window afterwards.
#pragma once

#include <filesystem>
#include <memory>
#include <string>

#include "report/canvas_report.h"
#include "report/stream_report.h"
#include "reports/report_generator.h"
#include "tdialog.h"

class QLabel;
class QPushButton;

namespace keldro::reports {

inline constexpr std::string_view kReportCompleted = "Report Completed!";
inline constexpr std::string_view kReportCanceled = "Report Canceled!";

class TReportForm : public TDialog {
  Q_OBJECT
 public:
  TReportForm(QWidget* parent, const ReportDefinition& def, ReportRows& rows, ReportEnvironment env,
              int destination);
  ~TReportForm() override;

  QLabel* Label1 = nullptr;
  QPushButton* BitBtn1 = nullptr;
  report::TPrinterReport MyPrinterReport;
  report::TStreamReport MyStreamReport;

  int Destination() const { return destination_; }
  // The text file of destination 3.
  void SetTextFileName(const std::filesystem::path& file) { generator_.SetTextFileName(file); }
  ReportGenerator& Generator() { return generator_; }
  // MyPrinterReport for the printer, MyStreamReport otherwise.
  report::TBaseReport& ActiveReport();
  // The file the printer writes the printout to; empty for paper.
  std::string PrintoutFile() const;
  // The run stopped before its end (Cancel, a failure, or a text file that
  // could not be written).
  bool Aborted() const { return aborted_; }
  bool Running() const { return running_; }

  void FormActivate();
  void BitBtn1Click();

 protected:
  void showEvent(QShowEvent* event) override;
  // The status window keeps the system's colours.
  void SetColors() override {}
  void reject() override;
  void closeEvent(QCloseEvent* event) override;

 private:
  void ShowFinalStatus();
  void FitStatus();

  int destination_;
  ReportGenerator generator_;
  bool shown_ = false, ran_ = false, running_ = false, aborted_ = false;
};

}  // namespace keldro::reports
