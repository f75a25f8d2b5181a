#include "platform/text.h"

#include "platform/nls.h"

#include <unicode/ucnv.h>
#include <unicode/ucnv_cb.h>
#include <unicode/uchar.h>
#include <unicode/utf16.h>

#include <array>
#include <cstdio>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace platform {
namespace {

using nls::Converter;

// Windows-1252 leaves five bytes unassigned; Windows itself passes them
// through as the C1 controls of the same value, so a file's bytes survive a
// trip through Unicode. ICU reports them as unassigned, so the callbacks
// below restore that pass-through.
bool IsCp1252Hole(uint32_t b) { return b == 0x81 || b == 0x8D || b == 0x8F || b == 0x90 || b == 0x9D; }

void ToUnicodeHoles(const void*, UConverterToUnicodeArgs* args, const char* codeUnits, int32_t length,
                    UConverterCallbackReason reason, UErrorCode* err) {
  if (reason != UCNV_UNASSIGNED && reason != UCNV_ILLEGAL && reason != UCNV_IRREGULAR) return;
  if (length == 1 && IsCp1252Hole(static_cast<unsigned char>(codeUnits[0]))) {
    UChar c = static_cast<unsigned char>(codeUnits[0]);
    *err = U_ZERO_ERROR;
    ucnv_cbToUWriteUChars(args, &c, 1, 0, err);
    return;
  }
  UCNV_TO_U_CALLBACK_SUBSTITUTE(nullptr, args, codeUnits, length, reason, err);
}

void FromUnicodeHoles(const void*, UConverterFromUnicodeArgs* args, const UChar* codeUnits, int32_t length,
                      UChar32 codePoint, UConverterCallbackReason reason, UErrorCode* err) {
  if (reason != UCNV_UNASSIGNED && reason != UCNV_ILLEGAL && reason != UCNV_IRREGULAR) return;
  if (reason == UCNV_UNASSIGNED && IsCp1252Hole(static_cast<uint32_t>(codePoint))) {
    char b = static_cast<char>(codePoint);
    *err = U_ZERO_ERROR;
    ucnv_cbFromUWriteBytes(args, &b, 1, 0, err);
    return;
  }
  UCNV_FROM_U_CALLBACK_SUBSTITUTE(nullptr, args, codeUnits, length, codePoint, reason, err);
}

// The converter of a Windows code page, set up as Windows converts:
// characters a code page cannot hold become '?'.
Converter OpenCodePage(int codePage) {
  Converter conv = nls::OpenCodePage(codePage);
  if (!conv) return nullptr;
  UConverter* c = conv.get();
  if (ucnv_getMaxCharSize(c) == 1 || codePage == 932 || codePage == 936 || codePage == 949 || codePage == 950) {
    UErrorCode e2 = U_ZERO_ERROR;
    ucnv_setSubstChars(c, "?", 1, &e2);
  }
  if (codePage == 1252) {
    UErrorCode e2 = U_ZERO_ERROR;
    ucnv_setToUCallBack(c, ToUnicodeHoles, nullptr, nullptr, nullptr, &e2);
    ucnv_setFromUCallBack(c, FromUnicodeHoles, nullptr, nullptr, nullptr, &e2);
  }
  return conv;
}

bool Decode(UConverter* conv, std::string_view in, std::u16string& out) {
  out.clear();
  if (in.empty()) return true;
  out.resize(in.size() * 2 + 16);
  UErrorCode err = U_ZERO_ERROR;
  int32_t n = ucnv_toUChars(conv, out.data(), static_cast<int32_t>(out.size()), in.data(),
                            static_cast<int32_t>(in.size()), &err);
  if (err == U_BUFFER_OVERFLOW_ERROR) {
    out.resize(static_cast<size_t>(n) + 1);
    err = U_ZERO_ERROR;
    ucnv_resetToUnicode(conv);
    n = ucnv_toUChars(conv, out.data(), static_cast<int32_t>(out.size()), in.data(),
                      static_cast<int32_t>(in.size()), &err);
  }
  if (U_FAILURE(err) && err != U_STRING_NOT_TERMINATED_WARNING) {
    out.clear();
    return false;
  }
  out.resize(static_cast<size_t>(n));
  return true;
}

bool Encode(UConverter* conv, const std::u16string& in, std::string& out) {
  out.clear();
  if (in.empty()) return true;
  out.resize(in.size() * 4 + 16);
  UErrorCode err = U_ZERO_ERROR;
  int32_t n = ucnv_fromUChars(conv, out.data(), static_cast<int32_t>(out.size()), in.data(),
                              static_cast<int32_t>(in.size()), &err);
  if (err == U_BUFFER_OVERFLOW_ERROR) {
    out.resize(static_cast<size_t>(n) + 1);
    err = U_ZERO_ERROR;
    ucnv_resetFromUnicode(conv);
    n = ucnv_fromUChars(conv, out.data(), static_cast<int32_t>(out.size()), in.data(),
                        static_cast<int32_t>(in.size()), &err);
  }
  if (U_FAILURE(err) && err != U_STRING_NOT_TERMINATED_WARNING) {
    out.clear();
    return false;
  }
  out.resize(static_cast<size_t>(n));
  return true;
}

// Upper- and lower-case images of every Windows-1252 byte, derived once from
// ICU's simple case mapping. A character whose case partner has no
// Windows-1252 form (or needs more than one character) maps to itself.
struct CaseTables {
  std::array<unsigned char, 256> upper{};
  std::array<unsigned char, 256> lower{};
};

const CaseTables& Tables() {
  static const CaseTables tables = [] {
    CaseTables t;
    Converter conv = OpenCodePage(1252);
    for (int b = 0; b < 256; ++b) {
      t.upper[static_cast<size_t>(b)] = static_cast<unsigned char>(b);
      t.lower[static_cast<size_t>(b)] = static_cast<unsigned char>(b);
    }
    if (!conv) return t;
    for (int b = 0; b < 256; ++b) {
      char byte = static_cast<char>(b);
      std::u16string u;
      ucnv_resetToUnicode(conv.get());
      if (!Decode(conv.get(), std::string_view(&byte, 1), u) || u.size() != 1) continue;
      UChar32 c = u[0];
      auto remap = [&](UChar32 mapped, unsigned char& slot) {
        if (mapped == c || mapped > 0xFFFF) return;
        std::u16string m(1, static_cast<char16_t>(mapped));
        std::string back;
        ucnv_resetFromUnicode(conv.get());
        // Only an exact single-byte form counts; '?' from substitution does not.
        if (Encode(conv.get(), m, back) && back.size() == 1 && !(back[0] == '?' && mapped != '?'))
          slot = static_cast<unsigned char>(back[0]);
      };
      remap(u_toupper(c), t.upper[static_cast<size_t>(b)]);
      remap(u_tolower(c), t.lower[static_cast<size_t>(b)]);
    }
    return t;
  }();
  return tables;
}

std::string MapBytes(std::string_view in, const std::array<unsigned char, 256>& table) {
  std::string out(in);
  for (char& ch : out) ch = static_cast<char>(table[static_cast<unsigned char>(ch)]);
  return out;
}

}  // namespace

bool ConvertCodePage(std::string_view in, int fromCodePage, int toCodePage, std::string& out) {
  out.clear();
  Converter from = OpenCodePage(fromCodePage);
  Converter to = OpenCodePage(toCodePage);
  if (!from || !to) return false;
  std::u16string u;
  if (!Decode(from.get(), in, u)) return false;
  return Encode(to.get(), u, out);
}

std::string Cp1252ToUtf8(std::string_view bytes) {
  std::string out;
  ConvertCodePage(bytes, 1252, 65001, out);
  return out;
}

std::string Utf8ToCp1252(std::string_view utf8) {
  std::string out;
  ConvertCodePage(utf8, 65001, 1252, out);
  return out;
}

std::string AnsiToOem(std::string_view ansi) {
  std::string out;
  ConvertCodePage(ansi, 1252, kOemCodePage, out);
  return out;
}

std::string OemToAnsi(std::string_view oem) {
  std::string out;
  ConvertCodePage(oem, kOemCodePage, 1252, out);
  return out;
}

std::string AnsiUpper(std::string_view ansi) { return MapBytes(ansi, Tables().upper); }
std::string AnsiLower(std::string_view ansi) { return MapBytes(ansi, Tables().lower); }

int AnsiCompareNoCase(std::string_view a, std::string_view b) {
  const auto& up = Tables().upper;
  size_t n = a.size() < b.size() ? a.size() : b.size();
  for (size_t i = 0; i < n; ++i) {
    int x = up[static_cast<unsigned char>(a[i])];
    int y = up[static_cast<unsigned char>(b[i])];
    if (x != y) return x < y ? -1 : 1;
  }
  if (a.size() == b.size()) return 0;
  return a.size() < b.size() ? -1 : 1;
}

}  // namespace platform
