// Edit masks and what is typed, pasted or loaded into them: any mask, any
// text, any key, any range; the entry always keeps one cell per position
// and its text and display never grow past the mask.
#include <cstdint>
#include <algorithm>
#include <cstdlib>
#include <string>
#include <string_view>

#include "core/edit_mask.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) return 0;
  const std::string_view input(reinterpret_cast<const char*>(data) + 2, size - 2);
  const size_t split = std::min<size_t>(data[0], input.size());
  const keldro::EditMask mask(input.substr(0, split), static_cast<char>(data[1]));
  const std::string_view keys = input.substr(split);
  std::string cells = mask.CellsFromText(keys);
  if (cells.size() != mask.Length()) std::abort();
  size_t pos = 0;
  for (char c : keys) {
    if (static_cast<unsigned char>(c) < 8) {
      mask.Clear(cells, pos, pos + static_cast<unsigned char>(c));
      pos = mask.PriorFree(pos) == std::string::npos ? 0 : mask.PriorFree(pos);
    } else {
      pos = mask.Type(cells, pos, c);
    }
    if (pos > mask.Length() || cells.size() != mask.Length()) std::abort();
  }
  if (mask.TextOf(cells).size() > mask.Length() || mask.DisplayOf(cells).size() != mask.Length()) std::abort();
  std::string shortCells(keys.substr(0, std::min(keys.size(), mask.Length() / 2)));
  mask.TextOf(shortCells);
  mask.DisplayOf(shortCells);
  mask.Complete(shortCells);
  mask.Type(shortCells, mask.Length(), 'x');
  return 0;
}
