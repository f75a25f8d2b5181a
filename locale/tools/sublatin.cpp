#include "sublatin.h"

#include <unicode/uchar.h>
#include <unicode/unorm2.h>
#include <unicode/uscript.h>
#include <unicode/ustring.h>
#include <unicode/utrans.h>

#include <memory>

namespace sublatin {
namespace {

std::string Utf8(const UChar* text, int32_t length) {
  char out[64] = {};
  int32_t n = 0;
  UErrorCode err = U_ZERO_ERROR;
  u_strToUTF8(out, sizeof out - 1, &n, text, length, &err);
  return U_SUCCESS(err) ? std::string(out, static_cast<std::size_t>(n)) : std::string();
}

bool AsciiLetter(UChar c) { return (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z'); }

// The ASCII letter `c` decomposes to (with combining marks only), else 0.
UChar BaseLetter(const UNormalizer2* nfd, UChar32 c) {
  UChar source[2] = {static_cast<UChar>(c), 0};
  UChar out[16] = {};
  UErrorCode err = U_ZERO_ERROR;
  int32_t n = unorm2_normalize(nfd, source, 1, out, 16, &err);
  if (U_FAILURE(err) || n < 2 || !AsciiLetter(out[0])) return 0;
  for (int32_t i = 1; i < n; ++i)
    if (u_charType(out[i]) != U_NON_SPACING_MARK) return 0;
  return out[0];
}

struct TransCloser {
  void operator()(UTransliterator* t) const { utrans_close(t); }
};

}  // namespace

std::string DefinitionText(bool extended) {
  UErrorCode err = U_ZERO_ERROR;
  const UNormalizer2* nfd = unorm2_getNFDInstance(&err);
  if (U_FAILURE(err)) return {};
  std::unique_ptr<UTransliterator, TransCloser> latin;
  if (extended) {
    static const UChar kId[] = u"Latin-ASCII";
    err = U_ZERO_ERROR;
    latin.reset(utrans_openU(kId, -1, UTRANS_FORWARD, nullptr, 0, nullptr, &err));
    if (U_FAILURE(err) || !latin) return {};
  }
  std::string text = extended
                         ? "# Written by sublatin_gen from ICU: Latin letters to plain ASCII letters, the\n"
                           "# accented ones by their decomposition, the others by ICU's Latin-ASCII.\n"
                         : "# Written by sublatin_gen from ICU: accented Latin letters to the ASCII\n"
                           "# letter of their canonical decomposition.\n";
  text += "mode 5\nreplacement #\n";
  for (UChar32 c = 0xC0; c <= 0x24F; ++c) {
    if (!u_isalpha(c)) continue;
    UChar source[1] = {static_cast<UChar>(c)};
    if (UChar base = BaseLetter(nfd, c); base != 0) {
      text += "pair " + Utf8(source, 1) + " " + Utf8(&base, 1) + "\n";
      continue;
    }
    if (!extended) continue;
    err = U_ZERO_ERROR;
    if (uscript_getScript(c, &err) != USCRIPT_LATIN) continue;
    UChar buffer[16] = {static_cast<UChar>(c)};
    int32_t length = 1, limit = 1;
    err = U_ZERO_ERROR;
    utrans_transUChars(latin.get(), buffer, &length, 16, 0, &limit, &err);
    if (U_FAILURE(err) || length < 1 || length > 8) continue;
    bool letters = true;
    for (int32_t i = 0; i < length; ++i) letters = letters && AsciiLetter(buffer[i]);
    if (letters) text += "pair " + Utf8(source, 1) + " " + Utf8(buffer, length) + "\n";
  }
  return text;
}

}  // namespace sublatin
