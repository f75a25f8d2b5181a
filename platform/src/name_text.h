// Small text helpers the INI and registry readers share.
#pragma once

#include <string_view>

#include "platform/text.h"

namespace platform::internal {

// Blanks, tabs and a trailing CR off both ends (lines may come with CR LF).
inline std::string_view TrimLine(std::string_view s) {
  size_t b = 0, e = s.size();
  while (b < e && (s[b] == ' ' || s[b] == '\t')) ++b;
  while (e > b && (s[e - 1] == ' ' || s[e - 1] == '\t' || s[e - 1] == '\r')) --e;
  return s.substr(b, e - b);
}

// Section, key and value names compare without regard to case, as Windows does.
inline bool SameName(std::string_view a, std::string_view b) {
  return a.size() == b.size() && AnsiCompareNoCase(a, b) == 0;
}

}  // namespace platform::internal
