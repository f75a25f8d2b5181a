// Generated inventory item names, the same for a seed: one to three words,
// the first capitalised, about one in ten with an accented letter, some with
// an apostrophe, a hyphen or a number; about 14 bytes each. Every character
// is in Latin-1, so a name's code points are its windows-1252 bytes.
#pragma once

#include <cstdint>
#include <random>
#include <string>
#include <vector>

namespace item_names {

inline std::u16string Make(std::mt19937& random) {
  static const char* const kOnsets[] = {"b", "c", "d", "f", "g", "h", "l", "m", "n", "p", "r", "s", "t", "v", "w",
                                        "br", "cl", "st", "tr", "ch", "sh", "gr", "pl", ""};
  static const char* const kVowels[] = {"a", "e", "i", "o", "u", "ea", "ou", "ai"};
  static const char16_t kAccented[] = u"\u00E9\u00E8\u00FC\u00F6\u00E4\u00F1\u00E7\u00F4\u00E5\u00EA";
  auto pick = [&](std::size_t n) { return static_cast<std::size_t>(random() % n); };
  std::u16string name;
  const std::size_t words = 1 + pick(3);
  const bool accent = pick(10) == 0;
  for (std::size_t w = 0; w < words; ++w) {
    if (w != 0) name += pick(8) == 0 ? u'-' : u' ';
    if (w != 0 && pick(7) == 0) {
      name += std::u16string(1, static_cast<char16_t>(u'0' + pick(10))) + static_cast<char16_t>(u'0' + pick(10));
      continue;
    }
    std::u16string word;
    const std::size_t syllables = words == 1 ? 2 + pick(3) : 1 + pick(2);
    for (std::size_t s = 0; s < syllables; ++s) {
      for (const char* p = kOnsets[pick(std::size(kOnsets))]; *p != '\0'; ++p) word += static_cast<char16_t>(*p);
      for (const char* p = kVowels[pick(std::size(kVowels))]; *p != '\0'; ++p) word += static_cast<char16_t>(*p);
    }
    if (pick(3) == 0) word += u"nrst"[pick(4)];
    if (w == 0) word[0] = static_cast<char16_t>(word[0] - 32);
    if (pick(20) == 0) word += u"'s";
    name += word;
  }
  if (accent) {
    std::size_t at = 1 + pick(name.size() - 1);
    if (name[at] >= u'a' && name[at] <= u'z') name[at] = kAccented[pick(10)];
  }
  return name;
}

inline std::vector<std::u16string> Generate(std::size_t count, uint32_t seed = 1995) {
  std::mt19937 random(seed);
  std::vector<std::u16string> names;
  names.reserve(count);
  for (std::size_t i = 0; i < count; ++i) names.push_back(Make(random));
  return names;
}

// The windows-1252 bytes and the UTF-8 text of a name.
inline std::string Latin1(const std::u16string& s) { return std::string(s.begin(), s.end()); }
inline std::string Utf8(const std::u16string& s) {
  std::string out;
  for (char16_t c : s) {
    if (c < 0x80) {
      out.push_back(static_cast<char>(c));
    } else {
      out.push_back(static_cast<char>(0xC0 | (c >> 6)));
      out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    }
  }
  return out;
}

}  // namespace item_names
