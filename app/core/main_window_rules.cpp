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

}  // namespace keldro
