#include "sllc_writer.h"

#include <cstdlib>
#include <fstream>
#include <sstream>

#include "platform/lzfile.h"

namespace sllc {

namespace {

void Put16(std::vector<uint8_t>& b, uint16_t v) {
  b.push_back(static_cast<uint8_t>(v));
  b.push_back(static_cast<uint8_t>(v >> 8));
}
void Put32(std::vector<uint8_t>& b, uint32_t v) {
  for (int i = 0; i < 4; ++i) b.push_back(static_cast<uint8_t>(v >> (8 * i)));
}
void Set32(std::vector<uint8_t>& b, std::size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) b[at + i] = static_cast<uint8_t>(v >> (8 * i));
}
void PutText(std::vector<uint8_t>& b, const std::string& text, std::size_t width) {
  for (std::size_t i = 0; i < width; ++i) b.push_back(i < text.size() && i + 1 < width ? static_cast<uint8_t>(text[i]) : 0);
}

std::vector<std::string> Words(const std::string& line) {
  std::vector<std::string> words;
  std::size_t i = 0;
  while (i < line.size()) {
    while (i < line.size() && (line[i] == ' ' || line[i] == '\t' || line[i] == '\r')) ++i;
    if (i >= line.size() || line[i] == '#') break;
    std::string w;
    if (line[i] == '"') {
      ++i;
      while (i < line.size() && line[i] != '"') w += line[i++];
      ++i;
    } else {
      while (i < line.size() && line[i] != ' ' && line[i] != '\t' && line[i] != '\r') w += line[i++];
    }
    words.push_back(w);
  }
  return words;
}

std::vector<std::string> SplitComma(const std::string& text) {
  std::vector<std::string> parts;
  std::stringstream in(text);
  std::string part;
  while (std::getline(in, part, ',')) parts.push_back(part);
  return parts;
}

uint32_t PosixClass(unsigned c) {
  if (c >= 8 && c <= 13) return 33;
  if (c == ' ') return 129;
  if (c < 32 || c == 127) return 32;
  if (c >= '0' && c <= '9') return 18;
  if (c >= 'A' && c <= 'F') return 24;
  if (c >= 'G' && c <= 'Z') return 8;
  if (c >= 'a' && c <= 'f') return 20;
  if (c >= 'g' && c <= 'z') return 4;
  if (c < 127) return 64;
  return 0;
}

}  // namespace

std::vector<uint8_t> CtypeBody(uint8_t family, const std::vector<std::string>& classes,
                               const std::vector<std::string>& translations) {
  std::vector<uint8_t> b;
  for (std::size_t i = 0; i < 32; ++i) PutText(b, i < classes.size() ? classes[i] : "", 16);
  bool wide = family != 1;
  if (wide) {  // plane 0 only
    Put16(b, 1);
    b.push_back(1);
    for (int i = 1; i < 32; ++i) b.push_back(0);
  }
  for (unsigned c = 0; c < 256; ++c) Put32(b, PosixClass(c));
  Put16(b, 0);  // no 13-byte entries
  Put16(b, static_cast<uint16_t>(translations.size()));
  for (const std::string& t : translations) {
    PutText(b, t, 16);
    Put16(b, 0);
    for (int i = 0; i < 256; ++i) Put16(b, 0);
  }
  for (const std::string& t : translations) {
    if (wide) {
      Put16(b, 1);
      b.push_back(1);
      for (int i = 1; i < 32; ++i) b.push_back(0);
    }
    for (unsigned c = 0; c < 256; ++c) {
      unsigned v = 0;
      if (t == "toupper" && c >= 'a' && c <= 'z') v = c - 32;
      if (t == "tolower" && c >= 'A' && c <= 'Z') v = c + 32;
      Put16(b, static_cast<uint16_t>(v));
    }
  }
  return b;
}

bool Parse(const std::string& source, LibrarySpec& out, std::string& error) {
  out = LibrarySpec();
  std::stringstream in(source);
  std::string line;
  int number = 0;
  LocaleSpec* locale = nullptr;
  CategorySpec* category = nullptr;
  CharsetSpec* charset = nullptr;
  auto fail = [&](const std::string& why) {
    error = "line " + std::to_string(number) + ": " + why;
    return false;
  };
  auto num = [](const std::string& w) { return static_cast<uint32_t>(std::strtoul(w.c_str(), nullptr, 0)); };
  while (std::getline(in, line)) {
    ++number;
    std::vector<std::string> w = Words(line);
    if (w.empty()) continue;
    const std::string& k = w[0];
    std::size_t n = w.size();
    if (k == "title" && n == 2) {
      out.title = w[1];
    } else if (k == "format" && n == 3) {
      out.major = static_cast<uint8_t>(num(w[1]));
      out.minor = static_cast<uint8_t>(num(w[2]));
    } else if (k == "extra" && n == 3) {
      out.extra[0] = static_cast<uint8_t>(num(w[1]));
      out.extra[1] = static_cast<uint8_t>(num(w[2]));
    } else if (k == "locale" && n == 2) {
      out.locales.emplace_back();
      locale = &out.locales.back();
      locale->name = w[1];
      category = nullptr;
      charset = nullptr;
    } else if (k == "charset" && n == 2) {
      out.charsets.push_back({w[1], {}});
      charset = &out.charsets.back();
      locale = nullptr;
      category = nullptr;
    } else if (k == "category" && n == 3 && locale != nullptr) {
      locale->categories.emplace_back();
      category = &locale->categories.back();
      category->mask = static_cast<uint16_t>(num(w[1]));
      category->name = w[2];
    } else if (category != nullptr && k == "text" && n == 2) {
      category->text = w[1];
    } else if (category != nullptr && k == "flags" && n == 3) {
      category->flag68 = static_cast<uint8_t>(num(w[1]));
      category->flag69 = static_cast<uint8_t>(num(w[2]));
    } else if ((category != nullptr || charset != nullptr) && k == "body") {
      auto& body = category != nullptr ? category->body : charset->body;
      for (std::size_t i = 1; i < n; ++i) body.push_back(static_cast<uint8_t>(std::strtoul(w[i].c_str(), nullptr, 16)));
    } else if (category != nullptr && k == "zeros" && n == 2) {
      category->body.resize(category->body.size() + num(w[1]), 0);
    } else if (category != nullptr && k == "ctype" && n == 3) {
      std::vector<uint8_t> b = CtypeBody(locale->family, SplitComma(w[1]), SplitComma(w[2]));
      category->body.insert(category->body.end(), b.begin(), b.end());
    } else if (category != nullptr && k == "extension" && n == 2) {
      std::vector<uint8_t>& b = category->body;
      b.resize(b.size() + 40, 0);  // collation header: 0 levels
      std::vector<uint8_t> sub;
      Put16(sub, static_cast<uint16_t>(4 + w[1].size() + 1));
      Put16(sub, 2);
      for (char c : w[1]) sub.push_back(static_cast<uint8_t>(c));
      sub.push_back(0);
      Put16(b, 1);
      Put16(b, static_cast<uint16_t>(sub.size()));
      b.insert(b.end(), sub.begin(), sub.end());
    } else if (locale != nullptr && k == "description" && n == 2) {
      locale->description = w[1];
    } else if (locale != nullptr && k == "family" && n == 2) {
      locale->family = static_cast<uint8_t>(num(w[1]));
    } else if (locale != nullptr && k == "bytes" && n == 5) {
      for (int i = 0; i < 4; ++i) locale->bytes32[i] = static_cast<uint8_t>(num(w[1 + i]));
    } else if (locale != nullptr && k == "byte" && n == 3) {
      locale->bytes.emplace_back(static_cast<uint16_t>(num(w[1])), static_cast<uint8_t>(num(w[2])));
    } else if (locale != nullptr && k == "word" && n == 3) {
      locale->words.emplace_back(static_cast<uint16_t>(num(w[1])), static_cast<uint16_t>(num(w[2])));
    } else if (locale != nullptr && k == "defined") {
      for (std::size_t i = 1; i < n; ++i)
        locale->defined.push_back(static_cast<uint8_t>(std::strtoul(w[i].c_str(), nullptr, 16)));
    } else if (locale != nullptr && k == "leadbytes") {
      for (std::size_t i = 1; i < n; ++i) locale->leadBytes.push_back(static_cast<uint8_t>(num(w[i])));
    } else {
      return fail("unknown or misplaced statement \"" + k + "\"");
    }
  }
  return true;
}

std::vector<uint8_t> Build(const LibrarySpec& spec) {
  std::vector<uint8_t> file;
  PutText(file, spec.title, 32);
  file.push_back(spec.major);
  file.push_back(spec.minor);
  file.push_back(spec.extra[0]);
  file.push_back(spec.extra[1]);
  Put16(file, static_cast<uint16_t>(spec.locales.size()));
  Put16(file, static_cast<uint16_t>(spec.charsets.size()));
  Put16(file, static_cast<uint16_t>(spec.locales.size() + spec.charsets.size()));
  std::size_t directory = file.size();
  for (const LocaleSpec& l : spec.locales) {
    PutText(file, l.name, 32);
    Put16(file, 0);
    Put32(file, 0);
  }
  for (const CharsetSpec& c : spec.charsets) {
    PutText(file, c.name, 32);
    Put16(file, 1);
    Put32(file, 0);
  }
  std::size_t entry = 0;
  for (const LocaleSpec& l : spec.locales) {
    std::size_t at = file.size();
    Set32(file, directory + 38 * entry++ + 34, static_cast<uint32_t>(at));
    std::vector<uint8_t> record;
    PutText(record, l.name, 32);
    record.insert(record.end(), l.bytes32, l.bytes32 + 4);
    PutText(record, l.description, 32);
    record.resize(128, 0);
    record[69] = l.family;
    record[74] = l.family == 2 ? 2 : 1;
    record[75] = l.family == 1 ? 1 : 2;
    record[76] = 6;
    record[80] = 63;
    for (auto [offset, value] : l.bytes)
      if (offset < 128) record[offset] = value;
    for (auto [offset, value] : l.words)
      if (offset + 1 < 128) {
        record[offset] = static_cast<uint8_t>(value);
        record[offset + 1] = static_cast<uint8_t>(value >> 8);
      }
    std::size_t bitmap = l.family == 1 ? 32 : 8192;
    std::vector<uint8_t> defined(bitmap, 0);
    for (std::size_t i = 0; i < 32; ++i) defined[i] = 0xFF;
    for (std::size_t i = 0; i < l.defined.size() && i < bitmap; ++i) defined[i] = l.defined[i];
    std::vector<uint8_t> lead(32, 0);
    for (uint8_t b : l.leadBytes) lead[b / 8] |= static_cast<uint8_t>(1u << (b % 8));
    file.insert(file.end(), record.begin(), record.end());
    file.insert(file.end(), defined.begin(), defined.end());
    if (l.family == 3) file.insert(file.end(), lead.begin(), lead.end());
    // Category tables in mask order.
    for (int slot = 0; slot < 8; ++slot) {
      uint16_t mask = static_cast<uint16_t>(1u << slot);
      uint16_t count = 0;
      for (const CategorySpec& c : l.categories) count += c.mask == mask;
      if (count == 0) continue;
      Set32(file, at + 82 + 4 * slot, static_cast<uint32_t>(file.size()));
      Put16(file, count);
      for (const CategorySpec& c : l.categories) {
        if (c.mask != mask) continue;
        Put32(file, static_cast<uint32_t>(70 + c.body.size()));
        PutText(file, c.name, 32);
        PutText(file, c.text, 32);
        file.push_back(c.flag68);
        file.push_back(c.flag69);
        file.insert(file.end(), c.body.begin(), c.body.end());
      }
    }
  }
  for (const CharsetSpec& c : spec.charsets) {
    Set32(file, directory + 38 * entry++ + 34, static_cast<uint32_t>(file.size()));
    std::vector<uint8_t> record;
    PutText(record, c.name, 32);
    record.resize(44, 0);
    record.insert(record.end(), c.body.begin(), c.body.end());
    Put32(file, static_cast<uint32_t>(record.size()));
    file.insert(file.end(), record.begin(), record.end());
  }
  return file;
}

bool Compile(const std::string& source, const std::string& outputPath, bool compressed, std::string& error) {
  LibrarySpec spec;
  if (!Parse(source, spec, error)) return false;
  std::vector<uint8_t> bytes = Build(spec);
  if (compressed) {
    if (!platform::WriteLzFile(outputPath, bytes)) {
      error = "cannot write " + outputPath;
      return false;
    }
    return true;
  }
  std::ofstream out(outputPath, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  out.close();
  if (!out) {
    error = "cannot write " + outputPath;
    return false;
  }
  return true;
}

}  // namespace sllc
