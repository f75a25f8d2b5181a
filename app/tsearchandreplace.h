// TSearchAndReplace, the Search and Replace window: in one field of every
// record, a whole value equal to the search value is replaced, optionally
// asking for each record; the walk runs in file order with the table to
// itself, and the counts show on the window as it goes.
#pragma once

#include "tdialog.h"
#include <QElapsedTimer>
#include <QSize>

#include "core/search_replace.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace keldro {

class TMain;

class TSearchAndReplace : public TDialog {
  Q_OBJECT
 public:
  TSearchAndReplace(TMain& main, QWidget* parent = nullptr);

  QComboBox* FieldBox = nullptr;
  QLineEdit *SearchText = nullptr, *ReplaceText = nullptr;
  QCheckBox* ConfirmBox = nullptr;
  QPushButton *StartButton = nullptr, *CancelButton = nullptr;
  QLabel *FieldLabel = nullptr, *SearchLabel = nullptr, *ReplaceLabel = nullptr, *ProcessedLabel = nullptr,
         *FoundLabel = nullptr, *ChangedLabel = nullptr;

  int FieldNumber() const { return field_; }
  const ReplaceCounts& Counts() const { return counts_; }

  void FieldBoxChange();
  void StartButtonClick();
  void CancelButtonClick();

 protected:
  void FormShow() override;
  void paintEvent(QPaintEvent* event) override;

 private:
  void Fail(ReplaceInputError error);
  // The counters on the window: at most every 100 ms, and when `now`.
  void DrawCounts(bool now);
  TMain& main_;
  int field_ = 0;
  ReplaceCounts counts_;
  QElapsedTimer lastDrawn_;
};

}  // namespace keldro
