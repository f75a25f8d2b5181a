// The locale library file reader over arbitrary bytes: the directory, locale
// records, category tables and records (with the LC_CTYPE parse) and the
// character-set records must never read outside the file.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "library_file.h"
#include "locale_object.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  slw::LibraryFile file;
  if (file.OpenBytes(std::vector<uint8_t>(data, data + size)) != slw::kOk) return 0;
  for (const slw::DirectoryEntry& entry : file.Entries(slw::kLocaleEntry)) {
    const uint8_t* record = nullptr;
    if (file.LocaleRecord(entry, record) != slw::kOk) continue;
    for (int slot = 0; slot < slw::kCategorySlots; ++slot) {
      for (uint16_t index = 1; index <= 4; ++index) {
        const uint8_t* cat = nullptr;
        uint32_t length = 0;
        if (file.CategoryByIndex(record, slot, index, cat, length) != slw::kOk) break;
        for (uint8_t family = 1; family <= 3; ++family) {
          slw::Category category(slot, family);
          category.Load(cat, length);
        }
      }
      const uint8_t* found = nullptr;
      uint32_t length = 0;
      file.FindCategory(record, slot, entry.name, entry.name.size(), found, length);
    }
  }
  for (const slw::DirectoryEntry& entry : file.Entries(slw::kCharsetEntry)) {
    const uint8_t* record = nullptr;
    uint16_t length = 0;
    file.CharsetRecord(entry, record, length);
  }
  return 0;
}
