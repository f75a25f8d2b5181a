// TRecordNavigator: the main window's record navigator, ten buttons that
// move through, edit and refresh a data source's dataset.
#pragma once

#include <array>
#include <functional>

#include <QFrame>

#include "framework/db.h"

class QToolButton;

namespace keldro {

// The buttons: first, prior, next, last, insert, delete, edit, post, cancel
// and refresh.
class TRecordNavigator : public QFrame {
  Q_OBJECT
 public:
  enum Button { nbFirst, nbPrior, nbNext, nbLast, nbInsert, nbDelete, nbEdit, nbPost, nbCancel, nbRefresh };
  static constexpr int kButtonCount = 10;

  explicit TRecordNavigator(QWidget* parent);
  void SetDataSource(framework::TDataSource* source) { dataSource_ = source; }
  framework::TDataSource* DataSource() const { return dataSource_; }
  // Which buttons are shown.
  void SetVisibleButtons(const std::array<bool, kButtonCount>& visible);
  QToolButton* ButtonAt(Button b) const { return buttons_[b]; }
  void Click(Button b);

  // After every click (the main window shows the record count again).
  std::function<void()> OnClick;

 protected:
  void resizeEvent(QResizeEvent* event) override;

 private:
  void Layout();
  framework::TDataSource* dataSource_ = nullptr;
  std::array<QToolButton*, kButtonCount> buttons_{};
};

}  // namespace keldro
