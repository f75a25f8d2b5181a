#include "tcolorconfig.h"

#include <algorithm>

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>

#include "platform/ui.h"
#include "ui_utilities.h"

namespace ui = platform::ui;

namespace keldro {

namespace {

constexpr int kClientWidth = 520, kClientHeight = 344;
constexpr int kLabelLeft = 16, kSampleLeft = 120, kSampleWidth = 160, kFirstButton = 296, kSecondButton = 400;
constexpr int kButtonWidth = 96, kRowHeight = 36;

}  // namespace

TColorConfig::TColorConfig(QSize screen, QWidget* parent) : TDialog(parent, screen, 5) {
  setObjectName("ColorConfig");
  setWindowTitle("Color Configuration");
  setWindowFlags((windowFlags() | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint) &
                 ~(Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint | Qt::WindowContextHelpButtonHint));
  CreateComponents();
  SaveDesign();
}

void TColorConfig::CreateComponents() {
  resize(kClientWidth, kClientHeight);
  auto label = [this](const char* name, const char* text, int y, bool major) {
    auto* l = new QLabel(text, this);
    l->setObjectName(name);
    l->setGeometry(kLabelLeft, y, kSampleLeft - kLabelLeft - 4, 24);
    l->setProperty("majorTitle", major);
    l->setProperty("minorTitle", !major);
    return l;
  };
  auto button = [this](const char* name, const char* caption, int x, int y, ColorIndex color) {
    auto* b = new QPushButton(caption, this);
    b->setObjectName(name);
    b->setGeometry(x, y, kButtonWidth, 27);
    b->setAutoDefault(false);
    connect(b, &QPushButton::clicked, this, [this, color] { ChooseColor(color); });
    return b;
  };
  int y = 12;
  WindowLabel = label("WindowLabel", "Window", y, true);
  MainBack = button("MainBack", "Background", kSampleLeft, y, kMainBackground);
  MajorTitles = button("MajorTitles", "Major Titles", kFirstButton, y, kMajorTitle);
  MinorTitles = button("MinorTitles", "Minor Titles", kSecondButton, y, kMinorTitle);

  // One row per sample: its label, the sample, its Text and Background buttons.
  auto row = [&](QLabel*& l, const char* labelName, const char* text, QWidget* sample, int height,
                 QPushButton*& textButton, const char* textName, ColorIndex textColor, QPushButton*& backButton,
                 const char* backName, ColorIndex backColor) {
    l = label(labelName, text, y, true);
    sample->setGeometry(kSampleLeft, y, kSampleWidth, height);
    textButton = button(textName, "Text", kFirstButton, y, textColor);
    backButton = button(backName, "Background", kSecondButton, y, backColor);
    y += std::max(height, 24) + kRowHeight - 24;
  };
  y += kRowHeight;
  EditBox = new QLineEdit("Sample Text", this);
  EditBox->setObjectName("EditBox");
  row(EditLabel, "EditLabel", "Edit Box", EditBox, 24, EditBoxText, "EditBoxText", kEditText, EditBoxBack,
      "EditBoxBack", kEditBackground);
  ComboBox = new QComboBox(this);
  ComboBox->setObjectName("ComboBox");
  ComboBox->addItems({"Sample Text", "Sample Text"});
  row(ComboLabel, "ComboLabel", "Combo Box", ComboBox, 24, ComboText, "ComboText", kComboText, ComboBack,
      "ComboBack", kComboBackground);
  ListBox = new QListWidget(this);
  ListBox->setObjectName("ListBox");
  ListBox->addItems({"Sample Text", "Sample Text"});
  row(ListLabel, "ListLabel", "List Box", ListBox, 44, ListText, "ListText", kListText, ListBack, "ListBack",
      kListBackground);
  RadioButton = new QRadioButton("Radio Button", this);
  RadioButton->setObjectName("RadioButton");
  RadioButton->setChecked(true);
  row(RadioLabel, "RadioLabel", "Radio Button", RadioButton, 24, RadioText, "RadioText", kRadioText, RadioBack,
      "RadioBack", kRadioBackground);
  CheckBox = new QCheckBox("Check Box", this);
  CheckBox->setObjectName("CheckBox");
  CheckBox->setChecked(true);
  row(CheckLabel, "CheckLabel", "Check Box", CheckBox, 24, CheckText, "CheckText", kCheckText, CheckBack,
      "CheckBack", kCheckBackground);

  y += 8;
  SetsLabel = label("SetsLabel", "Predefined Color Combinations", y, false);
  SetsLabel->setGeometry(kLabelLeft, y, 200, 24);
  ColorSets = new QComboBox(this);
  ColorSets->setObjectName("ColorSets");
  for (const ColorSet& set : keldro::ColorSets)
    ColorSets->addItem(QString::fromUtf8(set.name.data(), static_cast<int>(set.name.size())));
  ColorSets->setGeometry(kLabelLeft + 208, y, 180, 24);
  connect(ColorSets, &QComboBox::currentIndexChanged, this, &TColorConfig::ColorSetsChange);

  OkButton = new QPushButton("&Ok", this);
  OkButton->setObjectName("OkButton");
  OkButton->setGeometry(kClientWidth - 216, kClientHeight - 38, kButtonWidth, 27);
  CancelButton = new QPushButton("&Cancel", this);
  CancelButton->setObjectName("CancelButton");
  CancelButton->setGeometry(kClientWidth - 112, kClientHeight - 38, kButtonWidth, 27);
  connect(OkButton, &QPushButton::clicked, this, &TColorConfig::OkClick);
  connect(CancelButton, &QPushButton::clicked, this, &TColorConfig::CancelClick);
}

void TColorConfig::FormPlaced() {
  if (y() > 10) move(x(), y() - 10);
}

void TColorConfig::SetColors() { PaintSamples(); }

void TColorConfig::PaintSamples() { ApplyColorGroup(this, Colors); }

void TColorConfig::ChooseColor(ColorIndex color) {
  int32_t& c = Colors.colors[static_cast<size_t>(color)];
  const ui::ColorDialogResult r = ui::Current().ColorDialog(static_cast<uint32_t>(c));
  if (!r.accepted) return;
  c = static_cast<int32_t>(r.color);
  PaintSamples();
}

void TColorConfig::ColorSetsChange(int entry) {
  const std::optional<ColorScheme> set = ColorSetEntry(entry);
  if (!set) return;
  Colors = *set;
  PaintSamples();
}

void TColorConfig::OkClick() {
  if (StoreColors(Settings, Group, Colors) && RepaintsMainWindow(Group) && OnMainColorsChanged)
    OnMainColorsChanged();
  accept();
}

void TColorConfig::CancelClick() { reject(); }

}  // namespace keldro

#include "moc_tcolorconfig.cpp"
