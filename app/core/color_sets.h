// The colour groups and the twelve predefined colour sets of the Color
// Configuration window, without the window.
//
// Colours are Windows colour values (0x00BBGGRR).
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string_view>

#include "core/settings.h"

namespace keldro {

// The thirteen colours, by their place in a ColorScheme.
enum ColorIndex : int {
  kMainBackground, kMajorTitle, kMinorTitle, kEditBackground, kEditText, kComboBackground, kComboText,
  kListBackground, kListText, kRadioBackground, kRadioText, kCheckBackground, kCheckText
};

// Groups 1 main .. 5 configure; 6 stands for all five.
inline constexpr int kAllColorGroups = 6;

constexpr int32_t Rgb(int r, int g, int b) { return static_cast<int32_t>(r | (g << 8) | (b << 16)); }

// The six colours a set gives; the other seven follow from them.
struct ColorSet {
  std::string_view name;
  int32_t mainBackground, majorTitle, minorTitle, editBackground, editText, radioText;
};

// Entry 0 is the empty entry of the list, which changes nothing.
inline constexpr int kColorSetCount = 13;
inline constexpr std::array<ColorSet, kColorSetCount> ColorSets{{
    {"", 0, 0, 0, 0, 0, 0},
    {"Monochrome", Rgb(255, 255, 255), Rgb(0, 0, 0), Rgb(0, 0, 0), Rgb(255, 255, 255), Rgb(0, 0, 0), Rgb(0, 0, 0)},
    {"Gray Mist", Rgb(192, 192, 192), Rgb(0, 0, 0), Rgb(0, 0, 0), Rgb(255, 255, 255), Rgb(0, 0, 0), Rgb(0, 0, 0)},
    {"Midnight Black", Rgb(0, 0, 0), Rgb(192, 192, 192), Rgb(255, 255, 255), Rgb(127, 127, 127), Rgb(0, 0, 0),
     Rgb(255, 255, 255)},
    {"Desert Sunset", Rgb(255, 255, 128), Rgb(0, 0, 0), Rgb(0, 0, 0), Rgb(255, 255, 0), Rgb(0, 0, 0), Rgb(0, 0, 0)},
    {"Easter Pastel", Rgb(255, 128, 255), Rgb(0, 0, 255), Rgb(0, 0, 0), Rgb(128, 0, 128), Rgb(0, 255, 255),
     Rgb(0, 0, 0)},
    {"Ocean Blue", Rgb(0, 255, 255), Rgb(255, 0, 0), Rgb(0, 0, 0), Rgb(255, 255, 255), Rgb(0, 0, 128), Rgb(0, 0, 0)},
    {"Fiery Red", Rgb(255, 0, 0), Rgb(0, 0, 128), Rgb(0, 0, 0), Rgb(255, 255, 255), Rgb(255, 0, 0), Rgb(0, 0, 0)},
    {"Christmas Season", Rgb(0, 255, 0), Rgb(255, 255, 255), Rgb(255, 0, 0), Rgb(255, 0, 0), Rgb(255, 255, 255),
     Rgb(255, 0, 0)},
    {"Wine", Rgb(128, 0, 64), Rgb(255, 0, 0), Rgb(255, 0, 255), Rgb(128, 0, 128), Rgb(255, 0, 0), Rgb(255, 0, 255)},
    {"More Pastels", Rgb(0, 255, 128), Rgb(255, 0, 255), Rgb(128, 0, 128), Rgb(0, 255, 255), Rgb(0, 0, 255),
     Rgb(128, 0, 128)},
    {"Green Glow", Rgb(0, 0, 0), Rgb(0, 255, 0), Rgb(0, 255, 0), Rgb(0, 255, 0), Rgb(0, 0, 0), Rgb(0, 255, 0)},
    {"Camouflage", Rgb(128, 128, 0), Rgb(0, 128, 0), Rgb(127, 127, 127), Rgb(0, 128, 128), Rgb(192, 192, 192),
     Rgb(127, 127, 127)},
}};

// A set's thirteen colours: list box and combo as the edit box, radio and
// check background as the main background, check text as radio text.
ColorScheme ColorSetScheme(const ColorSet& set);
// Entry 1..12 of the list; nothing for entry 0 or any other number.
std::optional<ColorScheme> ColorSetEntry(int entry);

// The colours the window starts from for group 1..6 (6: the main group's).
ColorScheme WorkingColors(const AppSettings& settings, int group);
// Stores the colours into group 1..5, or into all five for 6; false for
// any other group, which changes nothing.
bool StoreColors(AppSettings& settings, int group, const ColorScheme& colors);
// Whether storing into the group repaints the main window at once.
constexpr bool RepaintsMainWindow(int group) { return group == 1 || group == kAllColorGroups; }

}  // namespace keldro
