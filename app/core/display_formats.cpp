#include "core/display_formats.h"

#include "core/utilities.h"
#include "platform/file_io.h"

namespace keldro {

DateFormat DateFormatFor(int code, bool leadingZeros) {
  if (code < 1 || code > kDateFormatCount) code = 1;
  static constexpr std::array<char, 3> kSeparators{'/', '-', '.'};
  const char separator = kSeparators[static_cast<size_t>((code - 1) % 3)];
  const bool dayFirst = ((code - 1) / 3) % 2 == 1;
  const bool longYear = code > 6;
  std::string day = leadingZeros ? "dd" : "d";
  std::string month = leadingZeros ? "mm" : "m";
  std::string format = dayFirst ? day + "/" + month : month + "/" + day;
  format += longYear ? "/yyyy" : "/yy";
  return {separator, format};
}

std::vector<std::string> LoadPickList(const std::filesystem::path& file) {
  std::string bytes;
  if (platform::ReadWholeFile(file, bytes) != platform::ReadStatus::kOk) return {};
  return ParsePickList(bytes);
}

std::vector<std::string> ParsePickList(std::string_view bytes) {
  std::vector<std::string> items;
  size_t start = 0;
  while (start < bytes.size()) {
    size_t end = bytes.find('\n', start);
    if (end == std::string_view::npos) end = bytes.size();
    std::string_view line = bytes.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    std::string item = TrimBlanks(line.substr(0, std::min(line.size(), kMaxText)));
    if (!item.empty()) items.push_back(std::move(item));
    start = end + 1;
  }
  return items;
}

}  // namespace keldro
