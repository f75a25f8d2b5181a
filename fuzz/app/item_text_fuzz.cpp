// The import reader over arbitrary bytes: the first line's check and column
// names, then the whole first pass (records may span lines) with every column mapped in turn. A line
// the writer makes from what was read must read back the same.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "core/import_export.h"
#include "core/item_text_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view content(reinterpret_cast<const char*>(data), size);
  std::size_t pos = 0;
  keldro::ItemTextRecord first = keldro::ReadItemTextRecord(content, pos);
  if (keldro::FirstLineCode(first) != 0) return 0;
  std::vector<std::string> names = keldro::ItemTextColumnNames(first);
  std::vector<int> targets(names.size());
  for (std::size_t i = 0; i < targets.size(); ++i) targets[i] = static_cast<int>(i % 23);
  keldro::ImportCheck check = keldro::CheckTextImport(content, names.size(), targets, size % 2 == 0);
  if (check.badLines > 0) (void)keldro::ImportRefusedText(check);

  // What was read, written again, reads back as the writer wrote it.
  std::string line = keldro::ItemTextLine(first.values);
  line.resize(line.size() - 2);
  keldro::ItemTextRecord again = keldro::ReadItemTextLine(line);
  if (again.fault != keldro::LineFault::kNone) __builtin_trap();
  return 0;
}
