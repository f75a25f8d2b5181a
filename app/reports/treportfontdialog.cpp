#include "reports/treportfontdialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFontComboBox>
#include <QLabel>
#include <QPushButton>

#include <algorithm>

#include "platform/text.h"
#include "report/base_report.h"
#include "reports/report_forms.h"

namespace keldro::reports {

namespace {
// The sixteen colours of the dialog, as Windows keeps them (0x00BBGGRR).
struct NamedColor {
  const char* name;
  int32_t value;
};
constexpr NamedColor kColors[] = {
    {"Black", 0x000000},  {"Maroon", 0x000080}, {"Green", 0x008000},  {"Olive", 0x008080},
    {"Navy", 0x800000},   {"Purple", 0x800080}, {"Teal", 0x808000},   {"Gray", 0x808080},
    {"Silver", 0xC0C0C0}, {"Red", 0x0000FF},    {"Lime", 0x00FF00},   {"Yellow", 0x00FFFF},
    {"Blue", 0xFF0000},   {"Fuchsia", 0xFF00FF}, {"Aqua", 0xFFFF00},  {"White", 0xFFFFFF}};
constexpr int kMinSize = 6, kMaxSize = 16;
}  // namespace

TReportFontDialog::TReportFontDialog(QWidget* parent, const ReportFont& font)
    : TDialog(parent, QSize(), 4), original_(font) {
  setObjectName("MyFontDialog");
  setWindowTitle("Font");
  UseOwnScreenWhenUnset();
  ShowOnlyWhenOpened();
  resize(380, 250);
  auto label = [this](const char* name, const char* text, int x, int y) {
    auto* l = new QLabel(text, this);
    l->setObjectName(name);
    l->setGeometry(x, y, 120, 18);
    labels_.push_back(l);
  };
  label("FontLabel", "Font:", 12, 10);
  FontName = new QFontComboBox(this);
  FontName->setObjectName("FontName");
  FontName->setGeometry(12, 30, 220, 26);
  FontName->setCurrentFont(QFont(report::FromAnsi(font.name)));
  shownFamily_ = FontName->currentFont().family();
  label("SizeLabel", "Size:", 244, 10);
  FontSize = new QComboBox(this);
  FontSize->setObjectName("FontSize");
  FontSize->setGeometry(244, 30, 60, 26);
  for (int s = kMinSize; s <= kMaxSize; ++s) FontSize->addItem(QString::number(s));
  FontSize->setCurrentIndex(std::clamp<int>(font.size, kMinSize, kMaxSize) - kMinSize);
  auto check = [this](QCheckBox*& c, const char* name, const char* text, bool on, int x, int y) {
    c = new QCheckBox(text, this);
    c->setObjectName(name);
    c->setGeometry(x, y, 110, 20);
    c->setChecked(on);
  };
  check(Bold, "Bold", "&Bold", font.bold, 12, 66);
  check(Italic, "Italic", "&Italic", font.italic, 130, 66);
  check(Underline, "Underline", "&Underline", font.underline, 12, 92);
  check(StrikeOut, "StrikeOut", "Stri&keout", font.strikeOut, 130, 92);
  label("ColorLabel", "Color:", 244, 66);
  FontColor = new QComboBox(this);
  FontColor->setObjectName("FontColor");
  FontColor->setGeometry(244, 86, 120, 26);
  int current = 0;
  for (size_t i = 0; i < std::size(kColors); ++i) {
    FontColor->addItem(kColors[i].name, kColors[i].value);
    if (kColors[i].value == font.color) current = static_cast<int>(i);
  }
  // A colour of the file that is not one of the sixteen stays selectable.
  if (kColors[current].value != font.color) {
    FontColor->addItem("Custom", font.color);
    current = FontColor->count() - 1;
  }
  FontColor->setCurrentIndex(current);
  Sample = new QLabel("AaBbYyZz", this);
  Sample->setObjectName("Sample");
  Sample->setGeometry(12, 124, 352, 70);
  Sample->setAlignment(Qt::AlignCenter);
  Sample->setFrameShape(QFrame::StyledPanel);
  // The sample on white, whatever the report colours: its text takes the
  // chosen colour.
  QPalette samplePalette = Sample->palette();
  samplePalette.setColor(QPalette::Window, Qt::white);
  Sample->setPalette(samplePalette);
  Sample->setAutoFillBackground(true);
  OkButton = new QPushButton("OK", this);
  OkButton->setObjectName("OkButton");
  OkButton->setGeometry(190, 210, 84, 28);
  OkButton->setDefault(true);
  CancelButton = new QPushButton("Cancel", this);
  CancelButton->setObjectName("CancelButton");
  CancelButton->setGeometry(282, 210, 84, 28);
  connect(OkButton, &QPushButton::clicked, this, &QDialog::accept);
  connect(CancelButton, &QPushButton::clicked, this, &QDialog::reject);
  connect(FontName, &QFontComboBox::currentFontChanged, this, [this] { UpdateSample(); });
  for (QComboBox* c : {FontSize, FontColor})
    connect(c, &QComboBox::currentIndexChanged, this, [this] { UpdateSample(); });
  for (QCheckBox* c : {Bold, Italic, Underline, StrikeOut})
    connect(c, &QCheckBox::toggled, this, [this] { UpdateSample(); });
  UpdateSample();
  SaveDesign();
}

void TReportFontDialog::SetColors() {
  ReportColorParts parts;
  parts.form = this;
  parts.minorTitles = labels_;
  parts.edits = {FontName, FontSize, FontColor};
  parts.checks = {Bold, Italic, Underline, StrikeOut};
  ApplyReportColors(parts);
}

ReportFont TReportFontDialog::Chosen() const {
  ReportFont f = original_;
  // A font this machine lacks shows as a stand-in; the name stays unless
  // the user picks another.
  if (FontName->currentFont().family() != shownFamily_)
    f.name = platform::Utf8ToCp1252(FontName->currentFont().family().toStdString()).substr(0, 50);
  f.size = static_cast<int16_t>(FontSize->currentIndex() + kMinSize);
  f.bold = Bold->isChecked();
  f.italic = Italic->isChecked();
  f.underline = Underline->isChecked();
  f.strikeOut = StrikeOut->isChecked();
  f.color = FontColor->currentData().toInt();
  return f;
}

void TReportFontDialog::UpdateSample() {
  const ReportFont f = Chosen();
  QFont q(FontName->currentFont().family());
  q.setPointSize(f.size);
  q.setBold(f.bold);
  q.setItalic(f.italic);
  q.setUnderline(f.underline);
  q.setStrikeOut(f.strikeOut);
  Sample->setFont(q);
  QPalette p = Sample->palette();
  p.setColor(QPalette::WindowText, report::ToQColor(f.color));
  Sample->setPalette(p);
}

}  // namespace keldro::reports

#include "moc_treportfontdialog.cpp"
