// The category loaders over arbitrary bodies: the first byte picks the
// family, the second the category; the rest is the body after a 70-byte
// head. A body that loads is then read through every accessor, so a table
// that passed the checks can never be walked past its end.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "categories.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) return 0;
  uint8_t family = static_cast<uint8_t>(1 + data[0] % 3);
  int slot = data[1] % slw::kCategorySlots;
  std::vector<uint8_t> record(slw::kCategoryHeadSize, 0);
  record.insert(record.end(), data + 2, data + size);
  slw::WriteU32(record.data(), static_cast<uint32_t>(record.size()));
  std::unique_ptr<slw::Category> category(slw::NewCategoryObject(slot, family));
  if (category == nullptr || category->Load(record.data(), record.size()) != slw::kOk) return 0;
  volatile uint32_t sink = 0;
  if (auto* ctype = dynamic_cast<slw::CtypeCategory*>(category.get())) {
    for (uint32_t c = 0; c < 0x10000; c += 97) {
      sink = sink + ctype->ClassOf(static_cast<uint16_t>(c));
      for (int t = -1; t <= 8; ++t) sink = sink + ctype->Translate(t, static_cast<uint16_t>(c));
    }
    for (const slw::Translation& t : ctype->translationTables())
      for (uint16_t first : t.first)
        if (first != 0xFFFF) sink = sink + t.entries.at(first).source.size();
  } else if (auto* time = dynamic_cast<slw::TimeCategory*>(category.get())) {
    for (const slw::Era& e : time->eras) sink = sink + e.name.size();
    for (const slw::Text& d : time->altDigits) sink = sink + d.size();
  } else if (auto* soundex = dynamic_cast<slw::SoundexCategory*>(category.get())) {
    for (uint32_t c = 0; c < 0x10000; c += 13) sink = sink + soundex->CodeOf(static_cast<uint16_t>(c));
  }
  return 0;
}
