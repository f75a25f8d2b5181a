#include "tmysortorder.h"

#include <QComboBox>
#include <QLabel>
#include <QPushButton>

#include "app_state.h"
#include "core/item_fields.h"
#include "platform/text.h"
#include "platform/ui.h"
#include "tmain.h"
#include "ui_utilities.h"

namespace ui = platform::ui;

namespace keldro {

namespace {

constexpr std::string_view kSortInUseMessage =
    "Creating a new sort order requires exclusive use of the DBase File.  Make sure that the DBase File is not "
    "in use by another program  or that no other users are running the software or that no other copies of "
    "the software are in use.";
constexpr std::string_view kSortFailedMessage =
    "Error in implementing sort order.  New sort order not implemented.";

}  // namespace

TMySortOrder::TMySortOrder(TMain& main, QWidget* parent) : TDialog(parent, {640, 480}, 5), main_(main) {
  setObjectName("MySortOrder");
  setWindowTitle("Sort Order");
  resize(330, 214);
  static constexpr std::array<const char*, 4> kCaptions{"Primary Sort", "Secondary Sort", "Third Level Sort",
                                                        "Fourth Level Sort"};
  for (size_t i = 0; i < ComboBoxes.size(); ++i) {
    const int top = 16 + static_cast<int>(i) * 36;
    Labels[i] = new QLabel(kCaptions[i], this);
    Labels[i]->setObjectName(QString("Label%1").arg(i + 1));
    Labels[i]->setGeometry(16, top + 3, 120, 20);
    Labels[i]->setAutoFillBackground(true);
    ComboBoxes[i] = new QComboBox(this);
    ComboBoxes[i]->setObjectName(QString("ComboBox%1").arg(i + 1));
    ComboBoxes[i]->setGeometry(140, top, 174, 24);
  }
  OkButton = new QPushButton("&Ok", this);
  OkButton->setObjectName("OkButton");
  OkButton->setGeometry(72, 170, 84, 27);
  OkButton->setDefault(true);
  CancelButton = new QPushButton("&Cancel", this);
  CancelButton->setObjectName("CancelButton");
  CancelButton->setGeometry(174, 170, 84, 27);
  connect(OkButton, &QPushButton::clicked, this, &TMySortOrder::OkButtonClick);
  connect(CancelButton, &QPushButton::clicked, this, &TMySortOrder::CancelButtonClick);
  SaveSharedDesign<TMySortOrder>();
  FormCreate();
}

void TMySortOrder::FormCreate() {
  for (QComboBox* box : ComboBoxes) {
    box->addItem("<NONE>");
    for (const FieldSettings& f : Settings.fields) box->addItem(QString::fromStdString(platform::Cp1252ToUtf8(f.title)));
  }
}

void TMySortOrder::FormPlaced() {
  for (size_t i = 0; i < ComboBoxes.size(); ++i) {
    const int level = Settings.sortLevels.levels[i];
    ComboBoxes[i]->setCurrentIndex(level >= 0 && level <= kItemFieldCount ? level : 0);
  }
}

SortLevels TMySortOrder::ChosenLevels() const {
  SortLevels levels;
  for (size_t i = 0; i < ComboBoxes.size(); ++i) levels.levels[i] = std::max(0, ComboBoxes[i]->currentIndex());
  return levels;
}

void TMySortOrder::OkButtonClick() {
  if (!main_.PostPendingEdit()) return;
  main_.MyTable.Close();
  if (main_.DBaseInUse(main_.CurrentDatabase())) {
    ui::ShowMessage(std::string(kSortInUseMessage), "Error");
    main_.ReopenShared();
    return;
  }
  const SortLevels remembered = Settings.sortLevels;
  try {
    main_.MyTable.SetIndexName("");
    main_.MyTable.SetExclusive(true);
    main_.MyTable.Open();
    Settings.sortLevels = ChosenLevels();
    main_.BuildSortString();
    // With no level the table runs in natural order; "NewIndex" keeps the
    // last order until a level is chosen again.
    if (!main_.SortExpression().empty()) main_.ReplaceSortIndex();
    SaveSettings(Settings);
    main_.MyTable.Close();
    if (!main_.ReopenShared()) throw framework::Exception("reopen");
  } catch (const framework::Exception&) {
    ui::ShowMessage(std::string(kSortFailedMessage), "Error");
    // The old order as a whole: levels, expression and the index made from
    // it, so the table opens shared again in it.
    Settings.sortLevels = remembered;
    main_.BuildSortString();
    try {
      main_.MyTable.Close();
      main_.MyTable.SetExclusive(false);
      main_.ReplaceSortIndex();
    } catch (const framework::Exception&) {
    }
    main_.ReopenShared();
    return;
  }
  accept();
}

void TMySortOrder::CancelButtonClick() { reject(); }

}  // namespace keldro

#include "moc_tmysortorder.cpp"
