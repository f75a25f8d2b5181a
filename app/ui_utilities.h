// The shared routines that work on Qt windows: which kind of component a
// widget is, the configured fonts applied to a window, and a window's design
// geometry saved once and restored, scaled and centred, whenever it is shown.
//
// The components of a window are its named widgets (objectName set), in the
// order they were created; the helpers Qt puts inside a widget have no name
// and are left alone.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include <QColor>
#include <QFont>
#include <QSize>
#include <QString>

#include "core/settings.h"
#include "core/utilities.h"

class QMenuBar;
class QWidget;

namespace keldro {

ComponentKind KindOf(const QWidget* widget);
// The named widgets of a window, in creation order.
std::vector<QWidget*> FormComponents(QWidget* form);

// Windows-1252 texts (the tables', the settings') in and out of widgets.
QString FromAnsi(std::string_view cp1252);
std::string ToAnsi(const QString& text);

// A Windows colour value (0x00BBGGRR) as a Qt colour.
QColor WindowsColor(int32_t value);
// A configured font over a base font: name and styles, size kept.
QFont WithFontSettings(QFont base, const SimpleFontSettings& font);
QFont GridFont(const GridFontSettings& font);

// Copies name and style (never size or colour) of the shared label, edit and
// button fonts into the components that take them.
void ApplyConfiguredFonts(QWidget* form, const AppSettings& settings);

// Records the window's client size and its components' bounds and font
// sizes; more than 101 components shows the message and keeps the first 101.
bool SaveFormDimensions(QWidget* form, FormDimensions& dims);
// Puts the design geometry back, scales it by `scaleFactor` and centres the
// window on a screen of `screen` pixels.
void RestoreFormDimensions(QWidget* form, const FormDimensions& dims, double scaleFactor, QSize screen);

// Paints a window in the colours of one group: the window, its pages, group
// boxes and labels on the main background, label and group box text in the
// minor title colour (the major one for widgets whose "majorTitle" property
// is set), edits and masked edits, combo boxes, list boxes and string
// grids, radio buttons and check boxes in their own pairs.
void ApplyColorGroup(QWidget* form, const ColorScheme& group);
// Group 1 main, 2 edit, 3 search, 4 report, 5 configure, from the settings.
void ApplyColorGroup(QWidget* form, int group);

// The shortcuts of a window's menu win over the focused control's own keys
// (an edit would take Ctrl+X, Ctrl+C, Ctrl+U, Ctrl+H and the like for
// itself), for as long as the window lives.
void MenuShortcutsFirst(QWidget* window, QMenuBar* menu);

// While it lives, a widget shows the picture it had when this was made and
// is not painted anew (its table may be closed or half way through work),
// on screen and in grabs alike.
class FrozenView {
 public:
  explicit FrozenView(QWidget* widget);
  ~FrozenView();
  FrozenView(const FrozenView&) = delete;
  FrozenView& operator=(const FrozenView&) = delete;

 private:
  QWidget* widget_;
  QWidget* picture_ = nullptr;
};

// Opens the help page of a window's keyword ("Export Window"), or the help
// contents for an empty keyword; a page that is missing or cannot be opened
// is said so in a box. True when the page was opened.
bool ShowHelp(std::string_view keyword);

}  // namespace keldro
