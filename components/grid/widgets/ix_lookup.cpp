#include "ix_lookup.h"

#include <QGuiApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QScreen>
#include <QStyle>

#include "grid/ix_text.h"
#include "ix_dbgrid.h"
#include "platform/ui.h"

namespace grid {

using framework::EDatabaseError;
using framework::TDataSet;
using framework::TField;

namespace {

void Warn(const std::string& text) {
  platform::ui::ShowMessage(text, "Warning", platform::ui::Buttons::Ok, platform::ui::Icon::Warning);
}

std::string Upper(std::string s) {
  for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return s;
}

// The LookupFields line that makes `field` a calculated lookup field of the
// dataset, with its LookupLinks line; false when it is no such field.
bool LookupLinksOf(TDataSet* dataSet, const std::string& field, std::string* links) {
  TLines* fields = GetLookupFieldsList(dataSet);
  TLines* linkLines = GetLookupLinksList(dataSet);
  if (fields == nullptr || linkLines == nullptr) return false;
  for (size_t i = 0; i < fields->size() && i < linkLines->size(); ++i) {
    const std::string& line = (*fields)[i];
    if (framework::SameText(line.substr(0, line.find(';')), field)) {
      *links = (*linkLines)[i];
      return true;
    }
  }
  return false;
}

}  // namespace

// ---------------------------------------------------------- TixDBLookupList

TixDBLookupList::TixDBLookupList(QWidget* parent) : TixCustomDBGrid(parent) {
  resize(121, 97);
  SetOptions(dgRowSelect | dgAlwaysShowSelection);
  SetReadOnly(true);
  TixCustomDBGrid::SetDataSource(&lookupSource_);
}

TixDBLookupList::~TixDBLookupList() {
  fieldLink_.SetDataSource(nullptr);
  TixCustomDBGrid::SetDataSource(nullptr);
}

void TixDBLookupList::SetDataSource(framework::TDataSource* source) {
  if (source != nullptr && lookupTable_ != nullptr && source->DataSet() == lookupTable_) {
    throw EDatabaseError("Unable to use duplicate DataSource and LookupSource");
  }
  fieldLink_.SetDataSource(source);
}

void TixDBLookupList::SetDataField(const std::string& name) { fieldLink_.SetFieldName(name); }

void TixDBLookupList::SetLookupTable(TixTable* table) {
  if (table != nullptr && fieldLink_.DataSet() == table) {
    throw EDatabaseError("Unable to use duplicate DataSource and LookupSource");
  }
  lookupTable_ = table;
  lookupSource_.SetDataSet(table);
  ApplyColumns();
}

void TixDBLookupList::SetLookupField(const std::string& fields) {
  lookupField_ = fields;
  const std::vector<std::string> keys = KeyFields();
  if (lookupTable_ != nullptr && lookupTable_->Active() && !keys.empty() &&
      lookupTable_->FindField(keys[0]) == nullptr) {
    throw EDatabaseError("Field '" + keys[0] + "' not found");
  }
  ApplyColumns();
}

void TixDBLookupList::SetListOptions(unsigned options) {
  listOptions_ = options;
  TixDBGridOptions o = dgRowSelect | dgAlwaysShowSelection;
  if (options & loColLines) o |= dgColLines;
  if (options & loRowLines) o |= dgRowLines;
  if (options & loTitles) o |= dgTitles;
  SetOptions(o);
}

std::vector<std::string> TixDBLookupList::KeyFields() const {
  std::vector<std::string> parts;
  if (lookupField_.empty()) return parts;
  SplitString(lookupField_, ';', parts);
  if (parts.size() > 3) parts.resize(3);
  return parts;
}

// The shown fields: the Selected lines, else the value field alone; the
// last column takes the room that is left.
void TixDBLookupList::ApplyColumns() {
  if (lookupTable_ == nullptr || !lookupTable_->Active()) return;
  const std::vector<std::string> keys = KeyFields();
  if (Selected.empty() && !keys.empty()) {
    if (TField* f = lookupTable_->FindField(keys[0])) {
      Selected.push_back(f->FieldName() + "\t" + std::to_string(f->DisplayWidth()) + "\t" + f->DisplayLabel());
    }
  }
  if (!Selected.empty()) TixDBGrid::ApplySelectedToFields(*lookupTable_, Selected);
  LayoutChanged();
  int total = 0;
  for (int c = FirstDataCol(); c < ColCount(); ++c) total += ColWidths(c) + GridLineWidth();
  const int client = viewport()->width();
  if (ColCount() > FirstDataCol() && (total < client - 15 || ColCount() - FirstDataCol() == 1)) {
    const int last = ColCount() - 1;
    SetColWidths(last, std::max(ColWidths(last), client - (total - ColWidths(last) - GridLineWidth()) - 1));
  }
}

std::string TixDBLookupList::Value() const {
  const std::vector<std::string> keys = KeyFields();
  if (lookupTable_ == nullptr || !lookupTable_->Active() || keys.empty() ||
      (lookupTable_->Eof() && lookupTable_->Bof())) {
    return std::string();
  }
  TField* f = lookupTable_->FindField(keys[0]);
  return f != nullptr ? f->Text() : std::string();
}

std::string TixDBLookupList::DisplayValue() const {
  if (lookupTable_ == nullptr || !lookupTable_->Active()) return std::string();
  std::string shown = Selected.empty() ? std::string() : Selected[0].substr(0, Selected[0].find('\t'));
  TField* f = shown.empty() ? nullptr : lookupTable_->FindField(shown);
  return f != nullptr ? f->Text() : Value();
}

bool TixDBLookupList::SyncToValue(const std::string& value, const std::vector<std::string>& more) {
  found_ = false;
  const std::vector<std::string> keys = KeyFields();
  if (lookupTable_ == nullptr || !lookupTable_->Active() || keys.empty()) return false;
  try {
    if (lookupTable_->IndexFieldCount() > 0) {
      std::vector<std::string> values = {value};
      for (size_t i = 0; i + 1 < keys.size() && i < more.size(); ++i) values.push_back(more[i]);
      found_ = FindKeyByLookupValues(*lookupTable_, values, lookupTable_->IndexName());
    } else {
      // No index: the records are walked for the value.
      TField* f = lookupTable_->FindField(keys[0]);
      if (f == nullptr) return false;
      for (lookupTable_->First(); !lookupTable_->Eof(); lookupTable_->Next()) {
        if (f->Text() == value) {
          found_ = true;
          break;
        }
      }
      if (!found_) lookupTable_->First();
    }
  } catch (const framework::Exception& e) {
    platform::ui::ShowMessage(e.Message(), "Error");
  }
  return found_;
}

bool TixDBLookupList::SearchText(const std::string& text) {
  const std::vector<std::string> keys = KeyFields();
  if (lookupTable_ == nullptr || !lookupTable_->Active() || keys.empty()) return false;
  TField* f = lookupTable_->FindField(keys[0]);
  if (f == nullptr || !CheckFieldValueText(*f, text)) return false;
  const std::string wanted = Upper(text);
  platform::ui::BusyCursor busy;
  if (lookupTable_->IndexFieldCount() > 0 && framework::SameText(lookupTable_->IndexFields(0)->FieldName(), keys[0])) {
    lookupTable_->FindNearest({text});
    return Upper(f->Text()).find(wanted) != std::string::npos;
  }
  for (lookupTable_->First(); !lookupTable_->Eof(); lookupTable_->Next()) {
    if (Upper(f->Text()).rfind(wanted, 0) == 0) return true;
  }
  lookupTable_->First();
  return false;
}

void TixDBLookupList::SyncFromList() {
  TField* target = fieldLink_.Field();
  TDataSet* edited = fieldLink_.DataSet();
  if (target == nullptr || edited == nullptr || lookupTable_ == nullptr || !lookupTable_->Active()) return;
  std::string links;
  const bool calculated = target->Calculated() && LookupLinksOf(edited, target->FieldName(), &links);
  if (!fieldLink_.CanModify() && !calculated) return;
  if (!fieldLink_.Edit()) return;
  if (calculated) {
    // "local;lookup" pairs: the chosen record's lookup values go to the local fields.
    std::vector<std::string> parts;
    SplitString(links, ';', parts);
    for (size_t i = 0; i + 1 < parts.size(); i += 2) {
      TField* local = edited->FindField(parts[i]);
      TField* remote = lookupTable_->FindField(parts[i + 1]);
      if (local != nullptr && remote != nullptr) local->SetText(remote->Text());
    }
    return;
  }
  const std::string value = Value();
  if (target->Text() != value) target->SetText(value);
}

void TixDBLookupList::mouseReleaseEvent(QMouseEvent* event) {
  TixCustomDBGrid::mouseReleaseEvent(event);
  if (event->button() != Qt::LeftButton) return;
  if (Combo != nullptr) {
    Combo->CloseUp(true);
    return;
  }
  if (fieldLink_.CanModify()) SyncFromList();
  if (OnClick) OnClick(*this);
}

void TixDBLookupList::keyPressEvent(QKeyEvent* event) {
  const int key = event->key();
  if (key == Qt::Key_Insert) return;
  const bool navigation = key == Qt::Key_Up || key == Qt::Key_Down || key == Qt::Key_Left || key == Qt::Key_Right;
  if (navigation && Combo == nullptr && !fieldLink_.CanModify()) return;
  if (navigation && !found_ && lookupTable_ != nullptr && lookupTable_->Active()) {
    // The value was not in the table: the first key goes to the first record.
    found_ = true;
    lookupTable_->First();
    return;
  }
  if (key == Qt::Key_Escape) {
    fieldLink_.Reset();
    return;
  }
  TixCustomDBGrid::keyPressEvent(event);
}

// --------------------------------------------------------- TixDBLookupCombo

TixDBLookupCombo::TixDBLookupCombo(QWidget* parent) : QLineEdit(parent) {
  resize(width(), 25);
  button_ = new QToolButton(this);
  button_->setArrowType(Qt::DownArrow);
  button_->setFocusPolicy(Qt::NoFocus);
  button_->setCursor(Qt::ArrowCursor);
  connect(button_, &QToolButton::clicked, this, [this] {
    if (focusPolicy() != Qt::NoFocus) setFocus(Qt::MouseFocusReason);
    if (ListVisible()) {
      CloseUp(true);
    } else {
      DropDown();
    }
  });
  list_ = new TixDBLookupList(nullptr);
  list_->Combo = this;
  list_->setWindowFlags(Qt::Tool | Qt::FramelessWindowHint | Qt::WindowDoesNotAcceptFocus);
  list_->setAttribute(Qt::WA_ShowWithoutActivating);
  list_->setFocusPolicy(Qt::NoFocus);
  searchTimer_.setSingleShot(true);
  searchTimer_.setInterval(333);
  connect(&searchTimer_, &QTimer::timeout, this, [this] { RunPendingSearch(); });
  connect(this, &QLineEdit::textEdited, this, [this] { TextTyped(); });
  fieldLink_.OnDataChange = [this] { ShowFieldText(); };
  fieldLink_.OnActiveChange = [this] { ShowFieldText(); };
}

TixDBLookupCombo::~TixDBLookupCombo() {
  fieldLink_.SetDataSource(nullptr);
  delete list_;
}

void TixDBLookupCombo::SetDataSource(framework::TDataSource* source) {
  list_->SetDataSource(source);
  fieldLink_.SetDataSource(source);
}

void TixDBLookupCombo::SetDataField(const std::string& name) {
  list_->SetDataField(name);
  fieldLink_.SetFieldName(name);
}

void TixDBLookupCombo::ShowFieldText() {
  TField* f = fieldLink_.Field();
  setText(f != nullptr && fieldLink_.Active() ? AnsiToQString(f->Text()) : QString());
}

void TixDBLookupCombo::resizeEvent(QResizeEvent* event) {
  QLineEdit::resizeEvent(event);
  const int w = style()->pixelMetric(QStyle::PM_ScrollBarExtent);
  button_->setGeometry(width() - w - 2, 2, w, std::min(17, height() - 4));
  setTextMargins(0, 0, w + 2, 0);
}

void TixDBLookupCombo::DropDown() {
  TixTable* table = list_->LookupTable();
  if (table == nullptr) {
    Warn("No lookup table specified!");
    return;
  }
  if (!table->Active()) {
    Warn("Lookup table is not active!");
    return;
  }
  if (width() <= 20 || ListVisible()) return;
  list_->SetLookupField(list_->LookupField());  // the columns of the open table
  if (OnDropDown) OnDropDown(*this);
  int rows = std::max(1, DropDownCount);
  // A dBASE table is local: a short table gives a short list.
  const int records = GetRecordCount(*table);
  if (records >= 0 && records < rows) rows = std::max(1, records);
  const int height = rows * (list_->DefaultRowHeight() + list_->GridLineWidth()) + 5;
  int total = 0;
  for (int c = 0; c < list_->ColCount(); ++c) total += list_->ColWidths(c) + list_->GridLineWidth();
  const int listWidth = std::max(width(), total + style()->pixelMetric(QStyle::PM_ScrollBarExtent));
  QPoint at = mapToGlobal(QPoint(0, this->height()));
  const QScreen* screen = this->screen() != nullptr ? this->screen() : QGuiApplication::primaryScreen();
  const QRect area = screen != nullptr ? screen->availableGeometry() : QRect(0, 0, 1 << 20, 1 << 20);
  if (at.y() + height > area.bottom() + 1) at = mapToGlobal(QPoint(0, -height));
  list_->setGeometry(at.x(), at.y(), listWidth, height);
  if (window() != nullptr && (window()->windowFlags() & Qt::WindowStaysOnTopHint)) {
    list_->setWindowFlags(list_->windowFlags() | Qt::WindowStaysOnTopHint);
  }
  savedText_ = QStringToAnsi(text());
  TField* f = fieldLink_.Field();
  list_->SyncToValue(f != nullptr ? f->Text() : QStringToAnsi(text()));
  list_->show();
  lastSearch_ = QStringToAnsi(text());
}

void TixDBLookupCombo::CloseUp(bool accept) {
  if (!ListVisible()) return;
  if (searchTimer_.isActive()) RunPendingSearch();
  list_->hide();
  if (accept) {
    list_->SyncFromList();
    TField* f = fieldLink_.Field();
    if (f != nullptr && !f->Calculated()) ShowFieldText();
    selectAll();
  } else {
    fieldLink_.Reset();
    ShowFieldText();
  }
  update();
  if (OnCloseUp) OnCloseUp(*this);
}

void TixDBLookupCombo::TextTyped() {
  if (!ListVisible()) return;
  // The list's table is local (dBASE): the wait is halved.
  searchTimer_.setInterval(166);
  searchTimer_.start();
}

void TixDBLookupCombo::RunPendingSearch() {
  searchTimer_.stop();
  const std::string typed = QStringToAnsi(text());
  if (typed == lastSearch_) return;
  lastSearch_ = typed;
  TixTable* table = list_->LookupTable();
  if (table == nullptr || !table->Active()) return;
  if (table->IndexFieldCount() == 0 && (SearchStyle & 1u) == 0) return;
  list_->SearchText(typed);
}

bool TixDBLookupCombo::HandToGrid(int key, Qt::KeyboardModifiers modifiers) {
  if (ownerGrid_ == nullptr) return false;
  ownerGrid_->setFocus(Qt::OtherFocusReason);
  ownerGrid_->KeyDown(key, modifiers);
  return true;
}

bool TixDBLookupCombo::event(QEvent* event) {
  // Tab reaches the key handler instead of moving the focus.
  if (event->type() == QEvent::KeyPress) {
    auto* key = static_cast<QKeyEvent*>(event);
    if (key->key() == Qt::Key_Tab || key->key() == Qt::Key_Backtab) {
      keyPressEvent(key);
      return true;
    }
  }
  return QLineEdit::event(event);
}

void TixDBLookupCombo::keyPressEvent(QKeyEvent* event) {
  const int key = event->key();
  const Qt::KeyboardModifiers mods = event->modifiers();
  const bool alt = mods & Qt::AltModifier;
  const bool open = ListVisible();
  switch (key) {
    case Qt::Key_Up:
    case Qt::Key_Down:
    case Qt::Key_PageUp:
    case Qt::Key_PageDown:
      if (open) {
        list_->KeyDown(key, mods);
        return;
      }
      if (alt) {
        DropDown();
        return;
      }
      if (HandToGrid(key, mods)) return;
      break;
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
      // An open list gives its value first, then the grid moves on.
      if (open) CloseUp(true);
      if (HandToGrid(Qt::Key_Tab, key == Qt::Key_Backtab ? (mods | Qt::ShiftModifier) : mods)) return;
      break;
    case Qt::Key_Return:
    case Qt::Key_Enter:
      if (open) {
        CloseUp(true);
        return;
      }
      if (HandToGrid(key, mods)) return;
      break;
    case Qt::Key_Escape:
      if (open) {
        CloseUp(false);
        return;
      }
      fieldLink_.Reset();
      ShowFieldText();
      if (ownerGrid_ != nullptr) ownerGrid_->setFocus(Qt::OtherFocusReason);
      return;
    default:
      break;
  }
  QLineEdit::keyPressEvent(event);
}

}  // namespace grid
