#include "reports/treportfonts.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "report/base_report.h"
#include "reports/report_forms.h"
#include "reports/treportfontdialog.h"

namespace keldro::reports {

std::string FontDescription(const ReportFont& font) { return font.name + " " + std::to_string(font.size) + "pt"; }

TReportFonts::TReportFonts(QWidget* parent, ReportDefinition& def) : TDialog(parent, QSize(), 4), def_(def) {
  setObjectName("ReportFonts");
  setWindowTitle("Report Fonts");
  UseOwnScreenWhenUnset();
  ShowOnlyWhenOpened();
  resize(420, 210);
  static constexpr const char* kRows[] = {"Title Line Font", "Column Header Font", "Report Body Data Font",
                                          "Footnote Font"};
  // The names of the rows' parts: the description and its button.
  static constexpr const char* kNames[] = {"TitleLineFont", "ColumnHeaderFont", "RepBodyDataFont", "FootnoteFont"};
  for (int row = 0; row < 4; ++row) {
    const QString name = kNames[row];
    QLabel* l = RowLabels[static_cast<size_t>(row)] = new QLabel(kRows[row], this);
    l->setObjectName(name + "Label");
    l->setGeometry(12, 12 + row * 40, 150, 24);
    QLineEdit* d = Descriptions[static_cast<size_t>(row)] = new QLineEdit(this);
    d->setObjectName(name);
    d->setReadOnly(true);
    d->setGeometry(160, 12 + row * 40, 160, 24);
    QPushButton* b = FontButtons[static_cast<size_t>(row)] = new QPushButton("New Font", this);
    b->setObjectName(name + "Button");
    b->setGeometry(328, 10 + row * 40, 80, 28);
    connect(b, &QPushButton::clicked, this, [this, row] { ChooseFont(row); });
  }
  OkButton = new QPushButton("&Ok", this);
  OkButton->setObjectName("OkButton");
  OkButton->setGeometry(170, 172, 80, 28);
  connect(OkButton, &QPushButton::clicked, this, &QDialog::accept);
  Refresh();
  SaveDesign();
}

void TReportFonts::SetColors() {
  ReportColorParts parts;
  parts.form = this;
  parts.minorTitles = {RowLabels.begin(), RowLabels.end()};
  parts.edits = {Descriptions.begin(), Descriptions.end()};
  ApplyReportColors(parts);
}

void TReportFonts::FormShow() { Refresh(); }

void TReportFonts::Refresh() {
  for (int row = 0; row < 4; ++row)
    Descriptions[static_cast<size_t>(row)]->setText(
        report::FromAnsi(FontDescription(def_.fonts[static_cast<size_t>(SlotOf(row) - 1)])));
}

void TReportFonts::ChooseFont(int row) {
  ReportFont& slot = def_.fonts[static_cast<size_t>(SlotOf(row) - 1)];
  TReportFontDialog dialog(this, slot);
  if (dialog.exec() != QDialog::Accepted) return;
  slot = dialog.Chosen();
  Refresh();
}

}  // namespace keldro::reports

#include "moc_treportfonts.cpp"
