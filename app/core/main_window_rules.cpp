#include "core/main_window_rules.h"

#include <algorithm>

namespace keldro {

void DoLastFiles(RecentFiles& files, const std::string& previous, const std::string& current) {
  auto found = std::find(files.begin(), files.end(), current);
  if (found != files.end() && !current.empty()) {
    std::move(found + 1, files.end(), found);
    files.back().clear();
  }
  if (previous.empty()) return;
  std::move_backward(files.begin(), files.end() - 1, files.end());
  files.front() = previous;
}

std::string RecentFileCaption(size_t number, std::string_view path) {
  return std::string("&").append(std::to_string(number)).append("   ").append(path);
}

bool AnyRecentFile(const RecentFiles& files) {
  return std::any_of(files.begin(), files.end(), [](const std::string& f) { return !f.empty(); });
}

bool IsBrowseModeArgument(const std::vector<std::string>& arguments) {
  if (arguments.size() < 2) return false;
  std::string first = arguments[1].substr(0, 30);
  for (char& c : first)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  return first == "/BROWSE";
}

bool HasDbfEnding(std::string_view fileName) {
  if (fileName.size() < 4) return false;
  std::string_view end = fileName.substr(fileName.size() - 4);
  static constexpr std::string_view kDbf = ".DBF";
  for (size_t i = 0; i < 4; ++i) {
    const char c = end[i] >= 'a' && end[i] <= 'z' ? static_cast<char>(end[i] - 'a' + 'A') : end[i];
    if (c != kDbf[i]) return false;
  }
  return true;
}

}  // namespace keldro
