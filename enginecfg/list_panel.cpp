#include "list_panel.h"

#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>

#include "alias_panel.h"
#include "core/cfg_strings.h"
#include "core/config_model.h"
#include "driver_panel.h"
#include "platform/text.h"

namespace vtxcfg {
namespace {

QString Q(const std::string& ansi) { return QString::fromStdString(platform::Cp1252ToUtf8(ansi)); }
std::string A(const QString& text) { return platform::Utf8ToCp1252(text.toStdString()); }

constexpr int kMargin = 8;
constexpr int kListWidth = 132;

}  // namespace

// ---------------------------------------------------------------- TCfgProp

TCfgProp::TCfgProp(const std::string& name, const std::string& path, QLabel* description)
    : TProp(name, description, [&] {
        std::string text;
        GetParamDescription(path, name, text);
        return text;
      }()),
      path_(path), choices_(ChoicesFor(path, name)) {
  LoadShown();
}

std::string TCfgProp::ReadValue() {
  std::string value;
  GetEntryValue(path_, name(), value);
  return PathEqual(name(), "LANGDRIVER") ? LangDriverDescFromName(value) : value;
}

bool TCfgProp::WriteValue(const std::string& text) {
  // Sharing local tables needs nothing more on this system: the check of
  // "LOCAL SHARE" set to "TRUE" always passes.
  SetShown(text);
  return SetEntryValue(path_, name(), text) == 0;
}

std::unique_ptr<TCfgProp> BuildNodeProperties(PropertiesWindow*, const std::string& name, const std::string& path,
                                              QLabel* description) {
  return std::make_unique<TCfgProp>(name, path, description);
}

// ---------------------------------------------------------------- TPanel

TPanel::TPanel(QWidget* parent, int dialogId) : QWidget(parent), dialogId_(dialogId) {
  setAutoFillBackground(true);
  QPalette pal = palette();
  pal.setColor(QPalette::Window, pal.color(QPalette::Button));
  setPalette(pal);
  props_ = new PropertiesWindow(this);
  caption_ = new QLabel("Description:", this);
  caption_->setObjectName("363");
  description_ = new QLabel(this);
  description_->setObjectName("362");
  description_->setWordWrap(true);
  description_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  help_ = new QPushButton("&Help", this);
  help_->setObjectName("380");
  connect(help_, &QPushButton::clicked, this, [this] { ShowHelp(); });
}

void TPanel::keyPressEvent(QKeyEvent* event) {
  switch (event->key()) {
    case Qt::Key_F1: ShowHelp(); return;
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Escape: return;  // a page has no OK or Cancel
    default: QWidget::keyPressEvent(event);
  }
}

void TPanel::resizeEvent(QResizeEvent*) { Layout(); }

void TPanel::Layout() {
  int listTop = kMargin;
  props_->setGeometry(kMargin, listTop, width() - 2 * kMargin, props_->ListHeight());
  props_->SetupRows();
  int y = listTop + props_->ListHeight() + 6;
  QSize helpSize = help_->sizeHint();
  caption_->setGeometry(kMargin, y, width() - 2 * kMargin, caption_->sizeHint().height());
  y += caption_->sizeHint().height() + 2;
  description_->setGeometry(kMargin, y, width() - 3 * kMargin - helpSize.width(), height() - y - kMargin);
  help_->setGeometry(width() - kMargin - helpSize.width(), height() - kMargin - helpSize.height(),
                     helpSize.width(), helpSize.height());
}

void TPanel::AddNodeParams(const std::string& path) {
  for (int n = 0; n < kMaxNodeParams; ++n) {
    const ConfigEntry* e = GetNodeEntry(path, n);
    if (!e) break;
    std::string name = e->name;
    props_->AddRow(BuildNodeProperties(props_, name, path, description_));
  }
}

// ---------------------------------------------------------------- list pages

TListPanel::TListPanel(QWidget* parent, int dialogId, std::string root)
    : TPanel(parent, dialogId),
      list_(new QListWidget(this)),
      new_(new QPushButton(this)),
      delete_(new QPushButton(this)),
      root_(std::move(root)) {
  list_->setObjectName("350");
  new_->setObjectName("364");
  delete_->setObjectName("370");
  connect(list_, &QListWidget::currentRowChanged, this, [this] { SelectionChanged(); });
}

void TListPanel::Layout() {
  TPanel::Layout();
  int buttonHeight = new_->sizeHint().height();
  int listHeight = props_->ListHeight() - 2 * (buttonHeight + 4);
  list_->setGeometry(kMargin, kMargin, kListWidth, listHeight);
  new_->setGeometry(kMargin, kMargin + listHeight + 4, kListWidth, buttonHeight);
  delete_->setGeometry(kMargin, kMargin + listHeight + 8 + buttonHeight, kListWidth, buttonHeight);
  props_->setGeometry(2 * kMargin + kListWidth, kMargin, width() - 3 * kMargin - kListWidth, props_->ListHeight());
  props_->SetupRows();
}

std::string TListPanel::SelectedName() const {
  QListWidgetItem* item = list_->currentItem();
  return item ? A(item->text()) : std::string();
}

void TListPanel::Refill(bool loaded) {
  loaded_ = loaded;
  std::string keep = SelectedName();
  QSignalBlocker block(list_);
  list_->clear();
  std::string name;
  int select = 0;
  for (int n = 0; loaded && GetChildName(root_, n, name) == 0; ++n) {
    list_->addItem(Q(name));
    if (name == keep) select = n;
  }
  if (list_->count() > 0) list_->setCurrentRow(select);
  block.unblock();
  SelectionChanged();
}

bool TListPanel::SelectName(const std::string& name) {
  for (int i = 0; i < list_->count(); ++i)
    if (PathEqual(A(list_->item(i)->text()), name)) {
      list_->setCurrentRow(i);
      return true;
    }
  return false;
}

std::string TListPanel::EnsureSelection() {
  if (!list_->currentItem() && list_->count() > 0) list_->setCurrentRow(0);
  return SelectedName();
}

void TListPanel::SelectionChanged() {
  props_->Clear();
  std::string selected = SelectedName();
  if (!selected.empty()) {
    std::string node = root_ + "\\" + selected;
    std::string child;
    for (int n = 0; n < kMaxPageNodes && GetChildName(node, n, child) == 0; ++n) AddNodeParams(node + "\\" + child);
    if (loaded_) {
      std::string text;
      GetNodeDescription(node, text);
      description_->setText(Q(text));
    }
  } else {
    description_->clear();
  }
  props_->SetupRows();
  props_->update();
}

// ---------------------------------------------------------------- fixed pages

TNodePanel::TNodePanel(QWidget* parent, const char* className, std::string node, int helpContext)
    : TPanel(parent, 6070), node_(std::move(node)), helpContext_(helpContext) {
  setObjectName(className);
}

void TNodePanel::Refill(bool loaded) {
  props_->Clear();
  if (loaded) AddNodeParams(node_);
  props_->SetupRows();
  props_->update();
}

// ---------------------------------------------------------------- notebook

TTabControl::TTabControl(QWidget* parent) : QTabBar(parent) {
  setObjectName("TTabControl");
  setShape(QTabBar::RoundedSouth);
  setDrawBase(true);
  setExpanding(false);
  setFocusPolicy(Qt::NoFocus);
  QFont font(QString::fromStdString(CfgString(1050)));
  font.setPixelSize(14);
  font.setWeight(QFont::Normal);
  setFont(font);
  // Tabs 16 pixels high, as wide as their captions, 9 pixels apart, from a
  // left margin of 14.
  setStyleSheet(
      "QTabBar { border-top: 1px solid #808080; }"
      "QTabBar::tab { height: 15px; padding: 0px 5px; margin-right: 9px; border: 1px solid #808080;"
      " border-top: none; border-bottom-left-radius: 3px; border-bottom-right-radius: 3px;"
      " background: palette(button); }"
      "QTabBar::tab:selected { background: palette(base); }"
      "QTabBar::tab:first { margin-left: 14px; }");
}

const std::vector<int>& TCfgNotebook::TabIds() {
  static const std::vector<int> ids = {1073, 1072, 1075, 1076, 1080, 1081};
  return ids;
}

TCfgNotebook::TCfgNotebook(QWidget* parent) : QWidget(parent), tabs_(new TTabControl(this)) {
  setObjectName("TCfgNotebook");
  for (int id : TabIds()) {
    tabs_->addTab(QString::fromStdString(CfgString(id)));
    TPanel* page = nullptr;
    switch (id) {
      case 1073: page = new TDriverPanel(this); break;
      case 1072: page = new TAliasPanel(this); break;
      case 1075: page = new TSystemPanel(this); break;
      case 1076: page = new TDatePanel(this); break;
      case 1080: page = new TTimePanel(this); break;
      default: page = new TNumberPanel(this); break;
    }
    page->hide();
    pages_.push_back(page);
  }
  connect(tabs_, &QTabBar::currentChanged, this, [this](int index) { ShowIndex(index); });
  ShowIndex(0);
}

void TCfgNotebook::SelectPage(int tabId) {
  for (size_t i = 0; i < TabIds().size(); ++i)
    if (TabIds()[i] == tabId) tabs_->setCurrentIndex(static_cast<int>(i));
}

void TCfgNotebook::ShowIndex(int index) {
  if (index < 0 || index >= PageCount() || index == current_) return;
  if (current_ >= 0) {
    Page(current_)->Properties()->HideEditor();
    Page(current_)->hide();
  }
  current_ = index;
  Page(index)->show();
  Page(index)->setFocus();
  if (tabs_->currentIndex() != index) tabs_->setCurrentIndex(index);
}

void TCfgNotebook::RefreshAll(bool loaded) {
  for (TPanel* page : pages_) page->Refill(loaded);
}

void TCfgNotebook::resizeEvent(QResizeEvent*) {
  int pageHeight = std::max(0, height() - TTabControl::kHeight);
  for (TPanel* page : pages_) page->setGeometry(0, 0, width(), pageHeight);
  tabs_->setGeometry(0, pageHeight, width(), TTabControl::kHeight);
}

TClientWnd::TClientWnd(QWidget* parent) : QWidget(parent), notebook_(new TCfgNotebook(this)) {
  setObjectName("TClientWnd");
  setFocusPolicy(Qt::StrongFocus);
}

void TClientWnd::resizeEvent(QResizeEvent*) { notebook_->setGeometry(rect()); }

void TClientWnd::focusInEvent(QFocusEvent*) {
  if (TPanel* page = notebook_->CurrentPage()) page->setFocus();
}

}  // namespace vtxcfg
