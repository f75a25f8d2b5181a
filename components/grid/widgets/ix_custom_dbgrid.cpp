#include "ix_custom_dbgrid.h"

#include <algorithm>

#include <QApplication>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QStyleOptionFocusRect>

#include "grid/ix_table.h"
#include "grid_bitmaps.h"
#include "platform/text.h"
#include "platform/ui.h"

namespace grid {

namespace ui = platform::ui;
using framework::TDataSet;
using framework::TField;

QString AnsiToQString(const std::string& text) {
  for (unsigned char c : text)
    if (c >= 0x80) return QString::fromStdString(platform::Cp1252ToUtf8(text));
  return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
}

std::string QStringToAnsi(const QString& text) { return platform::Utf8ToCp1252(text.toStdString()); }

namespace {

// Makes another row the one fields read for the time of a painting.
class RowReader {
 public:
  RowReader(TixGridDataLink& link, int row) : link_(link), saved_(link.ActiveRecord()) { link_.SetActiveRecord(row); }
  ~RowReader() { link_.SetActiveRecord(saved_); }
  RowReader(const RowReader&) = delete;
  RowReader& operator=(const RowReader&) = delete;

 private:
  TixGridDataLink& link_;
  int saved_;
};

std::vector<QString> TitlePieces(const QString& label) {
  const QStringList pieces = label.split(QLatin1Char('~'));
  return {pieces.begin(), pieces.end()};
}

}  // namespace

TixCustomDBGrid::TixCustomDBGrid(QWidget* parent) : TCustomGrid(parent), dataLink_(*this) {
  GridBitmaps::Acquire();
  SetScrollBars(TScrollStyle::ssBoth);
  SetColCount(2);
  SetRowCount(2);
  SetColor(palette().color(QPalette::Base));
  titleFont_ = font();
  titleColor_ = palette().color(QPalette::Button);
  SetOptions(kDefaultDBGridOptions);
  vertScrollShown_ = true;
}

TixCustomDBGrid::~TixCustomDBGrid() {
  dataLink_.SetDataSource(nullptr);
  GridBitmaps::Release();
}

// ------------------------------------------------------------- properties

void TixCustomDBGrid::SetOptions(TixDBGridOptions options) {
  if (options == options_) return;
  TGridOptions g = 0;
  if (options & dgColLines) g |= goFixedVertLine | goVertLine;
  if (options & dgRowLines) g |= goFixedHorzLine | goHorzLine;
  if (options & dgColumnResize) g |= goColSizing | goColMoving;
  if (options & dgTabs) g |= goTabs;
  if (options & dgRowSelect) g |= goRowSelect;
  if ((options & dgEditing) && !(options & dgRowSelect)) g |= goEditing;
  if (options & dgAlwaysShowEditor) g |= goAlwaysShowEditor;
  constexpr TixDBGridOptions kLayoutOptions = dgEditing | dgAlwaysShowEditor | dgTitles | dgIndicator |
                                              dgColLines | dgRowLines | dgRowSelect | dgAlwaysShowSelection;
  const bool relayout = ((options ^ options_) & kLayoutOptions) != 0;
  options_ = options;
  SetGridOptions(g);
  if (relayout) LayoutChanged();
}

void TixCustomDBGrid::SetTitleFont(const QFont& font) {
  titleFont_ = font;
  LayoutChanged();
}

void TixCustomDBGrid::SetIndicatorColor(TixIndicatorColor color) {
  if (color == indicatorColor_) return;
  indicatorColor_ = color;
  InvalidateGrid();
}

void TixCustomDBGrid::SetTitleColor(const QColor& color) {
  titleColor_ = color;
  InvalidateGrid();
}

void TixCustomDBGrid::SetDataSource(framework::TDataSource* source) {
  if (source == dataLink_.DataSource()) return;
  dataLink_.SetDataSource(source);
  LayoutChanged();
}

void TixCustomDBGrid::SetReadOnly(bool readOnly) {
  readOnly_ = readOnly;
  if (readOnly_) HideEditor();
}

TField* TixCustomDBGrid::ColumnField(int col) const { return dataLink_.Fields(col - indicatorOffset_); }

TField* TixCustomDBGrid::SelectedField() const { return ColumnField(Col()); }

void TixCustomDBGrid::SetSelectedIndex(int index) { MoveCol(index + indicatorOffset_); }

int TixCustomDBGrid::VisibleDataRows() const { return std::max(1, dataLink_.BufferCount()); }

bool TixCustomDBGrid::CanEditGrid() const {
  TDataSet* ds = DataSet();
  return (options_ & dgEditing) && !readOnly_ && dataLink_.Active() && !dataLink_.ReadOnly() && ds &&
         ds->CanModify();
}

bool TixCustomDBGrid::IsTabStop(int col) const {
  return col >= 0 && col < static_cast<int>(tabStops_.size()) && tabStops_[static_cast<size_t>(col)];
}

void TixCustomDBGrid::SetTabStop(int col, bool on) {
  if (col < 0) return;
  if (col >= static_cast<int>(tabStops_.size())) tabStops_.resize(static_cast<size_t>(col) + 1, false);
  tabStops_[static_cast<size_t>(col)] = on;
}

void TixCustomDBGrid::WithDataRow(int dataRow, const std::function<void()>& read) {
  RowReader reader(dataLink_, dataRow);
  read();
}

bool TixCustomDBGrid::Guarded(const std::function<void()>& action) {
  try {
    action();
    return true;
  } catch (const framework::Exception& e) {
    ui::ShowMessage(e.Message(), "Error");
  }
  return false;
}

// ----------------------------------------------------------------- layout

void TixCustomDBGrid::Loaded() { LayoutChanged(); }

void TixCustomDBGrid::BeginLayout() { ++layoutLock_; }

void TixCustomDBGrid::EndLayout() {
  if (layoutLock_ > 0 && --layoutLock_ == 0) LayoutChanged();
}

void TixCustomDBGrid::LayoutChanged() {
  if (layoutLock_ > 0) return;
  InternalLayout();
}

int TixCustomDBGrid::zeroWidth() const { return std::max(1, QFontMetrics(font()).horizontalAdvance(QLatin1Char('0'))); }

int TixCustomDBGrid::DataRowHeight() const {
  return (QFontMetrics(font()).height() + 2 + ((options_ & dgRowLines) ? 1 : 0)) * rowHeightMultiplier_;
}

int TixCustomDBGrid::TitleRowHeight() const { return QFontMetrics(titleFont_).height() + 4; }

void TixCustomDBGrid::InternalLayout() {
  if (inLayout_) return;
  inLayout_ = true;
  try {
    titleOffset_ = (options_ & dgTitles) ? 1 : 0;
    indicatorOffset_ = (options_ & dgIndicator) ? 1 : 0;
    dataLink_.ClearMapping();
    if (dataLink_.Active()) BuildFieldMap();
    SetColCount(std::max(dataLink_.FieldCount(), 1) + indicatorOffset_);
    SetFixedCols(indicatorOffset_);
    if (indicatorOffset_) SetColWidths(0, kIndicatorWidth);
    if (indicatorOffset_ && Col() == 0) MoveCurrent(1, Row());
    SetFixedRowHeight(TitleRowHeight());
    SetDefaultRowHeight(DataRowHeight());
    UpdateRowCount();
    const int before = VisibleDataRows();
    ColumnsUpdate();
    SetFixedRowHeight(TitleRowHeight());
    SetDefaultRowHeight(DataRowHeight());
    if (VisibleRowCountFor(viewport()->height()) != before) UpdateRowCount();
    UpdateActive();
    UpdateScrollBar();
    InvalidateGrid();
  } catch (...) {
    inLayout_ = false;
    throw;
  }
  inLayout_ = false;
}

void TixCustomDBGrid::BuildFieldMap() {
  TDataSet* ds = DataSet();
  for (int i = 0; i < ds->FieldCount(); ++i)
    if (ds->Fields(i)->Visible()) dataLink_.AddMapping(i);
}

void TixCustomDBGrid::ColumnsUpdate() {
  const int zero = zeroWidth();
  const QFontMetrics titles(titleFont_);
  tabStops_.assign(static_cast<size_t>(ColCount()), false);
  for (int i = 0; i < dataLink_.FieldCount(); ++i) {
    TField* f = dataLink_.Fields(i);
    int width = zero * f->DisplayWidth() + 4;
    if (options_ & dgTitles)
      for (const QString& piece : TitlePieces(AnsiToQString(f->DisplayLabel())))
        width = std::max(width, titles.horizontalAdvance(piece) + 4);
    SetColWidths(i + indicatorOffset_, width);
    SetTabStop(i + indicatorOffset_, !f->ReadOnly() && !f->Calculated());
  }
}

void TixCustomDBGrid::UpdateRowCount() {
  if (RowCount() <= titleOffset_) SetRowCount(titleOffset_ + 1);
  SetFixedRows(titleOffset_);
  if (dataLink_.Active()) {
    dataLink_.SetBufferCount(std::max(1, VisibleRowCountFor(viewport()->height())));
    const int records = dataLink_.RecordCount();
    SetRowCount(titleOffset_ + std::max(1, records));
  } else {
    SetRowCount(titleOffset_ + 1);
  }
  SetFixedRows(titleOffset_);
}

void TixCustomDBGrid::UpdateActive() {
  if (!dataLink_.Active()) return;
  const int row = titleOffset_ + std::max(0, dataLink_.ActiveRecord());
  if (row != Row()) MoveCurrent(Col(), row);
  if (indicatorOffset_ && indicatorRow_ != row) {
    InvalidateCell(0, indicatorRow_);
    InvalidateCell(0, row);
  }
  indicatorRow_ = row;
}

// -------------------------------------------------------- link notifications

void TixCustomDBGrid::LinkActive(bool active) {
  if (!active) HideEditor();
  LayoutChanged();
  UpdateScrollBar();
}

void TixCustomDBGrid::DataChanged() {
  UpdateRowCount();
  UpdateActive();
  if (EditorMode() && !dataLink_.Modified()) InplaceEditor()->setText(GetEditText(Col(), Row()));
  UpdateScrollBar();
  InvalidateGrid();
}

void TixCustomDBGrid::Scroll(int distance) { DataChanged(); }

void TixCustomDBGrid::EditingChanged() {
  if (indicatorOffset_) InvalidateCell(0, Row());
}

void TixCustomDBGrid::RecordChanged(TField* field) {
  InvalidateRow(Row());
  if (EditorMode() && !dataLink_.Modified() && (field == nullptr || field == SelectedField()))
    InplaceEditor()->setText(GetEditText(Col(), Row()));
}

void TixCustomDBGrid::UpdateData() {
  if (TField* f = SelectedField()) f->SetText(QStringToAnsi(editText_));
}

// ------------------------------------------------------------ scroll bar

void TixCustomDBGrid::CurrentScrollRange(int& maximum, int& position) {
  TDataSet* ds = DataSet();
  maximum = 4;
  position = 0;
  if (!dataLink_.Active() || !ds) return;
  auto* table = dynamic_cast<TixTable*>(ds);
  if (table && TixTable::IsTessalyTable(*table)) {
    maximum = 200;
    if (ds->Bof()) {
      position = 0;
    } else if (ds->Eof()) {
      position = 200;
    } else {
      const int count = std::max(2, ds->RecordCount());
      position = (ds->RecNo() - 1) * 200 / (count - 1);
    }
    return;
  }
  position = ds->Bof() ? 0 : ds->Eof() ? 4 : 2;
}

void TixCustomDBGrid::UpdateScrollBar() {
  QScrollBar* v = verticalScrollBar();
  if (!vertScrollShown_) return;
  int maximum = 0, position = 0;
  try {
    CurrentScrollRange(maximum, position);
  } catch (const framework::Exception&) {
    return;  // the position is a hint; a dataset that cannot tell keeps the old one
  }
  if (maximum != v->maximum()) {
    v->setRange(0, maximum);
    v->setPageStep(1);
  }
  if (position != v->value() || position != v->sliderPosition()) {
    v->setSliderPosition(position);
    v->setValue(position);
  }
}

void TixCustomDBGrid::VerticalScrollAction(int action) {
  TDataSet* ds = DataSet();
  if (!dataLink_.Active() || !ds) return;
  // Dragging: the thumb's place counts when it is let go.
  if (action == QAbstractSlider::SliderMove || action == QAbstractSlider::SliderNoAction) return;
  QScrollBar* v = verticalScrollBar();
  Guarded([&] {
    switch (action) {
      case QAbstractSlider::SliderSingleStepSub: ds->Prior(); break;
      case QAbstractSlider::SliderSingleStepAdd: ds->Next(); break;
      case QAbstractSlider::SliderPageStepSub: ds->MoveBy(-VisibleDataRows()); break;
      case QAbstractSlider::SliderPageStepAdd: ds->MoveBy(VisibleDataRows()); break;
      case QAbstractSlider::SliderToMinimum: ds->First(); break;
      case QAbstractSlider::SliderToMaximum: ds->Last(); break;
      case kThumbPosition: {
        const int pos = v->sliderPosition();
        auto* table = dynamic_cast<TixTable*>(ds);
        if (table && TixTable::IsTessalyTable(*table)) {
          if (pos <= 0) {
            ds->First();
          } else if (pos >= 200) {
            ds->Last();
          } else {
            const int target = ds->RecordCount() * pos / 200 + 1;
            ds->First();
            ds->MoveBy(target - 1);
          }
        } else {
          switch (pos) {
            case 0: ds->First(); break;
            case 1: ds->MoveBy(-VisibleDataRows()); break;
            case 3: ds->MoveBy(VisibleDataRows()); break;
            case 4: ds->Last(); break;
            default: break;
          }
        }
        break;
      }
      default: break;
    }
  });
  int maximum = 0, position = 0;
  try {
    CurrentScrollRange(maximum, position);
  } catch (const framework::Exception&) {
    return;
  }
  v->setSliderPosition(position);
  if (action == kThumbPosition) v->setValue(position);
}

// ---------------------------------------------------------------- drawing

void TixCustomDBGrid::CellColors(TGridDrawState state, QColor& background, QColor& text) const {
  const bool highlighted =
      (state & gdSelected) && ((options_ & dgAlwaysShowSelection) || hasFocus() ||
                               (InplaceEditor() && InplaceEditor()->hasFocus()));
  if (highlighted) {
    background = palette().color(QPalette::Active, QPalette::Highlight);
    text = palette().color(QPalette::Active, QPalette::HighlightedText);
  } else {
    background = Color();
    text = FontColor;
  }
}

void TixCustomDBGrid::DrawCellText(QPainter& painter, const QRect& rect, const QString& text,
                                   framework::TAlignment alignment, int leftInset, int rightInset, int topInset) {
  if (text.isEmpty()) return;
  const QRect area = rect.adjusted(leftInset, topInset, -rightInset, 0);
  // Text drawn at its baseline, clipped to the cell: the quick path.
  const QFontMetrics metrics = painter.fontMetrics();
  int x = area.left();
  if (alignment != framework::taLeftJustify) {
    const int width = metrics.horizontalAdvance(text);
    x = alignment == framework::taRightJustify ? area.right() + 1 - width : area.left() + (area.width() - width) / 2;
  }
  painter.save();
  painter.setClipRect(rect);
  painter.drawText(QPoint(x, area.top() + metrics.ascent()), text);
  painter.restore();
}

void TixCustomDBGrid::DrawCell(QPainter& painter, int col, int row, const QRect& rect, TGridDrawState state) {
  if (col < indicatorOffset_) {
    painter.fillRect(rect, FixedColor());
    if (row >= titleOffset_) DrawIndicatorCell(painter, row, rect);
  } else if (row < titleOffset_) {
    DrawTitleCell(painter, col, rect, ColumnField(col));
  } else {
    DrawDataCell(painter, col, row, rect, ColumnField(col), state);
    return;
  }
  // Fixed cells look raised.
  if (Ctl3D()) {
    painter.setPen(palette().color(QPalette::Light));
    if (options_ & dgRowLines) painter.drawLine(rect.left(), rect.top(), rect.right(), rect.top());
    if (options_ & dgColLines) painter.drawLine(rect.left(), rect.top(), rect.left(), rect.bottom());
  }
}

void TixCustomDBGrid::DrawIndicatorCell(QPainter& painter, int row, const QRect& rect) {
  if (!dataLink_.Active() || row - titleOffset_ != dataLink_.ActiveRecord()) return;
  TIndicatorKind kind = TIndicatorKind::Arrow;
  if (TDataSet* ds = DataSet()) {
    if (ds->State() == framework::dsEdit) kind = TIndicatorKind::Edit;
    if (ds->State() == framework::dsInsert) kind = TIndicatorKind::Insert;
  }
  GridBitmaps::PaintIndicator(painter, rect, kind, indicatorColor_ == icYellow ? QColor(Qt::yellow) : QColor(Qt::black));
}

void TixCustomDBGrid::DrawTitleCell(QPainter& painter, int col, const QRect& rect, TField* field) {
  painter.fillRect(rect, titleColor_);
  if (!field) return;
  painter.setFont(titleFont_);
  painter.setPen(TitleFontColor);
  DrawCellText(painter, rect, AnsiToQString(field->DisplayLabel()), framework::taLeftJustify, 2, 2, 2);
}

void TixCustomDBGrid::DrawDataCell(QPainter& painter, int col, int row, const QRect& rect, TField* field,
                                   TGridDrawState state) {
  const int dataRow = row - titleOffset_;
  // A row without a record is not selected either.
  if (!field || !dataLink_.Active() || dataRow >= dataLink_.RecordCount()) return;
  QColor background, text;
  CellColors(state, background, text);
  if (background != Color()) painter.fillRect(rect, background);
  QString shown;
  {
    RowReader reader(dataLink_, dataRow);
    shown = AnsiToQString(field->DisplayText());
  }
  if (DefaultDrawing) {
    painter.setFont(font());
    painter.setPen(text);
    DrawCellText(painter, rect, shown, field->Alignment(), 2, 3, 2);
  }
  if ((state & gdFocused) && !(options_ & dgRowSelect)) {
    QStyleOptionFocusRect option;
    option.initFrom(this);
    option.rect = rect;
    option.backgroundColor = background;
    style()->drawPrimitive(QStyle::PE_FrameFocusRect, &option, &painter, this);
  }
  if (OnDrawDataCell) {
    RowReader reader(dataLink_, dataRow);
    OnDrawDataCell(*this, rect, field, state);
  }
}

// ---------------------------------------------------------------- editing

bool TixCustomDBGrid::CanEditShow() const {
  if (layoutLock_ > 0 || !CanEditGrid() || !TCustomGrid::CanEditShow()) return false;
  if (IsInCellControlCell(Col(), Row())) return false;
  TField* f = SelectedField();
  return f && !f->IsBlob();
}

QString TixCustomDBGrid::GetEditText(int col, int row) {
  if (dataLink_.Modified()) return editText_;
  TField* f = ColumnField(col);
  if (!f || !dataLink_.Active()) return {};
  return AnsiToQString(f->Text());
}

void TixCustomDBGrid::SetEditText(int col, int row, const QString& text) {
  editText_ = text;
  dataLink_.SetModified();
}

bool TixCustomDBGrid::CanEditModify() {
  TField* f = SelectedField();
  if (readOnly_ || !dataLink_.Active() || dataLink_.ReadOnly() || !f || !f->CanModify() || f->IsBlob())
    return false;
  bool editing = false;
  Guarded([&] { editing = dataLink_.Edit(); });
  if (editing && !dataLink_.Modified()) {
    editText_ = AnsiToQString(f->Text());
    dataLink_.SetModified();
  }
  return editing;
}

bool TixCustomDBGrid::CanEditAcceptKey(QChar c) const {
  TField* f = SelectedField();
  if (!f) return false;
  const std::string ansi = QStringToAnsi(QString(c));
  return ansi.size() == 1 && f->IsValidChar(ansi[0]);
}

// ----------------------------------------------------------------- moves

bool TixCustomDBGrid::SelectCell(int col, int row) { return col >= FixedCols(); }

void TixCustomDBGrid::ColEnter() {
  if (OnColEnter) OnColEnter(*this);
}

void TixCustomDBGrid::ColExit() {
  if (OnColExit) OnColExit(*this);
}

void TixCustomDBGrid::MoveCol(int col) {
  col = std::clamp(col, FirstDataCol(), std::max(FirstDataCol(), LastDataCol()));
  if (col == Col()) return;
  // What was typed belongs to the column being left.
  if (dataLink_.Modified()) dataLink_.UpdateRecord();
  ColExit();
  MoveCurrent(col, Row());
  ColEnter();
}

bool TixCustomDBGrid::AtEndOfInsert() const {
  // An inserted record is the last row of the window only when it was appended.
  return dataLink_.ActiveRecord() == dataLink_.RecordCount() - 1;
}

bool TixCustomDBGrid::CanAppend() const { return CanEditGrid(); }

void TixCustomDBGrid::NextColumn(bool forward) {
  TDataSet* ds = DataSet();
  int col = Col();
  const int first = FirstDataCol(), last = LastDataCol();
  bool anyStop = false;
  for (int c = first; c <= last; ++c) anyStop = anyStop || IsTabStop(c);
  for (int steps = 0; steps <= last - first + 1; ++steps) {
    col += forward ? 1 : -1;
    if (col > last) {
      if (ds->MoveBy(1) == 0) {
        if (!(ds->Eof() && CanAppend())) return;
        ds->Append();
      }
      col = first;
    } else if (col < first) {
      if (ds->MoveBy(-1) == 0) return;
      col = last;
    }
    if (!anyStop || IsTabStop(col)) break;
  }
  MoveCol(col);
}

void TixCustomDBGrid::DeleteCurrentRecord() {
  TDataSet* ds = DataSet();
  // With no record there is nothing to delete, so nothing is asked.
  if (readOnly_ || !ds->CanModify() || ds->IsEmpty()) return;
  if ((options_ & dgConfirmDelete) &&
      ui::ShowMessage(kDeleteRecordQuestion, "Confirm", ui::Buttons::OkCancel) != ui::Answer::Ok)
    return;
  ds->Delete();
}

bool TixCustomDBGrid::KeyDown(int key, Qt::KeyboardModifiers modifiers) {
  if (OnKeyDown) {
    OnKeyDown(*this, key, modifiers);
    if (key == 0) return true;
  }
  TDataSet* ds = DataSet();
  if (!dataLink_.Active() || !ds) return false;
  if (key == Qt::Key_Backtab) {
    key = Qt::Key_Tab;
    modifiers |= Qt::ShiftModifier;
  }
  const bool ctrl = modifiers & Qt::ControlModifier;
  bool handled = true;
  Guarded([&] {
    if (ctrl) {
      switch (key) {
        case Qt::Key_PageUp:
        case Qt::Key_Up: ds->MoveBy(-dataLink_.ActiveRecord()); break;
        case Qt::Key_PageDown:
        case Qt::Key_Down: ds->MoveBy(dataLink_.RecordCount() - 1 - dataLink_.ActiveRecord()); break;
        case Qt::Key_End: ds->Last(); break;
        case Qt::Key_Home: ds->First(); break;
        case Qt::Key_Left: MoveCol(FirstDataCol()); break;
        case Qt::Key_Right: MoveCol(LastDataCol()); break;
        case Qt::Key_Delete: DeleteCurrentRecord(); break;
        default: handled = false; break;
      }
      return;
    }
    const bool untouchedInsert =
        ds->State() == framework::dsInsert && !ds->Modified() && !dataLink_.Modified();
    switch (key) {
      case Qt::Key_Tab:
        if (modifiers & Qt::AltModifier) {
          handled = false;
          break;
        }
        NextColumn(!(modifiers & Qt::ShiftModifier));
        break;
      case Qt::Key_Escape:
        if (dataLink_.Modified()) {
          dataLink_.Reset();
        } else {
          ds->Cancel();
        }
        if (!(options_ & dgAlwaysShowEditor)) HideEditor();
        break;
      case Qt::Key_PageUp: ds->MoveBy(-VisibleDataRows()); break;
      case Qt::Key_PageDown: ds->MoveBy(VisibleDataRows()); break;
      case Qt::Key_Home:
      case Qt::Key_End:
        if (dataLink_.FieldCount() > 1 && !(options_ & dgRowSelect))
          MoveCol(key == Qt::Key_Home ? FirstDataCol() : LastDataCol());
        else if (key == Qt::Key_Home)
          ds->First();
        else
          ds->Last();
        break;
      case Qt::Key_Left:
        if (options_ & dgRowSelect)
          ds->Prior();
        else
          MoveCol(Col() - 1);
        break;
      case Qt::Key_Right:
        if (options_ & dgRowSelect)
          ds->Next();
        else
          MoveCol(Col() + 1);
        break;
      case Qt::Key_Up:
        if (untouchedInsert && AtEndOfInsert())
          ds->Cancel();
        else
          ds->Prior();
        break;
      case Qt::Key_Down:
        if (untouchedInsert) {
          if (!AtEndOfInsert()) ds->Cancel();
        } else {
          ds->Next();
          if (ds->Eof() && CanAppend()) ds->Append();
        }
        break;
      case Qt::Key_Insert:
        if (!readOnly_ && ds->CanModify()) ds->Insert();
        break;
      case Qt::Key_F2: ShowEditor(); break;
      case Qt::Key_Return:
      case Qt::Key_Enter:
        if (!(options_ & dgAlwaysShowEditor)) {
          if (EditorMode()) {
            dataLink_.UpdateRecord();
            HideEditor();
          } else {
            ShowEditor();
          }
        }
        break;
      default: handled = false; break;
    }
  });
  return handled;
}

// ------------------------------------------------------------ user moves

void TixCustomDBGrid::ColumnMoved(int from, int to) {
  TField* moved = ColumnField(from);
  TField* target = ColumnField(to);
  if (!moved || !target) return;
  moved->SetIndex(target->Index());
}

void TixCustomDBGrid::ColWidthsChanged() {
  const int zero = zeroWidth();
  BeginLayout();
  for (int i = 0; i < dataLink_.FieldCount(); ++i)
    if (TField* f = dataLink_.Fields(i))
      f->SetDisplayWidth(std::max(1, (ColWidths(i + indicatorOffset_) + zero / 2 - 3) / zero));
  EndLayout();
}

void TixCustomDBGrid::resizeEvent(QResizeEvent* event) {
  TCustomGrid::resizeEvent(event);
  if (layoutLock_ == 0 && !inLayout_) {
    UpdateRowCount();
    UpdateActive();
    UpdateScrollBar();
  }
}

void TixCustomDBGrid::changeEvent(QEvent* event) {
  TCustomGrid::changeEvent(event);
  if (event->type() == QEvent::FontChange) LayoutChanged();
}

bool TixCustomDBGrid::OwnsFocusWidget(const QWidget* widget) const {
  return widget && (widget == this || widget == InplaceEditor());
}

void TixCustomDBGrid::mousePressEvent(QMouseEvent* event) {
  if (focusPolicy() != Qt::NoFocus && !hasFocus()) setFocus(Qt::MouseFocusReason);
  QWidget* focused = QApplication::focusWidget();
  if (focused && !OwnsFocusWidget(focused)) return;
  if (event->button() != Qt::LeftButton) return;
  const QPoint at = event->position().toPoint();
  if ((options_ & dgColumnResize) && BeginSizingOrMoving(at)) return;
  const Coord c = MouseCoord(at.x(), at.y());
  if (c.col < 0 || c.row < titleOffset_ || !dataLink_.Active()) return;
  TDataSet* ds = DataSet();
  Guarded([&] {
    if (c.col >= FirstDataCol()) MoveCol(c.col);
    const int delta = c.row - Row();
    if (delta != 0) ds->MoveBy(delta);
  });
}

void TixCustomDBGrid::mouseDoubleClickEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton && OnDblClick) OnDblClick(*this);
}

void TixCustomDBGrid::LeaveGrid() {
  TDataSet* ds = DataSet();
  if (!dataLink_.Active() || !ds) return;
  const bool ok = Guarded([&] {
    if ((options_ & dgCancelOnExit) && ds->State() == framework::dsInsert && !ds->Modified() &&
        !dataLink_.Modified())
      ds->Cancel();
    else if (dataLink_.Modified())
      dataLink_.UpdateRecord();
  });
  if (!ok) setFocus();
}

void TixCustomDBGrid::focusOutEvent(QFocusEvent* event) {
  TCustomGrid::focusOutEvent(event);
  // Only a move to another control of the window leaves the grid.
  if (event->reason() == Qt::ActiveWindowFocusReason || event->reason() == Qt::PopupFocusReason) return;
  QWidget* now = QApplication::focusWidget();
  if (now && OwnsFocusWidget(now)) return;
  LeaveGrid();
}

}  // namespace grid

#include "moc_ix_custom_dbgrid.cpp"
