// The property list of the notebook pages: a bordered, scrolling list of
// name and value rows (ten visible) with an in-place editor over the value
// of the selected row.
//
// The editor reports back as the list expects: "Commit" (the row writes its
// value) and "Leave" (to the previous or next row) arrive queued, after the
// key that caused them, and name the row by its id: a row that a refresh
// has destroyed meanwhile is simply not found.
#pragma once

#include <QLineEdit>
#include <QListWidget>
#include <QWidget>
#include <memory>
#include <string>
#include <vector>

class QLabel;
class QScrollBar;
class QToolButton;

namespace vtxcfg {

class PropertiesWindow;
class TPropEdit;

// Notifications of the combo box to its editor.
enum ComboNotify { kNotifySelEndOk = 9, kNotifySelEndCancel = 10, kNotifyEditChange = 5, kNotifyUp = 0x64,
                   kNotifyDown = 0x65 };

inline constexpr int kEditLimit = 80;       // characters the edit takes
inline constexpr int kStoredLimit = 79;     // characters a row keeps
inline constexpr int kVisibleRows = 10;
inline constexpr int kRowLeftMargin = 5;

class TProp {
 public:
  TProp(std::string name, QLabel* descriptionControl, std::string description);
  virtual ~TProp();
  TProp(const TProp&) = delete;
  TProp& operator=(const TProp&) = delete;

  virtual std::string ReadValue() { return value_; }
  // True when the stored value changed.
  virtual bool WriteValue(const std::string& text);
  virtual const std::vector<std::string>& Choices() const;
  virtual bool Browse() const { return false; }

  void Select();
  void Deselect();
  void Commit();

  uint64_t id() const { return id_; }
  const std::string& name() const { return name_; }
  const std::string& value() const { return value_; }  // as shown (Windows-1252)
  void SetShown(const std::string& text) { value_ = text.substr(0, kStoredLimit); }
  bool changed() const { return changed_; }
  void SetChanged(bool changed) { changed_ = changed; }
  TPropEdit* editor() const { return editor_; }
  const QRect& rowRect() const { return row_; }
  int split() const { return split_; }
  const std::string& description() const { return description_; }

 protected:
  void LoadShown() { value_ = ReadValue().substr(0, kStoredLimit); }

 private:
  friend class PropertiesWindow;
  uint64_t id_;
  PropertiesWindow* owner_ = nullptr;
  std::string name_;
  std::string value_;
  bool changed_ = false;
  int state_ = 0;  // 0 plain, 1 selected with its editor
  QRect row_;
  int split_ = 0;
  TPropEdit* editor_ = nullptr;
  QLabel* descriptionControl_;
  std::string description_;
};

class PropertiesWindow : public QWidget {
  Q_OBJECT
 public:
  explicit PropertiesWindow(QWidget* parent = nullptr);
  ~PropertiesWindow() override;

  void AddRow(std::unique_ptr<TProp> row);
  void Clear();
  void SetupRows();
  void ShowEditor();
  void HideEditor();
  void SelectRow(int index);
  void SelectRow(const std::string& name);

  int RowCount() const { return static_cast<int>(rows_.size()); }
  TProp* Row(int index) const { return rows_[static_cast<size_t>(index)].get(); }
  int Selected() const { return selected_; }
  int FirstVisible() const { return firstVisible_; }
  QScrollBar* ScrollBar() const { return bar_; }
  int RowHeight() const { return rowHeight_; }
  // Height of ten rows and the border.
  int ListHeight() const { return kVisibleRows * rowHeight_ + 2; }

  void PostCommit(uint64_t rowId);
  void PostLeave(uint64_t rowId, bool previous);

 protected:
  void paintEvent(QPaintEvent*) override;
  void mousePressEvent(QMouseEvent* event) override;
  void focusInEvent(QFocusEvent* event) override;
  void resizeEvent(QResizeEvent*) override;

 private:
  void OnCommit(uint64_t rowId);
  void OnLeave(uint64_t rowId, bool previous);
  void OnScroll(int value);
  void PlaceRows();
  QRect ClientRect() const;
  TProp* FindRow(uint64_t rowId, int* index = nullptr) const;

  std::vector<std::unique_ptr<TProp>> rows_;
  int firstVisible_ = 0;
  int selected_ = -1;
  int rowHeight_ = 18;
  QScrollBar* bar_;
  bool settingBar_ = false;
};

class TComboEdit : public QLineEdit {
  Q_OBJECT
 public:
  explicit TComboEdit(QWidget* parent);
 signals:
  void Notify(int code);
  void DropDown();

 protected:
  void keyPressEvent(QKeyEvent* event) override;
};

class TComboLBox : public QListWidget {
  Q_OBJECT
 public:
  explicit TComboLBox(QWidget* parent);
 signals:
  void Notify(int code);

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  void focusOutEvent(QFocusEvent* event) override;
};

class TNiceComboBox : public QWidget {
  Q_OBJECT
 public:
  TNiceComboBox(QWidget* parent, bool withArrow);
  TComboEdit* Edit() const { return edit_; }
  TComboLBox* List() const { return list_; }
  QToolButton* Arrow() const { return arrow_; }
  void AddChoice(const std::string& text);
  void ShowDropDown();
  static constexpr int kDropDownHeight = 60;
 signals:
  void Notify(int code);

 protected:
  void resizeEvent(QResizeEvent*) override;

 private:
  TComboEdit* edit_;
  QToolButton* arrow_ = nullptr;
  TComboLBox* list_;
};

class TPropEdit : public QWidget {
  Q_OBJECT
 public:
  TPropEdit(PropertiesWindow* list, TProp* row);
  TNiceComboBox* Combo() const { return combo_; }
  QToolButton* DotsButton() const { return dots_; }
  void Browse();

 protected:
  void resizeEvent(QResizeEvent*) override;

 private:
  void OnNotify(int code);
  void StoreText();
  PropertiesWindow* list_;
  TProp* row_;
  uint64_t rowId_;
  TNiceComboBox* combo_;
  QToolButton* dots_ = nullptr;
};

}  // namespace vtxcfg
