// The Locate and Find Next commands: TMyLocateDialog, the component the
// main window keeps for the whole run (field, value, match type and case of
// the last search), and TMyLocateDlg, the modal dialog it shows. The search
// is the component library's locate routine with texts of up to 255
// characters.
#pragma once

#include <string>
#include <string_view>

#include <QObject>
#include <QSize>

#include "app_state.h"
#include "framework/db.h"
#include "tdialog.h"

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace keldro {

enum TMyLocateMatchType : int { mtExactMatch = 0, mtPartialMatchStart = 1, mtPartialMatchAny = 2 };
enum TMyFieldSortType { fsSortByFieldNo, fsSortByFieldName };
enum TMyDefaultButtonType { dbFindFirst, dbFindNext };
enum TMyFieldSelection { fsAllFields, fsVisibleFields };

inline constexpr size_t kLocateTextMax = 255;

// The library's locate routine with texts cut to 255 characters.
bool MyLocateRecord(bool fromBeginning, framework::TDataSet& dataSet, std::string_view fieldName,
                    bool caseSensitive, int matchType, std::string_view value);

class TMyLocateDlg : public TDialog {
  Q_OBJECT
 public:
  TMyLocateDlg(QSize screen, QWidget* parent);

  QGroupBox *SearchTypeGroup = nullptr, *FieldGroup = nullptr, *ValueGroup = nullptr;
  QCheckBox* CaseSensitiveCheckBox = nullptr;
  QRadioButton *ExactMatchBtn = nullptr, *PartialMatchStartBtn = nullptr, *PartialMatchAnyBtn = nullptr;
  QComboBox* FieldNameComboBox = nullptr;
  QLineEdit* SearchValue = nullptr;
  QPushButton *BitBtn1 = nullptr, *FirstButton = nullptr, *NextButton = nullptr;
  // The dataset searched.
  framework::TDataSet* DataSet = nullptr;
  // The button Enter presses while the field list does not have the focus.
  QPushButton* DefaultButton = nullptr;

  void FindFirst();
  void FindNextBtnClick();
  bool FindValue(bool fromBeginning);
  std::string FieldNameFromLabel(const std::string& label) const;
  int MatchType() const;

 protected:
  void FormShow() override;
  bool eventFilter(QObject* watched, QEvent* event) override;
};

class TMyLocateDialog : public QObject {
  Q_OBJECT
 public:
  explicit TMyLocateDialog(QWidget* owner);
  ~TMyLocateDialog() override;

  std::string Caption = "Locate Field Value";
  std::string SearchField;
  TMyLocateMatchType MatchType = mtPartialMatchStart;
  bool CaseSensitive = false;
  TMyFieldSortType SortFields = fsSortByFieldName;
  TMyDefaultButtonType DefaultButton = dbFindNext;
  TMyFieldSelection FieldSelection = fsAllFields;
  bool ShowMessages = true;
  // The last value searched for.
  std::string FieldValue;
  // The screen the dialog centres itself on.
  QSize Screen{640, 480};

  framework::TDataSource* DataSource() const { return link_.DataSource(); }
  void SetDataSource(framework::TDataSource* source) { link_.SetDataSource(source); }

  // The Locate command: true when the dialog closed on a record found.
  virtual bool Execute();
  // The Find Next command.
  bool FindNext();

 private:
  framework::TDataSet* ActiveDataSet() const;
  QWidget* owner_;
  framework::TDataLink link_;
};

}  // namespace keldro
