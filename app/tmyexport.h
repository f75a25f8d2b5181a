// TMyExport, the Export window: the records of the inventory, all of them or
// those of the active search, written to an item text file or a new dBASE
// table, with the fields and their order chosen in its grid.
#pragma once

#include <string>
#include <vector>

#include "tdialog.h"

#include "framework/dbtables.h"

class QCheckBox;
class QLabel;
class QProgressBar;
class QPushButton;
class QRadioButton;
class QTableWidget;

namespace keldro {

class TMain;

class TMyExport : public TDialog {
  Q_OBJECT
 public:
  explicit TMyExport(TMain& main, QWidget* parent = nullptr);

  QTableWidget* ExportGrid = nullptr;
  QPushButton *UpButton = nullptr, *DownButton = nullptr, *DefaultsButton = nullptr, *StartExportButton = nullptr,
              *ExitButton = nullptr, *HelpButton = nullptr;
  QCheckBox* FirstRow = nullptr;
  QRadioButton *ExportEntire = nullptr, *ExportSearch = nullptr, *AsciiFile = nullptr, *DBaseFile = nullptr;
  QProgressBar* MyGauge = nullptr;
  QLabel *GaugeLabel = nullptr, *InfoLabel = nullptr;
  framework::TTable MyExportTable;

  void ExportGridDblClick(int row, int column);
  void UpButtonClick();
  void DownButtonClick();
  void DefaultsButtonClick();
  void AsciiFileClick();
  void DBaseFileClick();
  void FirstRowClick();
  void UpdateConfigs();
  void CalcIndexOrder();
  void StartExportButtonClick();
  void HelpButtonClick();
  void ExitButtonClick();

  // The fields of the working list, in export order (after CalcIndexOrder).
  const std::vector<int>& SelectedFields() const { return fields_; }

 protected:
  void FormPlaced() override;
  void FormShow() override;
  void closeEvent(QCloseEvent* event) override;

 private:
  void FormClose();
  void DoAscii();
  void DoDBase();
  // Walks the records to export, calling `write` on each; true when it ran
  // to the end. Controls, search and cursor are restored on every exit.
  bool RecordWalk(const std::function<void()>& write);
  void SwapRows(int a, int b);
  bool IsOpenDatabase(const std::string& path) const;

  TMain& main_;
  std::vector<int> fields_;
  bool searchOnly_ = false;
  bool closing_ = false;
};

}  // namespace keldro
