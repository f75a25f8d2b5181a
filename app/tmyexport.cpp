#include "tmyexport.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QHeaderView>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTableWidget>

#include <chrono>
#include <cstring>
#include <functional>
#include <optional>
#include <filesystem>
#include <system_error>

#include "app_state.h"
#include "core/backup_restore.h"
#include "core/import_export.h"
#include "core/item_fields.h"
#include "core/item_text_file.h"
#include "core/utilities.h"
#include "grid/ix_table.h"
#include "platform/file_io.h"
#include "platform/text.h"
#include "platform/ui.h"
#include "tmain.h"
#include "ui_utilities.h"

namespace fs = std::filesystem;
namespace ui = platform::ui;

namespace keldro {

namespace {

const std::string& Title(int field) { return Settings.fields[static_cast<size_t>(field - 1)].title; }

// The save dialog of both kinds, starting where the last export went.
ui::FileDialogResult ChooseExportFile(const char* extension, const char* filter) {
  ui::FileDialogRequest request;
  request.save = true;
  request.title = "Export Data";
  request.defaultExt = extension;
  request.filter = filter;
  request.overwritePrompt = true;
  request.pathMustExist = true;
  request.initialDir = fs::path(Settings.lastExportFile).parent_path().string();
  return ui::Current().FileDialog(request);
}

}  // namespace

TMyExport::TMyExport(TMain& main, QWidget* parent) : TDialog(parent, {640, 480}, 5), main_(main) {
  setObjectName("MyExport");
  setWindowTitle("Export");
  resize(600, 420);
  ExportGrid = new QTableWidget(23, 2, this);
  ExportGrid->setObjectName("ExportGrid");
  ExportGrid->setGeometry(8, 8, 320, 372);
  ExportGrid->horizontalHeader()->hide();
  ExportGrid->verticalHeader()->hide();
  ExportGrid->setEditTriggers(QAbstractItemView::NoEditTriggers);
  ExportGrid->setSelectionMode(QAbstractItemView::SingleSelection);
  ExportGrid->setTabKeyNavigation(true);
  ExportGrid->setColumnWidth(0, 200);
  ExportGrid->setColumnWidth(1, 100);
  auto button = [this](const char* name, const char* caption, int x, int y, int w = 96) {
    auto* b = new QPushButton(QString::fromUtf8(caption), this);
    b->setObjectName(name);
    b->setGeometry(x, y, w, 27);
    b->setAutoDefault(false);
    return b;
  };
  UpButton = button("UpButton", "&Up", 340, 8);
  DownButton = button("DownButton", "&Down", 340, 40);
  DefaultsButton = button("DefaultsButton", "D&efaults", 340, 72);
  StartExportButton = button("StartExportButton", "&Start Export", 448, 8, 104);
  ExitButton = button("ExitButton", "E&xit", 448, 40, 104);
  HelpButton = button("HelpButton", "&Help", 448, 72, 104);
  FirstRow = new QCheckBox("&First Record Contains Field Names", this);
  FirstRow->setObjectName("FirstRow");
  FirstRow->setGeometry(340, 112, 252, 22);
  auto radio = [this](const char* name, const char* caption, int y) {
    auto* r = new QRadioButton(QString::fromUtf8(caption), this);
    r->setObjectName(name);
    r->setGeometry(340, y, 252, 22);
    return r;
  };
  auto* scope = new QWidget(this);
  scope->setGeometry(0, 0, 0, 0);
  ExportEntire = radio("ExportEntire", "Export Entire Database", 144);
  ExportSearch = radio("ExportSearch", "Export Search Criteria", 168);
  AsciiFile = radio("AsciiFile", "Ascii Delimited Text File", 204);
  DBaseFile = radio("DBaseFile", "DBase File (DBF)", 228);
  // Two groups of two: scope and kind.
  for (QRadioButton* r : {ExportEntire, ExportSearch}) r->setAutoExclusive(false);
  for (QRadioButton* r : {AsciiFile, DBaseFile}) r->setAutoExclusive(false);
  connect(ExportEntire, &QRadioButton::clicked, this, [this] { ExportEntire->setChecked(true); ExportSearch->setChecked(false); });
  connect(ExportSearch, &QRadioButton::clicked, this, [this] { ExportSearch->setChecked(true); ExportEntire->setChecked(false); });
  connect(AsciiFile, &QRadioButton::clicked, this, &TMyExport::AsciiFileClick);
  connect(DBaseFile, &QRadioButton::clicked, this, &TMyExport::DBaseFileClick);
  InfoLabel = new QLabel(
      "To have a field included in the export, select \"Yes\".  To exclude it, select \"No\".  "
      "Double click on the field to toggle between Yes and No.",
      this);
  InfoLabel->setObjectName("InfoLabel");
  InfoLabel->setWordWrap(true);
  InfoLabel->setGeometry(340, 258, 252, 72);
  GaugeLabel = new QLabel("Export Progress", this);
  GaugeLabel->setObjectName("GaugeLabel");
  GaugeLabel->setGeometry(340, 336, 252, 18);
  MyGauge = new QProgressBar(this);
  MyGauge->setObjectName("MyGauge");
  MyGauge->setGeometry(340, 356, 252, 22);
  MyGauge->setStyleSheet("QProgressBar::chunk { background: red; }");
  MyGauge->setValue(0);

  connect(ExportGrid, &QTableWidget::cellDoubleClicked, this, &TMyExport::ExportGridDblClick);
  connect(UpButton, &QPushButton::clicked, this, &TMyExport::UpButtonClick);
  connect(DownButton, &QPushButton::clicked, this, &TMyExport::DownButtonClick);
  connect(DefaultsButton, &QPushButton::clicked, this, &TMyExport::DefaultsButtonClick);
  connect(StartExportButton, &QPushButton::clicked, this, &TMyExport::StartExportButtonClick);
  connect(ExitButton, &QPushButton::clicked, this, &TMyExport::ExitButtonClick);
  connect(HelpButton, &QPushButton::clicked, this, &TMyExport::HelpButtonClick);
  connect(FirstRow, &QCheckBox::clicked, this, &TMyExport::FirstRowClick);
  // FormCreate
  FirstRow->setChecked(Settings.exportFirstRow);
  SaveSharedDesign<TMyExport>();
}

void TMyExport::FormPlaced() {
  if (y() > 10) move(x(), y() - 10);
  auto set = [this](int row, int column, const std::string& text) {
    auto* item = new QTableWidgetItem(FromAnsi(text));
    ExportGrid->setItem(row, column, item);
  };
  set(0, 0, "FIELD");
  set(0, 1, "EXPORT IT");
  for (int f = 1; f <= kItemFieldCount; ++f) {
    const FieldSettings& fs = Settings.fields[static_cast<size_t>(f - 1)];
    int row = fs.exportOrder >= 1 && fs.exportOrder <= kItemFieldCount ? fs.exportOrder : f;
    // A damaged order in the settings: the first free row below.
    while (ExportGrid->item(row, 0) != nullptr && row < kItemFieldCount) ++row;
    set(row, 0, fs.title);
    set(row, 1, fs.exportField ? "Yes" : "No");
  }
  for (int r = 0; r <= kItemFieldCount; ++r)
    for (int c = 0; c < 2; ++c)
      if (ExportGrid->item(r, c) == nullptr) set(r, c, "");
  ExportGrid->setColumnWidth(0, static_cast<int>(200 * ScaleFactor));
  ExportGrid->setColumnWidth(1, static_cast<int>(100 * ScaleFactor));
}

void TMyExport::FormShow() {
  if (SearchActive) {
    ExportSearch->setEnabled(true);
    ExportSearch->setChecked(true);
    ExportEntire->setChecked(false);
  } else {
    ExportEntire->setChecked(true);
    ExportSearch->setChecked(false);
    ExportSearch->setEnabled(false);
  }
  if (Settings.exportFileType == 2)
    DBaseFileClick();
  else
    AsciiFileClick();
  ExportGrid->setCurrentCell(1, 0);
}

void TMyExport::ExportGridDblClick(int row, int column) {
  if (row < 1 || row > kItemFieldCount || column != 1) return;
  QTableWidgetItem* cell = ExportGrid->item(row, 1);
  if (cell == nullptr) return;
  cell->setText(cell->text() == "Yes" ? "No" : "Yes");
}

void TMyExport::SwapRows(int a, int b) {
  for (int c = 0; c < 2; ++c) {
    QTableWidgetItem* ia = ExportGrid->takeItem(a, c);
    QTableWidgetItem* ib = ExportGrid->takeItem(b, c);
    ExportGrid->setItem(a, c, ib);
    ExportGrid->setItem(b, c, ia);
  }
  ExportGrid->setCurrentCell(b, ExportGrid->currentColumn() < 0 ? 0 : ExportGrid->currentColumn());
}

void TMyExport::UpButtonClick() {
  const int row = ExportGrid->currentRow();
  if (row > 1 && row <= kItemFieldCount) SwapRows(row, row - 1);
}

void TMyExport::DownButtonClick() {
  const int row = ExportGrid->currentRow();
  if (row >= 1 && row < kItemFieldCount) SwapRows(row, row + 1);
}

void TMyExport::DefaultsButtonClick() {
  if (ui::ShowMessage("This will set the order of fields to the program defaults.  Continue?", "Re-Order",
                      ui::Buttons::YesNo) != ui::Answer::Yes)
    return;
  for (int f = 1; f <= kItemFieldCount; ++f) {
    ExportGrid->item(f, 0)->setText(FromAnsi(Title(f)));
    ExportGrid->item(f, 1)->setText("Yes");
  }
}

void TMyExport::AsciiFileClick() {
  AsciiFile->setChecked(true);
  DBaseFile->setChecked(false);
  FirstRow->setVisible(true);
  FirstRow->setEnabled(true);
}

void TMyExport::DBaseFileClick() {
  DBaseFile->setChecked(true);
  AsciiFile->setChecked(false);
  FirstRow->setVisible(false);
  FirstRow->setEnabled(false);
}

void TMyExport::FirstRowClick() { Settings.exportFirstRow = FirstRow->isChecked(); }

void TMyExport::UpdateConfigs() {
  for (int f = 1; f <= kItemFieldCount; ++f) {
    FieldSettings& fs = Settings.fields[static_cast<size_t>(f - 1)];
    for (int row = 1; row <= kItemFieldCount; ++row) {
      if (ToAnsi(ExportGrid->item(row, 0)->text()) != fs.title) continue;
      fs.exportOrder = row;
      fs.exportField = ExportGrid->item(row, 1)->text() == "Yes";
      break;
    }
  }
}

void TMyExport::CalcIndexOrder() {
  UpdateConfigs();
  fields_ = ExportFields(Settings);
}

void TMyExport::closeEvent(QCloseEvent* event) {
  FormClose();
  QDialog::closeEvent(event);
}

void TMyExport::FormClose() {
  if (closing_) return;
  closing_ = true;
  Settings.exportFileType = DBaseFile->isChecked() ? 2 : 1;
  UpdateConfigs();
}

void TMyExport::ExitButtonClick() {
  FormClose();
  accept();
}

void TMyExport::HelpButtonClick() {
  ShowHelp("Export Window");
}

void TMyExport::StartExportButtonClick() {
  CalcIndexOrder();
  searchOnly_ = !ExportEntire->isChecked();
  if (fields_.empty()) {
    ui::ShowMessage("No fields selected for export.", "Error");
    return;
  }
  if (DBaseFile->isChecked())
    DoDBase();
  else
    DoAscii();
}

bool TMyExport::IsOpenDatabase(const std::string& path) const {
  return !main_.CurrentDatabase().empty() && SameFile(path, main_.CurrentDatabase());
}

bool TMyExport::RecordWalk(const std::function<void()>& write) {
  framework::TTable& table = main_.MyTable;
  // Ended for an export of everything, back on at every exit.
  const bool endedSearch = !searchOnly_ && SearchActive;
  if (endedSearch) main_.DoEndSearch();
  ui::BusyCursor busy;
  struct Restore {
    TMain& main;
    bool search;
    ~Restore() {
      main.MyTable.EnableControls();
      if (search) {
        main.EnableEndSearch();
        try {
          main.MyTable.Close();
          main.MyTable.Open();
        } catch (const framework::Exception&) {
        }
        main.DisplayCount();
      }
    }
  } restore{main_, endedSearch};
  const int count = grid::GetRecordCount(table);
  MyGauge->setRange(0, count > 0 ? count : 1);
  MyGauge->setValue(0);
  table.DisableControls();
  table.First();
  auto last = std::chrono::steady_clock::now();
  auto advance = [&](int done) {
    const auto now = std::chrono::steady_clock::now();
    if (now - last >= std::chrono::milliseconds(100) || done == count) {
      MyGauge->setValue(done);
      QApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
      last = now;
    }
  };
  for (int i = 1; i <= count - 1; ++i) {
    advance(i);
    if (!table.Eof()) write();
    table.Next();
  }
  if (count > 0) {
    if (!table.Eof()) write();
    advance(count);
  }
  return true;
}

void TMyExport::DoAscii() {
  const ui::FileDialogResult chosen = ChooseExportFile("TXT", "Ascii Delimited Text (*.TXT)|*.TXT");
  if (!chosen.accepted) return;
  if (IsOpenDatabase(chosen.fileName)) {
    ui::ShowMessage("The open database cannot be exported onto itself.  Please choose another file.", "Error");
    return;
  }
  // Written beside the target as the walk goes and renamed in: a failed
  // export leaves an old file whole.
  auto failed = [&](int error) {
    ui::ShowMessage("The export file " + chosen.fileName + " could not be written: " + std::strerror(error) + ".",
                    "Error");
    MyGauge->setValue(0);
  };
  ItemTextFileWriter file;
  int error = 0;
  if (!file.Open(chosen.fileName, &error)) return failed(error);
  if (Settings.exportFirstRow) {
    std::vector<std::string> titles;
    for (int f : fields_) titles.push_back(Title(f));
    file.Append(ItemTextLine(titles));
  }
  try {
    // Its fields are found once the walk has the table as it walks it.
    std::optional<ItemTextExporter> exporter;
    RecordWalk([&] {
      if (!exporter) exporter.emplace(main_.MyTable, fields_);
      file.Append(*exporter);
    });
  } catch (const framework::Exception& e) {
    ui::ShowMessage(e.Message(), "Error");
    MyGauge->setValue(0);
    return;
  }
  if (!file.Finish(&error)) return failed(error);
  Settings.lastExportFile = chosen.fileName;
  ui::ShowMessage("Export Complete.", "Ok");
  MyGauge->setValue(0);
  ExitButtonClick();
}

void TMyExport::DoDBase() {
  const ui::FileDialogResult chosen = ChooseExportFile("DBF", "DBase (*.DBF)|*.DBF");
  if (!chosen.accepted) return;
  const std::string& name = chosen.fileName;
  if (name.size() < 4 || platform::AnsiUpper(name.substr(name.size() - 4)) != ".DBF") {
    ui::ShowMessage("Invalid file type selected.", "Error");
    return;
  }
  if (IsOpenDatabase(name)) {
    ui::ShowMessage("The open database cannot be exported onto itself.  Please choose another file.", "Error");
    return;
  }
  // Built beside the target in one batch (one sync at its end) and renamed
  // in when whole: a failure anywhere leaves the target as it was.
  std::string failure;
  try {
    DBaseExportWriter writer(MyExportTable, fs::path(name), fields_);
    RecordWalk([&] { writer.Write(main_.MyTable); });
    failure = writer.Finish();
    if (!failure.empty()) failure = "The export file " + name + " could not be written: " + failure + ".";
  } catch (const framework::Exception& e) {
    failure = e.Message();
  }
  if (!failure.empty()) {
    ui::ShowMessage(failure, "Error");
    MyGauge->setValue(0);
    return;
  }
  Settings.lastExportFile = name;
  ui::ShowMessage("Export Complete.", "Ok");
  MyGauge->setValue(0);
  ExitButtonClick();
}

}  // namespace keldro

#include "moc_tmyexport.cpp"
