#include "ui_utilities.h"

#include "app_state.h"
#include "platform/text.h"
#include "platform/ui.h"

#include <algorithm>

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QKeyEvent>
#include <QMenuBar>
#include <QPointer>
#include <QComboBox>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QStackedWidget>
#include <QTabWidget>
#include <QTableWidget>
#include <QToolButton>
#include <QWidget>

namespace keldro {

ComponentKind KindOf(const QWidget* w) {
  // Most specific classes first: a label is a frame, a check box a button.
  if (qobject_cast<const QPushButton*>(w)) return ComponentKind::Button;
  if (qobject_cast<const QLabel*>(w)) return ComponentKind::Label;
  if (qobject_cast<const QListWidget*>(w)) return ComponentKind::ListBox;
  if (qobject_cast<const QToolButton*>(w)) return ComponentKind::SpeedButton;
  if (qobject_cast<const QTableWidget*>(w)) return ComponentKind::StringGrid;
  if (qobject_cast<const QCheckBox*>(w)) return ComponentKind::CheckBox;
  if (const auto* edit = qobject_cast<const QLineEdit*>(w))
    return edit->inputMask().isEmpty() && !edit->property("maskEdit").toBool() ? ComponentKind::Edit
                                                                                : ComponentKind::MaskEdit;
  if (qobject_cast<const QRadioButton*>(w)) return ComponentKind::RadioButton;
  if (const auto* group = qobject_cast<const QGroupBox*>(w))
    return group->property("radioGroup").toBool() ? ComponentKind::RadioGroup : ComponentKind::GroupBox;
  if (qobject_cast<const QComboBox*>(w)) return ComponentKind::ComboBox;
  if (qobject_cast<const QTabWidget*>(w)) return ComponentKind::TabbedNotebook;
  if (w->metaObject() == &QFrame::staticMetaObject)
    return w->property("bevel").toBool() ? ComponentKind::Bevel : ComponentKind::Panel;
  return ComponentKind::Other;
}

// Qt keeps children in stacking order, which raise() and a notebook turning
// its page change: each component gets a number the first time it is seen,
// so that the order, and the design geometry saved by it, stays put.
std::vector<QWidget*> FormComponents(QWidget* form) {
  static const char* const kSeq = "formComponentSeq";
  int next = form->property("formComponentNext").toInt();
  std::vector<QWidget*> out;
  for (QWidget* w : form->findChildren<QWidget*>()) {
    if (w->objectName().isEmpty() || w->objectName().startsWith(QLatin1String("qt_"))) continue;
    // Qt's own parts (a tab bar's scroll buttons) are not components; a
    // notebook's pages stand in its stacked widget.
    const QWidget* parent = w->parentWidget();
    if (parent && parent->objectName().startsWith(QLatin1String("qt_")) && !qobject_cast<const QStackedWidget*>(parent))
      continue;
    if (!w->property(kSeq).isValid()) w->setProperty(kSeq, next++);
    out.push_back(w);
  }
  form->setProperty("formComponentNext", next);
  std::stable_sort(out.begin(), out.end(),
                   [](QWidget* a, QWidget* b) { return a->property(kSeq).toInt() < b->property(kSeq).toInt(); });
  return out;
}

QString FromAnsi(std::string_view cp1252) { return QString::fromStdString(platform::Cp1252ToUtf8(cp1252)); }

std::string ToAnsi(const QString& text) { return platform::Utf8ToCp1252(text.toStdString()); }

QColor WindowsColor(int32_t value) {
  const auto v = static_cast<uint32_t>(value);
  return QColor(static_cast<int>(v & 0xFF), static_cast<int>((v >> 8) & 0xFF), static_cast<int>((v >> 16) & 0xFF));
}

QFont WithFontSettings(QFont base, const SimpleFontSettings& font) {
  base.setFamily(QString::fromStdString(font.name));
  base.setBold(font.bold);
  base.setItalic(font.italic);
  return base;
}

QFont GridFont(const GridFontSettings& font) {
  QFont f(QString::fromStdString(font.name));
  if (font.size > 0) f.setPointSize(font.size);
  f.setBold(font.bold);
  f.setItalic(font.italic);
  f.setUnderline(font.underline);
  f.setStrikeOut(font.strikeOut);
  return f;
}

void ApplyConfiguredFonts(QWidget* form, const AppSettings& settings) {
  for (QWidget* w : FormComponents(form)) {
    const SimpleFontSettings* shared = nullptr;
    switch (SharedFontFor(KindOf(w))) {
      case SharedFont::Label: shared = &settings.labelFont; break;
      case SharedFont::Edit: shared = &settings.editFont; break;
      case SharedFont::Button: shared = &settings.buttonFont; break;
      case SharedFont::None: break;
    }
    if (shared) w->setFont(WithFontSettings(w->font(), *shared));
  }
}

namespace {

std::vector<ComponentState> StatesOf(const std::vector<QWidget*>& widgets) {
  std::vector<ComponentState> states;
  for (QWidget* w : widgets) {
    const QRect g = w->geometry();
    states.push_back({KindOf(w), {g.x(), g.y(), g.width(), g.height()}, w->font().pointSize()});
  }
  return states;
}

}  // namespace

bool SaveFormDimensions(QWidget* form, FormDimensions& dims) {
  return dims.Save(form->width(), form->height(), StatesOf(FormComponents(form)));
}

void RestoreFormDimensions(QWidget* form, const FormDimensions& dims, double scaleFactor, QSize screen) {
  const std::vector<QWidget*> widgets = FormComponents(form);
  const QRect frame = form->frameGeometry();
  const QRect client = form->geometry();
  const FormDimensions::Placement p =
      dims.Restore(StatesOf(widgets), scaleFactor, screen.width(), screen.height(),
                   frame.width() - client.width(), frame.height() - client.height());
  form->resize(p.clientWidth, p.clientHeight);
  for (size_t i = 0; i < widgets.size(); ++i) {
    const ComponentState& c = p.components[i];
    // The font first: a notebook lays its tabs out for the font it has when resized.
    if (c.fontSize > 0 && c.kind != ComponentKind::Bevel && c.kind != ComponentKind::Other) {
      QFont f = widgets[i]->font();
      f.setPointSize(c.fontSize);
      widgets[i]->setFont(f);
    }
    widgets[i]->setGeometry(c.bounds.left, c.bounds.top, c.bounds.width, c.bounds.height);
  }
  form->move(p.left, p.top);
}

namespace {

void Paint(QWidget* w, std::initializer_list<std::pair<QPalette::ColorRole, QColor>> roles, bool fill) {
  QPalette p = w->palette();
  for (const auto& [role, color] : roles) p.setColor(role, color);
  w->setPalette(p);
  if (fill) w->setAutoFillBackground(true);
}

}  // namespace

void ApplyColorGroup(QWidget* form, const ColorScheme& group) {
  auto color = [&group](int i) { return WindowsColor(group.colors[static_cast<size_t>(i)]); };
  const QColor back = color(0);
  Paint(form, {{QPalette::Window, back}}, true);
  // Notebook pages carry no name: they take the window's background too.
  for (QTabWidget* tabs : form->findChildren<QTabWidget*>())
    for (int i = 0; i < tabs->count(); ++i) Paint(tabs->widget(i), {{QPalette::Window, back}}, true);
  for (QWidget* w : FormComponents(form)) {
    const QColor title = color(w->property("majorTitle").toBool() ? 1 : 2);
    switch (KindOf(w)) {
      case ComponentKind::Label:
      case ComponentKind::GroupBox:
      case ComponentKind::RadioGroup:
        Paint(w, {{QPalette::Window, back}, {QPalette::WindowText, title}}, true);
        break;
      case ComponentKind::Edit:
      case ComponentKind::MaskEdit: Paint(w, {{QPalette::Base, color(3)}, {QPalette::Text, color(4)}}, false); break;
      case ComponentKind::ComboBox:
        Paint(w,
              {{QPalette::Base, color(5)}, {QPalette::Text, color(6)}, {QPalette::Button, color(5)},
               {QPalette::ButtonText, color(6)}},
              false);
        break;
      case ComponentKind::ListBox:
      case ComponentKind::StringGrid:
        Paint(w, {{QPalette::Base, color(7)}, {QPalette::Text, color(8)}}, false);
        break;
      // Buttons draw on the Button roles.
      case ComponentKind::RadioButton:
        Paint(w,
              {{QPalette::Window, color(9)}, {QPalette::Button, color(9)}, {QPalette::WindowText, color(10)},
               {QPalette::ButtonText, color(10)}},
              true);
        break;
      case ComponentKind::CheckBox:
        Paint(w,
              {{QPalette::Window, color(11)}, {QPalette::Button, color(11)}, {QPalette::WindowText, color(12)},
               {QPalette::ButtonText, color(12)}},
              true);
        break;
      default: break;
    }
  }
}

void ApplyColorGroup(QWidget* form, int group) {
  if (group < 1 || group > kColorGroupCount) group = 1;
  ApplyColorGroup(form, Settings.colors[static_cast<size_t>(group - 1)]);
}

namespace {

class MenuShortcutsFilter : public QObject {
 public:
  MenuShortcutsFilter(QWidget* window, QMenuBar* menu) : QObject(window), window_(window), menu_(menu) {}

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() != QEvent::ShortcutOverride) return false;
    auto* widget = qobject_cast<QWidget*>(watched);
    if (!widget || widget->window() != window_ || !menu_) return false;
    const QKeySequence pressed(static_cast<QKeyEvent*>(event)->keyCombination());
    for (QAction* a : menu_->findChildren<QAction*>())
      if (a->isEnabled() && !a->shortcut().isEmpty() && a->shortcut() == pressed) {
        event->ignore();  // not overridden: the shortcut runs
        return true;
      }
    return false;
  }

 private:
  QWidget* window_;
  QPointer<QMenuBar> menu_;
};

}  // namespace

void MenuShortcutsFirst(QWidget* window, QMenuBar* menu) {
  qApp->installEventFilter(new MenuShortcutsFilter(window, menu));
}

FrozenView::FrozenView(QWidget* widget) : widget_(widget) {
  if (!widget_ || !widget_->parentWidget() || !widget_->isVisible()) return;
  auto* picture = new QLabel(widget_->parentWidget());
  picture->setAttribute(Qt::WA_OpaquePaintEvent);
  picture->setPixmap(widget_->grab());
  picture->setGeometry(widget_->geometry());
  picture->show();
  picture->raise();
  picture_ = picture;
  widget_->setUpdatesEnabled(false);
}

FrozenView::~FrozenView() {
  if (!picture_) return;
  widget_->setUpdatesEnabled(true);
  delete picture_;
  widget_->update();
}

bool ShowHelp(std::string_view keyword) {
  namespace ui = platform::ui;
  ui::HelpRequest request;
  request.file = (ProgramDir / "KELDRO.HLP").string();
  request.command = keyword.empty() ? ui::HelpCommand::Contents : ui::HelpCommand::Keyword;
  request.keyword = std::string(keyword);
  if (ui::Current().Help(request)) return true;
  const std::string page = ui::HelpPage(request);
  ui::ShowMessage(keyword.empty() ? "The help contents are not installed (" + page + ")."
                                  : "The help page for \"" + request.keyword + "\" is not installed (" + page + ").",
                  "Help", ui::Buttons::Ok, ui::Icon::Information);
  return false;
}

}  // namespace keldro
