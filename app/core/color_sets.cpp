#include "core/color_sets.h"

namespace keldro {

ColorScheme ColorSetScheme(const ColorSet& set) {
  ColorScheme s;
  s.colors[kMainBackground] = set.mainBackground;
  s.colors[kMajorTitle] = set.majorTitle;
  s.colors[kMinorTitle] = set.minorTitle;
  s.colors[kEditBackground] = s.colors[kComboBackground] = s.colors[kListBackground] = set.editBackground;
  s.colors[kEditText] = s.colors[kComboText] = s.colors[kListText] = set.editText;
  s.colors[kRadioBackground] = s.colors[kCheckBackground] = set.mainBackground;
  s.colors[kRadioText] = s.colors[kCheckText] = set.radioText;
  return s;
}

std::optional<ColorScheme> ColorSetEntry(int entry) {
  if (entry < 1 || entry >= kColorSetCount) return std::nullopt;
  return ColorSetScheme(ColorSets[static_cast<size_t>(entry)]);
}

ColorScheme WorkingColors(const AppSettings& settings, int group) {
  if (group < 1 || group > kColorGroupCount) group = 1;
  return settings.colors[static_cast<size_t>(group - 1)];
}

bool StoreColors(AppSettings& settings, int group, const ColorScheme& colors) {
  if (group == kAllColorGroups) {
    settings.colors.fill(colors);
    return true;
  }
  if (group < 1 || group > kColorGroupCount) return false;
  settings.colors[static_cast<size_t>(group - 1)] = colors;
  return true;
}

}  // namespace keldro
