// Import: the chooser TImportFormat (text or dBASE source, file dialog, the
// first-line check) and the mapping window TMyImport, where the source
// columns are lined up against the 22 inventory fields and the import runs.
// An import is all or nothing: every line is read and converted first, and
// the records are appended only when none is bad, in one batch of the
// engine's that reaches the file whole at its end or not at all.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "tdialog.h"

#include "core/import_export.h"
#include "framework/dbtables.h"

class QCheckBox;
class QLabel;
class QPushButton;
class QRadioButton;
class QTableWidget;

namespace keldro {

class TMain;

class TMyImport : public TDialog {
  Q_OBJECT
 public:
  // kind 1 text file, 2 dBASE table.
  TMyImport(TMain& main, int kind, QWidget* parent = nullptr);

  QTableWidget* ImportGrid = nullptr;
  QPushButton *UpButton = nullptr, *DownButton = nullptr, *StartButton = nullptr, *ExitButton = nullptr,
              *HelpButton = nullptr;
  QCheckBox* SkipFirst = nullptr;
  QLabel *InfoLabel = nullptr, *CountLabel = nullptr;
  framework::TTable MyOpenTable;

  // The source file and its columns (set by the chooser before showing).
  std::string FileName;
  std::vector<std::string> ColumnNames;
  // 0 good, 1-3 the first-line codes.
  int GetFirstLine(const std::string& content);
  void GetDBFInfo();
  // Opens the dBASE source read-only, reads its columns and closes it.
  void OpenDBFInfo();

  void UpButtonClick();
  void DownButtonClick();
  void ImportGridDblClick(int row, int column);
  void SkipFirstClick();
  void StartButtonClick();
  void ExitButtonClick();
  void HelpButtonClick();

  // The records appended by the last import.
  int ImportedCount() const { return imported_; }
  // The mapping as the grid shows it.
  std::vector<MappingRow> MappingRows() const;

 protected:
  void FormPlaced() override;
  void FormShow() override;

 private:
  void SwapRows(int a, int b);
  // The first pass: every record read and converted, none kept for a text
  // file (the second pass reads it again as it appends).
  bool ReadSource(ImportCheck& check, const std::string& content);
  // Appends what `produce` hands to its sink.
  bool Append(const std::function<void(const RecordSink&)>& produce);
  void SetTableLocation();

  TMain& main_;
  int kind_;
  int imported_ = 0;
};

class TImportFormat : public TDialog {
  Q_OBJECT
 public:
  explicit TImportFormat(TMain& main, QWidget* parent = nullptr);

  QRadioButton *AsciiDelimited = nullptr, *DBFFormat = nullptr;
  QPushButton *FileButton = nullptr, *CancelButton = nullptr;

  void FileButtonClick();
  void CancelButtonClick();
  // The mapping window shown by the last FileButtonClick (null after it closed).
  TMyImport* Import() const { return import_; }

 protected:
  void FormPlaced() override;
  void closeEvent(QCloseEvent* event) override;

 private:
  void FormClose();
  void DoAscii();
  void DoDBF();
  void ShowImport(TMyImport& import);

  TMain& main_;
  TMyImport* import_ = nullptr;
};

}  // namespace keldro
