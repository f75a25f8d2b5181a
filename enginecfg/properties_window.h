// The property list of the notebook pages: a bordered, scrolling list of
// name and value rows (ten visible) with an in-place editor over the value
// of the selected row.
//
// The editor reports back as the list expects: "Commit" (the row writes its
// value) and "Leave" (to the previous or next row) arrive queued, after the
// key that caused them, and name the row by its id: a row that a refresh
// has destroyed meanwhile is simply not found.
#pragma once

#include <QWidget>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "prop.h"

class QScrollBar;

namespace vtxcfg {

inline constexpr int kVisibleRows = 10;
inline constexpr int kRowLeftMargin = 5;

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

}  // namespace vtxcfg
