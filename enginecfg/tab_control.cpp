#include "tab_control.h"

#include "core/cfg_strings.h"

namespace vtxcfg {

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

}  // namespace vtxcfg

#include "moc_tab_control.cpp"
