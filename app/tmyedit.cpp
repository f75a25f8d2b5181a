#include "tmyedit.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPushButton>
#include <QTabWidget>

#include "core/display_formats.h"
#include "mask_edit.h"
#include "platform/paths.h"
#include "platform/text.h"
#include "platform/ui.h"
#include "ui_utilities.h"

namespace ui = platform::ui;

namespace keldro {

namespace {

// Design geometry, in pixels at scale 1.0; pages' contents are relative to
// the page.
constexpr int kMenuHeight = 24;
constexpr int kClientWidth = 560;
constexpr int kClientHeight = 352;
constexpr int kLabelLeft = 8, kLabelWidth = 118, kEntryLeft = 130, kRowHeight = 26, kEntryHeight = 22;

const char* const kPageCaptions[] = {"De&scription", "&Worth", "W&arranty", "&Other"};

// A stored amount in its entry: formatted when that fits the entry, else
// plain, as the entry would cut a longer text to another number.
std::string MoneyEntryText(double value, int maxLength) {
  std::string text = FormatCurrencyIntl(value, 1, Settings.currencyFormat, Intl);
  if (static_cast<int>(text.size()) > maxLength) text = framework::FloatToStrF(value, framework::ffFixed, 15, 2);
  return text;
}

}  // namespace

TMyEdit::TMyEdit(ItemDataSet& table, PickListSet& mainLists, QWidget* parent)
    : TDialog(parent, {640, 480}, 2), table_(table), mainLists_(mainLists) {
  setObjectName("MyEdit");
  setWindowTitle("Edit");
  CreateComponents();
  CreateMenu();
  FormCreate();
}

void TMyEdit::CreateComponents() {
  resize(kClientWidth, kClientHeight);
  MyTabbedNoteBook = new QTabWidget(this);
  MyTabbedNoteBook->setObjectName("MyTabbedNoteBook");
  MyTabbedNoteBook->setGeometry(8, kMenuHeight + 6, kClientWidth - 16, 278);
  std::array<QWidget*, 4> pages{};
  for (size_t i = 0; i < pages.size(); ++i) {
    pages[i] = new QWidget;
    MyTabbedNoteBook->addTab(pages[i], QString::fromUtf8(kPageCaptions[i]));
  }
  auto label = [](QWidget* page, const QString& name, int x, int y, int w) {
    auto* l = new QLabel(page);
    l->setObjectName(name);
    l->setGeometry(x, y, w, kEntryHeight);
    return l;
  };
  // The item repeated at the top of pages 1 to 3.
  WorthItem = label(pages[1], "WorthItem", kLabelLeft, 8, 500);
  WarrantyItem = label(pages[2], "WarrantyItem", kLabelLeft, 8, 500);
  OtherItem = label(pages[3], "OtherItem", kLabelLeft, 8, 500);

  std::array<int, 4> nextRow{6, 40, 70, 40};
  for (int i = 0; i < kEditorEntryCount; ++i) {
    const EditorEntryInfo& info = kEditorEntries[static_cast<size_t>(i)];
    QWidget* page = pages[static_cast<size_t>(info.page)];
    int& y = nextRow[static_cast<size_t>(info.page)];
    if (i == eWarDate) {
      // The warranty check box stands above the warranty date.
      Warranty = new QCheckBox(page);
      Warranty->setObjectName("Warranty");
      Warranty->setGeometry(kEntryLeft, 40, 200, kEntryHeight);
      y = 70;
    }
    const QString name = QString::fromUtf8(info.control.data(), static_cast<qsizetype>(info.control.size()));
    FieldLabels[static_cast<size_t>(i)] = label(page, name + "Label", kLabelLeft, y, kLabelWidth);
    QWidget* entry = nullptr;
    int width = info.kind == EntryKind::Number ? 120 : std::min(396, 40 + info.maxLength * 7);
    switch (info.kind) {
      case EntryKind::Edit:
      case EntryKind::Number: {
        auto* e = new QLineEdit(page);
        if (info.maxLength > 0) e->setMaxLength(info.maxLength);
        if (info.kind == EntryKind::Number) e->setAlignment(Qt::AlignRight);
        entry = e;
        break;
      }
      case EntryKind::Combo: {
        auto* c = new QComboBox(page);
        c->setEditable(true);
        // Lists grow only by Update, exactly as typed.
        c->setInsertPolicy(QComboBox::NoInsert);
        c->setCompleter(nullptr);
        c->lineEdit()->setMaxLength(info.maxLength);
        entry = c;
        break;
      }
      case EntryKind::Date: {
        auto* m = new TMaskEdit(kDateEditMask, page);
        width = 100;
        entry = m;
        break;
      }
    }
    entry->setObjectName(name);
    entry->setGeometry(kEntryLeft, y, width, kEntryHeight);
    entries_[static_cast<size_t>(i)] = entry;
    y += kRowHeight + (info.page == 2 ? 4 : 0);
  }
  Item = qobject_cast<QLineEdit*>(Entry(eItem));
  Model = qobject_cast<QLineEdit*>(Entry(eModel));
  Serial = qobject_cast<QLineEdit*>(Entry(eSerial));
  IDMarks = qobject_cast<QLineEdit*>(Entry(eIDMarks));
  Comments = qobject_cast<QLineEdit*>(Entry(eComments));
  Quantity = qobject_cast<QLineEdit*>(Entry(eQuantity));
  Value = qobject_cast<QLineEdit*>(Entry(eValue));
  Cost = qobject_cast<QLineEdit*>(Entry(eCost));
  RepCost = qobject_cast<QLineEdit*>(Entry(eRepCost));
  WarNotes = qobject_cast<QLineEdit*>(Entry(eWarNotes));
  UserDef1 = qobject_cast<QLineEdit*>(Entry(eUserDef1));
  UserDef2 = qobject_cast<QLineEdit*>(Entry(eUserDef2));
  UserDef3 = qobject_cast<QLineEdit*>(Entry(eUserDef3));
  UserDef4 = qobject_cast<QLineEdit*>(Entry(eUserDef4));
  Brand = qobject_cast<QComboBox*>(Entry(eBrand));
  Category = qobject_cast<QComboBox*>(Entry(eCategory));
  Location = qobject_cast<QComboBox*>(Entry(eLocation));
  TheOwner = qobject_cast<QComboBox*>(Entry(eTheOwner));
  Bought = qobject_cast<QComboBox*>(Entry(eBought));
  WarDate = qobject_cast<TMaskEdit*>(Entry(eWarDate));
  PurchDate = qobject_cast<TMaskEdit*>(Entry(ePurchDate));

  // Totals beside the money entries of page 1.
  TotLabel = label(pages[1], "TotLabel", 300, 40, 200);
  TotLabel->setText("Totals");
  TotLabel->setProperty("majorTitle", true);
  TotValueLabel = label(pages[1], "TotValueLabel", 300, Value->y(), 200);
  TotCostLabel = label(pages[1], "TotCostLabel", 300, Cost->y(), 200);
  TotRepCostLabel = label(pages[1], "TotRepCostLabel", 300, RepCost->y(), 200);
  TotLabel->move(300, Quantity->y());
  for (QLabel* l : {TotValueLabel, TotCostLabel, TotRepCostLabel}) l->setAlignment(Qt::AlignRight | Qt::AlignVCenter);

  auto button = [this](QWidget* parent, const char* name, const char* caption, int x, int y, int w) {
    auto* b = new QPushButton(QString::fromUtf8(caption), parent);
    b->setObjectName(name);
    b->setGeometry(x, y, w, 27);
    // Enter never presses a button here: it walks the entries.
    b->setAutoDefault(false);
    return b;
  };
  BlankWarDate = button(pages[2], "BlankWarDate", "Blank Date", 240, WarDate->y() - 2, 90);
  BlankPurchDate = button(pages[2], "BlankPurchDate", "Blank Date", 240, PurchDate->y() - 2, 90);
  connect(BlankWarDate, &QPushButton::clicked, this, [this] { WarDate->ClearEntry(); });
  connect(BlankPurchDate, &QPushButton::clicked, this, [this] { PurchDate->ClearEntry(); });

  const int buttonsTop = kMenuHeight + 6 + 278 + 10;
  UpdateButton = button(this, "UpdateButton", "Up&date", 8, buttonsTop, 84);
  UpdateExitButton = button(this, "UpdateExitButton", "&Update && Exit", 98, buttonsTop, 96);
  ClearButton = button(this, "ClearButton", "C&lear", 200, buttonsTop, 84);
  PrevButton = button(this, "PrevButton", "&Previous", 290, buttonsTop, 84);
  NextButton = button(this, "NextButton", "&Next", 380, buttonsTop, 84);
  CancelButton = button(this, "CancelButton", "E&xit", 470, buttonsTop, 82);
  connect(UpdateButton, &QPushButton::clicked, this, &TMyEdit::DoAnUpdate);
  connect(UpdateExitButton, &QPushButton::clicked, this, &TMyEdit::DoUpdateAndExit);
  connect(ClearButton, &QPushButton::clicked, this, &TMyEdit::DoClear);
  connect(PrevButton, &QPushButton::clicked, this, &TMyEdit::DoPreviousRecord);
  connect(NextButton, &QPushButton::clicked, this, &TMyEdit::DoNextRecord);
  connect(CancelButton, &QPushButton::clicked, this, &TMyEdit::DoExit);

  // Field exits.
  connect(Item, &QLineEdit::editingFinished, this, &TMyEdit::ItemExit);
  for (QLineEdit* e : {UserDef1, UserDef2, UserDef3, UserDef4})
    connect(e, &QLineEdit::editingFinished, this, &TMyEdit::ItemExit);
  connect(Cost, &QLineEdit::editingFinished, this, &TMyEdit::CostExit);
  connect(Value, &QLineEdit::editingFinished, this, &TMyEdit::ValueExit);
  connect(RepCost, &QLineEdit::editingFinished, this, &TMyEdit::RepCostExit);
  connect(Quantity, &QLineEdit::editingFinished, this, &TMyEdit::QuantityExit);

  // The window sees Enter before its controls do.
  for (QWidget* w : findChildren<QWidget*>()) w->installEventFilter(this);
}

void TMyEdit::CreateMenu() {
  MainMenu = new QMenuBar(this);
  MainMenu->setGeometry(0, 0, width(), kMenuHeight);
  auto item = [this](QMenu* menu, const char* name, const char* caption, const char* key, void (TMyEdit::*slot)()) {
    QAction* a = menu->addAction(QString::fromUtf8(caption));
    a->setObjectName(name);
    if (key) a->setShortcut(QKeySequence(QString::fromUtf8(key)));
    connect(a, &QAction::triggered, this, slot);
    return a;
  };
  QMenu* file = MainMenu->addMenu("&File");
  MenuNew = item(file, "MenuNew", "N&ew Record", "Ctrl+E", &TMyEdit::MenuNewClick);
  MenuCopyRecord = item(file, "MenuCopyRecord", "Cop&y Record", "Ctrl+Y", &TMyEdit::MenuCopyRecordClick);
  MenuClear = item(file, "MenuClear", "&Clear Record", "Ctrl+L", &TMyEdit::DoClear);
  MenuUpdate = item(file, "MenuUpdate", "Up&date Record", "Ctrl+R", &TMyEdit::DoAnUpdate);
  MenuUpdateExit = item(file, "MenuUpdateExit", "&Update && Exit", "Ctrl+U", &TMyEdit::DoUpdateAndExit);
  file->addSeparator();
  MenuPrevious = item(file, "MenuPrevious", "&Previous Record", "Ctrl+P", &TMyEdit::DoPreviousRecord);
  MenuNext = item(file, "MenuNext", "&Next Record", "Ctrl+N", &TMyEdit::DoNextRecord);
  file->addSeparator();
  MenuExit = item(file, "MenuExit", "E&xit", nullptr, &TMyEdit::DoExit);
  QMenu* edit = MainMenu->addMenu("&Edit");
  MenuCut = item(edit, "MenuCut", "Cu&t", "Ctrl+X", &TMyEdit::ClipboardCut);
  MenuCopy = item(edit, "MenuCopy", "&Copy", "Ctrl+C", &TMyEdit::ClipboardCopy);
  MenuPaste = item(edit, "MenuPaste", "&Paste", "Ctrl+V", &TMyEdit::ClipboardPaste);
  MenuDelete = item(edit, "MenuDelete", "&Delete", "Ctrl+D", &TMyEdit::ClipboardDelete);
  MenuHelp = MainMenu->addAction("&Help");
  MenuHelp->setObjectName("MenuHelp");
  MenuHelp->setShortcut(QKeySequence("Ctrl+H"));
  connect(MenuHelp, &QAction::triggered, this, &TMyEdit::ShowHelp);
  // The shortcuts work while an entry has the focus, before the entry's own
  // keys (Ctrl+U would empty it, Ctrl+H delete a character).
  for (QAction* a : {MenuNew, MenuCopyRecord, MenuClear, MenuUpdate, MenuUpdateExit, MenuPrevious, MenuNext,
                     MenuCut, MenuCopy, MenuPaste, MenuDelete, MenuHelp})
    addAction(a);
  MenuShortcutsFirst(this, MainMenu);
}

void TMyEdit::FormCreate() {
  setWindowFlags((windowFlags() | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint) &
                 ~(Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint));
  SaveDesign();
  LoadAllList();
  if (BrowseMode) {
    for (QAction* a : {MenuNew, MenuClear, MenuUpdate, MenuUpdateExit, MenuCut, MenuCopy, MenuPaste, MenuDelete})
      a->setEnabled(false);
    for (QPushButton* b : {UpdateExitButton, UpdateButton, ClearButton}) b->setEnabled(false);
  }
}

void TMyEdit::resizeEvent(QResizeEvent* event) {
  QDialog::resizeEvent(event);
  if (MainMenu) MainMenu->setGeometry(0, 0, width(), MainMenu->height());
}

void TMyEdit::FormPlaced() {
  if (y() > 10) move(x(), y() - 10);
  for (int i = 0; i < kEditorEntryCount; ++i) {
    const ItemField* f = ItemFieldByName(kEditorEntries[static_cast<size_t>(i)].field);
    FieldLabels[static_cast<size_t>(i)]->setText(FromAnsi(Settings.fields[static_cast<size_t>(f->number - 1)].title));
  }
  Warranty->setText(FromAnsi(Settings.fields[static_cast<size_t>(ItemFieldByName("Warranty")->number - 1)].title));
  MyTabbedNoteBook->setCurrentIndex(0);
}

void TMyEdit::FormShow() {
  // The date entries follow the current date separator.
  for (TMaskEdit* m : {WarDate, PurchDate}) m->SetDateSeparator(framework::DateSeparator);
  if (EditMode == 2 || EditMode == 3)
    LoadInData();
  else
    DoClear();
  SaveValues();
  Item->setFocus();
}

void TMyEdit::done(int result) {
  FormClose();
  QDialog::done(result);
}

void TMyEdit::FormClose() { SaveAllLists(); }

// Escape and the close box leave as Exit does.
void TMyEdit::reject() { DoExit(); }

// ------------------------------------------------------------------ values

QComboBox* TMyEdit::PickListCombo(int list) const {
  if (list < 1 || list > 5) return nullptr;
  return qobject_cast<QComboBox*>(Entry(kPickListEntries[static_cast<size_t>(list - 1)]));
}

std::vector<std::string> TMyEdit::PickListItems(int list) const {
  std::vector<std::string> items;
  if (QComboBox* c = PickListCombo(list))
    for (int i = 0; i < c->count(); ++i) items.push_back(ToAnsi(c->itemText(i)));
  return items;
}

void TMyEdit::ReplacePickList(int list, const std::vector<std::string>& items) {
  QComboBox* c = PickListCombo(list);
  if (!c) return;
  const QString text = c->currentText();
  c->clear();
  for (const std::string& s : items) c->addItem(FromAnsi(s));
  c->setEditText(text);
  mainLists_[static_cast<size_t>(list - 1)] = items;
  // The user chose this list: it is written even if its file was unreadable.
  unreadable_[static_cast<size_t>(list - 1)] = false;
}

std::string TMyEdit::Text(EditorEntry e) const {
  QWidget* w = Entry(e);
  if (auto* m = qobject_cast<TMaskEdit*>(w)) return ToAnsi(m->EditText());
  if (auto* c = qobject_cast<QComboBox*>(w)) return ToAnsi(c->currentText());
  return ToAnsi(qobject_cast<QLineEdit*>(w)->text());
}

void TMyEdit::SetText(EditorEntry e, const std::string& cp1252) {
  QWidget* w = Entry(e);
  const QString text = FromAnsi(cp1252);
  if (auto* m = qobject_cast<TMaskEdit*>(w))
    m->SetEditText(text);
  else if (auto* c = qobject_cast<QComboBox*>(w))
    c->setEditText(text);
  else
    qobject_cast<QLineEdit*>(w)->setText(text);
}

EditorValues TMyEdit::CurrentValues() const {
  EditorValues v;
  for (int i = 0; i < kEditorEntryCount; ++i) v.texts[static_cast<size_t>(i)] = Text(static_cast<EditorEntry>(i));
  v.warranty = Warranty->isChecked();
  return v;
}

void TMyEdit::FocusEntry(EditorEntry e) {
  MyTabbedNoteBook->setCurrentIndex(kEditorEntries[static_cast<size_t>(e)].page);
  Entry(e)->setFocus();
}

void TMyEdit::SetItemLabels() {
  const QString text = FromAnsi(Settings.fields[0].title) + ": " + Item->text();
  for (QLabel* l : {WorthItem, WarrantyItem, OtherItem}) l->setText(text);
}

void TMyEdit::LoadInData() {
  try {
    for (int i = 0; i < kEditorEntryCount; ++i) {
      const auto e = static_cast<EditorEntry>(i);
      const EditorEntryInfo& info = kEditorEntries[static_cast<size_t>(i)];
      framework::TField* f = table_.FieldByName(info.field);
      std::string text;
      if (!f->IsNull()) {
        if (info.kind == EntryKind::Date)
          text = DateEntryText(f->AsDateTime(), framework::DateSeparator, framework::ShortDateFormat);
        else if (e == eQuantity)
          text = FormatNumberIntl(f->AsInteger(), 1, 0, Settings.numericFormat, Intl);
        else if (info.kind == EntryKind::Number)
          text = MoneyEntryText(f->AsFloat(), info.maxLength);
        else
          text = f->AsString();
      }
      SetText(e, text);
    }
    Warranty->setChecked(table_.FieldByName("Warranty")->AsString() == "Yes");
  } catch (const framework::Exception& e) {
    ui::ShowMessage(e.Message(), "Error");
  }
  SetItemLabels();
  CalcTotals();
}

void TMyEdit::SaveValues() {
  snapshot_ = TakeSnapshot(CurrentValues());
  setWindowTitle("Edit");
}

bool TMyEdit::ValuesChanged() const { return keldro::ValuesChanged(snapshot_, CurrentValues()); }

void TMyEdit::CalcTotals() {
  const int64_t q = ReadWholeNumberEntry(Text(eQuantity), Settings.numericFormat, Intl).value_or(0);
  auto total = [this, q](EditorEntry e) {
    const double v = ReadNumberEntry(Text(e), Settings.currencyFormat, Intl).value_or(0);
    return FromAnsi(FormatCurrencyIntl(static_cast<double>(q) * v, 1, Settings.currencyFormat, Intl) + " ");
  };
  TotCostLabel->setText(total(eCost));
  TotValueLabel->setText(total(eValue));
  TotRepCostLabel->setText(total(eRepCost));
}

void TMyEdit::ItemExit() { SetItemLabels(); }

// Text that does not convert stays as typed: Update reports it.
void TMyEdit::MoneyExit(QLineEdit* edit) {
  if (!edit->text().trimmed().isEmpty())
    if (const std::optional<double> v = ReadNumberEntry(ToAnsi(edit->text()), Settings.currencyFormat, Intl))
      if (const std::string text = FormatCurrencyIntl(*v, 1, Settings.currencyFormat, Intl);
          static_cast<int>(text.size()) <= edit->maxLength())
        edit->setText(FromAnsi(text));  // a longer text would be cut to another number
  CalcTotals();
}

void TMyEdit::CostExit() { MoneyExit(Cost); }
void TMyEdit::ValueExit() { MoneyExit(Value); }
void TMyEdit::RepCostExit() { MoneyExit(RepCost); }

void TMyEdit::QuantityExit() {
  if (const std::optional<int64_t> q = ReadWholeNumberEntry(ToAnsi(Quantity->text()), Settings.numericFormat, Intl))
    Quantity->setText(FromAnsi(FormatNumberIntl(static_cast<double>(*q), 1, 0, Settings.numericFormat, Intl)));
  CalcTotals();
}

// ------------------------------------------------------------------ update

bool TMyEdit::DoUpdate() {
  if (BrowseMode) return false;
  const EntryTexts texts{Text(eWarDate), Text(ePurchDate), Text(eCost), Text(eValue), Text(eRepCost),
                         Text(eQuantity)};
  const CheckedEntries checked = CheckEntries(texts, Settings.currencyFormat, Settings.numericFormat, Intl);
  if (!checked.ok) {
    ui::ShowMessage(checked.message, "Error");
    FocusEntry(checked.entry);
    return false;
  }
  for (int list : kPickListUpdateOrder) {
    const std::string entry = Text(kPickListEntries[static_cast<size_t>(list - 1)]);
    AddToList(PickListCombo(list), entry);
    AddToListTixDB(mainLists_[static_cast<size_t>(list - 1)], entry);
  }
  try {
    if (EditMode == 1 || EditMode == 3)
      table_.Insert();
    else
      table_.Edit();
    for (int i = 0; i < kEditorEntryCount; ++i) {
      const EditorEntryInfo& info = kEditorEntries[static_cast<size_t>(i)];
      if (info.kind == EntryKind::Edit || info.kind == EntryKind::Combo)
        table_.FieldByName(info.field)->SetAsString(TrimBlanks(Text(static_cast<EditorEntry>(i))));
    }
    auto setDate = [this](std::string_view field, const std::optional<double>& d) {
      framework::TField* f = table_.FieldByName(field);
      if (d)
        f->SetAsDateTime(*d);
      else
        f->Clear();
    };
    setDate("WarDate", checked.warDate);
    setDate("PurchDate", checked.purchDate);
    table_.FieldByName("Cost")->SetAsFloat(checked.cost);
    table_.FieldByName("Value")->SetAsFloat(checked.value);
    table_.FieldByName("RepCost")->SetAsFloat(checked.repCost);
    table_.FieldByName("Quantity")->SetAsInteger(checked.quantity);
    table_.FieldByName("Warranty")->SetAsString(Warranty->isChecked() ? "Yes" : "No");
    table_.Post();
  } catch (const framework::Exception& e) {
    // The shown values and the mode stay; the table goes back to browsing
    // so that the next Update starts afresh on the same record.
    try {
      if (table_.State() == framework::dsInsert || table_.State() == framework::dsEdit) table_.Cancel();
    } catch (const framework::Exception&) {
    }
    ui::ShowMessage(e.Message(), "Error");
    return false;
  }
  EditMode = 2;
  return true;
}

void TMyEdit::DoAnUpdate() {
  if (DoUpdate()) SaveValues();
}

void TMyEdit::DoUpdateAndExit() {
  if (DoUpdate()) accept();
}

void TMyEdit::DoClear() {
  for (EditorEntry e : {eItem, eBrand, eModel, eSerial, eIDMarks, eComments, eCategory, eLocation, eTheOwner,
                        eWarNotes, eBought, eWarDate, ePurchDate, eUserDef1, eUserDef2, eUserDef3, eUserDef4})
    SetText(e, "");
  for (EditorEntry e : {eCost, eValue, eRepCost}) SetText(e, "0");
  SetText(eQuantity, "1");
  Warranty->setChecked(false);
  SetItemLabels();
  CalcTotals();
}

void TMyEdit::DoExit() {
  if (!BrowseMode && ValuesChanged()) {
    ui::Current().Beep();
    if (ui::ShowMessage("Data has changed.  Do you want to exit without updating?", "Warning", ui::Buttons::YesNo,
                        ui::Icon::Question, 1) != ui::Answer::Yes)
      return;
  }
  done(QDialog::Rejected);
}

// Browse-only mode never writes: the questions are not asked and the shown
// values are given up.
bool TMyEdit::AskUpdateFirst(const std::string& question) {
  if (BrowseMode) return true;
  ui::Current().Beep();
  switch (ui::ShowMessage(question, "Warning", ui::Buttons::YesNoCancel, ui::Icon::Question, 1)) {
    case ui::Answer::Yes: return DoUpdate();
    case ui::Answer::No: return true;
    default: return false;
  }
}

void TMyEdit::Move(int direction) {
  const char* where = direction < 0 ? "previous" : "next";
  if (!BrowseMode) {
    if (EditMode == 1 || EditMode == 3) {
      if (!AskUpdateFirst(std::string("This record has not been updated yet.  Update this record before moving to the ") +
                          where + " record?"))
        return;
    } else if (ValuesChanged()) {
      if (!AskUpdateFirst(std::string("Data has changed.  Update this record before moving to the ") + where +
                          " record?"))
        return;
    }
  }
  try {
    if (direction < 0)
      table_.Prior();
    else
      table_.Next();
  } catch (const framework::Exception& e) {
    ui::ShowMessage(e.Message(), "Error");
  }
  LoadInData();
  SaveValues();
  EditMode = 2;
}

void TMyEdit::DoPreviousRecord() { Move(-1); }
void TMyEdit::DoNextRecord() { Move(1); }

void TMyEdit::MenuNewClick() {
  if (ValuesChanged() && !AskUpdateFirst("Data has changed.  Update this record before creating new one?")) return;
  DoClear();
  EditMode = 1;
  SaveValues();
  setWindowTitle("Edit (New Record)");
}

void TMyEdit::MenuCopyRecordClick() {
  if (ValuesChanged() &&
      !AskUpdateFirst("Data has changed.  Update this record before creating new one with the current data?"))
    return;
  EditMode = 1;
  SaveValues();
  setWindowTitle("Edit (New Copied Record)");
}

// ------------------------------------------------------------------- keys

bool TMyEdit::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() != QEvent::KeyPress) return QDialog::eventFilter(watched, event);
  const auto* key = static_cast<QKeyEvent*>(event);
  if (key->key() != Qt::Key_Return && key->key() != Qt::Key_Enter) return QDialog::eventFilter(watched, event);
  // An open drop-down list takes Enter as its choice.
  for (QObject* o = watched; o; o = o->parent()) {
    if (o == this) break;
    if (auto* w = qobject_cast<QWidget*>(o); w && w->isWindow()) return QDialog::eventFilter(watched, event);
  }
  for (int i = 0; i < kEditorEntryCount; ++i) {
    QWidget* entry = entries_[static_cast<size_t>(i)];
    if (watched == entry || (entry && watched->parent() == entry)) {
      FocusEntry(NextEntry(static_cast<EditorEntry>(i)));
      return true;
    }
  }
  return true;  // swallowed without a move
}

// --------------------------------------------------------------- clipboard

namespace {

QLineEdit* FocusedLineEdit(QWidget* focus) {
  if (auto* c = qobject_cast<QComboBox*>(focus)) return c->lineEdit();
  return qobject_cast<QLineEdit*>(focus);
}

}  // namespace

void TMyEdit::ClipboardCut() {
  QWidget* f = focusWidget();
  if (auto* m = qobject_cast<TMaskEdit*>(f)) return m->CutSelection();
  if (QLineEdit* e = FocusedLineEdit(f)) e->cut();
}

void TMyEdit::ClipboardCopy() {
  if (QLineEdit* e = FocusedLineEdit(focusWidget())) e->copy();
}

void TMyEdit::ClipboardPaste() {
  QWidget* f = focusWidget();
  if (auto* m = qobject_cast<TMaskEdit*>(f)) return m->PasteText();
  if (QLineEdit* e = FocusedLineEdit(f)) e->paste();
}

void TMyEdit::ClipboardDelete() {
  QWidget* f = focusWidget();
  if (auto* m = qobject_cast<TMaskEdit*>(f)) return m->DeleteSelection();
  if (QLineEdit* e = FocusedLineEdit(f); e && e->hasSelectedText()) e->del();
}

void TMyEdit::ShowHelp() {
  keldro::ShowHelp("Input Window");
}

// ------------------------------------------------------------------ colours

void TMyEdit::SetColors() {
  ApplyColorGroup(this, 2);
  // The menu keeps the system's colours, as window menus do.
  QPalette system = QApplication::palette(MainMenu);
  for (QPalette::ColorRole role : {QPalette::Window, QPalette::WindowText, QPalette::Button, QPalette::ButtonText,
                                   QPalette::Base, QPalette::Text})
    system.setColor(role, system.color(role));  // set explicitly, so the window's colours do not reach it
  MainMenu->setPalette(system);
}

// -------------------------------------------------------------- pick lists

void TMyEdit::LoadList(int list) {
  const size_t i = static_cast<size_t>(list - 1);
  const PickListFile file = ReadPickListFile(platform::FindFileNoCase(ProgramDir, kPickListFiles[i]));
  unreadable_[i] = file.status == PickListFileStatus::Unreadable;
  QComboBox* c = PickListCombo(list);
  c->clear();
  for (const std::string& s : file.items) c->addItem(FromAnsi(s));
  c->setEditText(QString());
  mainLists_[i] = file.items;
}

void TMyEdit::LoadAllList() {
  for (int list = 1; list <= 5; ++list) LoadList(list);
}

// A list whose file could not be read is not written: the file keeps what
// it holds.
bool TMyEdit::SaveList(int list) {
  const size_t i = static_cast<size_t>(list - 1);
  if (unreadable_[i]) return true;
  return WritePickListFile(platform::FindFileNoCase(ProgramDir, kPickListFiles[i]), PickListItems(list));
}

bool TMyEdit::SaveAllLists() {
  bool ok = true;
  for (int list = 1; list <= 5; ++list) ok = SaveList(list) && ok;
  return ok;
}

void TMyEdit::AddToList(QComboBox* combo, const std::string& entry) {
  std::vector<std::string> items;
  for (int i = 0; i < combo->count(); ++i) items.push_back(ToAnsi(combo->itemText(i)));
  if (AddToPickList(items, entry)) combo->addItem(FromAnsi(items.back()));
}

void TMyEdit::AddToListTixDB(std::vector<std::string>& list, const std::string& entry) { AddToPickList(list, entry); }

}  // namespace keldro

#include "moc_tmyedit.cpp"
