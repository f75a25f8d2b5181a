#include "tsearchandreplace.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>

#include "app_state.h"
#include "core/inventory_table.h"
#include "core/item_fields.h"
#include "platform/text.h"
#include "platform/ui.h"
#include "tmain.h"
#include "ui_utilities.h"

namespace ui = platform::ui;

namespace keldro {

namespace {

// The framework's mask notation as Qt's: "9" optional and "0" required
// digits swap, "c" (any character, optional) is "x", "/" is the date
// separator; the ";1" (literals kept) is how Qt keeps them anyway.
QString QtInputMask(std::string_view mask) {
  const size_t end = mask.find(';');
  QString out;
  for (char c : mask.substr(0, end)) {
    switch (c) {
      case '9': out += '0'; break;
      case '0': out += '9'; break;
      case 'c': out += 'x'; break;
      case '/': out += QChar(framework::DateSeparator); break;
      default: out += QChar(c); break;
    }
  }
  return out;
}

std::string EntryText(const QLineEdit* edit) { return platform::Utf8ToCp1252(edit->text().toStdString()); }

constexpr int kCountTop = 225;
constexpr std::array<int, 3> kCountLeft{70, 190, 310};

}  // namespace

TSearchAndReplace::TSearchAndReplace(TMain& main, QWidget* parent) : TDialog(parent, {640, 480}, 5), main_(main) {
  setObjectName("SearchAndReplace");
  setWindowTitle("Search and Replace");
  resize(420, 290);
  auto label = [this](const char* name, const char* text, int x, int y, int w) {
    auto* l = new QLabel(text, this);
    l->setObjectName(name);
    l->setGeometry(x, y, w, 18);
    l->setAutoFillBackground(true);
    return l;
  };
  FieldLabel = label("FieldLabel", "Field To Search", 16, 12, 200);
  FieldBox = new QComboBox(this);
  FieldBox->setObjectName("FieldBox");
  FieldBox->setGeometry(16, 32, 200, 24);
  FieldBox->setMaxVisibleItems(15);
  SearchLabel = label("SearchLabel", "Text To Search For", 16, 66, 200);
  SearchText = new QLineEdit(this);
  SearchText->setObjectName("SearchText");
  SearchText->setGeometry(16, 86, 388, 24);
  ReplaceLabel = label("ReplaceLabel", "Replacement Text", 16, 120, 200);
  ReplaceText = new QLineEdit(this);
  ReplaceText->setObjectName("ReplaceText");
  ReplaceText->setGeometry(16, 140, 388, 24);
  ConfirmBox = new QCheckBox("Confirm Before Replacing", this);
  ConfirmBox->setObjectName("ConfirmBox");
  ConfirmBox->setGeometry(16, 172, 220, 20);
  ConfirmBox->setAutoFillBackground(true);
  ProcessedLabel = label("ProcessedLabel", "Processed", kCountLeft[0], 202, 90);
  FoundLabel = label("FoundLabel", "Found", kCountLeft[1], 202, 90);
  ChangedLabel = label("ChangedLabel", "Changed", kCountLeft[2], 202, 90);
  StartButton = new QPushButton("&Start Search", this);
  StartButton->setObjectName("StartButton");
  StartButton->setGeometry(102, 252, 104, 27);
  StartButton->setDefault(true);
  CancelButton = new QPushButton("&Cancel", this);
  CancelButton->setObjectName("CancelButton");
  CancelButton->setGeometry(214, 252, 104, 27);
  connect(FieldBox, &QComboBox::currentIndexChanged, this, [this] { FieldBoxChange(); });
  connect(StartButton, &QPushButton::clicked, this, &TSearchAndReplace::StartButtonClick);
  connect(CancelButton, &QPushButton::clicked, this, &TSearchAndReplace::CancelButtonClick);
  SaveSharedDesign<TSearchAndReplace>();
}

void TSearchAndReplace::FormShow() {
  const QSignalBlocker block(FieldBox);
  FieldBox->clear();
  for (const FieldSettings& f : Settings.fields) FieldBox->addItem(QString::fromStdString(platform::Cp1252ToUtf8(f.title)));
  FieldBox->setCurrentIndex(field_ - 1);
}

void TSearchAndReplace::FieldBoxChange() {
  field_ = FieldBox->currentIndex() + 1;
  if (field_ < 1) return;
  const ItemField& f = ItemFields[static_cast<size_t>(field_ - 1)];
  for (QLineEdit* edit : {SearchText, ReplaceText}) {
    edit->setInputMask("");
    edit->clear();
    // A mask sets the length itself; free text is as long as the field.
    edit->setMaxLength(f.letter == 'C' ? f.width : 32767);
    edit->setInputMask(QtInputMask(ReplaceMaskFor(f.letter)));
  }
}

void TSearchAndReplace::Fail(ReplaceInputError error) {
  ui::ShowMessage(std::string(ReplaceInputMessage(error)), "Error");
  switch (error) {
    case ReplaceInputError::NoField: FieldBox->setFocus(); break;
    case ReplaceInputError::SearchValue:
    case ReplaceInputError::SearchDate: SearchText->setFocus(); break;
    default: ReplaceText->setFocus(); break;
  }
}

void TSearchAndReplace::StartButtonClick() {
  ReplaceSpec spec;
  const ReplaceInputError error = PrepareReplace(field_, EntryText(SearchText), EntryText(ReplaceText), spec);
  if (error != ReplaceInputError::None) return Fail(error);
  if (!main_.PostPendingEdit()) return;
  main_.MyTable.Close();
  if (main_.DBaseInUse(main_.CurrentDatabase())) {
    ui::ShowMessage(std::string(kReplaceInUseMessage), "Error");
    main_.ReopenShared();
    return;
  }
  counts_ = ReplaceCounts{};
  DrawCounts(true);
  const bool searchWasActive = SearchActive;
  const ui::BusyCursor busy;
  const std::string itemField(ItemFields[0].name);
  try {
    // The search's filter is off for the walk: every record is visited.
    if (searchWasActive) main_.DisableEndSearch();
    framework::TTable& table = main_.MyTable;
    table.SetIndexName("");
    table.SetExclusive(true);
    table.Open();
    // File order: a changed record never moves under the walk.
    main_.DropSortIndex();
    main_.SetViewerOptions();
    auto confirm = [&](const framework::TDataSet& t) {
      const std::string item = platform::Cp1252ToUtf8(t.FieldByName(itemField)->AsString());
      return ui::ShowMessage(ReplaceConfirmQuestion(item), "Confirm", ui::Buttons::YesNo, ui::Icon::Question, 1,
                             true) == ui::Answer::Yes;
    };
    // One batch: every change reaches the file at its end, or none does.
    ReplaceAllInBatch(table, spec, ConfirmBox->isChecked() ? std::function(confirm) : nullptr,
                      [this](const ReplaceCounts& c) {
                        counts_ = c;
                        DrawCounts(false);
                      },
                      counts_);
    DrawCounts(true);
    if (searchWasActive) main_.EnableEndSearch();
    main_.ReplaceSortIndex();
    table.Close();
    if (!main_.ReopenShared()) throw framework::Exception("reopen");
  } catch (const framework::Exception&) {
    DrawCounts(true);
    ui::ShowMessage(std::string(kReplaceFailedMessage), "Error");
    // The search and the user's order come back as on success.
    if (searchWasActive) main_.EnableEndSearch();
    main_.ReopenShared();
    return;
  }
  ui::ShowMessage(std::string(kReplaceDoneMessage), "Finished");
  accept();
}

void TSearchAndReplace::DrawCounts(bool now) {
  if (!now && lastDrawn_.isValid() && lastDrawn_.elapsed() < 100) return;
  lastDrawn_.restart();
  repaint();
}

void TSearchAndReplace::paintEvent(QPaintEvent* event) {
  QDialog::paintEvent(event);
  QPainter painter(this);
  // In the labels' font and colour, so they scale and colour alike.
  painter.setFont(ProcessedLabel->font());
  painter.setPen(ProcessedLabel->palette().color(QPalette::WindowText));
  const std::array<long, 3> values{counts_.processed, counts_.found, counts_.changed};
  const int top = static_cast<int>(kCountTop * ScaleFactor);
  for (size_t i = 0; i < values.size(); ++i) {
    const int left = static_cast<int>(kCountLeft[i] * ScaleFactor);
    painter.drawText(QRect(left, top, static_cast<int>(100 * ScaleFactor), painter.fontMetrics().height()),
                     Qt::AlignLeft | Qt::AlignTop, QString::fromStdString(FormatNumber(static_cast<double>(values[i]), 0, 0)));
  }
}

void TSearchAndReplace::CancelButtonClick() { reject(); }

}  // namespace keldro

#include "moc_tsearchandreplace.cpp"
