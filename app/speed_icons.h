// The icons of the main window's speed buttons: the desktop's icon theme
// where it has the icon, else the program's own pictures, compiled in.
// Nothing is looked up or drawn until a button first paints, so building
// the window costs no theme search and no picture.
#pragma once

#include <string_view>

#include <QIcon>

namespace keldro {

// The icon of the speed button named `button` ("SpeedNew" ... "SpeedHelp");
// a null icon for any other name.
QIcon SpeedButtonIcon(std::string_view button);
// The program's own icon of that button, whatever the theme holds.
QIcon OwnSpeedButtonIcon(std::string_view button);

}  // namespace keldro
