// TMyReport, the "Reports" window: lists the report definitions of
// "KELDRO.URP" in file order and runs the chosen one to the printer, the
// preview or a text file, over the whole table or the current search.
#pragma once

#include <functional>
#include <string>

#include <QSize>

#include "core/utilities.h"
#include "reports/report_generator.h"
#include "tdialog.h"

class QLabel;
class QListWidget;
class QPushButton;
class QRadioButton;
class QFrame;

namespace framework {
class TDataSet;
}

namespace keldro::reports {

inline constexpr std::string_view kNoReportSelected = "No Report has been selected.  Please choose one.";
inline constexpr std::string_view kReportFormatMissing = "Report format could not be located.";
inline constexpr std::string_view kNoSortOrder = "No Sort Order Selected";

// The sort levels in use as their field titles, "Category, Item"; the
// text for no level when none is set.
std::string SortOrderText(const SortLevels& levels, const AppSettings& settings);

class TMyReport : public TDialog {
  Q_OBJECT
 public:
  // How the window ends the main window's search for a run over the whole
  // table, and switches it on again afterwards.
  struct SearchHooks {
    std::function<void()> endSearch;
    std::function<void()> resumeSearch;
  };
  TMyReport(QWidget* parent, framework::TDataSet& table, SearchHooks hooks, QSize screen);
  ~TMyReport() override;

  QLabel *WhatLabel = nullptr, *StyleLabel = nullptr, *Label1 = nullptr, *SortOrderLabel = nullptr;
  QRadioButton *ExportSearch = nullptr, *ExportEntire = nullptr;
  QListWidget* ReportBox = nullptr;
  QFrame* Panel1 = nullptr;
  QPushButton *ViewButton = nullptr, *PrintButton = nullptr, *FileButton = nullptr, *NewButton = nullptr,
              *ModifyButton = nullptr, *InsButton = nullptr, *HelpButton = nullptr, *ExitButton = nullptr;

  void LoadReportBox();
  void SetColors() override;
  void ViewButtonClick() { DoIt(kToPreview); }
  void PrintButtonClick() { DoIt(kToPrinter); }
  void FileButtonClick();
  void NewButtonClick();
  void ModifyButtonClick();
  void InsButtonClick();
  // After the editor saved (index of the record) or deleted (-1): the list
  // read again from the file, the saved definition selected.
  void ShowSaved(int index);
  void HelpButtonClick();
  void ExitButtonClick() { close(); }
  void DoIt(int destination);

  // Whether the last run was stopped before its end.
  bool LastRunAborted() const { return lastRunAborted_; }

 protected:
  void FormPlaced() override;
  void FormShow() override;
  void done(int result) override;

 private:
  void FormCreate();
  void FormClose();
  void ShowError(std::string_view text);

  framework::TDataSet& table_;
  SearchHooks hooks_;
  std::string saveFileName_;
  bool lastRunAborted_ = false;
};

}  // namespace keldro::reports
