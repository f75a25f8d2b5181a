#include "ix_lookup.h"

#include <QApplication>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QKeySequence>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <QStyle>
#include <QStyleOptionFocusRect>
#include <QStyleOptionButton>
#include <QStyleOptionFrame>

#include "grid/ix_locate.h"
#include "grid/ix_lookup_search.h"
#include "grid/ix_text.h"
#include "ix_dbgrid.h"
#include "platform/text.h"
#include "platform/ui.h"

namespace grid {

using framework::EDatabaseError;
using framework::SameText;
using framework::TDataSet;
using framework::TField;

namespace {

void Warn(const std::string& text) {
  platform::ui::ShowMessage(text, "Warning", platform::ui::Buttons::Ok, platform::ui::Icon::Warning);
}

// The LookupFields line that makes `field` a calculated lookup field of the
// dataset, with its LookupLinks line; false when it is no such field.
bool LookupLinesOf(TDataSet* dataSet, const std::string& field, std::string* fieldsLine, std::string* links) {
  TLines* fields = GetLookupFieldsList(dataSet);
  TLines* linkLines = GetLookupLinksList(dataSet);
  if (fields == nullptr || linkLines == nullptr) return false;
  for (size_t i = 0; i < fields->size() && i < linkLines->size(); ++i) {
    const std::string& line = (*fields)[i];
    if (SameText(line.substr(0, line.find(';')), field)) {
      *fieldsLine = line;
      *links = (*linkLines)[i];
      return true;
    }
  }
  return false;
}

// A lookup table served by a server is searched by ranges, whose records
// are not counted: it is the only kind that is not local.
bool IsLocal(const TixTable& table) { return !(table.IsSQLBased() && table.SyncSQLByRange); }

// How often the list follows the held mouse, and the pause in typing
// before a search (halved for a local table).
constexpr int kMouseFollowMs = 60;
constexpr int kSearchMs = 333;
// The closed combo's edge: a sunken 3D border.
constexpr int kBorder = 2;

}  // namespace

// ---------------------------------------------------------- TixDBLookupList

TixDBLookupList::TixDBLookupList(QWidget* parent) : TixCustomDBGrid(parent) {
  resize(121, 97);
  SetOptions(dgRowSelect | dgAlwaysShowSelection);
  SetReadOnly(true);
  TixCustomDBGrid::SetDataSource(&lookupSource_);
  mouseTimer_.setInterval(kMouseFollowMs);
  connect(&mouseTimer_, &QTimer::timeout, this, [this] { FollowMouse(); });
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
  ShowColumns();
}

void TixDBLookupList::SetLookupField(const std::string& fields) {
  lookupField_ = fields;
  const std::vector<std::string> keys = KeyFields();
  if (lookupTable_ != nullptr && lookupTable_->Active() && !keys.empty() &&
      lookupTable_->FindField(keys[0]) == nullptr) {
    throw EDatabaseError("Field '" + keys[0] + "' not found");
  }
  ShowColumns();
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

std::string TixDBLookupList::DisplayField() const {
  if (!Selected.empty()) return Selected[0].substr(0, Selected[0].find('\t'));
  const std::vector<std::string> keys = KeyFields();
  return keys.empty() ? std::string() : keys[0];
}

void TixDBLookupList::ShowColumns() {
  if (lookupTable_ == nullptr || !lookupTable_->Active()) return;
  LayoutChanged();
  FitLastColumn();
}

void TixDBLookupList::BuildFieldMap() {
  TixCustomDBGrid::BuildFieldMap();
  if (DataLink().FieldCount() > 0 || lookupTable_ == nullptr) return;
  const std::vector<std::string> keys = KeyFields();
  if (keys.empty()) return;
  for (int i = 0; i < lookupTable_->FieldCount(); ++i)
    if (SameText(lookupTable_->Fields(i)->FieldName(), keys[0])) DataLink().AddMapping(i);
}

bool TixDBLookupList::FieldCanChange() const {
  if (fieldLink_.FieldName().empty()) return true;
  TField* target = fieldLink_.Field();
  std::string fieldsLine, links;
  if (target != nullptr && target->Calculated() &&
      LookupLinesOf(fieldLink_.DataSet(), target->FieldName(), &fieldsLine, &links))
    return fieldLink_.DataSet() != nullptr && fieldLink_.DataSet()->CanModify() && !fieldLink_.ReadOnly();
  return fieldLink_.CanModify();
}

void TixDBLookupList::FitLastColumn() {
  if (!isVisible()) return;  // a hidden list's viewport has no width yet
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
  if (lookupTable_ == nullptr || !lookupTable_->Active() || (lookupTable_->Eof() && lookupTable_->Bof()))
    return std::string();
  const std::string shown = DisplayField();
  TField* f = shown.empty() ? nullptr : lookupTable_->FindField(shown);
  return f != nullptr ? f->Text() : Value();
}

bool TixDBLookupList::SyncToValue(const std::string& value, const std::vector<std::string>& more) {
  found_ = false;
  const std::vector<std::string> keys = KeyFields();
  if (lookupTable_ == nullptr || !lookupTable_->Active() || keys.empty()) return false;
  try {
    TField* target = fieldLink_.Field();
    TDataSet* edited = fieldLink_.DataSet();
    std::string fieldsLine, links;
    if (target != nullptr && target->Calculated() &&
        LookupLinesOf(edited, target->FieldName(), &fieldsLine, &links)) {
      // A calculated lookup field: the record its local link values name, in
      // the index its LookupFields line names.
      std::vector<std::string> parts, pairs, values;
      SplitString(fieldsLine, ';', parts);
      SplitString(links, ';', pairs);
      for (size_t i = 0; i + 1 < pairs.size(); i += 2)
        if (TField* local = edited->FindField(pairs[i])) values.push_back(local->AsString());
      if (parts.size() > 4 && !parts[4].empty() && !SameText(lookupTable_->IndexName(), parts[4]))
        lookupTable_->SetIndexName(parts[4]);
      found_ = !values.empty() && FindKeyByLookupValues(*lookupTable_, values, parts.size() > 4 ? parts[4] : "");
    } else if (const size_t indexFields = static_cast<size_t>(lookupTable_->IndexFieldCount());
               indexFields > 0 && SameText(lookupTable_->IndexFields(0)->FieldName(), keys[0])) {
      // Further keys tell equal values apart as far as the index holds them;
      // those never chosen are left out. (An index on another field would
      // be searched for the value in that field: such a table is located.)
      std::vector<std::string> values = {value};
      for (size_t i = 0; i + 1 < keys.size() && i < more.size() && !more[i].empty(); ++i) values.push_back(more[i]);
      const size_t byIndex = std::min(values.size(), indexFields);
      const std::vector<std::string> indexKey(values.begin(), values.begin() + static_cast<long>(byIndex));
      found_ = FindKeyByLookupValues(*lookupTable_, indexKey, lookupTable_->IndexName());
      if (found_ && byIndex < values.size()) found_ = PassEqualKeysTo(keys, values, indexKey);
    } else {
      // The value the field holds, whole: a value that merely begins the
      // same would be written back on the next choice.
      found_ = LocateRecord(true, *lookupTable_, keys[0], true, mtExactMatch, value);
    }
  } catch (const framework::Exception& e) {
    platform::ui::ShowMessage(e.Message(), "Error");
  }
  return found_;
}

// From the first record of the index key on, through the records of the
// same key, to the one whose key fields all hold `values`; back on the
// first of them when none does.
bool TixDBLookupList::PassEqualKeysTo(const std::vector<std::string>& keys, const std::vector<std::string>& values,
                                      const std::vector<std::string>& indexKey) {
  auto sameIndexKey = [&] {
    for (size_t i = 0; i < indexKey.size(); ++i)
      if (lookupTable_->IndexFields(static_cast<int>(i))->AsString() != indexKey[i]) return false;
    return true;
  };
  auto allKeys = [&] {
    for (size_t i = 0; i < values.size(); ++i) {
      TField* f = lookupTable_->FindField(keys[i]);
      if (f == nullptr || f->Text() != values[i]) return false;
    }
    return true;
  };
  for (; !lookupTable_->Eof() && sameIndexKey(); lookupTable_->Next())
    if (allKeys()) return true;
  FindKeyByLookupValues(*lookupTable_, indexKey, lookupTable_->IndexName());
  return false;
}

bool TixDBLookupList::SearchText(const std::string& text) {
  if (lookupTable_ == nullptr || !lookupTable_->Active()) return false;
  const std::string searchField = DisplayField();
  TField* f = lookupTable_->FindField(searchField);
  if (f == nullptr) return false;
  try {
    // Every local table of this engine is a dBASE table: an expression
    // index (UPPER(NAME)) that leads with the field takes a key search
    // built by its own expression.
    const framework::TIndexDef* active =
        lookupTable_->IndexName().empty() ? nullptr : lookupTable_->IndexDefs().Find(lookupTable_->IndexName());
    if (IsLocal(*lookupTable_) && active != nullptr && (active->Options() & framework::ixExpression) &&
        SameText(IndexLeadingField(*active, *lookupTable_), searchField)) {
      if (!CheckFieldValueText(*f, text)) return false;
      platform::ui::BusyCursor busy;
      lookupTable_->SetKey();
      f->SetAsString(text);
      lookupTable_->GotoNearest();
      return platform::AnsiUpper(f->Text()).rfind(platform::AnsiUpper(text), 0) == 0;
    }
    // An index without the search field would be searched for the typed
    // text in another field (a name in an ID index): such a table is
    // searched as one without index.
    const int n = lookupTable_->IndexFieldCount();
    for (int i = 0; i < n; ++i)
      if (SameText(lookupTable_->IndexFields(i)->FieldName(), searchField))
        return IncrementalSearch(*lookupTable_, text, i);
    if ((SearchStyle() & 1u) == 0) return false;
    return LocateRecord(true, *lookupTable_, searchField, false,
                        (SearchStyle() & 2u) ? mtPartialMatchStart : mtExactMatch, text);
  } catch (const framework::Exception& e) {
    platform::ui::ShowMessage(e.Message(), "Error");
    return false;
  }
}

void TixDBLookupList::SyncFromList() {
  TField* target = fieldLink_.Field();
  TDataSet* edited = fieldLink_.DataSet();
  if (target == nullptr || edited == nullptr || lookupTable_ == nullptr || !lookupTable_->Active()) return;
  if (lookupTable_->Bof() && lookupTable_->Eof()) return;
  std::string fieldsLine, links;
  const bool calculated = target->Calculated() && LookupLinesOf(edited, target->FieldName(), &fieldsLine, &links);
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

void TixDBLookupList::resizeEvent(QResizeEvent* event) {
  TixCustomDBGrid::resizeEvent(event);
  FitLastColumn();
}

void TixDBLookupList::mousePressEvent(QMouseEvent* event) {
  TixCustomDBGrid::mousePressEvent(event);
  if (event->button() != Qt::LeftButton || !DataLink().Active()) return;
  const QPoint at = event->position().toPoint();
  if (MouseCoord(at.x(), at.y()).row < TitleOffset()) return;
  mouseAt_ = at;
  following_ = true;
  mouseTimer_.start();
}

void TixDBLookupList::mouseMoveEvent(QMouseEvent* event) {
  if (following_) {
    mouseAt_ = event->position().toPoint();
    return;
  }
  TixCustomDBGrid::mouseMoveEvent(event);
}

// The row under the held mouse becomes the current one; above or below
// the rows the list scrolls a record at a time.
void TixDBLookupList::FollowMouse() {
  TDataSet* ds = DataSet();
  if (!following_ || ds == nullptr || !DataLink().Active()) {
    mouseTimer_.stop();
    return;
  }
  const int top = TitleOffset() > 0 ? RowHeights(0) : 0;
  Guarded([&] {
    if (mouseAt_.y() < top) {
      ds->MoveBy(-1);
    } else if (mouseAt_.y() >= viewport()->height()) {
      ds->MoveBy(1);
    } else {
      const Coord c = MouseCoord(std::max(0, std::min(mouseAt_.x(), viewport()->width() - 1)), mouseAt_.y());
      if (c.row >= TitleOffset() && c.row != Row()) ds->MoveBy(c.row - Row());
    }
  });
}

void TixDBLookupList::mouseReleaseEvent(QMouseEvent* event) {
  const bool wasFollowing = following_;
  following_ = false;
  mouseTimer_.stop();
  TixCustomDBGrid::mouseReleaseEvent(event);
  if (event->button() != Qt::LeftButton || !wasFollowing) return;
  Clicked();
}

void TixDBLookupList::Clicked() {
  if (fieldLink_.CanModify()) Guarded([this] { SyncFromList(); });
  if (OnClick) OnClick(*this);
}

bool TixDBLookupList::KeyDown(int key, Qt::KeyboardModifiers modifiers) {
  if (key == Qt::Key_Insert) return true;
  const bool arrow = key == Qt::Key_Up || key == Qt::Key_Down || key == Qt::Key_Left || key == Qt::Key_Right;
  if (arrow && !FieldCanChange()) return true;
  const bool navigation = arrow || key == Qt::Key_PageUp || key == Qt::Key_PageDown || key == Qt::Key_Home ||
                          key == Qt::Key_End;
  if (navigation && !found_ && lookupTable_ != nullptr && lookupTable_->Active()) {
    // The value was not in the table: the first key goes to the first record.
    found_ = true;
    Guarded([this] { lookupTable_->First(); });
    return true;
  }
  return TixCustomDBGrid::KeyDown(key, modifiers);
}

void TixDBLookupList::keyPressEvent(QKeyEvent* event) {
  const int key = event->key();
  if (key == Qt::Key_Escape) {
    fieldLink_.Reset();
    return;
  }
  const QString typed = event->text();
  if (!typed.isEmpty() && typed[0].isPrint() && fieldLink_.Field() != nullptr) {
    try {
      fieldLink_.Edit();
    } catch (const framework::Exception& e) {
      platform::ui::ShowMessage(e.Message(), "Error");
    }
    return;
  }
  TixCustomDBGrid::keyPressEvent(event);
}

// -------------------------------------------------------------- TixPopupGrid

TixPopupGrid::TixPopupGrid(TixDBCustomLookupCombo* combo) : TixDBLookupList(nullptr), combo_(combo) {
  setWindowFlags(Qt::Tool | Qt::FramelessWindowHint | Qt::WindowDoesNotAcceptFocus);
  setAttribute(Qt::WA_ShowWithoutActivating);
  setFocusPolicy(Qt::NoFocus);
}

unsigned TixPopupGrid::SearchStyle() const { return combo_->SearchStyle; }

void TixPopupGrid::StoreDisplayTexts() {
  ClearDisplayTexts();
  TixTable* table = LookupTable();
  if (table == nullptr || !table->Active() || (table->Bof() && table->Eof())) return;
  displayTexts_[0] = DisplayValue();
  const std::vector<std::string> keys = KeyFields();
  for (size_t i = 0; i < keys.size() && i < 3; ++i)
    if (TField* f = table->FindField(keys[i])) displayTexts_[i + 1] = f->Text();
}

void TixPopupGrid::ClearDisplayTexts() {
  for (std::string& t : displayTexts_) t.clear();
}

void TixPopupGrid::UseSelectedColumns() {
  TixTable* table = LookupTable();
  const std::vector<std::string> keys = KeyFields();
  if (table == nullptr || !table->Active()) return;
  if (Selected.empty() && !keys.empty()) {
    if (TField* f = table->FindField(keys[0]))
      Selected.push_back(f->FieldName() + "\t" + std::to_string(f->DisplayWidth()) + "\t" + f->DisplayLabel());
  }
  if (!Selected.empty()) TixDBGrid::ApplySelectedToFields(*table, Selected);
  ShowColumns();
}

// The combo keeps the focus while the drop-down is used.
bool TixPopupGrid::OwnsFocusWidget(const QWidget* widget) const {
  return widget == combo_ || TixDBLookupList::OwnsFocusWidget(widget);
}

// Letting the mouse go over the drop-down takes the row it followed.
void TixPopupGrid::Clicked() { combo_->CloseUp(true); }

// ------------------------------------------------------------ TixComboButton

TixComboButton::TixComboButton(TixDBCustomLookupCombo* combo) : QAbstractButton(combo), combo_(combo) {
  setFocusPolicy(Qt::NoFocus);
  setCursor(Qt::ArrowCursor);
  connect(this, &QAbstractButton::pressed, this, [this] { combo_->ButtonPressed(); });
}

void TixComboButton::paintEvent(QPaintEvent*) {
  QPainter p(this);
  QStyleOptionButton panel;
  panel.initFrom(this);  // a disabled combo gives a disabled button, drawn inactive
  panel.state |= isDown() ? QStyle::State_Sunken : QStyle::State_Raised;
  style()->drawPrimitive(QStyle::PE_PanelButtonBevel, &panel, &p, this);
  QStyleOption arrow = panel;
  const int inset = std::max(2, std::min(width(), height()) / 4);
  arrow.rect = rect().adjusted(inset, inset, -inset, -inset);
  if (isDown()) arrow.rect.translate(1, 1);
  style()->drawPrimitive(QStyle::PE_IndicatorArrowDown, &arrow, &p, this);
}

// --------------------------------------------------- TixDBCustomLookupCombo

TixDBCustomLookupCombo::TixDBCustomLookupCombo(QWidget* parent) : QLineEdit(parent) {
  resize(width(), 25);
  button_ = new TixComboButton(this);
  list_ = new TixPopupGrid(this);
  searchTimer_.setSingleShot(true);
  searchTimer_.setInterval(kSearchMs);
  connect(&searchTimer_, &QTimer::timeout, this, [this] { RunPendingSearch(); });
  connect(this, &QLineEdit::textEdited, this, [this] { TextTyped(); });
  fieldLink_.OnDataChange = [this] { ShowFieldText(); };
  fieldLink_.OnActiveChange = [this] { ShowFieldText(); };
  fieldLink_.OnUpdateData = [this] {
    if (TField* f = fieldLink_.Field()) f->SetText(QStringToAnsi(text()));
  };
}

TixDBCustomLookupCombo::~TixDBCustomLookupCombo() {
  fieldLink_.SetDataSource(nullptr);
  delete list_;
}

void TixDBCustomLookupCombo::ButtonPressed() {
  if (focusPolicy() != Qt::NoFocus && isEnabled()) setFocus(Qt::MouseFocusReason);
  if (ListVisible())
    CloseUp(true);
  else
    DropDown();
}

QString TixDBCustomLookupCombo::CharCased(const QString& typed) const {
  switch (charCase_) {
    case ecUpperCase: return AnsiToQString(platform::AnsiUpper(QStringToAnsi(typed)));
    case ecLowerCase: return AnsiToQString(platform::AnsiLower(QStringToAnsi(typed)));
    default: return typed;
  }
}

void TixDBCustomLookupCombo::SetDataSource(framework::TDataSource* source) {
  list_->SetDataSource(source);
  fieldLink_.SetDataSource(source);
}

void TixDBCustomLookupCombo::SetDataField(const std::string& name) {
  list_->SetDataField(name);
  fieldLink_.SetFieldName(name);
}

// The field's text in the edit; the closed combo shows its lookup record's
// shown field when that is another field than the value.
void TixDBCustomLookupCombo::ShowFieldText() {
  showing_ = true;
  typed_ = false;
  TField* f = fieldLink_.Field();
  const std::string value = f != nullptr && fieldLink_.Active() ? f->Text() : std::string();
  setText(AnsiToQString(value));
  displayText_ = text();
  TixTable* table = list_->LookupTable();
  const std::vector<std::string> keys = list_->KeyFields();
  if (f != nullptr && !f->Calculated() && table != nullptr && table->Active() && !keys.empty() &&
      !SameText(list_->DisplayField(), keys[0]) && !ListVisible()) {
    if (list_->SyncToValue(value, {displayValue2_, displayValue3_})) displayText_ = AnsiToQString(list_->DisplayValue());
  }
  showing_ = false;
  update();
}

QString TixDBCustomLookupCombo::DisplayText() const { return displayText_; }

bool TixDBCustomLookupCombo::TakesTypedText() const { return ListVisible() || typed_; }

int TixDBCustomLookupCombo::AdjustedHeight() const {
  const int fontHeight = fontMetrics().height();
  const int systemHeight = QFontMetrics(QApplication::font()).height();
  return 2 * kBorder + fontHeight + std::min(fontHeight, systemHeight) / 4 + 1 - (hasFrame() ? 0 : 2);
}

void TixDBCustomLookupCombo::changeEvent(QEvent* event) {
  QLineEdit::changeEvent(event);
  // Over a grid's cell the grid sets the height.
  if (event->type() == QEvent::FontChange && ownerGrid_ == nullptr) resize(width(), AdjustedHeight());
}

void TixDBCustomLookupCombo::resizeEvent(QResizeEvent* event) {
  QLineEdit::resizeEvent(event);
  const int w = style()->pixelMetric(QStyle::PM_ScrollBarExtent);
  button_->setGeometry(width() - w - 2, 2, w, std::min(17, height() - 4));
  setTextMargins(0, 0, w + 2, 0);
}

// Closed and untouched, the combo shows the value's display text the way a
// drop-down list does: highlighted with a focus rectangle while focused.
void TixDBCustomLookupCombo::paintEvent(QPaintEvent* event) {
  if (TakesTypedText()) {
    QLineEdit::paintEvent(event);
    return;
  }
  QPainter p(this);
  const QPalette& pal = palette();
  p.fillRect(rect(), isEnabled() ? pal.color(QPalette::Base) : pal.color(QPalette::Window));
  int frame = 0;
  if (hasFrame()) {
    QStyleOptionFrame opt;
    initStyleOption(&opt);
    style()->drawPrimitive(QStyle::PE_PanelLineEdit, &opt, &p, this);
    frame = style()->pixelMetric(QStyle::PM_DefaultFrameWidth, &opt, this);
  }
  const bool inGrid = qobject_cast<TixDBGrid*>(ownerGrid_) != nullptr;
  const int left = inGrid ? 4 : 2;
  const int top = inGrid ? 3 : 1;
  const int right = button_->isVisible() ? width() - button_->x() : 0;
  QRect client(frame, frame, width() - 2 * frame - right, height() - 2 * frame);
  QColor textColor = isEnabled() ? pal.color(QPalette::Text) : pal.color(QPalette::Disabled, QPalette::Text);
  if (hasFocus()) {
    const QRect mark = client.adjusted(1, 1, -1, -1);
    p.fillRect(mark, pal.color(QPalette::Highlight));
    textColor = pal.color(QPalette::HighlightedText);
    QStyleOptionFocusRect focus;
    focus.initFrom(this);
    focus.rect = mark;
    focus.backgroundColor = pal.color(QPalette::Highlight);
    style()->drawPrimitive(QStyle::PE_FrameFocusRect, &focus, &p, this);
  }
  p.setPen(textColor);
  p.setFont(font());
  const QRect textRect(client.left() + left, client.top() + top, client.width() - left, fontMetrics().height());
  p.drawText(textRect, Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine, DisplayText());
}

void TixDBCustomLookupCombo::DropDown() {
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
  try {
    list_->SetLookupField(list_->LookupField());  // the value field of the open table
    list_->UseSelectedColumns();
  } catch (const framework::Exception& e) {
    platform::ui::ShowMessage(e.Message(), "Error");
    return;
  }
  if (OnDropDown) OnDropDown(*this);
  int rows = std::max(1, DropDownCount);
  bool scrollBar = true;
  if (IsLocal(*table)) {
    // A short table gives a short list, without a scroll bar.
    const int records = GetRecordCount(*table);
    if (records >= 0 && records < rows) {
      rows = std::max(1, records);
      scrollBar = false;
    }
  }
  list_->SetScrollBars(scrollBar ? TScrollStyle::ssVertical : TScrollStyle::ssNone);
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
  TField* f = fieldLink_.Field();
  list_->SyncToValue(f != nullptr ? f->Text() : QStringToAnsi(text()), {displayValue2_, displayValue3_});
  list_->StoreDisplayTexts();
  list_->show();
  lastSearch_ = QStringToAnsi(text());
  update();
}

void TixDBCustomLookupCombo::CloseUp(bool accept) {
  if (!ListVisible()) return;
  if (searchTimer_.isActive()) RunPendingSearch();
  list_->MouseFollowTimer().stop();
  list_->hide();
  if (accept) {
    try {
      list_->SyncFromList();
    } catch (const framework::Exception& e) {
      platform::ui::ShowMessage(e.Message(), "Error");
    }
    list_->StoreDisplayTexts();
    displayValue2_ = list_->DisplayText(2);
    displayValue3_ = list_->DisplayText(3);
    if (fieldLink_.Field() != nullptr) {
      ShowFieldText();
    } else {
      // Without a field the choice is the combo's own text.
      typed_ = false;
      setText(AnsiToQString(list_->DisplayText(1)));
      displayText_ = AnsiToQString(list_->DisplayText(0));
    }
    selectAll();
  }
  update();
  if (OnCloseUp) OnCloseUp(*this);
}

void TixDBCustomLookupCombo::TextTyped() {
  if (showing_ || !ListVisible()) return;
  TixTable* table = list_->LookupTable();
  searchTimer_.setInterval(table != nullptr && IsLocal(*table) ? kSearchMs / 2 : kSearchMs);
  searchTimer_.start();
}

void TixDBCustomLookupCombo::RunPendingSearch() {
  searchTimer_.stop();
  const std::string typed = QStringToAnsi(text());
  if (typed == lastSearch_) return;
  lastSearch_ = typed;
  list_->SearchText(typed);
  list_->StoreDisplayTexts();
}

bool TixDBCustomLookupCombo::HandToGrid(int key, Qt::KeyboardModifiers modifiers) {
  if (ownerGrid_ == nullptr) return false;
  ownerGrid_->setFocus(Qt::OtherFocusReason);
  ownerGrid_->KeyDown(key, modifiers);
  return true;
}

bool TixDBCustomLookupCombo::GridKeyEvent(int& key, Qt::KeyboardModifiers modifiers) {
  if (ownerGrid_ != nullptr && ownerGrid_->OnKeyDown) ownerGrid_->OnKeyDown(*ownerGrid_, key, modifiers);
  return key != 0;
}

bool TixDBCustomLookupCombo::CanTypeText() const {
  if (isReadOnly()) return false;
  return fieldLink_.Field() == nullptr ? fieldLink_.FieldName().empty() : fieldLink_.CanModify();
}

// The dataset goes into edit first; going there reads the record again,
// which shows the field, so what the user sees is put back afterwards.
bool TixDBCustomLookupCombo::BeginTyping() {
  if (fieldLink_.Field() != nullptr && !fieldLink_.Modified()) {
    const QString shown = text();
    const int cursor = cursorPosition();
    const int selStart = selectionStart();
    const int selLength = selectionLength();
    bool editing = false;
    try {
      editing = fieldLink_.Edit();
    } catch (const framework::Exception& e) {
      platform::ui::ShowMessage(e.Message(), "Error");
    }
    if (!editing) return false;
    showing_ = true;
    setText(shown);
    if (selStart >= 0)
      setSelection(selStart, selLength);
    else
      setCursorPosition(cursor);
    showing_ = false;
    fieldLink_.SetModified();
  }
  typed_ = true;
  update();
  return true;
}

bool TixDBCustomLookupCombo::IsCharKey(const QKeyEvent& event) const {
  if (event.key() == Qt::Key_Backspace) return true;
  if (event.matches(QKeySequence::Paste) || event.matches(QKeySequence::Cut)) return true;
  const QString t = event.text();
  return !t.isEmpty() && t[0].isPrint() && !(event.modifiers() & (Qt::ControlModifier | Qt::AltModifier));
}

bool TixDBCustomLookupCombo::event(QEvent* event) {
  // Over a grid, or with the list open, Tab reaches the key handler instead
  // of moving the focus.
  if (event->type() == QEvent::KeyPress && (ownerGrid_ != nullptr || ListVisible())) {
    auto* key = static_cast<QKeyEvent*>(event);
    if (key->key() == Qt::Key_Tab || key->key() == Qt::Key_Backtab) {
      keyPressEvent(key);
      return true;
    }
  }
  return QLineEdit::event(event);
}

void TixDBCustomLookupCombo::focusInEvent(QFocusEvent* event) {
  QLineEdit::focusInEvent(event);
  focusText_ = QStringToAnsi(text());
  focusValue_ = list_->Value();
  update();
}

// Typed text is written into the field when the combo is left.
void TixDBCustomLookupCombo::focusOutEvent(QFocusEvent* event) {
  QLineEdit::focusOutEvent(event);
  if (event->reason() == Qt::PopupFocusReason) return;
  CloseUp(false);
  update();
  if (event->reason() == Qt::ActiveWindowFocusReason || !fieldLink_.Modified()) return;
  try {
    fieldLink_.UpdateRecord();
  } catch (const framework::Exception& e) {
    platform::ui::ShowMessage(e.Message(), "Error");
    setFocus();
  }
}

void TixDBCustomLookupCombo::keyPressEvent(QKeyEvent* event) {
  int key = event->key();
  const Qt::KeyboardModifiers mods = event->modifiers();
  const bool alt = mods & Qt::AltModifier;
  const bool ctrl = mods & Qt::ControlModifier;
  const bool open = ListVisible();

  // Closed over a grid's cell: the keys that move between cells are the grid's.
  if (!open && ownerGrid_ != nullptr) {
    const bool vertical =
        key == Qt::Key_Up || key == Qt::Key_Down || key == Qt::Key_PageUp || key == Qt::Key_PageDown;
    const bool alwaysEditor = ownerGrid_->Options() & dgAlwaysShowEditor;
    const bool noSelection = selectionLength() == 0;
    const bool atStart = noSelection && cursorPosition() == 0;
    const bool atEnd = noSelection && cursorPosition() == text().size();
    if ((vertical && !alt) ||
        (alwaysEditor && (key == Qt::Key_Home || key == Qt::Key_Left) && (ctrl || atStart)) ||
        (alwaysEditor && (key == Qt::Key_End || key == Qt::Key_Right) && (ctrl || atEnd))) {
      HandToGrid(key, mods);
      return;
    }
    if (!GridKeyEvent(key, mods)) return;
    if (key == Qt::Key_F2) {
      setSelection(0, static_cast<int>(text().size()));
      return;
    }
  }

  switch (key) {
    case Qt::Key_Up:
    case Qt::Key_Down:
    case Qt::Key_PageUp:
    case Qt::Key_PageDown:
      if (open) {
        list_->KeyDown(key, mods & ~Qt::AltModifier);
        list_->StoreDisplayTexts();
        return;
      }
      if (alt) DropDown();
      return;
    case Qt::Key_Home:
    case Qt::Key_End:
    case Qt::Key_Left:
    case Qt::Key_Right:
      if (!CanTypeText()) return;
      break;
    case Qt::Key_Insert:
    case Qt::Key_Delete:
      if (!CanTypeText() || !BeginTyping()) return;
      break;
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
      // An open list gives its value first, then the grid (or the form) moves on.
      if (open) CloseUp(true);
      if (!HandToGrid(Qt::Key_Tab, key == Qt::Key_Backtab ? (mods | Qt::ShiftModifier) : mods))
        focusNextPrevChild(key == Qt::Key_Tab && !(mods & Qt::ShiftModifier));
      return;
    case Qt::Key_Return:
    case Qt::Key_Enter:
      // Closed, Enter is dropped: over a grid its key event has had it.
      if (open) CloseUp(true);
      return;
    case Qt::Key_Escape:
      CloseUp(false);
      if (fieldLink_.Field() != nullptr) {
        fieldLink_.Reset();
        selectAll();
      } else {
        setText(AnsiToQString(focusText_));
        list_->SyncToValue(focusValue_);
      }
      if (!open && ownerGrid_ != nullptr) ownerGrid_->setFocus(Qt::OtherFocusReason);
      return;
    default:
      break;
  }

  const QString cased = CharCased(event->text());
  if (!open && IsCharKey(*event)) {
    const QString typed = cased;
    TField* f = fieldLink_.Field();
    if (key != Qt::Key_Backspace && !ctrl && f != nullptr) {
      const std::string ansi = QStringToAnsi(typed);
      if (!ansi.empty() && !f->IsValidChar(ansi[0])) {
        platform::ui::Current().Beep();
        return;
      }
    }
    if (!CanTypeText() || !BeginTyping()) return;
  }
  if (cased != event->text()) {
    QKeyEvent typed(event->type(), event->key(), event->modifiers(), cased, event->isAutoRepeat(),
                    static_cast<ushort>(event->count()));
    QLineEdit::keyPressEvent(&typed);
    return;
  }
  QLineEdit::keyPressEvent(event);
}

}  // namespace grid

#include "moc_ix_lookup.cpp"
