#include "ix_memo_dialog.h"

#include <QApplication>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QPushButton>
#include <QScreen>
#include <QStyle>

#include "platform/text.h"
#include "platform/ui.h"

namespace ui = platform::ui;

namespace grid {

namespace {

// Memo text is Windows-1252 with CR LF line ends; the memo shows UTF-8 lines.
QString MemoToText(const std::string& memo) {
  std::string utf8 = platform::Cp1252ToUtf8(memo);
  std::string out;
  out.reserve(utf8.size());
  for (size_t i = 0; i < utf8.size(); ++i)
    if (!(utf8[i] == '\r' && i + 1 < utf8.size() && utf8[i + 1] == '\n')) out += utf8[i];
  return QString::fromStdString(out);
}

std::string TextToMemo(const QString& text) {
  std::string out;
  for (char c : platform::Utf8ToCp1252(text.toStdString())) {
    if (c == '\n') out += '\r';
    out += c;
  }
  return out;
}

constexpr int kButtonWidth = 75, kButtonHeight = 25;

}  // namespace

// ------------------------------------------------------------------ memo

class TDBMemo::Link : public framework::TDataLink {
 public:
  explicit Link(TDBMemo& memo) : memo_(memo) {}

 protected:
  void ActiveChanged() override { memo_.LoadField(); }
  void RecordChanged(framework::TField* field) override {
    if (!field || field == memo_.Field()) memo_.LoadField();
  }

 private:
  TDBMemo& memo_;
};

TDBMemo::TDBMemo(QWidget* parent) : QPlainTextEdit(parent), link_(new Link(*this)) {
  setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  setTabChangesFocus(false);  // tabs are typed into the text
}

TDBMemo::~TDBMemo() { delete link_; }

void TDBMemo::SetField(framework::TDataSource* source, const std::string& fieldName) {
  fieldName_ = fieldName;
  link_->SetDataSource(source);
  LoadField();
}

framework::TDataSource* TDBMemo::DataSource() const { return link_->DataSource(); }

framework::TField* TDBMemo::Field() const {
  framework::TDataSet* ds = link_->DataSet();
  return ds && ds->Active() ? ds->FindField(fieldName_) : nullptr;
}

void TDBMemo::SetReadOnly(bool readOnly) { setReadOnly(readOnly); }

void TDBMemo::LoadField() {
  if (loading_ || holdText_) return;
  loading_ = true;
  framework::TField* f = Field();
  setPlainText(f ? MemoToText(f->AsString()) : QString());
  document()->setModified(false);
  loading_ = false;
}

// ---------------------------------------------------------------- dialog

TMemoDialog::TMemoDialog(QWidget* parent) : QDialog(parent) {
  setObjectName("MemoDialog");
  setWindowTitle("Dialog");
  setModal(true);
  resize(kDesignWidth, kDesignHeight);
  QFont f("MS Sans Serif");
  f.setBold(true);
  setFont(f);
  DBMemo = new TDBMemo(this);
  DBMemo->setObjectName("DBMemo");
  OKBtn = new QPushButton("OK", this);
  OKBtn->setObjectName("OKBtn");
  OKBtn->setAutoDefault(false);
  OKBtn->hide();
  CancelBtn = new QPushButton("Cancel", this);
  CancelBtn->setObjectName("CancelBtn");
  CancelBtn->setAutoDefault(false);
  CancelBtn->hide();
  connect(OKBtn, &QPushButton::clicked, this, &TMemoDialog::OKBtnClick);
  connect(CancelBtn, &QPushButton::clicked, this, &TMemoDialog::reject);
  connect(DBMemo, &QPlainTextEdit::textChanged, this, [this] {
    if (isVisible()) changed_ = true;  // DBMemoChange
  });
  DBMemo->installEventFilter(this);
}

void TMemoDialog::SetShowSettings(const QFont& font, const std::string& caption, const QRect& bounds, bool readOnly,
                                  bool sizeable) {
  sizeable_ = sizeable;
  font_ = font;
  caption_ = caption;
  bounds_ = bounds;
  readOnly_ = readOnly;
  DBMemo->SetReadOnly(readOnly);
  CancelBtn->setVisible(false);
}

void TMemoDialog::showEvent(QShowEvent* event) {
  if (!shown_) FormShow();
  QDialog::showEvent(event);
}

void TMemoDialog::FormShow() {
  shown_ = true;
  changed_ = false;
  DBMemo->setFont(font_);
  setWindowTitle(QString::fromStdString(platform::Cp1252ToUtf8(caption_)));
  QSize screen(1024, 768);
  if (QScreen* s = QGuiApplication::primaryScreen()) screen = s->size();
  if (bounds_.left() > 0) {
    setGeometry(bounds_);
  } else {
    if (bounds_.left() == 0) resize(bounds_.size());
    move((screen.width() - width()) / 2, (screen.height() - height()) / 2);
  }
  if (!sizeable_) setFixedSize(size());
  ResizeControls();
}

void TMemoDialog::resizeEvent(QResizeEvent* event) {
  QDialog::resizeEvent(event);
  ResizeControls();
}

// The memo fills the window above one row of buttons.
void TMemoDialog::ResizeControls() {
  const int memoWidth = width() - 14;
  const int memoHeight = std::max(height() - 57, 20);
  DBMemo->setGeometry(6, 6, memoWidth, memoHeight);
  const int top = memoHeight + 17;
  if (readOnly_) {
    OKBtn->setGeometry(6 + (memoWidth - kButtonWidth) / 2, top, kButtonWidth, kButtonHeight);
  } else {
    OKBtn->setGeometry(memoWidth - 2 * kButtonWidth - 40, top, kButtonWidth, kButtonHeight);
    CancelBtn->setGeometry(memoWidth - kButtonWidth - 20, top, kButtonWidth, kButtonHeight);
    CancelBtn->show();
  }
  OKBtn->show();
}

// A post the engine refuses keeps the dialog open with the text, so nothing
// typed is lost and the user can try again or cancel.
void TMemoDialog::OKBtnClick() {
  if (!readOnly_ && DBMemo->document()->isModified()) {
    framework::TField* f = DBMemo->Field();
    framework::TDataSet* ds = f ? f->DataSet() : nullptr;
    if (ds) {
      // The memo keeps what was typed while the record takes it.
      DBMemo->SetHoldText(true);
      try {
        if (ds->State() != framework::dsEdit && ds->State() != framework::dsInsert) ds->Edit();
        f->SetAsString(TextToMemo(DBMemo->toPlainText()));
        ds->Post();
      } catch (const framework::Exception& e) {
        DBMemo->SetHoldText(false);
        ui::ShowMessage(e.Message(), "Error");
        return;
      }
      DBMemo->SetHoldText(false);
      DBMemo->document()->setModified(false);
    }
  }
  okPressed_ = true;
  closeByOk_ = true;
  done(QDialog::Accepted);
}

bool TMemoDialog::FormCloseQuery() {
  bool close = true;
  if (changed_ && !closeByOk_) {
    if (ui::ShowMessage("Changes have been made!  Are you sure you wish to cancel?", "Confirm",
                        ui::Buttons::YesNo) == ui::Answer::Yes) {
      if (!readOnly_)
        if (framework::TField* f = DBMemo->Field()) {
          framework::TDataSet* ds = f->DataSet();
          try {
            if (ds->State() == framework::dsEdit || ds->State() == framework::dsInsert) ds->Cancel();
          } catch (const framework::Exception&) {
          }
        }
    } else {
      close = false;
    }
  }
  closeByOk_ = false;
  return close;
}

void TMemoDialog::done(int) {
  const bool byOk = closeByOk_;
  if (!FormCloseQuery()) return;
  QDialog::done(byOk ? QDialog::Accepted : QDialog::Rejected);
}

bool TMemoDialog::eventFilter(QObject* watched, QEvent* event) {
  if (watched == DBMemo && event->type() == QEvent::KeyPress) {
    const auto* key = static_cast<QKeyEvent*>(event);
    if ((key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) && (key->modifiers() & Qt::ControlModifier)) {
      OKBtnClick();
      return true;
    }
    if (key->key() == Qt::Key_Escape) {
      reject();
      return true;
    }
  }
  return QDialog::eventFilter(watched, event);
}

// Escape at the window is swallowed: only the memo's Escape cancels.
void TMemoDialog::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Escape) return;
  QDialog::keyPressEvent(event);
}

// ------------------------------------------------------------- showing

namespace {

bool ShowMemo(framework::TDataSource* source, const std::string& fieldName, const QRect& bounds, const QFont& font,
              const std::string& caption, TMemoAttributes attributes, bool readOnly) {
  QWidget* active = QApplication::activeWindow();
  TMemoDialog form(active);
  if (active && (active->windowFlags() & Qt::WindowStaysOnTopHint))
    form.setWindowFlags(form.windowFlags() | Qt::WindowStaysOnTopHint);
  form.DBMemo->SetField(source, fieldName);
  const bool wrap = (attributes & mWordWrap) != 0;
  form.DBMemo->setLineWrapMode(wrap ? QPlainTextEdit::WidgetWidth : QPlainTextEdit::NoWrap);
  form.DBMemo->setHorizontalScrollBarPolicy(wrap ? Qt::ScrollBarAlwaysOff : Qt::ScrollBarAsNeeded);
  form.SetShowSettings(font, caption, bounds, readOnly, (attributes & mSizeable) != 0);
  return form.exec() == QDialog::Accepted;
}

}  // namespace

bool ShowMemoEditable(framework::TDataSource* source, const std::string& fieldName, const QRect& bounds,
                      const QFont& font, const std::string& caption, TMemoAttributes attributes) {
  return ShowMemo(source, fieldName, bounds, font, caption, attributes, false);
}

bool ShowMemoReadOnly(framework::TDataSource* source, const std::string& fieldName, const QRect& bounds,
                      const QFont& font, const std::string& caption, TMemoAttributes attributes) {
  return ShowMemo(source, fieldName, bounds, font, caption, attributes, true);
}

bool TixMemoDialog::Execute() {
  const QRect bounds(DlgLeft, DlgTop, DlgWidth, DlgHeight);
  if (MemoAttributes & mViewOnly)
    return ShowMemoReadOnly(DataSource, DataField, bounds, Font, Caption, MemoAttributes);
  return ShowMemoEditable(DataSource, DataField, bounds, Font, Caption, MemoAttributes);
}

}  // namespace grid

#include "moc_ix_memo_dialog.cpp"
