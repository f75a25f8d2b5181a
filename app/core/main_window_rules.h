// The main window's rules that need no window: the recent-files list, the
// browse-only argument, and where a database's files are for the caption.
#pragma once

#include <array>
#include <string>
#include <string_view>
#include <vector>

namespace keldro {

inline constexpr size_t kRecentFileCount = 5;
using RecentFiles = std::array<std::string, kRecentFileCount>;

// Keeps the databases used before the current one, newest first: `current`
// leaves the list when it is in it (exact comparison), then `previous`
// becomes the first entry and the fifth drops off. An empty `previous` (no
// database was open) is not pushed.
void DoLastFiles(RecentFiles& files, const std::string& previous, const std::string& current);

// The caption of recent-file item n (1..5): "&1   C:\DATA\HOME.DBF".
std::string RecentFileCaption(size_t number, std::string_view path);
// Whether the File menu shows the separator before the items.
bool AnyRecentFile(const RecentFiles& files);

// The open and new dialogs take a name whose last four characters are
// ".DBF" in any case.
bool HasDbfEnding(std::string_view fileName);

// True when the first command-line argument (after the program) is
// "/BROWSE" in any case; only its first 30 characters are looked at.
bool IsBrowseModeArgument(const std::vector<std::string>& arguments);

}  // namespace keldro
