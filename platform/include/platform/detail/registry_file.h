// The in-memory form of one registry hive file (REGEDIT4 text), for the
// registry functions and for the tests and fuzz targets of the parser.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "platform/registry.h"

namespace platform::registry::detail {

struct Entry {
  bool parsed = false;  // false: a line kept verbatim (comment, unknown type)
  std::string raw;
  Value value;
};

struct KeyBlock {
  std::string header;   // the "[...]" line as read
  std::string path;     // below the hive root, "\"-separated, no leading "\"
  bool foreign = false; // a key of another hive, kept verbatim
  std::vector<Entry> entries;
};

struct HiveFile {
  std::vector<std::string> preamble;  // lines between "REGEDIT4" and the first key
  std::vector<KeyBlock> keys;
};

const char* HiveRootName(Hive hive);  // "HKEY_LOCAL_MACHINE", "HKEY_CURRENT_USER"
// Never fails: lines it cannot read are kept verbatim and otherwise ignored.
HiveFile ParseHive(Hive hive, std::string_view text);
std::string SerializeHive(Hive hive, const HiveFile& file);
// "\A\\B\" -> "A\B".
std::string NormalizeKeyPath(std::string_view path);

}  // namespace platform::registry::detail
