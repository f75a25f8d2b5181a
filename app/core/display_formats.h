// The date formats of the Options menu (setting "Date Format", 1 to 12) and
// the pick lists of the program directory, as the main window applies them.
#pragma once

#include <array>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace keldro {

inline constexpr int kDateFormatCount = 12;

// What a date format code sets: the date separator and the short date
// format, in which "/" stands for the separator.
struct DateFormat {
  char separator = '/';
  std::string shortFormat;
  bool operator==(const DateFormat&) const = default;
};
// Code 1..12 with or without leading zeros; any other code reads as 1.
DateFormat DateFormatFor(int code, bool leadingZeros);

// The five pick lists, in the order the main window loads them.
inline constexpr std::array<std::string_view, 5> kPickListFiles{"BRAND.LST", "LOCATION.LST", "BOUGHT.LST",
                                                                "CATEGORY.LST", "OWNER.LST"};
// The lines of a pick list, trimmed, empty ones left out, in file order;
// lines longer than 255 characters are cut. A file that cannot be read gives
// an empty list.
std::vector<std::string> LoadPickList(const std::filesystem::path& file);
// The same from the file's bytes (CR LF or LF line ends).
std::vector<std::string> ParsePickList(std::string_view bytes);

}  // namespace keldro
