#include "tmysearch.h"

#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QStyledItemDelegate>

#include "core/search_filter.h"
#include "framework/sysutils.h"
#include "mask_edit.h"
#include "platform/ui.h"
#include "ui_utilities.h"

namespace ui = platform::ui;

namespace keldro {

namespace {

// Design geometry at scale 1.0.
constexpr int kClientWidth = 640, kClientHeight = 420;
constexpr int kGridLeft = 10, kGridTop = 10, kGridHeight = 350;
constexpr int kButtonTop = 372, kButtonWidth = 112, kButtonHeight = 30, kButtonGap = 10;
// Column widths in units, and the default row height.
constexpr int kFieldColumn = 200, kOptionColumn = 20, kCriteriaColumn = 378, kGridUnits = 600;
constexpr int kDefaultRowHeight = 24;
constexpr int kOptionsWidth = 260, kOptionsHeight = 220;

const QColor kFixedColor(192, 192, 192);
const QColor kOptionColor(128, 128, 128);

int Scaled(int units) { return qRound(units * ScaleFactor); }

// The pick list (1..5) of a pick-list row; 0 for Warranty, which has its own.
int PickListOfRow(int row) {
  switch (row) {
    case 2: return 1;
    case 5: return 2;
    case 7: return 3;
    case 12: return 4;
    case 17: return 5;
    default: return 0;
  }
}

// The criteria cells are edited through the row's edit mask.
class CriterionDelegate : public QStyledItemDelegate {
 public:
  explicit CriterionDelegate(TMySearch* search) : QStyledItemDelegate(search), search_(search) {}

  QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem&, const QModelIndex& index) const override {
    auto* edit = new TMaskEdit(CriterionMask(index.row(), search_->CriterionTypeOf(index.row())), parent);
    edit->setObjectName("CriterionEdit");
    edit->SetDateSeparator(framework::DateSeparator);
    edit->setFrame(false);
    return edit;
  }
  void setEditorData(QWidget* editor, const QModelIndex& index) const override {
    static_cast<TMaskEdit*>(editor)->SetEditText(index.data().toString());
  }
  void setModelData(QWidget* editor, QAbstractItemModel* model, const QModelIndex& index) const override {
    // Blanks after the last character mean nothing to the criterion.
    QString text = static_cast<TMaskEdit*>(editor)->EditText();
    while (text.endsWith(' ')) text.chop(1);
    model->setData(index, text);
  }

 private:
  TMySearch* search_;
};

}  // namespace

// ------------------------------------------------------------ TSearchOptions

TSearchOptions::TSearchOptions(QSize screen, QWidget* parent) : TDialog(parent, screen, 3) {
  setObjectName("SearchOptions");
  setWindowTitle("Search Options");
  ShowOnlyWhenOpened();
  resize(kOptionsWidth, kOptionsHeight);
  FieldNameLabel = new QLabel(this);
  FieldNameLabel->setObjectName("FieldNameLabel");
  FieldNameLabel->setGeometry(10, 8, kOptionsWidth - 20, 20);
  FieldNameLabel->setProperty("majorTitle", true);
  ListBox1 = new QListWidget(this);
  ListBox1->setObjectName("ListBox1");
  ListBox1->setGeometry(10, 32, kOptionsWidth - 20, 136);
  OkButton = new QPushButton("&Ok", this);
  OkButton->setObjectName("OkButton");
  OkButton->setGeometry(30, 178, 90, 30);
  OkButton->setDefault(true);
  CancelButton = new QPushButton("&Cancel", this);
  CancelButton->setObjectName("CancelButton");
  CancelButton->setGeometry(140, 178, 90, 30);
  connect(OkButton, &QPushButton::clicked, this, &QDialog::accept);
  connect(CancelButton, &QPushButton::clicked, this, &QDialog::reject);
  connect(ListBox1, &QListWidget::itemDoubleClicked, this, &QDialog::accept);
  SaveDesign();
}

void TSearchOptions::LoadList(const std::vector<std::string>& list) {
  ListBox1->clear();
  for (const std::string& entry : list) ListBox1->addItem(FromAnsi(entry));
}

void TSearchOptions::FormShow() { ListBox1->setFocus(); }

// --------------------------------------------------------------- TSearchGrid

void TSearchGrid::CommitEdit() {
  const QModelIndex index = currentIndex();
  if (QWidget* editor = index.isValid() ? indexWidget(index) : nullptr) commitData(editor);
}

void TSearchGrid::ReloadEdit() {
  const QModelIndex index = currentIndex();
  if (!index.isValid()) return;
  if (QWidget* editor = indexWidget(index)) closeEditor(editor, QAbstractItemDelegate::NoHint);
  if (index.column() == 2 && index.row() >= 1) edit(index);
}

// ----------------------------------------------------------------- TMySearch

TMySearch::TMySearch(ItemDataSet& table, QWidget* parent) : TDialog(parent, {640, 480}, 3), table_(table) {
  setObjectName("MySearch");
  setWindowTitle("Search");
  ShowOnlyWhenOpened();
  CreateComponents();
  FormCreate();
}

void TMySearch::CreateComponents() {
  resize(kClientWidth, kClientHeight);
  SearchGrid = new TSearchGrid(this);
  SearchGrid->setObjectName("SearchGrid");
  SearchGrid->setGeometry(kGridLeft, kGridTop, kGridUnits + 20, kGridHeight);
  // Row 0 holds the headings; the horizontal header shows them, so that
  // they stay in place while the rows scroll.
  SearchGrid->horizontalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  SearchGrid->horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  SearchGrid->horizontalHeader()->setHighlightSections(false);
  SearchGrid->verticalHeader()->hide();
  SearchGrid->setColumnCount(3);
  SearchGrid->setRowCount(kItemFieldCount + 1);
  SearchGrid->setSelectionMode(QAbstractItemView::SingleSelection);
  SearchGrid->setSelectionBehavior(QAbstractItemView::SelectItems);
  // The cell editor is always open on the current criterion cell.
  SearchGrid->setEditTriggers(QAbstractItemView::CurrentChanged | QAbstractItemView::AllEditTriggers);
  SearchGrid->setTabKeyNavigation(true);
  SearchGrid->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  SearchGrid->setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
  SearchGrid->setItemDelegateForColumn(2, new CriterionDelegate(this));
  for (int r = 0; r <= kItemFieldCount; ++r)
    for (int c = 0; c < 3; ++c) {
      auto* item = new QTableWidgetItem;
      if (r == 0 || c < 2) item->setFlags(Qt::ItemIsEnabled);
      SearchGrid->setItem(r, c, item);
    }
  for (int c = 0; c < 3; ++c) SearchGrid->setHorizontalHeaderItem(c, new QTableWidgetItem);
  SearchGrid->setRowHidden(0, true);
  connect(SearchGrid, &QTableWidget::cellClicked, this, [this](int row, int column) {
    if (column == 1 && row >= 1) OptionClick(row);
  });

  struct ButtonSpec {
    QPushButton** slot;
    const char* name;
    const char* caption;
  };
  const ButtonSpec buttons[] = {{&OkButton, "OkButton", "&Ok"},
                                {&MoreButton, "MoreButton", "&Find More"},
                                {&ClearButton, "ClearButton", "&Clear Search"},
                                {&ExitButton, "ExitButton", "E&xit"},
                                {&HelpButton, "HelpButton", "&Help"}};
  int x = kGridLeft + (kGridUnits + 20 - 5 * kButtonWidth - 4 * kButtonGap) / 2;
  for (const ButtonSpec& b : buttons) {
    *b.slot = new QPushButton(b.caption, this);
    (*b.slot)->setObjectName(b.name);
    (*b.slot)->setGeometry(x, kButtonTop, kButtonWidth, kButtonHeight);
    (*b.slot)->setAutoDefault(false);
    x += kButtonWidth + kButtonGap;
  }
  connect(OkButton, &QPushButton::clicked, this, &TMySearch::OkButtonClick);
  connect(MoreButton, &QPushButton::clicked, this, &TMySearch::MoreButtonClick);
  connect(ClearButton, &QPushButton::clicked, this, &TMySearch::ClearButtonClick);
  connect(ExitButton, &QPushButton::clicked, this, &TMySearch::ExitButtonClick);
  connect(HelpButton, &QPushButton::clicked, this, &TMySearch::HelpButtonClick);
}

void TMySearch::FormCreate() {
  SaveDesign();
  types_.fill(ctEqual);
}

void TMySearch::FormPlaced() {
  if (y() > 10) move(x(), y() - 10);
  items_.clear();
  level_ = 1;
  // The grid's own sizes go by units, not by its design bounds.
  SearchGrid->resize(Scaled(kGridUnits) + 20, SearchGrid->height());
  SearchGrid->setColumnWidth(0, Scaled(kFieldColumn));
  SearchGrid->setColumnWidth(1, Scaled(kOptionColumn));
  SearchGrid->setColumnWidth(2, Scaled(kCriteriaColumn));
  for (int r = 0; r <= kItemFieldCount; ++r) SearchGrid->setRowHeight(r, Scaled(kDefaultRowHeight));
  SearchGrid->item(0, 0)->setText(" FIELD");
  SearchGrid->horizontalHeaderItem(0)->setText(" FIELD");
  SearchGrid->horizontalHeader()->setFixedHeight(Scaled(kDefaultRowHeight));
  for (int r = 1; r <= kItemFieldCount; ++r)
    SearchGrid->item(r, 0)->setText(FromAnsi(" " + Settings.fields[static_cast<size_t>(r - 1)].title));
  SetHeading();
  EmptyCriteria();
}

void TMySearch::FormShow() {
  PaintFixedCells();
  SearchGrid->setCurrentCell(1, 2);
  SearchGrid->setFocus();
}


void TMySearch::PaintFixedCells() {
  for (int r = 0; r <= kItemFieldCount; ++r) {
    for (int c = 0; c < 2; ++c) SearchGrid->item(r, c)->setBackground(kFixedColor);
    SearchGrid->item(r, 0)->setForeground(Qt::black);
    if (r == 0) {
      SearchGrid->item(0, 2)->setBackground(kFixedColor);
      SearchGrid->item(0, 2)->setForeground(Qt::black);
      continue;
    }
    QTableWidgetItem* option = SearchGrid->item(r, 1);
    if (RowHasChoice(r)) {
      option->setBackground(kOptionColor);
      option->setForeground(Qt::black);
      option->setText("...");
      option->setTextAlignment(Qt::AlignCenter);
    } else {
      option->setText(QString());
    }
  }
}

void TMySearch::SetHeading() {
  const QString heading = QString::fromStdString(CriteriaHeading(level_));
  SearchGrid->item(0, 2)->setText(heading);
  SearchGrid->horizontalHeaderItem(2)->setText(heading);
}

void TMySearch::EmptyCriteria() {
  for (int r = 1; r <= kItemFieldCount; ++r) SearchGrid->item(r, 2)->setText(QString());
  SearchGrid->ReloadEdit();
}

std::string TMySearch::CellText(int row) const { return ToAnsi(SearchGrid->item(row, 2)->text()); }

void TMySearch::SetCellText(int row, const std::string& text) {
  SearchGrid->item(row, 2)->setText(FromAnsi(text));
  if (SearchGrid->currentRow() == row) SearchGrid->ReloadEdit();
}

void TMySearch::SetCurrentRow(int row) {
  if (SearchGrid->currentRow() == row && SearchGrid->currentColumn() == 2) {
    if (!SearchGrid->indexWidget(SearchGrid->currentIndex())) SearchGrid->ReloadEdit();
    return;
  }
  SearchGrid->setCurrentCell(row, 2);
}

void TMySearch::OkButtonClick() {
  MoreButton->setEnabled(true);
  SearchGrid->CommitEdit();
  if (!SaveFields()) return;
  if (Doit()) {
    accept();
    return;
  }
  ui::ShowMessage(std::string(kNoMatchesMessage), "Notice", ui::Buttons::Ok, ui::Icon::Information);
  ClearSearch();
}

void TMySearch::MoreButtonClick() {
  SearchGrid->CommitEdit();
  if (SaveFields()) {
    EmptyCriteria();
    ++level_;
    SetHeading();
    if (level_ > kMaxSearchLevels - 1) MoreButton->setEnabled(false);
    SetCurrentRow(1);
  }
  SearchGrid->setFocus();
}

void TMySearch::ClearSearch() {
  EmptyCriteria();
  items_.clear();
  level_ = 1;
  MoreButton->setEnabled(true);
  SetHeading();
  SearchGrid->viewport()->update();
  SetCurrentRow(1);
  SearchGrid->setFocus();
}

void TMySearch::ExitButtonClick() { reject(); }

void TMySearch::reject() {
  MoreButton->setEnabled(true);
  QDialog::reject();
}

void TMySearch::HelpButtonClick() {
  ShowHelp("Search Window");
}

bool TMySearch::SaveFields() {
  CriteriaCells cells;
  for (int r = 1; r <= kItemFieldCount; ++r) cells[static_cast<size_t>(r - 1)] = CellText(r);
  const SaveFieldsOutcome out = keldro::SaveFields(items_, cells, types_);
  switch (out.result) {
    case SaveFieldsResult::Ok: return true;
    case SaveFieldsResult::Invalid:
      ui::ShowMessage(std::string(kInvalidCriteriaMessage), "Error", ui::Buttons::Ok, ui::Icon::Error);
      SetCurrentRow(out.row);
      SearchGrid->setFocus();
      return false;
    case SaveFieldsResult::NoCriteria:
      ui::ShowMessage(std::string(kNoCriteriaMessage), "Error", ui::Buttons::Ok, ui::Icon::Error);
      SearchGrid->setFocus();
      return false;
    case SaveFieldsResult::TooManyItems:
      ui::ShowMessage(TooManyItemsMessage(), "Error", ui::Buttons::Ok, ui::Icon::Error);
      ClearSearch();
      return false;
  }
  return false;
}

bool TMySearch::Doit() {
  ui::BusyCursor busy;
  // From here on the table's filter reads the query just made.
  applied_ = items_;
  if (SearchActive && OnReopenTable) OnReopenTable();
  if (OnEnableEndSearch) OnEnableEndSearch();
  bool found = false;
  try {
    // Read again through the filter from the top: the record the table
    // stood on may be one the query hides.
    table_.First();
    found = !(table_.Bof() && table_.Eof());
  } catch (const framework::Exception& e) {
    ui::ShowMessage(e.Message(), "Error");
  }
  if (!found) {
    if (OnEndSearch) OnEndSearch();
    applied_.clear();
  }
  return found;
}

bool TMySearch::BuildFilter() { return SearchAccepts(applied_, table_); }

void TMySearch::OptionClick(int row) {
  if (row < 1 || row > kItemFieldCount || !RowHasChoice(row)) return;
  SearchGrid->CommitEdit();
  const ItemField& field = ItemFields[static_cast<size_t>(row - 1)];
  TSearchOptions options(Screen, this);
  options.FieldNameLabel->setText(FromAnsi(Settings.fields[static_cast<size_t>(row - 1)].title));
  if (field.letter == 'N' || field.letter == 'D') {
    std::vector<std::string> choices(kComparisonChoices.begin(), kComparisonChoices.end());
    options.LoadList(choices);
    options.ListBox1->setCurrentRow(types_[static_cast<size_t>(row - 1)] - 1);
    if (options.exec() != QDialog::Accepted || options.ListBox1->currentRow() < 0) return;
    types_[static_cast<size_t>(row - 1)] = options.ListBox1->currentRow() + 1;
    // Leave the row first, so that its editor opens again with the new mask.
    if (SearchGrid->currentRow() == row) SetCurrentRow(row > 21 ? row - 1 : row + 1);
    SetCurrentRow(row);
    return;
  }
  const int list = PickListOfRow(row);
  options.LoadList(list == 0 ? std::vector<std::string>{"YES", "NO"}
                             : (PickList ? PickList(list) : std::vector<std::string>{}));
  if (options.exec() != QDialog::Accepted) return;
  if (QListWidgetItem* chosen = options.ListBox1->currentItem()) SetCellText(row, ToAnsi(chosen->text()));
  if (SearchGrid->currentRow() == row) SetCurrentRow(row > 21 ? row - 1 : row + 1);
  SetCurrentRow(row);
}

}  // namespace keldro

#include "moc_tmysearch.cpp"
