#include "tmyimport.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QTableWidget>

#include <chrono>
#include <filesystem>
#include <system_error>

#include "app_state.h"
#include "core/item_fields.h"
#include "core/item_text_file.h"
#include "core/utilities.h"
#include "platform/file_io.h"
#include "platform/text.h"
#include "platform/ui.h"
#include "tmain.h"
#include "ui_utilities.h"

namespace fs = std::filesystem;
namespace ui = platform::ui;

namespace keldro {

namespace {

constexpr int kColumnRole = Qt::UserRole + 1;

bool HasDbfEnding(const std::string& name) {
  return name.size() >= 4 && platform::AnsiUpper(name.substr(name.size() - 4)) == ".DBF";
}

// A value of a dBASE source for an inventory field, taken by value.
bool FromSourceField(const framework::TField& source, const ItemField& target, ImportValue& out,
                     std::string& reason) {
  out = ImportValue{};
  if (source.IsNull()) return true;
  const framework::TFieldType type = source.DataType();
  const bool numeric = type == framework::ftSmallint || type == framework::ftInteger ||
                       type == framework::ftWord || type == framework::ftFloat || type == framework::ftCurrency ||
                       type == framework::ftBCD;
  const bool date = type == framework::ftDate || type == framework::ftDateTime;
  switch (target.typeCode) {
    case kIntegerField:
      if (numeric) {
        out.blank = false;
        out.integer = static_cast<long long>(source.AsFloat() < 0 ? source.AsFloat() - 0.5 : source.AsFloat() + 0.5);
        return true;
      }
      break;
    case kFloatField:
      if (numeric) {
        out.blank = false;
        out.number = source.AsFloat();
        return true;
      }
      break;
    case kDateField:
      if (date) {
        out.blank = false;
        out.date = source.AsDateTime();
        return true;
      }
      break;
    default:
      break;
  }
  // Text, and text into typed fields, by the rules of the text file.
  return ConvertImportValue(target.typeCode, target.width, source.AsString().substr(0, kItemTextValueLimit), out,
                            reason);
}

}  // namespace

// ------------------------------------------------------------------ TMyImport

TMyImport::TMyImport(TMain& main, int kind, QWidget* parent)
    : TDialog(parent, {640, 480}, 5), main_(main), kind_(kind) {
  setObjectName("MyImport");
  resize(600, 420);
  ImportGrid = new QTableWidget(23, 3, this);
  ImportGrid->setObjectName("ImportGrid");
  ImportGrid->setGeometry(8, 8, 420, 400);
  ImportGrid->horizontalHeader()->hide();
  ImportGrid->verticalHeader()->hide();
  ImportGrid->setEditTriggers(QAbstractItemView::NoEditTriggers);
  ImportGrid->setSelectionMode(QAbstractItemView::SingleSelection);
  ImportGrid->setTabKeyNavigation(true);
  auto button = [this](const char* name, const char* caption, int y) {
    auto* b = new QPushButton(QString::fromUtf8(caption), this);
    b->setObjectName(name);
    b->setGeometry(440, y, 150, 27);
    b->setAutoDefault(false);
    return b;
  };
  UpButton = button("UpButton", "&Up", 8);
  DownButton = button("DownButton", "&Down", 40);
  StartButton = button("StartButton", "&Start Import", 80);
  ExitButton = button("ExitButton", "E&xit", 112);
  HelpButton = button("HelpButton", "&Help", 144);
  SkipFirst = new QCheckBox("Skip First Record", this);
  SkipFirst->setObjectName("SkipFirst");
  SkipFirst->setGeometry(440, 184, 150, 22);
  InfoLabel = new QLabel(
      "Use the Up and Down buttons to match the Stashwell fields with the import fields.  \"Yes\" in the "
      "\"USE\" column includes a field; double click on that column to toggle between Yes and No.",
      this);
  InfoLabel->setObjectName("InfoLabel");
  InfoLabel->setWordWrap(true);
  InfoLabel->setGeometry(440, 216, 150, 120);
  CountLabel = new QLabel(this);
  CountLabel->setObjectName("CountLabel");
  CountLabel->setGeometry(440, 344, 150, 20);
  connect(UpButton, &QPushButton::clicked, this, &TMyImport::UpButtonClick);
  connect(DownButton, &QPushButton::clicked, this, &TMyImport::DownButtonClick);
  connect(StartButton, &QPushButton::clicked, this, &TMyImport::StartButtonClick);
  connect(ExitButton, &QPushButton::clicked, this, &TMyImport::ExitButtonClick);
  connect(HelpButton, &QPushButton::clicked, this, &TMyImport::HelpButtonClick);
  connect(SkipFirst, &QCheckBox::clicked, this, &TMyImport::SkipFirstClick);
  connect(ImportGrid, &QTableWidget::cellDoubleClicked, this, &TMyImport::ImportGridDblClick);
  // FormCreate
  SkipFirst->setChecked(Settings.importSkipFirst);
  SaveSharedDesign<TMyImport>();
}

int TMyImport::GetFirstLine(const std::string& content) {
  std::size_t pos = 0;
  const ItemTextRecord first = ReadItemTextRecord(content, pos);
  const int code = FirstLineCode(first);
  ColumnNames = code == 0 ? ItemTextColumnNames(first) : std::vector<std::string>();
  return code;
}

void TMyImport::SetTableLocation() {
  const fs::path file(FileName);
  MyOpenTable.Close();
  MyOpenTable.SetDatabaseName(file.parent_path().string());
  // The table is the file name without its final extension.
  MyOpenTable.SetTableName(file.filename().string());
  MyOpenTable.SetTableType(framework::ttDBase);
  MyOpenTable.SetReadOnly(true);
}

void TMyImport::OpenDBFInfo() {
  SetTableLocation();
  MyOpenTable.Open();
  GetDBFInfo();
  MyOpenTable.Close();
}

void TMyImport::GetDBFInfo() {
  ColumnNames.clear();
  for (int i = 0; i < MyOpenTable.FieldCount(); ++i) ColumnNames.push_back(MyOpenTable.Fields(i)->FieldName().substr(0, 20));
}

void TMyImport::FormPlaced() {
  if (y() > 10) move(x(), y() - 10);
  setWindowTitle(kind_ == 2 ? "DBase File Import" : "Ascii Delimited Text Import");
  SkipFirst->setVisible(kind_ != 2);
  SkipFirst->setEnabled(kind_ != 2);
  const int n = static_cast<int>(ColumnNames.size());
  ImportGrid->setRowCount(std::max(n, kItemFieldCount) + 1);
  auto set = [this](int row, int column, const std::string& text) {
    ImportGrid->setItem(row, column, new QTableWidgetItem(FromAnsi(text)));
  };
  set(0, 0, "STASHWELL FIELDS");
  set(0, 1, "IMPORT FIELDS");
  set(0, 2, "USE");
  for (int r = 1; r < ImportGrid->rowCount(); ++r) {
    set(r, 0, r <= kItemFieldCount ? Settings.fields[static_cast<size_t>(r - 1)].title : "");
    set(r, 1, r <= n ? ColumnNames[static_cast<size_t>(r - 1)] : "<EMPTY>");
    // Each row keeps the source column it holds, however names repeat.
    ImportGrid->item(r, 1)->setData(kColumnRole, r <= n ? r : 0);
    set(r, 2, r <= n ? "Yes" : "");
  }
  ImportGrid->setColumnWidth(0, static_cast<int>(179 * ScaleFactor));
  ImportGrid->setColumnWidth(1, static_cast<int>(179 * ScaleFactor));
  ImportGrid->setColumnWidth(2, static_cast<int>(38 * ScaleFactor));
}

void TMyImport::FormShow() {
  ImportGrid->setCurrentCell(1, 1);
}

void TMyImport::SwapRows(int a, int b) {
  for (int c = 1; c < 3; ++c) {
    QTableWidgetItem* ia = ImportGrid->takeItem(a, c);
    QTableWidgetItem* ib = ImportGrid->takeItem(b, c);
    ImportGrid->setItem(a, c, ib);
    ImportGrid->setItem(b, c, ia);
  }
  ImportGrid->setCurrentCell(b, std::max(1, ImportGrid->currentColumn()));
}

void TMyImport::UpButtonClick() {
  const int row = ImportGrid->currentRow();
  if (row > 1) SwapRows(row, row - 1);
}

void TMyImport::DownButtonClick() {
  const int row = ImportGrid->currentRow();
  if (row >= 1 && row < ImportGrid->rowCount() - 1) SwapRows(row, row + 1);
}

void TMyImport::ImportGridDblClick(int row, int column) {
  if (row < 1 || column != 2) return;
  QTableWidgetItem* cell = ImportGrid->item(row, 2);
  if (cell == nullptr || cell->text().isEmpty()) return;
  cell->setText(cell->text() == "Yes" ? "No" : "Yes");
}

void TMyImport::SkipFirstClick() { Settings.importSkipFirst = SkipFirst->isChecked(); }

std::vector<MappingRow> TMyImport::MappingRows() const {
  std::vector<MappingRow> rows;
  for (int r = 1; r <= kItemFieldCount && r < ImportGrid->rowCount(); ++r)
    rows.push_back({ImportGrid->item(r, 1)->data(kColumnRole).toInt(), ImportGrid->item(r, 2)->text() == "Yes"});
  return rows;
}

bool TMyImport::ReadSource(ImportCheck& check, const std::string& content) {
  const std::vector<int> targets = ColumnTargets(MappingRows(), ColumnNames.size());
  if (kind_ != 2) {
    check = CheckTextImport(content, ColumnNames.size(), targets, Settings.importSkipFirst, [](const ImportRecord&) {});
    return true;
  }
  try {
    SetTableLocation();
    MyOpenTable.Open();
    std::size_t record = 0;
    for (MyOpenTable.First(); !MyOpenTable.Eof(); MyOpenTable.Next()) {
      ++record;
      ImportRecord values(kItemFieldCount);
      bool good = true;
      for (int i = 0; i < MyOpenTable.FieldCount() && static_cast<std::size_t>(i) < targets.size() && good; ++i) {
        const ItemField* field = ItemFieldByNumber(targets[static_cast<std::size_t>(i)]);
        if (field == nullptr) continue;
        std::string reason;
        if (!FromSourceField(*MyOpenTable.Fields(i), *field, values[static_cast<std::size_t>(field->number - 1)],
                             reason)) {
          if (check.badLines++ == 0) {
            check.firstBadLine = record;
            check.firstBadValue = static_cast<std::size_t>(i) + 1;
            check.firstReason = reason;
          }
          good = false;
        }
      }
      if (good) {
        ++check.goodRecords;
        check.records.push_back(std::move(values));
      }
    }
    MyOpenTable.Close();
  } catch (const framework::Exception& e) {
    MyOpenTable.Close();
    ui::ShowMessage(e.Message(), "Error");
    return false;
  }
  return true;
}

bool TMyImport::Append(const std::function<void(const RecordSink&)>& produce) {
  auto last = std::chrono::steady_clock::now();
  auto draw = [&](bool force) {
    const auto now = std::chrono::steady_clock::now();
    if (!force && now - last < std::chrono::milliseconds(100)) return;
    CountLabel->setText(QString::fromStdString(platform::Cp1252ToUtf8(FormatNumberIntl(imported_, 1, 0, Settings.numericFormat, Intl))));
    QApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    last = now;
  };
  // One batch: the records reach the file together at the end, or none do.
  const ImportOutcome outcome = AppendImport(main_.MyTable, produce, [&](std::size_t appended) {
    imported_ = static_cast<int>(appended);
    draw(false);
  });
  imported_ = static_cast<int>(outcome.appended);
  if (outcome.ok) {
    draw(true);
    return true;
  }
  // What a rollback could not undo now, the engine undoes when it opens the
  // table again: the database is as it was once it is open.
  const bool asItWas = outcome.restored || main_.ReopenShared();
  draw(true);
  std::string text = outcome.error + "\n\nThe import was stopped.";
  if (asItWas)
    text += "  Nothing of it was added; the database is as it was.";
  else
    text += "  The database could not be opened again; what the import had added is taken out when it is next "
            "opened.";
  ui::ShowMessage(text, "Error");
  return false;
}

void TMyImport::StartButtonClick() {
  if (kind_ == 2 && !main_.CurrentDatabase().empty() && SameFile(FileName, main_.CurrentDatabase())) {
    ui::ShowMessage("The open database cannot be imported into itself.  Please choose another file.", "Error");
    return;
  }
  ui::BusyCursor busy;
  imported_ = 0;
  std::string content;
  if (kind_ != 2 && platform::ReadWholeFile(FileName, content) != platform::ReadStatus::kOk) {
    ui::ShowMessage("The file " + FileName + " could not be read.", "Error");
    return;
  }
  ImportCheck check;
  if (!ReadSource(check, content)) return;
  if (check.badLines > 0) {
    ui::ShowMessage(ImportRefusedText(check), "Error");
    return;
  }
  main_.MyTable.DisableControls();
  const std::vector<int> targets = ColumnTargets(MappingRows(), ColumnNames.size());
  const bool done = Append([&](const RecordSink& sink) {
    if (kind_ == 2) {
      for (const ImportRecord& record : check.records) sink(record);
    } else {
      CheckTextImport(content, ColumnNames.size(), targets, Settings.importSkipFirst, sink);
    }
  });
  main_.MyTable.EnableControls();
  main_.DisplayCount();
  if (!done) return;
  ui::ShowMessage("Import Complete.", "Ok");
  ExitButtonClick();
}

void TMyImport::ExitButtonClick() { accept(); }

void TMyImport::HelpButtonClick() {
  ShowHelp("Import Window");
}

// ------------------------------------------------------------------ TImportFormat

TImportFormat::TImportFormat(TMain& main, QWidget* parent) : TDialog(parent, {640, 480}, 5), main_(main) {
  setObjectName("ImportFormat");
  setWindowTitle("Import Format");
  resize(260, 130);
  AsciiDelimited = new QRadioButton("Ascii Delimited File", this);
  AsciiDelimited->setObjectName("AsciiDelimited");
  AsciiDelimited->setGeometry(16, 12, 230, 22);
  DBFFormat = new QRadioButton("DBase File (DBF)", this);
  DBFFormat->setObjectName("DBFFormat");
  DBFFormat->setGeometry(16, 38, 230, 22);
  FileButton = new QPushButton("Select &File", this);
  FileButton->setObjectName("FileButton");
  FileButton->setGeometry(16, 84, 110, 27);
  CancelButton = new QPushButton("&Cancel", this);
  CancelButton->setObjectName("CancelButton");
  CancelButton->setGeometry(136, 84, 110, 27);
  connect(FileButton, &QPushButton::clicked, this, &TImportFormat::FileButtonClick);
  connect(CancelButton, &QPushButton::clicked, this, &TImportFormat::CancelButtonClick);
  SaveSharedDesign<TImportFormat>();
}

void TImportFormat::FormPlaced() {
  (Settings.importFileType == 2 ? DBFFormat : AsciiDelimited)->setChecked(true);
}

void TImportFormat::closeEvent(QCloseEvent* event) {
  FormClose();
  QDialog::closeEvent(event);
}

void TImportFormat::FormClose() {
  Settings.importFileType = DBFFormat->isChecked() && !AsciiDelimited->isChecked() ? 2 : 1;
}

void TImportFormat::CancelButtonClick() {
  FormClose();
  reject();
}

void TImportFormat::FileButtonClick() {
  if (DBFFormat->isChecked())
    DoDBF();
  else
    DoAscii();
}

void TImportFormat::ShowImport(TMyImport& import) {
  import.Screen = Screen;
  import_ = &import;
  import.exec();
  import_ = nullptr;
  // Closing the mapping window closes the chooser too.
  if (import.result() == QDialog::Accepted) {
    FormClose();
    accept();
  }
}

void TImportFormat::DoAscii() {
  ui::FileDialogRequest request;
  request.title = "Import Data";
  request.defaultExt = "TXT";
  request.filter = "Ascii Delimited Text (*.TXT)|*.TXT";
  request.fileMustExist = true;
  request.initialDir = fs::path(Settings.lastImportFile).parent_path().string();
  const ui::FileDialogResult chosen = ui::Current().FileDialog(request);
  if (!chosen.accepted) return;
  TMyImport import(main_, 1, this);
  import.FileName = chosen.fileName;
  std::string content;
  if (platform::ReadWholeFile(chosen.fileName, content) != platform::ReadStatus::kOk) {
    ui::ShowMessage("The file " + chosen.fileName + " could not be read.", "Error");
    return;
  }
  const int code = import.GetFirstLine(content);
  if (code != 0) {
    ui::ShowMessage(FirstLineErrorText(code), "Error");
    return;
  }
  Settings.lastImportFile = chosen.fileName;
  ShowImport(import);
}

void TImportFormat::DoDBF() {
  ui::FileDialogRequest request;
  request.title = "Import Data";
  request.defaultExt = "DBF";
  request.filter = "DBase  (*.DBF)|*.DBF";
  request.fileMustExist = true;
  request.initialDir = fs::path(Settings.lastImportFile).parent_path().string();
  const ui::FileDialogResult chosen = ui::Current().FileDialog(request);
  if (!chosen.accepted) return;
  TMyImport import(main_, 2, this);
  if (!HasDbfEnding(chosen.fileName)) {
    ui::ShowMessage("Invalid file type selected.", "Error");
    return;
  }
  if (!main_.CurrentDatabase().empty() && SameFile(chosen.fileName, main_.CurrentDatabase())) {
    ui::ShowMessage("The open database cannot be imported into itself.  Please choose another file.", "Error");
    return;
  }
  import.FileName = chosen.fileName;
  try {
    import.OpenDBFInfo();
  } catch (const framework::Exception& e) {
    ui::ShowMessage(e.Message(), "Error");
    return;
  }
  Settings.lastImportFile = chosen.fileName;
  ShowImport(import);
}

}  // namespace keldro

#include "moc_tmyimport.cpp"
