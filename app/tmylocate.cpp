#include "tmylocate.h"

#include <algorithm>
#include <vector>

#include <QAbstractItemView>
#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QShowEvent>

#include "grid/ix_locate.h"
#include "grid/ix_text.h"
#include "platform/ui.h"
#include "ui_utilities.h"

namespace ui = platform::ui;

namespace keldro {

namespace {

constexpr int kClientWidth = 420, kClientHeight = 200;

// A field's label as the list shows it: "~" (a title's line break) blanked.
std::string ListLabel(const framework::TField& field) {
  std::string label;
  grid::ReplaceCharWithBlank(field.DisplayLabel(), '~', label);
  return label;
}

bool Listed(const framework::TField& field, TMyFieldSelection selection) {
  if (field.Calculated() || field.IsBlob()) return false;
  if (field.DataType() == framework::ftBytes || field.DataType() == framework::ftVarBytes) return false;
  return selection == fsAllFields || field.Visible();
}

}  // namespace

bool MyLocateRecord(bool fromBeginning, framework::TDataSet& dataSet, std::string_view fieldName,
                    bool caseSensitive, int matchType, std::string_view value) {
  return grid::LocateRecord(fromBeginning, dataSet, fieldName, caseSensitive, matchType, value, kLocateTextMax);
}

// ---------------------------------------------------------------- TMyLocateDlg

TMyLocateDlg::TMyLocateDlg(QSize screen, QWidget* parent) : TDialog(parent, screen, 5) {
  setObjectName("MyLocateDlg");
  setWindowTitle("Locate Value");
  ShowOnlyWhenOpened();
  resize(kClientWidth, kClientHeight);

  SearchTypeGroup = new QGroupBox("&Search Type", this);
  SearchTypeGroup->setObjectName("SearchTypeGroup");
  SearchTypeGroup->setGeometry(8, 8, 220, 136);
  CaseSensitiveCheckBox = new QCheckBox("&Case-sensitive", SearchTypeGroup);
  CaseSensitiveCheckBox->setObjectName("CaseSensitiveCheckBox");
  CaseSensitiveCheckBox->setGeometry(10, 24, 200, 22);
  CaseSensitiveCheckBox->setToolTip("Searching is case-sensitive");
  ExactMatchBtn = new QRadioButton("&Exact Match", SearchTypeGroup);
  ExactMatchBtn->setObjectName("ExactMatchBtn");
  ExactMatchBtn->setGeometry(10, 52, 200, 22);
  ExactMatchBtn->setToolTip("Match occurs only if there is an exact match");
  PartialMatchStartBtn = new QRadioButton("&Partial Match at Beginning", SearchTypeGroup);
  PartialMatchStartBtn->setObjectName("PartialMatchStartBtn");
  PartialMatchStartBtn->setGeometry(10, 78, 200, 22);
  PartialMatchStartBtn->setToolTip("Match occurs if the start of the field's value matches");
  PartialMatchStartBtn->setChecked(true);
  PartialMatchAnyBtn = new QRadioButton("Partial Match &Anywhere", SearchTypeGroup);
  PartialMatchAnyBtn->setObjectName("PartialMatchAnyBtn");
  PartialMatchAnyBtn->setGeometry(10, 104, 200, 22);
  PartialMatchAnyBtn->setToolTip("Match occurs if any part of the field matches");

  FieldGroup = new QGroupBox("&Field To Search On", this);
  FieldGroup->setObjectName("FieldGroup");
  FieldGroup->setGeometry(236, 8, 176, 64);
  FieldNameComboBox = new QComboBox(FieldGroup);
  FieldNameComboBox->setObjectName("FieldNameComboBox");
  FieldNameComboBox->setGeometry(10, 26, 156, 24);
  FieldNameComboBox->setToolTip("Select the field to search on");

  ValueGroup = new QGroupBox("Search &Value", this);
  ValueGroup->setObjectName("ValueGroup");
  ValueGroup->setGeometry(236, 80, 176, 64);
  SearchValue = new QLineEdit(ValueGroup);
  SearchValue->setObjectName("SearchValue");
  SearchValue->setGeometry(10, 26, 156, 24);
  SearchValue->setMaxLength(static_cast<int>(kLocateTextMax));
  SearchValue->setToolTip("Enter field's search value");

  BitBtn1 = new QPushButton("Cancel", this);
  BitBtn1->setObjectName("BitBtn1");
  BitBtn1->setGeometry(8, 160, 120, 30);
  FirstButton = new QPushButton("Fi&rst", this);
  FirstButton->setObjectName("FirstButton");
  FirstButton->setGeometry(150, 160, 120, 30);
  FirstButton->setToolTip("Find first match");
  NextButton = new QPushButton("&Next", this);
  NextButton->setObjectName("NextButton");
  NextButton->setGeometry(292, 160, 120, 30);
  NextButton->setToolTip("Find next match from current record");
  for (QPushButton* b : {BitBtn1, FirstButton, NextButton}) b->setAutoDefault(false);
  DefaultButton = NextButton;
  NextButton->setDefault(true);

  connect(BitBtn1, &QPushButton::clicked, this, &QDialog::reject);
  connect(FirstButton, &QPushButton::clicked, this, &TMyLocateDlg::FindFirst);
  connect(NextButton, &QPushButton::clicked, this, &TMyLocateDlg::FindNextBtnClick);
  // Choosing a field starts a new value; the popup has closed by then.
  connect(FieldNameComboBox, &QComboBox::activated, this, [this](int) {
    SearchValue->clear();
    SearchValue->setFocus();
  });
  FieldNameComboBox->installEventFilter(this);
  SaveDesign();
}

bool TMyLocateDlg::eventFilter(QObject* watched, QEvent* event) {
  // Enter in the field list chooses a field, never searches.
  if (watched == FieldNameComboBox && DefaultButton) {
    if (event->type() == QEvent::FocusIn) DefaultButton->setDefault(false);
    if (event->type() == QEvent::FocusOut) DefaultButton->setDefault(true);
  }
  return QDialog::eventFilter(watched, event);
}

void TMyLocateDlg::FormShow() { SearchValue->setFocus(); }

int TMyLocateDlg::MatchType() const {
  if (ExactMatchBtn->isChecked()) return mtExactMatch;
  if (PartialMatchStartBtn->isChecked()) return mtPartialMatchStart;
  return mtPartialMatchAny;
}

std::string TMyLocateDlg::FieldNameFromLabel(const std::string& label) const {
  if (!DataSet) return std::string();
  std::string wanted;
  grid::ReplaceCharWithBlank(label, '~', wanted);
  for (int i = 0; i < DataSet->FieldCount(); ++i)
    if (ListLabel(*DataSet->Fields(i)) == wanted) return DataSet->Fields(i)->FieldName();
  return std::string();
}

bool TMyLocateDlg::FindValue(bool fromBeginning) {
  const std::string name = FieldNameFromLabel(ToAnsi(FieldNameComboBox->currentText()));
  if (name.empty() || !DataSet) return false;
  return MyLocateRecord(fromBeginning, *DataSet, name, CaseSensitiveCheckBox->isChecked(), MatchType(),
                        ToAnsi(SearchValue->text()));
}

void TMyLocateDlg::FindFirst() {
  if (FindValue(true)) {
    accept();
    return;
  }
  ui::ShowMessage("No matches found", "Information", ui::Buttons::Ok, ui::Icon::Information);
}

void TMyLocateDlg::FindNextBtnClick() {
  if (FindValue(false)) {
    accept();
    return;
  }
  ui::ShowMessage("No more matches found", "Information", ui::Buttons::Ok, ui::Icon::Information);
}

// ------------------------------------------------------------- TMyLocateDialog

TMyLocateDialog::TMyLocateDialog(QWidget* owner) : QObject(owner), owner_(owner) {
  setObjectName("MyLocateDialog");
}

TMyLocateDialog::~TMyLocateDialog() = default;

framework::TDataSet* TMyLocateDialog::ActiveDataSet() const {
  framework::TDataSet* ds = link_.DataSet();
  return ds && ds->Active() ? ds : nullptr;
}

bool TMyLocateDialog::Execute() {
  TMyLocateDlg dlg(Screen, owner_);
  framework::TDataSet* ds = ActiveDataSet();
  if (!ds) {
    ui::ShowMessage("DataSource does not reference an active DataSet", "Error", ui::Buttons::Ok, ui::Icon::Error);
    return false;
  }
  dlg.DataSet = ds;
  const framework::TField* field = SearchField.empty() ? nullptr : ds->FindField(SearchField);
  std::vector<std::string> labels;
  for (int i = 0; i < ds->FieldCount(); ++i)
    if (Listed(*ds->Fields(i), FieldSelection)) labels.push_back(ListLabel(*ds->Fields(i)));
  if (SortFields == fsSortByFieldName) std::stable_sort(labels.begin(), labels.end());
  for (const std::string& label : labels) dlg.FieldNameComboBox->addItem(FromAnsi(label));
  dlg.DefaultButton = DefaultButton == dbFindNext ? dlg.NextButton : dlg.FirstButton;
  dlg.NextButton->setDefault(DefaultButton == dbFindNext);
  dlg.FirstButton->setDefault(DefaultButton == dbFindFirst);
  if (field) {
    dlg.SearchValue->setText(FromAnsi(FieldValue));
    dlg.FieldNameComboBox->setCurrentIndex(dlg.FieldNameComboBox->findText(FromAnsi(ListLabel(*field))));
  } else {
    dlg.SearchValue->clear();
  }
  dlg.CaseSensitiveCheckBox->setChecked(CaseSensitive);
  (MatchType == mtExactMatch         ? dlg.ExactMatchBtn
   : MatchType == mtPartialMatchStart ? dlg.PartialMatchStartBtn
                                      : dlg.PartialMatchAnyBtn)
      ->setChecked(true);
  dlg.setWindowTitle(FromAnsi(Caption));
  const int result = dlg.exec();
  // Whatever the outcome, the dialog's choices are kept for Find Next.
  MatchType = static_cast<TMyLocateMatchType>(dlg.MatchType());
  CaseSensitive = dlg.CaseSensitiveCheckBox->isChecked();
  FieldValue = ToAnsi(dlg.SearchValue->text()).substr(0, kLocateTextMax);
  SearchField = dlg.FieldNameFromLabel(ToAnsi(dlg.FieldNameComboBox->currentText()));
  return result == QDialog::Accepted;
}

bool TMyLocateDialog::FindNext() {
  framework::TDataSet* ds = ActiveDataSet();
  if (!ds) {
    ui::ShowMessage("DataSource does not refer to an active table!", "Warning", ui::Buttons::Ok, ui::Icon::Warning);
    return false;
  }
  if (FieldValue.empty()) {
    DefaultButton = dbFindNext;
    return Execute();
  }
  const bool found = MyLocateRecord(false, *ds, SearchField, CaseSensitive, MatchType, FieldValue);
  if (!found && ShowMessages)
    ui::ShowMessage("No more matches found", "Information", ui::Buttons::Ok, ui::Icon::Information);
  return found;
}

}  // namespace keldro

#include "moc_tmylocate.cpp"
