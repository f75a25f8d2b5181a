// Class trimming and scanning of the multi-byte family: the text is stepped
// character by character, so a trail byte is never tested on its own.
#include <cstring>
#include <vector>

#include "ctype_class.h"
#include "locale_object.h"

using namespace slw;

namespace {

// Start offsets of the characters of s.
std::vector<std::size_t> CharStarts(const CLocale& l, const char* s) {
  std::vector<std::size_t> starts;
  std::size_t i = 0;
  int len = 0;
  while (CharAt(l, s + i, &len), len != 0) {
    starts.push_back(i);
    i += static_cast<std::size_t>(len);
  }
  starts.push_back(i);  // the terminator
  return starts;
}

const char* FirstOutside(const CLocale& l, const char* s, uint32_t mask) {
  int len = 0;
  uint16_t c;
  while ((c = CharAt(l, s, &len)), len != 0 && InClass(l, c, mask)) s += len;
  return s;
}

// End offset after trimming: back from the end while the character is in the
// class, never past the first character. An empty string stays as it is.
std::size_t TrimmedEnd(const CLocale& l, const char* s, uint32_t mask) {
  std::vector<std::size_t> starts = CharStarts(l, s);
  std::size_t chars = starts.size() - 1;
  if (chars == 0) return 0;
  std::size_t k = chars - 1;
  int len = 0;
  while (k > 0 && InClass(l, CharAt(l, s + starts[k], &len), mask)) --k;
  return starts[k + 1];
}

}  // namespace

SL_EXPORT char* SLM_StrTrimClassStart(hlocale h, char* string, uint32_t mask) {
  CLocale* l = FindLocale(h);
  if (l == nullptr || string == nullptr) return string;
  const char* from = FirstOutside(*l, string, mask);
  std::memmove(string, from, std::strlen(from) + 1);
  return string;
}

SL_EXPORT char* SLM_StrTrimClassStartStr(hlocale h, char* output, const char* string, uint32_t mask) {
  CLocale* l = FindLocale(h);
  if (l == nullptr || output == nullptr || string == nullptr) return output;
  const char* from = FirstOutside(*l, string, mask);
  std::memmove(output, from, std::strlen(from) + 1);
  return output;
}

SL_EXPORT char* SLM_StrTrimClassEnd(hlocale h, char* string, uint32_t mask) {
  CLocale* l = FindLocale(h);
  if (l == nullptr || string == nullptr) return string;
  string[TrimmedEnd(*l, string, mask)] = '\0';
  return string;
}

SL_EXPORT char* SLM_StrTrimClassEndStr(hlocale h, char* output, const char* string, uint32_t mask) {
  CLocale* l = FindLocale(h);
  if (l == nullptr || output == nullptr || string == nullptr) return output;
  std::size_t end = TrimmedEnd(*l, string, mask);
  std::memmove(output, string, end);
  output[end] = '\0';
  return output;
}

SL_EXPORT char* SLM_StrScanForClass(hlocale h, const char* string, uint32_t mask, int wanted) {
  CLocale* l = FindLocale(h);
  if (l == nullptr || string == nullptr) return nullptr;
  int len = 0;
  for (const char* p = string;; p += len) {
    uint16_t c = CharAt(*l, p, &len);
    if (len == 0) return nullptr;
    if (InClass(*l, c, mask) != (wanted != 0)) return const_cast<char*>(p);
  }
}

SL_EXPORT char* SLM_StrnScanForClass(hlocale h, const char* string, uint32_t mask, int wanted, uint16_t n) {
  CLocale* l = FindLocale(h);
  if (l == nullptr || string == nullptr) return nullptr;
  int len = 0;
  const char* p = string;
  for (uint16_t i = 0; i < n; ++i, p += len) {
    uint16_t c = CharAt(*l, p, &len);
    if (len == 0) return nullptr;
    if (InClass(*l, c, mask) != (wanted != 0)) return const_cast<char*>(p);
  }
  return nullptr;
}
