#include "trecordnavigator.h"

#include <vector>

#include <QResizeEvent>
#include <QToolButton>

#include "platform/ui.h"

namespace ui = platform::ui;

namespace keldro {

TRecordNavigator::TRecordNavigator(QWidget* parent) : QFrame(parent) {
  static constexpr std::array<const char*, kButtonCount> kGlyphs{"|\u25C0", "\u25C0", "\u25B6", "\u25B6|", "+",
                                                                 "\u2212", "\u25B2", "\u2714", "\u2716", "\u21BB"};
  static constexpr std::array<const char*, kButtonCount> kHints{
      "First record", "Prior record", "Next record", "Last record", "Insert record",
      "Delete record", "Edit record", "Post edit", "Cancel edit", "Refresh data"};
  for (int i = 0; i < kButtonCount; ++i) {
    auto* b = new QToolButton(this);
    b->setText(QString::fromUtf8(kGlyphs[static_cast<size_t>(i)]));
    b->setToolTip(QString::fromUtf8(kHints[static_cast<size_t>(i)]));
    connect(b, &QToolButton::clicked, this, [this, i] { Click(static_cast<Button>(i)); });
    buttons_[static_cast<size_t>(i)] = b;
  }
  Layout();
}

void TRecordNavigator::SetVisibleButtons(const std::array<bool, kButtonCount>& visible) {
  for (size_t i = 0; i < buttons_.size(); ++i) buttons_[i]->setVisible(visible[i]);
  Layout();
}

void TRecordNavigator::resizeEvent(QResizeEvent* event) {
  QFrame::resizeEvent(event);
  Layout();
}

void TRecordNavigator::Layout() {
  std::vector<QToolButton*> shown;
  for (QToolButton* b : buttons_)
    if (!b->isHidden()) shown.push_back(b);
  if (shown.empty()) return;
  const int n = static_cast<int>(shown.size());
  for (int i = 0; i < n; ++i) {
    const int left = width() * i / n;
    const int right = width() * (i + 1) / n;
    shown[static_cast<size_t>(i)]->setGeometry(left, 0, right - left, height());
  }
}

void TRecordNavigator::Click(Button b) {
  framework::TDataSet* ds = dataSource_ ? dataSource_->DataSet() : nullptr;
  if (ds && ds->Active()) {
    try {
      switch (b) {
        case nbFirst: ds->First(); break;
        case nbPrior: ds->Prior(); break;
        case nbNext: ds->Next(); break;
        case nbLast: ds->Last(); break;
        case nbInsert: ds->Insert(); break;
        case nbDelete:
          if (ui::ShowMessage("Delete record?", "Confirm", ui::Buttons::OkCancel) == ui::Answer::Ok) ds->Delete();
          break;
        case nbEdit: ds->Edit(); break;
        case nbPost: ds->Post(); break;
        case nbCancel: ds->Cancel(); break;
        case nbRefresh: ds->Refresh(); break;
      }
    } catch (const framework::Exception& e) {
      ui::ShowMessage(e.Message(), "Error");
    }
  }
  if (OnClick) OnClick();
}

}  // namespace keldro

#include "moc_trecordnavigator.cpp"
