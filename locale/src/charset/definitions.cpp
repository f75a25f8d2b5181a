#include "charset/definitions.h"

#include <unicode/ustring.h>

#include <sstream>

namespace stashwell_embedded {
#define SLW_DEFINITION(symbol)              \
  extern const unsigned char symbol[];      \
  extern const std::size_t symbol##_size;
SLW_DEFINITION(conv_DEFAULT)
SLW_DEFINITION(conv_EXCLUDE)
SLW_DEFINITION(conv_BREAKWITHERROR)
SLW_DEFINITION(conv_REPLACE)
SLW_DEFINITION(conv_ESCAPE)
SLW_DEFINITION(conv_SUBLATIN)
SLW_DEFINITION(conv_SUBLATINEX)
#undef SLW_DEFINITION
}  // namespace stashwell_embedded

namespace slw {

namespace {

bool Utf16(const std::string& utf8, std::u16string& out) {
  out.assign(utf8.size() + 1, u'\0');
  int32_t length = 0;
  UErrorCode err = U_ZERO_ERROR;
  u_strFromUTF8(reinterpret_cast<UChar*>(out.data()), static_cast<int32_t>(out.size()), &length, utf8.data(),
                static_cast<int32_t>(utf8.size()), &err);
  if (U_FAILURE(err)) return false;
  out.resize(static_cast<std::size_t>(length));
  return true;
}

std::vector<ConversionDefinition> LoadAll() {
  using namespace stashwell_embedded;
  const std::pair<const unsigned char*, std::size_t> files[] = {
      {conv_DEFAULT, conv_DEFAULT_size}, {conv_EXCLUDE, conv_EXCLUDE_size},   {conv_BREAKWITHERROR, conv_BREAKWITHERROR_size},
      {conv_REPLACE, conv_REPLACE_size}, {conv_ESCAPE, conv_ESCAPE_size},     {conv_SUBLATIN, conv_SUBLATIN_size},
      {conv_SUBLATINEX, conv_SUBLATINEX_size}};
  std::vector<ConversionDefinition> all;
  for (std::size_t i = 0; i < kDefinitionCount; ++i) {
    ConversionDefinition d;
    // The files are the library's own: one that does not read is left out.
    if (!ParseDefinition(std::string_view(reinterpret_cast<const char*>(files[i].first), files[i].second), d))
      continue;
    d.name = kDefinitionNames[i];
    all.push_back(std::move(d));
  }
  return all;
}

}  // namespace

bool ParseDefinition(std::string_view text, ConversionDefinition& out) {
  std::istringstream in{std::string(text)};
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty() || line[0] == '#') continue;
    std::istringstream words(line);
    std::string key, a, b;
    words >> key >> a >> b;
    if (key == "mode") {
      int mode = std::atoi(a.c_str());
      if (mode < kModeDrop || mode > kModeEscape) return false;
      out.mode = static_cast<uint16_t>(mode);
    } else if (key == "replacement") {
      std::u16string r;
      if (a == "none") {
        out.replacement = 0;
      } else if (Utf16(a, r) && r.size() == 1) {
        out.replacement = r[0];
      } else {
        return false;
      }
    } else if (key == "pair") {
      std::u16string source, target;
      if (a.empty() || b.empty() || !Utf16(a, source) || !Utf16(b, target)) return false;
      out.pairs.emplace_back(std::move(source), std::move(target));
    } else {
      return false;
    }
  }
  return true;
}

const ConversionDefinition* FindDefinition(std::string_view name) {
  static const std::vector<ConversionDefinition> all = LoadAll();
  for (const ConversionDefinition& d : all)
    if (d.name == name) return &d;
  return nullptr;
}

}  // namespace slw
