#include "ix_dbgrid.h"

#include <algorithm>

#include <QApplication>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QStyleOptionFocusRect>

#include "grid/ix_text.h"
#include "ix_dbcombobox.h"
#include "ix_lookup.h"
#include "ix_memo_dialog.h"
#include "platform/text.h"
#include "platform/ui.h"

namespace grid {

namespace ui = platform::ui;
using framework::TDataSet;
using framework::TField;

namespace {

std::vector<std::string> Split(const std::string& line, char delimiter) {
  std::vector<std::string> parts;
  SplitString(line, delimiter, parts);
  return parts;
}

}  // namespace

TixDBGrid::TixDBGrid(QWidget* parent) : TixCustomDBGrid(parent) {}

TixDBGrid::~TixDBGrid() = default;

// ------------------------------------------------------------- properties

void TixDBGrid::SetSelected(const TLines& lines) { selected_ = lines; }

void TixDBGrid::SetMemoAttributes(TMemoAttributes attributes) {
  memoAttributes_ = attributes;
  CheckDataSetClass();
}

void TixDBGrid::SetTitleAlignment(framework::TAlignment alignment) {
  if (alignment == titleAlignment_) return;
  titleAlignment_ = alignment;
  InvalidateGrid();
}

void TixDBGrid::SetFixedDataCols(int count) {
  fixedDataCols_ = count;
  LayoutChanged();
}

void TixDBGrid::SetShowHorzScrollBar(bool show) {
  showHorzScrollBar_ = show;
  SetScrollBars(show ? TScrollStyle::ssBoth : TScrollStyle::ssVertical);
}

void TixDBGrid::SetTitleLines(int lines) {
  if (lines < 1 || lines == titleLines_) return;
  titleLines_ = lines;
  LayoutChanged();
}

void TixDBGrid::SetDataSource(framework::TDataSource* source) {
  TixCustomDBGrid::SetDataSource(dynamic_cast<TixDataSource*>(source));
}

// ---------------------------------------------------- checking and attaching

QWidget* TixDBGrid::Form() const { return window(); }

TixDBComboBox* TixDBGrid::FindCombo(const std::string& name) const {
  return Form()->findChild<TixDBComboBox*>(QString::fromStdString(name));
}

TixDBCustomLookupCombo* TixDBGrid::FindLookupCombo(const std::string& name) const {
  return Form()->findChild<TixDBCustomLookupCombo*>(QString::fromStdString(name));
}

void TixDBGrid::ApplySelectedToFields(TDataSet& dataSet, const TLines& lines) {
  for (int i = 0; i < dataSet.FieldCount(); ++i) dataSet.Fields(i)->SetVisible(false);
  for (size_t i = 0; i < lines.size(); ++i) {
    const std::vector<std::string> parts = Split(lines[i], '\t');
    TField* field = dataSet.FindField(parts[0]);
    if (!field) continue;  // its line still holds its place
    int64_t width = 0;
    if (parts.size() > 1 && framework::TryStrToInt(framework::Trim(parts[1]), width) && width > 0 && width < 32768)
      field->SetDisplayWidth(static_cast<int>(width));
    if (parts.size() > 2) field->SetDisplayLabel(parts[2]);
    field->SetIndex(static_cast<int>(i));
    field->SetVisible(true);
  }
}

void TixDBGrid::AttachControlTypes() {
  TDataSet* ds = DataSet();
  if (!ds) return;
  hasComboColumns_ = false;
  hasLookupColumns_ = false;
  if (TLines* lines = GetControlTypeList(ds)) {
    std::vector<QWidget*> attached;
    const auto AttachedTwice = [this](const std::vector<std::string>& parts, const std::string& current) {
      ui::ShowMessage("Combobox " + parts[2] + " is attached twice to the grid " + objectName().toStdString() +
                          " on field " + parts[0] + " and " + current + ".",
                      "Warning", ui::Buttons::Ok, ui::Icon::Warning);
    };
    for (const std::string& line : *lines) {
      const std::vector<std::string> parts = Split(line, ';');
      if (parts.size() < 3 || (parts[1] != "Combo" && parts[1] != "LookupCombo")) continue;
      const bool canEdit = (Options() & dgEditing) && !ReadOnly();
      if (parts[1] == "LookupCombo") {
        TixDBCustomLookupCombo* lookup = FindLookupCombo(parts[2]);
        if (!lookup) continue;
        if (canEdit) hasLookupColumns_ = true;
        if (std::find(attached.begin(), attached.end(), lookup) != attached.end())
          AttachedTwice(parts, lookup->DataField());
        lookup->hide();
        lookup->SetOwnerGrid(this);
        lookup->SetDataSource(DataSource());
        lookup->SetDataField(parts[0]);
        lookup->setFrame(false);
        lookup->setFont(font());
        if (lookup->parentWidget() != viewport()) lookup->setParent(viewport());
        attached.push_back(lookup);
        continue;
      }
      TixDBComboBox* combo = FindCombo(parts[2]);
      if (!combo) continue;
      if (canEdit) hasComboColumns_ = true;
      if (std::find(attached.begin(), attached.end(), combo) != attached.end())
        AttachedTwice(parts, combo->DataField());
      combo->hide();
      combo->SetOwnerGrid(this);
      combo->SetDataSource(DataSource());
      combo->SetDataField(parts[0]);
      combo->setFrame(false);
      combo->setFont(font());
      QWidget* home = parentWidget() ? parentWidget() : Form();
      if (combo->parentWidget() != home) combo->setParent(home);
      attached.push_back(combo);
    }
  }
  controlsAttached_ = true;
  RebuildColumnControls();
}

void TixDBGrid::CheckDataSetClass() {
  if (checking_ || !DataSource() || !DataSet()) return;
  checking_ = true;
  TDataSet* ds = DataSet();
  if (!IsLibraryDataSet(ds)) {
    ui::ShowMessage(kNotALibraryDataSetMessage, "Information", ui::Buttons::Ok, ui::Icon::Information);
    checking_ = false;
    TixCustomDBGrid::SetDataSource(nullptr);
    return;
  }
  try {
    if (!controlsAttached_) AttachControlTypes();
    ds->DisableControls();
    DropStaleEntries(*ds, GetLookupFieldsList(ds), GetLookupLinksList(ds), GetControlTypeList(ds));
    if (!selected_.empty() && !ds->HasCalcFields()) ApplySelectedToFields(*ds, selected_);
    ds->EnableControls();
  } catch (...) {
    checking_ = false;
    throw;
  }
  selectedApplied_ = true;
  checking_ = false;
}

void TixDBGrid::Loaded() {
  if (!controlsAttached_) AttachControlTypes();
  CheckDataSetClass();
  TixCustomDBGrid::Loaded();
}

void TixDBGrid::LinkActive(bool active) {
  if (active)
    CheckDataSetClass();
  else
    HideCombo();
  if (!DataSource()) return;  // the check let the data source go
  TixCustomDBGrid::LinkActive(active);
}

// ---------------------------------------------------------- cell controls

void TixDBGrid::RebuildColumnControls() {
  columnControls_.assign(static_cast<size_t>(std::max(0, DataLink().FieldCount())), ColumnControl{});
  TDataSet* ds = DataSet();
  if (!ds || !IsLibraryDataSet(ds)) return;
  const TLines* lines = GetControlTypeList(ds);
  for (int i = 0; i < DataLink().FieldCount(); ++i) {
    TField* f = DataLink().Fields(i);
    if (!f) continue;
    ColumnControl& c = columnControls_[static_cast<size_t>(i)];
    for (const std::string& line : *lines) {
      const std::vector<std::string> parts = Split(line, ';');
      if (parts.size() < 3 || parts[0] != f->FieldName()) continue;
      if (parts[1] == "CheckBox" && parts.size() >= 4) {
        c.kind = TixCellControl::CheckBox;
        c.checked = parts[2];
        c.unchecked = parts[3];
        break;
      }
      if (parts[1] == "Combo") {
        if (TixDBComboBox* combo = FindCombo(parts[2])) {
          c.kind = TixCellControl::Combo;
          c.combo = combo;
          break;
        }
      }
      if (parts[1] == "LookupCombo") {
        if (TixDBCustomLookupCombo* lookup = FindLookupCombo(parts[2])) {
          c.kind = TixCellControl::LookupCombo;
          c.lookup = lookup;
          break;
        }
      }
    }
    if (c.kind == TixCellControl::None && f->DataType() == framework::ftMemo) c.kind = TixCellControl::Memo;
  }
}

const TixDBGrid::ColumnControl* TixDBGrid::ControlOf(int col) const {
  const int i = col - IndicatorOffset();
  if (i < 0 || i >= static_cast<int>(columnControls_.size())) return nullptr;
  return &columnControls_[static_cast<size_t>(i)];
}

TixCellControl TixDBGrid::CellControl(int col, int row) const {
  if (row < TitleOffset()) return TixCellControl::None;
  const ColumnControl* c = ControlOf(col);
  return c ? c->kind : TixCellControl::None;
}

bool TixDBGrid::IsInCellControlCell(int col, int row) const { return CellControl(col, row) != TixCellControl::None; }

void TixDBGrid::ColumnsUpdate() {
  TixCustomDBGrid::ColumnsUpdate();
  const int fixed = fixedDataCols_ + IndicatorOffset();
  if (fixed != FixedCols() && DataSet() && DataSet()->Active() && fixed >= 0 && fixed < ColCount())
    SetFixedCols(fixed);
  RebuildColumnControls();
}

int TixDBGrid::DataRowHeight() const {
  const int extra = hasLookupColumns_ ? 6 : hasComboColumns_ ? 5 : 2;
  return (QFontMetrics(font()).height() + extra + ((Options() & dgRowLines) ? 1 : 0)) * rowHeightMultiplier_;
}

int TixDBGrid::TitleRowHeight() const {
  int h = QFontMetrics(TitleFont()).height() * titleLines_ + 4;
  if (!(Options() & dgRowLines) && Ctl3D()) ++h;
  return h;
}

void TixDBGrid::UpdateScrollBar() { TixCustomDBGrid::UpdateScrollBar(); }

// ---------------------------------------------------------------- drawing

void TixDBGrid::DrawTitleCell(QPainter& painter, int col, const QRect& rect, TField* field) {
  painter.fillRect(rect, TitleColor());
  if (!field) return;
  painter.setFont(TitleFont());
  painter.setPen(TitleFontColor);
  const QString label = AnsiToQString(field->DisplayLabel());
  std::vector<QString> pieces{label};
  if (titleLines_ != 1 && label.contains(QLatin1Char('~'))) {
    const QStringList split = label.split(QLatin1Char('~'));
    pieces.assign(split.begin(), split.end());
  }
  const int step = rect.height() / std::max(1, titleLines_);
  const int lineHeight = QFontMetrics(TitleFont()).height();
  for (size_t i = 0; i < pieces.size(); ++i) {
    const QRect line(rect.left(), rect.top() + 1 + static_cast<int>(i) * step, rect.width(), lineHeight);
    switch (titleAlignment_) {
      case framework::taRightJustify: DrawCellText(painter, line, pieces[i], framework::taRightJustify, 3, 3, 0); break;
      case framework::taCenter: DrawCellText(painter, line, pieces[i], framework::taCenter, 0, 0, 0); break;
      default: DrawCellText(painter, line, pieces[i], framework::taLeftJustify, 3, 3, 0); break;
    }
  }
}

void TixDBGrid::DrawDataCell(QPainter& painter, int col, int row, const QRect& rect, TField* field,
                             TGridDrawState state) {
  if (inPaint_) return;
  inPaint_ = true;
  struct Reset {
    bool& flag;
    ~Reset() { flag = false; }
  } reset{inPaint_};

  // A combo shown over a cell the current record has left goes.
  if (shownLookup_ && (Row() != comboRow_ || Col() != comboCol_ || !CanEditGrid())) {
    HideCombo();
    InvalidateGrid();
  }
  if (shownCombo_) {
    if (Row() != comboRow_ || Col() != comboCol_ || !CanEditGrid()) {
      HideCombo();
      InvalidateGrid();
    } else {
      const QRect cell = CellRect(comboCol_, comboRow_);
      if (cell.isValid() && cell.width() < shownCombo_->width())
        shownCombo_->resize(cell.width(), shownCombo_->height());
    }
  }

  const int dataRow = row - TitleOffset();
  // A row without a record is not selected either.
  if (!field || !DataLink().Active() || dataRow >= DataLink().RecordCount()) return;
  QColor background, text;
  CellColors(state, background, text);
  const bool highlighted = background != Color();
  QFont cellFont = font();
  if (OnCalcCellColors) OnCalcCellColors(*this, field, state, highlighted, cellFont, text, background);
  if (background != Color()) painter.fillRect(rect, background);

  const ColumnControl* control = ControlOf(col);
  const TixCellControl kind = control ? control->kind : TixCellControl::None;
  if (kind == TixCellControl::CheckBox) {
    bool checked = false;
    WithDataRow(dataRow, [&] { checked = field->DisplayText() == control->checked; });
    const QRect box((rect.left() + rect.right() + 1 - 10) / 2, (rect.top() + rect.bottom() + 1 - 10) / 2, 10, 10);
    painter.setRenderHint(QPainter::Antialiasing, false);
    const bool threeD = Ctl3D() && Color() != QColor(Qt::white);
    painter.fillRect(box, Qt::white);
    if (threeD) {
      // A sunken two-tone frame.
      painter.setPen(palette().color(QPalette::Dark));
      painter.drawLine(box.left(), box.top(), box.right(), box.top());
      painter.drawLine(box.left(), box.top(), box.left(), box.bottom());
      painter.setPen(Qt::black);
      painter.drawLine(box.left() + 1, box.top() + 1, box.right() - 1, box.top() + 1);
      painter.drawLine(box.left() + 1, box.top() + 1, box.left() + 1, box.bottom() - 1);
      painter.setPen(Qt::white);
      painter.drawLine(box.left(), box.bottom(), box.right(), box.bottom());
      painter.drawLine(box.right(), box.top(), box.right(), box.bottom());
    } else {
      painter.setPen(Qt::black);
      painter.drawRect(box.adjusted(0, 0, -1, -1));
    }
    if (checked) {
      // Two diagonals inside the frame; the 3-D style doubles each stroke.
      const int l = box.left() + 2, t = box.top() + 2, n = box.width() - 4;
      for (int i = 0; i < n; ++i) {
        painter.fillRect(l + i, t + i, threeD ? 2 : 1, 1, Qt::black);
        painter.fillRect(l + i, t + n - 1 - i, threeD ? 2 : 1, 1, Qt::black);
      }
    }
  } else {
    QString shown;
    if (kind == TixCellControl::Memo)
      shown = MemoText(*field, dataRow);
    else
      WithDataRow(dataRow, [&] { shown = AnsiToQString(field->DisplayText()); });
    if (DefaultDrawing) {
      painter.setFont(cellFont);
      painter.setPen(text);
      const int top = hasLookupColumns_ ? 4 : hasComboColumns_ ? 3 : 2;
      DrawCellText(painter, rect, shown, field->Alignment(), 3, 3, top);
    }
    if (kind == TixCellControl::Combo && col == Col() && row == Row() && CanEditGrid() && (state & gdSelected) &&
        control->combo && shownCombo_ != control->combo)
      PlaceCombo(control->combo, rect, col, row);
    if (kind == TixCellControl::LookupCombo && col == Col() && row == Row() && CanEditGrid() &&
        (state & gdSelected) && control->lookup && shownLookup_ != control->lookup)
      PlaceLookupCombo(control->lookup, rect, col, row);
  }
  if ((state & gdFocused) && !(Options() & dgRowSelect)) {
    QStyleOptionFocusRect option;
    option.initFrom(this);
    option.rect = rect;
    option.backgroundColor = background;
    style()->drawPrimitive(QStyle::PE_FrameFocusRect, &option, &painter, this);
  }
  if (OnDrawDataCell) WithDataRow(dataRow, [&] { OnDrawDataCell(*this, rect, field, state); });
}

QString TixDBGrid::MemoText(TField& field, int dataRow) {
  TDataSet* ds = DataSet();
  if (ds && ds->State() == framework::dsInsert && dataRow == DataLink().ActiveRecord()) return {};
  std::string text;
  WithDataRow(dataRow, [&] { text = MemoCellText(field, memoAttributes_); });
  return AnsiToQString(text);
}

void TixDBGrid::PlaceCombo(TixDBComboBox* combo, const QRect& cell, int col, int row) {
  if (shownCombo_ && shownCombo_ != combo) HideCombo();
  QWidget* home = combo->parentWidget() ? combo->parentWidget() : Form();
  const QPoint at = viewport()->mapTo(home, cell.topLeft());
  combo->setFont(font());
  combo->setGeometry(at.x(), at.y(), cell.width(), cell.height());
  if (!combo->Modified()) combo->ShowFieldText();
  shownCombo_ = combo;
  comboCol_ = col;
  comboRow_ = row;
  combo->show();
  combo->raise();
}

// The lookup combo lives in the viewport: it takes the cell's rectangle.
void TixDBGrid::PlaceLookupCombo(TixDBCustomLookupCombo* combo, const QRect& cell, int col, int row) {
  HideCombo();
  combo->setGeometry(cell);
  combo->setText(SelectedField() ? AnsiToQString(SelectedField()->Text()) : QString());
  shownLookup_ = combo;
  comboCol_ = col;
  comboRow_ = row;
  combo->show();
}

void TixDBGrid::HideCombo() {
  if (shownLookup_) {
    TixDBCustomLookupCombo* lookup = shownLookup_;
    shownLookup_ = nullptr;
    comboCol_ = comboRow_ = -1;
    lookup->CloseUp(false);
    const bool hadFocus = lookup->hasFocus();
    lookup->hide();
    if (hadFocus) setFocus();
  }
  if (!shownCombo_) return;
  TixDBComboBox* combo = shownCombo_;
  shownCombo_ = nullptr;
  comboCol_ = comboRow_ = -1;
  const bool hadFocus = combo->hasFocus();
  combo->hide();
  if (hadFocus) setFocus();
}

bool TixDBGrid::EnsureComboShown() {
  const ColumnControl* control = ControlOf(Col());
  if (!control || control->kind != TixCellControl::Combo || !control->combo || !CanEditGrid()) return false;
  if (shownCombo_ != control->combo) {
    const QRect cell = CellRect(Col(), Row());
    if (!cell.isValid()) return false;
    PlaceCombo(control->combo, cell, Col(), Row());
  }
  return true;
}

bool TixDBGrid::EnsureLookupShown() {
  const ColumnControl* control = ControlOf(Col());
  if (!control || control->kind != TixCellControl::LookupCombo || !control->lookup || !CanEditGrid()) return false;
  if (shownLookup_ != control->lookup) {
    const QRect cell = CellRect(Col(), Row());
    if (!cell.isValid()) return false;
    PlaceLookupCombo(control->lookup, cell, Col(), Row());
  }
  return true;
}

void TixDBGrid::TopLeftChanged() {
  TixCustomDBGrid::TopLeftChanged();
  if (shownCombo_) {
    HideCombo();
    InvalidateGrid();
  }
}

// ---------------------------------------------------------------- editing

void TixDBGrid::ToggleCheckBox() {
  const ColumnControl* control = ControlOf(Col());
  TField* field = SelectedField();
  TDataSet* ds = DataSet();
  if (!control || control->kind != TixCellControl::CheckBox || !field || !ds || !CanEditGrid() || field->ReadOnly())
    return;
  const bool editing = ds->State() == framework::dsEdit || ds->State() == framework::dsInsert;
  if (!editing && !DataSource()->AutoEdit) return;
  Guarded([&] {
    if (!editing) ds->Edit();
    field->SetAsString(field->Text() == control->checked ? control->unchecked : control->checked);
  });
  InvalidateCell(Col(), Row());
}

void TixDBGrid::OpenMemo() {
  TField* field = SelectedField();
  if (!field || (memoAttributes_ & mDisableDialog)) return;
  TixMemoDialog dialog;
  dialog.DataSource = DataSource();
  dialog.DataField = field->FieldName();
  dialog.MemoAttributes = memoAttributes_;
  if (!CanEditGrid() || field->ReadOnly()) dialog.MemoAttributes |= mViewOnly;
  dialog.Font = font();
  std::string caption = field->DisplayLabel();
  std::replace(caption.begin(), caption.end(), '~', ' ');
  dialog.Caption = platform::Cp1252ToUtf8(caption);
  dialog.DlgLeft = -1;  // its own size, centred
  if (OnMemoOpen) OnMemoOpen(*this, dialog);
  bool ok = false;
  Guarded([&] { ok = dialog.Execute(); });
  if (OnMemoClose) OnMemoClose(*this, !ok);
  InvalidateCell(Col(), Row());
}

bool TixDBGrid::KeyDown(int key, Qt::KeyboardModifiers modifiers) {
  TDataSet* ds = DataSet();
  const TixCellControl kind = CellControl(Col(), Row());
  if (key == Qt::Key_Escape && ds && DataLink().Active() &&
      (ds->State() == framework::dsEdit || ds->State() == framework::dsInsert) &&
      (ds->Modified() || DataLink().Modified() || (shownCombo_ && shownCombo_->Modified())) &&
      ui::ShowMessage(kDiscardChangesQuestion, "Confirm", ui::Buttons::YesNo, ui::Icon::Question) != ui::Answer::Yes)
    return true;
  if (key == Qt::Key_Down && (modifiers & Qt::AltModifier)) {
    if (kind == TixCellControl::Combo && EnsureComboShown()) {
      shownCombo_->setFocus();
      shownCombo_->showPopup();
      return true;
    }
    if (kind == TixCellControl::LookupCombo && EnsureLookupShown()) {
      shownLookup_->setFocus();
      QKeyEvent press(QEvent::KeyPress, key, modifiers);
      QApplication::sendEvent(shownLookup_, &press);
      return true;
    }
  }
  bool handled = TixCustomDBGrid::KeyDown(key, modifiers);
  if (!CanEditGrid() || (modifiers & (Qt::ControlModifier | Qt::AltModifier))) return handled;
  const TixCellControl now = CellControl(Col(), Row());
  if (key == Qt::Key_F2 && now == TixCellControl::Memo) {
    OpenMemo();
    return true;
  }
  if (key == Qt::Key_Space && now == TixCellControl::CheckBox) {
    ToggleCheckBox();
    return true;
  }
  if (key == Qt::Key_F2 && now == TixCellControl::Combo && EnsureComboShown()) {
    shownCombo_->setFocus();
    return true;
  }
  if (key == Qt::Key_F2 && now == TixCellControl::LookupCombo && EnsureLookupShown()) {
    shownLookup_->setFocus();
    return true;
  }
  return handled;
}

void TixDBGrid::TypedChar(QKeyEvent* event) {
  const TixCellControl kind = CellControl(Col(), Row());
  if (kind == TixCellControl::Combo) {
    if (CanEditGrid() && EnsureComboShown()) {
      shownCombo_->setFocus();
      if (shownCombo_->lineEdit()) shownCombo_->lineEdit()->selectAll();
      QApplication::sendEvent(shownCombo_, event);
    }
    return;
  }
  if (kind == TixCellControl::LookupCombo) {
    if (CanEditGrid() && EnsureLookupShown()) {
      shownLookup_->setFocus();
      shownLookup_->selectAll();
      QApplication::sendEvent(shownLookup_, event);
    }
    return;
  }
  if (kind != TixCellControl::None) return;
  TixCustomDBGrid::TypedChar(event);
}

bool TixDBGrid::OwnsFocusWidget(const QWidget* widget) const {
  if (TixCustomDBGrid::OwnsFocusWidget(widget)) return true;
  for (const ColumnControl& c : columnControls_) {
    if (c.combo && widget && (widget == c.combo || c.combo->isAncestorOf(widget))) return true;
    if (c.lookup && widget == c.lookup) return true;
  }
  return false;
}

// ------------------------------------------------------------------ mouse

void TixDBGrid::mousePressEvent(QMouseEvent* event) {
  InvalidateGrid();
  TixCustomDBGrid::mousePressEvent(event);
}

void TixDBGrid::mouseDoubleClickEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return;
  const QPoint at = event->position().toPoint();
  const Coord c = MouseCoord(at.x(), at.y());
  const TixCellControl kind = c.col >= 0 ? CellControl(c.col, c.row) : TixCellControl::None;
  if (kind == TixCellControl::CheckBox && CanEditGrid()) {
    if (c.col == Col() && c.row == Row()) ToggleCheckBox();
    return;
  }
  TixCustomDBGrid::mouseDoubleClickEvent(event);
  if (kind == TixCellControl::Memo && c.col == Col() && c.row == Row()) OpenMemo();
}

void TixDBGrid::focusOutEvent(QFocusEvent* event) {
  TixCustomDBGrid::focusOutEvent(event);
  // The window lost the focus: the combo goes until the grid is painted again.
  if (event->reason() == Qt::ActiveWindowFocusReason) HideCombo();
}

}  // namespace grid

#include "moc_ix_dbgrid.cpp"
