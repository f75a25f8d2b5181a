#include "ui_utilities.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
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
    return edit->inputMask().isEmpty() ? ComponentKind::Edit : ComponentKind::MaskEdit;
  if (qobject_cast<const QRadioButton*>(w)) return ComponentKind::RadioButton;
  if (const auto* group = qobject_cast<const QGroupBox*>(w))
    return group->property("radioGroup").toBool() ? ComponentKind::RadioGroup : ComponentKind::GroupBox;
  if (qobject_cast<const QComboBox*>(w)) return ComponentKind::ComboBox;
  if (qobject_cast<const QTabWidget*>(w)) return ComponentKind::TabbedNotebook;
  if (w->metaObject() == &QFrame::staticMetaObject)
    return w->property("bevel").toBool() ? ComponentKind::Bevel : ComponentKind::Panel;
  return ComponentKind::Other;
}

std::vector<QWidget*> FormComponents(QWidget* form) {
  std::vector<QWidget*> out;
  for (QWidget* w : form->findChildren<QWidget*>())
    if (!w->objectName().isEmpty() && !w->objectName().startsWith(QLatin1String("qt_"))) out.push_back(w);
  return out;
}

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

void ApplyColorGroup(QWidget* form, const ColorScheme& colors) {
  auto color = [&colors](int i) { return WindowsColor(colors.colors[static_cast<size_t>(i)]); };
  QPalette window = form->palette();
  window.setColor(QPalette::Window, color(0));
  form->setPalette(window);
  form->setAutoFillBackground(true);
  for (QWidget* w : FormComponents(form)) {
    QPalette p = w->palette();
    auto pair = [&p](QPalette::ColorRole back, const QColor& b, QPalette::ColorRole text, const QColor& t) {
      p.setColor(back, b);
      p.setColor(text, t);
    };
    switch (KindOf(w)) {
      case ComponentKind::Label:
        pair(QPalette::Window, color(0), QPalette::WindowText, color(w->property("minorTitle").toBool() ? 2 : 1));
        break;
      case ComponentKind::GroupBox:
      case ComponentKind::RadioGroup: pair(QPalette::Window, color(0), QPalette::WindowText, color(1)); break;
      case ComponentKind::Edit:
      case ComponentKind::MaskEdit: pair(QPalette::Base, color(3), QPalette::Text, color(4)); break;
      case ComponentKind::ComboBox:
        pair(QPalette::Base, color(5), QPalette::Text, color(6));
        pair(QPalette::Button, color(5), QPalette::ButtonText, color(6));
        break;
      case ComponentKind::ListBox:
      case ComponentKind::StringGrid: pair(QPalette::Base, color(7), QPalette::Text, color(8)); break;
      // A button fills its background in the Button role.
      case ComponentKind::RadioButton:
        pair(QPalette::Window, color(9), QPalette::WindowText, color(10));
        p.setColor(QPalette::Button, color(9));
        w->setAutoFillBackground(true);
        break;
      case ComponentKind::CheckBox:
        pair(QPalette::Window, color(11), QPalette::WindowText, color(12));
        p.setColor(QPalette::Button, color(11));
        w->setAutoFillBackground(true);
        break;
      default: continue;
    }
    w->setPalette(p);
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
    widgets[i]->setGeometry(c.bounds.left, c.bounds.top, c.bounds.width, c.bounds.height);
    if (c.fontSize > 0 && c.kind != ComponentKind::Bevel && c.kind != ComponentKind::Other) {
      QFont f = widgets[i]->font();
      f.setPointSize(c.fontSize);
      widgets[i]->setFont(f);
    }
  }
  form->move(p.left, p.top);
}

}  // namespace keldro
