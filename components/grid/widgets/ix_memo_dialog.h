// The memo dialog: TixMemoDialog holds the settings and runs TMemoDialog,
// a modal window with a data-aware memo and OK and Cancel, over one memo
// field of a data source.
#pragma once

#include <string>

#include <QDialog>
#include <QFont>
#include <QPlainTextEdit>
#include <QRect>

#include "grid/ix_memo_stream.h"

class QPushButton;

namespace grid {

// The memo bound to a field: shows the field's text, and puts the dataset
// into edit state when the user types.
class TDBMemo : public QPlainTextEdit {
  Q_OBJECT
 public:
  explicit TDBMemo(QWidget* parent);
  ~TDBMemo() override;
  void SetField(framework::TDataSource* source, const std::string& fieldName);
  framework::TField* Field() const;
  framework::TDataSource* DataSource() const;
  void SetReadOnly(bool readOnly);
  // The field's text again (a record change).
  void LoadField();
  // While set, record changes leave the text as it is.
  void SetHoldText(bool hold) { holdText_ = hold; }

 private:
  class Link;
  Link* link_;
  std::string fieldName_;
  bool loading_ = false;
  bool holdText_ = false;
};

class TMemoDialog : public QDialog {
  Q_OBJECT
 public:
  static constexpr int kDesignWidth = 561, kDesignHeight = 396;

  explicit TMemoDialog(QWidget* parent = nullptr);

  TDBMemo* DBMemo = nullptr;
  QPushButton* OKBtn = nullptr;
  QPushButton* CancelBtn = nullptr;

  // What showing uses: the font, the caption and the bounds (left, top,
  // right, bottom in pixels).
  void SetShowSettings(const QFont& font, const std::string& caption, const QRect& bounds, bool readOnly,
                       bool sizeable);
  bool Changed() const { return changed_; }

  void OKBtnClick();
  void ResizeControls();

 protected:
  void showEvent(QShowEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 public slots:
  void done(int result) override;

 private:
  void FormShow();
  // False when the dialog stays open.
  bool FormCloseQuery();
  bool changed_ = false;
  bool shown_ = false;
  bool okPressed_ = false;
  bool closeByOk_ = false;
  bool readOnly_ = false;
  bool sizeable_ = true;
  QFont font_;
  std::string caption_;
  QRect bounds_;
};

// Both return true when the dialog ended with OK.
bool ShowMemoEditable(framework::TDataSource* source, const std::string& fieldName, const QRect& bounds,
                      const QFont& font, const std::string& caption, TMemoAttributes attributes);
bool ShowMemoReadOnly(framework::TDataSource* source, const std::string& fieldName, const QRect& bounds,
                      const QFont& font, const std::string& caption, TMemoAttributes attributes);

class TixMemoDialog {
 public:
  framework::TDataSource* DataSource = nullptr;
  std::string DataField;
  QFont Font;
  TMemoAttributes MemoAttributes = kDefaultMemoAttributes;
  std::string Caption;
  int DlgLeft = 0, DlgTop = 0, DlgWidth = TMemoDialog::kDesignWidth, DlgHeight = TMemoDialog::kDesignHeight;

  bool Execute();
};

}  // namespace grid
