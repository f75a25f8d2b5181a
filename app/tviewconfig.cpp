#include "tviewconfig.h"

#include <cmath>

#include <QCheckBox>
#include <QFrame>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStyledItemDelegate>
#include <QTabWidget>
#include <QTableWidget>

#include "platform/text.h"
#include "platform/ui.h"
#include "ui_utilities.h"

namespace ui = platform::ui;

namespace keldro {

namespace {

QString FromAnsi(const std::string& s) { return QString::fromStdString(platform::Cp1252ToUtf8(s)); }
std::string ToAnsi(const QString& s) { return platform::Utf8ToCp1252(s.toStdString()); }

constexpr int kClientWidth = 600, kClientHeight = 396;
constexpr int kGridTop = 16, kGridHeight = 280;

const char* const kPageCaptions[] = {"&Title", "&Look and Feel", "Fields to &Show", "Field &Widths", "Field &Order",
                                     "Field &Names"};
const char* const kHelpKeywords[] = {"Viewer Configuration Title",  "Viewer Configuration Look",
                                     "Viewer Configuration Show",   "Viewer Configuration Widths",
                                     "Viewer Configuration Order",  "Viewer Configuration Names"};

// In-place cells that hand every keystroke to the grid at once, as the
// framework's string grid does, so a cell still being typed in counts when
// the window closes.
class CellDelegate : public QStyledItemDelegate {
 public:
  CellDelegate(int maxLength, QObject* parent) : QStyledItemDelegate(parent), maxLength_(maxLength) {}
  QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option, const QModelIndex& index) const override {
    QWidget* w = QStyledItemDelegate::createEditor(parent, option, index);
    if (auto* edit = qobject_cast<QLineEdit*>(w)) {
      if (maxLength_ > 0) edit->setMaxLength(maxLength_);
      connect(edit, &QLineEdit::textEdited, this, [this, edit] { emit const_cast<CellDelegate*>(this)->commitData(edit); });
    }
    return w;
  }

 private:
  int maxLength_;
};

QTableWidget* MakeGrid(QWidget* page, const char* name, int columns) {
  auto* g = new QTableWidget(kItemFieldCount, columns, page);
  g->setObjectName(name);
  g->verticalHeader()->hide();
  g->setSelectionMode(QAbstractItemView::SingleSelection);
  g->setSelectionBehavior(QAbstractItemView::SelectItems);
  g->setEditTriggers(QAbstractItemView::NoEditTriggers);
  g->setTabKeyNavigation(true);
  g->setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
  g->horizontalHeader()->setStretchLastSection(false);
  g->horizontalHeader()->setSectionsClickable(false);
  return g;
}

// A two-column grid: the field names in the fixed first column, headings on top.
QTableWidget* MakeFieldGrid(QWidget* page, const char* name, const char* heading, int left, bool editable) {
  QTableWidget* g = MakeGrid(page, name, 2);
  g->setHorizontalHeaderLabels({"FIELD", heading});
  for (int r = 0; r < kItemFieldCount; ++r) {
    auto* field = new QTableWidgetItem(QString::fromUtf8(ItemFields[static_cast<size_t>(r)].name.data(),
                                                         static_cast<int>(ItemFields[static_cast<size_t>(r)].name.size())));
    field->setFlags(Qt::ItemIsEnabled);
    field->setBackground(g->palette().button());  // drawn as the fixed column it is
    g->setItem(r, 0, field);
    g->setItem(r, 1, new QTableWidgetItem);
  }
  if (editable)
    g->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed |
                       QAbstractItemView::AnyKeyPressed);
  g->setGeometry(left, kGridTop, 320, kGridHeight);
  return g;
}

void SetColumnTexts(QTableWidget* g, const std::array<std::string, kItemFieldCount>& texts) {
  for (int r = 0; r < kItemFieldCount; ++r) g->item(r, 1)->setText(FromAnsi(texts[static_cast<size_t>(r)]));
}

std::array<std::string, kItemFieldCount> ColumnTexts(const QTableWidget* g) {
  std::array<std::string, kItemFieldCount> texts;
  for (int r = 0; r < kItemFieldCount; ++r) texts[static_cast<size_t>(r)] = ToAnsi(g->item(r, 1)->text());
  return texts;
}

void PaintShape(QFrame* shape, int32_t color) {
  QPalette p = shape->palette();
  p.setColor(QPalette::Window, WindowsColor(color));
  shape->setPalette(p);
}

ui::FontSpec ToFontSpec(const GridFontSettings& f) {
  ui::FontSpec s;
  s.name = f.name;
  s.size = f.size;
  s.bold = f.bold;
  s.italic = f.italic;
  s.underline = f.underline;
  s.strikeOut = f.strikeOut;
  s.color = static_cast<uint32_t>(f.color);
  return s;
}

GridFontSettings FromFontSpec(const ui::FontSpec& s) {
  return {static_cast<int32_t>(s.color), s.name, s.size, s.bold, s.italic, s.underline, s.strikeOut};
}

// The font dialog with effects, starting from the shared font.
void ChooseFont(GridFontSettings& font) {
  const ui::FontDialogResult r = ui::Current().FontDialog(ToFontSpec(font));
  if (r.accepted) font = FromFontSpec(r.font);
}

bool ChooseColor(int32_t& color) {
  const ui::ColorDialogResult r = ui::Current().ColorDialog(static_cast<uint32_t>(color));
  if (r.accepted) color = static_cast<int32_t>(r.color);
  return r.accepted;
}

}  // namespace

TViewConfig::TViewConfig(ItemDataSet& table, QSize screen, QWidget* parent)
    : TDialog(parent, screen, 5), table_(table) {
  setObjectName("ViewConfig");
  setWindowTitle("Viewer Configuration");
  CreateComponents();
  FormCreate();
}

void TViewConfig::CreateComponents() {
  resize(kClientWidth, kClientHeight);
  MyTabbedPage = new QTabWidget(this);
  MyTabbedPage->setObjectName("MyTabbedPage");
  MyTabbedPage->setGeometry(8, 8, kClientWidth - 16, kClientHeight - 56);
  std::array<QWidget*, 6> pages{};
  for (size_t i = 0; i < pages.size(); ++i) {
    pages[i] = new QWidget;
    MyTabbedPage->addTab(pages[i], kPageCaptions[i]);
  }
  auto button = [](QWidget* parent, const char* name, const char* caption, int x, int y, int w = 96) {
    auto* b = new QPushButton(caption, parent);
    b->setObjectName(name);
    b->setGeometry(x, y, w, 27);
    b->setAutoDefault(false);
    return b;
  };
  auto check = [](QWidget* parent, const char* name, const char* caption, int y) {
    auto* c = new QCheckBox(caption, parent);
    c->setObjectName(name);
    c->setGeometry(24, y, 260, 22);
    return c;
  };
  auto shape = [](QWidget* parent, const char* name, int y) {
    auto* f = new QFrame(parent);
    f->setObjectName(name);
    f->setFrameShape(QFrame::Box);
    f->setAutoFillBackground(true);
    f->setGeometry(24, y, 200, 27);
    return f;
  };
  auto caption = [](QWidget* parent, const char* name, int y) {
    auto* l = new QLabel(parent);
    l->setObjectName(name);
    l->setGeometry(24, y, 200, 27);
    l->setFrameShape(QFrame::Panel);
    l->setFrameShadow(QFrame::Sunken);
    l->setProperty("majorTitle", true);
    return l;
  };

  // Title
  QWidget* p = pages[pgTitle];
  ShowGridTitle = check(p, "ShowGridTitle", "Show Column Titles", 16);
  TitleFont = caption(p, "TitleFont", 56);
  TitleFontButton = button(p, "TitleFontButton", "New &Font", 240, 56);
  TitleShape = shape(p, "TitleShape", 96);
  Button1 = button(p, "Button1", "New &Color", 240, 96);
  TitleAlignment = new QGroupBox("Title Alignment", p);
  TitleAlignment->setObjectName("TitleAlignment");
  TitleAlignment->setGeometry(24, 140, 312, 60);
  auto radio = [this](const char* name, const char* text, int x) {
    auto* r = new QRadioButton(text, TitleAlignment);
    r->setObjectName(name);
    r->setGeometry(x, 26, 100, 22);
    return r;
  };
  TitleLeft = radio("TitleLeft", "Left Justify", 8);
  TitleCenter = radio("TitleCenter", "Center", 116);
  TitleRight = radio("TitleRight", "Right Justify", 200);

  // Look and Feel
  p = pages[pgLook];
  ColumnLines = check(p, "ColumnLines", "Show lines between columns", 16);
  RowLines = check(p, "RowLines", "Show lines between rows", 42);
  RowIndicator = check(p, "RowIndicator", "Show current row indicator", 68);
  FieldEditing = check(p, "FieldEditing", "Allow field editing", 94);
  CellColorShape = shape(p, "CellColorShape", 136);
  NewColorBUtton = button(p, "NewColorBUtton", "New &Color", 240, 136);
  GridFont = caption(p, "GridFont", 176);
  NewFontButton = button(p, "NewFontButton", "New &Font", 240, 176);

  // Fields to Show
  p = pages[pgShow];
  ShowLabel = new QLabel(
      "For each field that you would like displayed in the Viewer, select 'Yes'.  If you do not wish a field to "
      "appear in the Viewer, then select 'No' for that field.  Double Click on the field to change between 'Yes' "
      "and 'No'.",
      p);
  ShowLabel->setObjectName("ShowLabel");
  ShowLabel->setWordWrap(true);
  ShowLabel->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  ShowLabel->setProperty("majorTitle", true);
  ShowLabel->setGeometry(16, 8, 540, 64);
  FieldsToDisplay = MakeFieldGrid(p, "FieldsToDisplay", "DISPLAY IT", 16, false);
  FieldsToDisplay->setGeometry(16, 76, 320, kGridHeight - 60);
  connect(FieldsToDisplay, &QTableWidget::cellDoubleClicked, this,
          [this](int row, int column) { FieldsToDisplayDblClick(row, column); });

  FieldWidthGrid = MakeFieldGrid(pages[pgWidths], "FieldWidthGrid", "WIDTH", 16, true);
  FieldWidthGrid->setItemDelegateForColumn(1, new CellDelegate(0, FieldWidthGrid));

  // Field Order: one column of titles, no heading.
  p = pages[pgOrder];
  FieldOrderGrid = MakeGrid(p, "FieldOrderGrid", 1);
  FieldOrderGrid->horizontalHeader()->hide();
  for (int r = 0; r < kItemFieldCount; ++r) {
    auto* item = new QTableWidgetItem;
    item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
    FieldOrderGrid->setItem(r, 0, item);
  }
  FieldOrderGrid->setGeometry(16, kGridTop, 220, kGridHeight);
  OrderUp = button(p, "OrderUp", "&Up", 260, 16);
  OrderDown = button(p, "OrderDown", "&Down", 260, 52);
  OrderDefaults = button(p, "OrderDefaults", "D&efaults", 260, 88);

  FieldNameGrid = MakeFieldGrid(pages[pgNames], "FieldNameGrid", "NAME TO USE", 16, true);
  FieldNameGrid->setItemDelegateForColumn(1, new CellDelegate(static_cast<int>(kMaxTitleLength), FieldNameGrid));

  ExitButton = button(this, "ExitButton", "E&xit", kClientWidth - 216, kClientHeight - 38);
  HelpButton = button(this, "HelpButton", "&Help", kClientWidth - 112, kClientHeight - 38);

  connect(ShowGridTitle, &QCheckBox::clicked, this, [this](bool on) { Settings.showTitles = on; });
  connect(ColumnLines, &QCheckBox::clicked, this, [this](bool on) { Settings.columnLines = on; });
  connect(RowLines, &QCheckBox::clicked, this, [this](bool on) { Settings.rowLines = on; });
  connect(RowIndicator, &QCheckBox::clicked, this, [this](bool on) { Settings.rowIndicator = on; });
  connect(FieldEditing, &QCheckBox::clicked, this, [this](bool on) { Settings.fieldEditing = on; });
  connect(TitleLeft, &QRadioButton::clicked, this, [] { Settings.titleAlignment = 1; });
  connect(TitleCenter, &QRadioButton::clicked, this, [] { Settings.titleAlignment = 2; });
  connect(TitleRight, &QRadioButton::clicked, this, [] { Settings.titleAlignment = 3; });
  connect(TitleFontButton, &QPushButton::clicked, this, &TViewConfig::TitleFontButtonClick);
  connect(NewFontButton, &QPushButton::clicked, this, &TViewConfig::NewFontButtonClick);
  connect(Button1, &QPushButton::clicked, this, &TViewConfig::Button1Click);
  connect(NewColorBUtton, &QPushButton::clicked, this, &TViewConfig::NewColorBUttonClick);
  connect(OrderUp, &QPushButton::clicked, this, &TViewConfig::OrderUpClick);
  connect(OrderDown, &QPushButton::clicked, this, &TViewConfig::OrderDownClick);
  connect(OrderDefaults, &QPushButton::clicked, this, &TViewConfig::OrderDefaultsClick);
  connect(HelpButton, &QPushButton::clicked, this, &TViewConfig::HelpButtonClick);
  connect(ExitButton, &QPushButton::clicked, this, &TViewConfig::ExitButtonClick);
  // The order grid shows the titles as they stand on the Field Names page.
  connect(MyTabbedPage, &QTabWidget::currentChanged, this, [this](int page) {
    if (page == pgOrder) ShowOrderTitles();
  });
}

void TViewConfig::FormCreate() {
  setWindowFlags((windowFlags() | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint) &
                 ~(Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint | Qt::WindowContextHelpButtonHint));
  SaveDesign();
  ShowGridTitle->setChecked(Settings.showTitles);
  ColumnLines->setChecked(Settings.columnLines);
  RowLines->setChecked(Settings.rowLines);
  RowIndicator->setChecked(Settings.rowIndicator);
  FieldEditing->setChecked(Settings.fieldEditing);
}

void TViewConfig::FormPlaced() {
  if (y() > 10) move(x(), y() - 10);
  ShowFontCaptions();
  ShowColors();
  (Settings.titleAlignment == 1 ? TitleLeft : Settings.titleAlignment == 3 ? TitleRight : TitleCenter)
      ->setChecked(true);

  // Column widths in units of the screen scale; each grid 20 pixels wider
  // than its columns for the scroll bar.
  const auto units = [](int n) { return static_cast<int>(std::lround(n * ScaleFactor)); };
  const struct {
    QTableWidget* grid;
    int second;
  } grids[] = {{FieldsToDisplay, 100}, {FieldWidthGrid, 100}, {FieldNameGrid, 200}};
  for (const auto& g : grids) {
    g.grid->setColumnWidth(0, units(200));
    g.grid->setColumnWidth(1, units(g.second));
    g.grid->resize(units(200 + g.second) + 20, g.grid->height());
  }
  FieldOrderGrid->setColumnWidth(0, units(200));
  FieldOrderGrid->resize(units(200) + 20, FieldOrderGrid->height());
  for (QTableWidget* g : {FieldsToDisplay, FieldWidthGrid, FieldNameGrid, FieldOrderGrid})
    g->verticalHeader()->setDefaultSectionSize(units(22));

  const ViewerGrids texts = ViewerGridsFor(Settings);
  SetColumnTexts(FieldsToDisplay, texts.shown);
  SetColumnTexts(FieldWidthGrid, texts.widths);
  SetColumnTexts(FieldNameGrid, texts.titles);
  orderRows_ = texts.orderRows;
  ShowOrderTitles();
  for (QTableWidget* g : {FieldsToDisplay, FieldWidthGrid, FieldNameGrid}) g->setCurrentCell(0, 1);
  FieldOrderGrid->setCurrentCell(0, 0);
}

void TViewConfig::ShowFontCaptions() {
  TitleFont->setText(FromAnsi(FontCaption(Settings.gridTitleFont)));
  GridFont->setText(FromAnsi(FontCaption(Settings.gridFont)));
}

void TViewConfig::ShowColors() {
  PaintShape(TitleShape, Settings.titleColor);
  PaintShape(CellColorShape, Settings.cellColor);
}

void TViewConfig::ShowOrderTitles() {
  const std::array<std::string, kItemFieldCount> titles = ColumnTexts(FieldNameGrid);
  for (int r = 0; r < kItemFieldCount; ++r)
    FieldOrderGrid->item(r, 0)->setText(FromAnsi(OrderRowText(titles, orderRows_[static_cast<size_t>(r)])));
}

// ----------------------------------------------------------------- handlers

void TViewConfig::TitleFontButtonClick() {
  ChooseFont(Settings.gridTitleFont);
  ShowFontCaptions();
}

void TViewConfig::NewFontButtonClick() {
  ChooseFont(Settings.gridFont);
  ShowFontCaptions();
}

void TViewConfig::Button1Click() {
  if (ChooseColor(Settings.titleColor)) ShowColors();
}

void TViewConfig::NewColorBUttonClick() {
  if (ChooseColor(Settings.cellColor)) ShowColors();
}

void TViewConfig::FieldsToDisplayDblClick(int row, int column) {
  if (column != 1 || row < 0 || row >= kItemFieldCount) return;
  QTableWidgetItem* cell = FieldsToDisplay->item(row, 1);
  cell->setText(cell->text() == "Yes" ? "No" : "Yes");
}

void TViewConfig::MoveOrder(int direction) {
  const int row = FieldOrderGrid->currentRow();
  const int now = MoveOrderRow(orderRows_, row, direction);
  if (now == row) return;
  ShowOrderTitles();
  FieldOrderGrid->setCurrentCell(now, 0);
}

void TViewConfig::OrderUpClick() { MoveOrder(-1); }
void TViewConfig::OrderDownClick() { MoveOrder(+1); }

void TViewConfig::OrderDefaultsClick() {
  if (ui::ShowMessage("This will set the order of fields to the program defaults.  Continue?", "Re-Order",
                      ui::Buttons::YesNo, ui::Icon::Question) != ui::Answer::Yes)
    return;
  orderRows_ = DefaultOrderRows();
  ShowOrderTitles();
}

void TViewConfig::HelpButtonClick() {
  const int page = MyTabbedPage->currentIndex();
  ShowHelp(kHelpKeywords[page >= 0 && page < 6 ? page : 0]);
}

void TViewConfig::ExitButtonClick() { close(); }

// ------------------------------------------------------------------- closing

ViewerGrids TViewConfig::GridTexts() const {
  ViewerGrids g;
  g.shown = ColumnTexts(FieldsToDisplay);
  g.widths = ColumnTexts(FieldWidthGrid);
  g.titles = ColumnTexts(FieldNameGrid);
  g.orderRows = orderRows_;
  return g;
}

// Every way out (Exit, the close box, Escape) comes here.
void TViewConfig::reject() {
  if (!closed_) {
    if (!FormCloseQuery()) return;
    FormClose();
    closed_ = true;
  }
  QDialog::reject();
}

bool TViewConfig::FormCloseQuery() {
  const std::optional<DuplicateTitle> d = FindDuplicateTitle(ColumnTexts(FieldNameGrid));
  if (!d) return true;
  ui::ShowMessage(platform::Cp1252ToUtf8(DuplicateTitleMessage(*d)), "Error", ui::Buttons::Ok, ui::Icon::Error);
  MyTabbedPage->setCurrentIndex(pgNames);
  FieldNameGrid->setFocus();
  return false;
}

void TViewConfig::FormClose() {
  ViewerGrids g = GridTexts();
  ApplyViewerGrids(g, Settings);
  SetColumnTexts(FieldWidthGrid, g.widths);
  // Every field visible first: the viewer options hide those not shown.
  if (table_.Active())
    for (int i = 1; i <= table_.FieldCount(); ++i)
      if (framework::TField* f = table_.FieldByNumber(i)) f->SetVisible(true);
  if (OnApplyViewerOptions) OnApplyViewerOptions();
}

}  // namespace keldro

#include "moc_tviewconfig.cpp"
