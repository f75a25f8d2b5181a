// Conversion definitions: what a conversion does with a character its target
// set lacks. Each is a data file compiled into the library:
//   "mode N"            3 drop, 4 stop with an error, 5 write the
//                       replacement, 6 write the target's escape form
//   "replacement C"     the replacement character ("none" for 0)
//   "pair SOURCE TARGET" a substitution (UTF-8 texts without blanks)
// "#" starts a comment line.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace slw {

enum DefinitionMode : uint16_t { kModeDrop = 3, kModeStop = 4, kModeReplace = 5, kModeEscape = 6 };

struct ConversionDefinition {
  std::string name;
  uint16_t mode = kModeDrop;
  char16_t replacement = 0;
  std::vector<std::pair<std::u16string, std::u16string>> pairs;
};

// The names in the order of string-table entries 200 to 206.
inline constexpr const char* kDefinitionNames[] = {"DEFAULT", "EXCLUDE", "BREAKWITHERROR", "REPLACE",
                                                   "ESCAPE",  "SUBLATIN", "SUBLATINEX"};
inline constexpr std::size_t kDefinitionCount = sizeof kDefinitionNames / sizeof kDefinitionNames[0];

// The built-in definition of a name (exact comparison), null when none.
const ConversionDefinition* FindDefinition(std::string_view name);

// Parses a definition file; false on a line it cannot read.
bool ParseDefinition(std::string_view text, ConversionDefinition& out);

}  // namespace slw
