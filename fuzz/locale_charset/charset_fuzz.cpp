// A character-set record from a library file: the record reader, the set
// built over it, conversions to and from Unicode and a single-byte set under
// a substituting definition, and the converters over the rest of the input.
// Input: u16 record length, the record, then the text to convert.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "charset/charset.h"
#include "charset/conversion.h"
#include "library_file.h"

namespace {

void Put16(std::vector<uint8_t>& v, uint16_t x) {
  v.push_back(static_cast<uint8_t>(x));
  v.push_back(static_cast<uint8_t>(x >> 8));
}
void Put32(std::vector<uint8_t>& v, uint32_t x) {
  for (int i = 0; i < 4; ++i) v.push_back(static_cast<uint8_t>(x >> (8 * i)));
}

void Exercise(slw::Conversion& c, const std::vector<uint8_t>& text) {
  if (!c.valid()) return;
  // Terminated for every source: a 0 unit at either byte parity.
  std::vector<uint8_t> in(text);
  in.insert(in.end(), {0, 0, 0});
  std::vector<uint8_t> out(97);
  c.Convert(out.data(), out.size(), in.data(), slw::InputForm::kString, nullptr);
  uint16_t count = static_cast<uint16_t>(text.size() / 2);
  c.Convert(out.data(), out.size(), in.data(), slw::InputForm::kCounted, &count);
  count = static_cast<uint16_t>(text.size() / 2);
  c.Convert(out.data(), out.size(), in.data(), slw::InputForm::kBuffer, &count);
  std::vector<uint8_t> place(in);
  c.ConvertInPlace(place.data(), nullptr);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  if (size < 2) return 0;
  std::size_t length = std::min<std::size_t>(data[0] | (data[1] << 8), size - 2);
  // A library image holding the record as its one character-set entry.
  std::vector<uint8_t> image(32, 0);
  image.push_back(2);
  image.push_back(1);
  Put16(image, 0);
  Put16(image, 0);
  Put16(image, 1);
  Put16(image, 1);
  image.resize(image.size() + 38, 0);
  std::memcpy(image.data() + 42, "FUZZ", 4);
  image[42 + 32] = 1;
  uint32_t offset = static_cast<uint32_t>(image.size());
  for (int i = 0; i < 4; ++i) image[42 + 34 + i] = static_cast<uint8_t>(offset >> (8 * i));
  Put32(image, static_cast<uint32_t>(length));
  image.insert(image.end(), data + 2, data + 2 + length);

  slw::LibraryFile file;
  if (file.OpenBytes(image) != slw::kOk) return 0;
  slw::DirectoryEntry entry;
  if (file.Find(slw::kCharsetEntry, "FUZZ", slw::kNameField, entry) != slw::kOk) return 0;
  const uint8_t* record = nullptr;
  uint16_t recordLength = 0;
  if (file.CharsetRecord(entry, record, recordLength) != slw::kOk) return 0;
  std::vector<uint8_t> table(record, record + recordLength);
  std::vector<uint8_t> text(data + 2 + length, data + size);
  if (text.size() > 64) text.resize(64);

  for (const char* definition : {"SUBLATINEX", "ESCAPE"}) {
    slw::Conversion toUnicode(slw::CharacterSetFromTable("FUZZ", table), slw::OpenCharacterSet("Unicode", nullptr),
                              definition);
    Exercise(toUnicode, text);
    slw::Conversion fromUnicode(slw::OpenCharacterSet("Unicode", nullptr), slw::CharacterSetFromTable("FUZZ", table),
                                definition);
    Exercise(fromUnicode, text);
    slw::Conversion toLatin(slw::CharacterSetFromTable("FUZZ", table), slw::OpenCharacterSet("USASCII", nullptr),
                            definition);
    Exercise(toLatin, text);
  }
  return 0;
}
