#include "key_order.h"

#include <dlfcn.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <mutex>
#include <random>
#include <unordered_map>

#include "crc32.h"
#include "platform/dynlib.h"
#include "slw32.h"

namespace orb {

namespace {

// The exports the engine calls, resolved once.
struct Slw32 {
  decltype(&::_SL_InitClient) init = nullptr;
  decltype(&::SL_OpenLocaleWithLDID) open = nullptr;
  decltype(&::SL_CloseLocale) close = nullptr;
  decltype(&::SL_GetHlocaleInfo) info = nullptr;
  decltype(&::SL_NextChar) nextChar = nullptr;
  decltype(&::SL_CollationInfo) settings = nullptr;
  decltype(&::SLN_StrDbaseCompare) compareN = nullptr;
  decltype(&::SLM_StrDbaseCompare) compareM = nullptr;
  decltype(&::SLN_StrnTransform) transformN = nullptr;
  decltype(&::SLM_StrnTransform) transformM = nullptr;
};

// The folder of the engine's own library (or of the program it is built into).
std::filesystem::path EngineDir() {
  Dl_info info{};
  if (dladdr(reinterpret_cast<void*>(&KeyOrder::ForDriver), &info) == 0 || info.dli_fname == nullptr) return {};
  std::error_code ec;
  std::filesystem::path p = std::filesystem::canonical(info.dli_fname, ec);
  return ec ? std::filesystem::path() : p.parent_path();
}

// SLW32 beside the engine first, then in the program folder; the client is
// made once for the life of the process. Null when it cannot be used.
const Slw32* Library() {
  static std::once_flag once;
  static Slw32 api;
  static bool usable = false;
  std::call_once(once, [] {
    std::vector<std::filesystem::path> dirs;
    if (std::filesystem::path dir = EngineDir(); !dir.empty()) dirs.push_back(dir);
    platform::dynlib::Module m = platform::dynlib::Load("SLW32.DLL", dirs);
    if (!m) return;
    auto get = [m](auto& slot, const char* name) {
      slot = reinterpret_cast<std::remove_reference_t<decltype(slot)>>(platform::dynlib::Entry(m, name));
      return slot != nullptr;
    };
    bool all = get(api.init, "_SL_InitClient") && get(api.open, "SL_OpenLocaleWithLDID") && get(api.close, "SL_CloseLocale") &&
               get(api.info, "SL_GetHlocaleInfo") && get(api.nextChar, "SL_NextChar") &&
               get(api.settings, "SL_CollationInfo") &&
               get(api.compareN, "SLN_StrDbaseCompare") && get(api.compareM, "SLM_StrDbaseCompare") &&
               get(api.transformN, "SLN_StrnTransform") && get(api.transformM, "SLM_StrnTransform");
    // The library stays loaded for the life of the process, as its handles do.
    usable = all && api.init(1, 1, 1) == 0;
  });
  return usable ? &api : nullptr;
}

std::atomic<int> g_threadHandles{0};

// The handles one thread opened, one per driver, closed when the thread
// ends: a handle can only be closed on its owner thread, and SLW32 keeps a
// locale its thread left behind until the process ends. The library is
// never unloaded, and its client outlives every thread's end.
class ThreadHandles {
 public:
  ~ThreadHandles() {
    for (auto& [ldid, h] : handles_) {
      if (h == nullptr) continue;
      if (const Slw32* api = Library(); api != nullptr) api->close(&h);
      g_threadHandles.fetch_sub(1, std::memory_order_relaxed);
    }
  }
  hlocale For(const Slw32& api, uint8_t ldid) {
    if (last_.first == ldid) return last_.second;
    auto it = handles_.find(ldid);
    if (it == handles_.end()) it = handles_.emplace(ldid, Open(api, ldid)).first;
    last_ = {ldid, it->second};
    return it->second;
  }

 private:
  static hlocale Open(const Slw32& api, uint8_t ldid) {
    hlocale h = nullptr;
    if (api.open(&h, SL_LC_COLLATE, static_cast<int16_t>(ldid)) != 0) return nullptr;
    g_threadHandles.fetch_add(1, std::memory_order_relaxed);
    // Sort keys follow the handle's own flags: those of the exact compare
    // (trailing blanks ignored). The dBASE compare sets its flags per call.
    SL_COLLATIONSETTINGS settings{};
    if (api.settings(h, 2, &settings) == 0) {
      settings.compareFlags = 0x0002;
      api.settings(h, 1, &settings);
    }
    return h;
  }

  std::unordered_map<uint8_t, hlocale> handles_;
  std::pair<int, hlocale> last_{-1, nullptr};  // the driver asked for last, asked again and again
};

// This thread's handle of the driver's locale; null when SLW32 opens none.
hlocale ThreadLocale(const Slw32& api, uint8_t ldid) {
  thread_local ThreadHandles handles;
  return handles.For(api, ldid);
}

// CRC-32 of the sort keys of the strings 0x01 to 0xFF, one character each:
// two locales that order single characters alike give the same value.
uint32_t SortKeyCrc(const Slw32& api, hlocale h, bool multiByte) {
  uint32_t crc = 0;
  for (int c = 1; c <= 0xFF; ++c) {
    const char s[2] = {static_cast<char>(c), 0};
    if (multiByte) {
      SL_WCHAR out[256] = {};
      uint16_t n = std::min<uint16_t>(api.transformM(h, out, s, 1, 256), 256);
      for (uint16_t i = 0; i < n; ++i) {
        const uint8_t le[2] = {static_cast<uint8_t>(out[i]), static_cast<uint8_t>(out[i] >> 8)};
        crc = Crc32(crc, le, 2);
      }
    } else {
      char out[256] = {};
      uint16_t n = std::min<uint16_t>(api.transformN(h, out, s, 1, 256), 256);
      crc = Crc32(crc, reinterpret_cast<const uint8_t*>(out), n);
    }
  }
  return crc;
}

// Not inlined: g++ 12 then warns of the word reads past short arrays the
// length check never lets it make.
[[gnu::noinline]] size_t TrimmedLength(const uint8_t* s, size_t n) {
  // Eight blanks at a time: keys are often mostly blanks.
  constexpr uint64_t kBlanks = 0x2020202020202020ull;
  for (uint64_t word; n >= 8 && (std::memcpy(&word, s + n - 8, 8), word == kBlanks);) n -= 8;
  while (n > 0 && s[n - 1] == ' ') --n;
  return n;
}

// The lead bytes of a multi-byte locale: those SLW32 steps two bytes from.
std::array<bool, 256> ReadLeadBytes(const Slw32& api, hlocale h) {
  std::array<bool, 256> leads{};
  for (int c = 1; c < 256; ++c) {
    const char text[3] = {static_cast<char>(c), 'A', 0};
    leads[c] = api.nextChar(h, text) == text + 2;
  }
  return leads;
}

// The characters of a multi-byte text within its bytes, as SLW32 steps
// through them (a lead byte takes the byte after it unless that is a NUL),
// and whether the last is a lead byte with no byte after it in the text.
// Nothing past the text is read.
struct CharSpan {
  uint16_t chars = 0;
  bool endsInLead = false;
};
CharSpan CountChars(const std::array<bool, 256>& leads, const uint8_t* s, size_t n) {
  CharSpan span;
  for (size_t i = 0; i < n && span.chars < 0xFFFF; ++span.chars) {
    if (!leads[s[i]]) {
      ++i;
    } else if (i + 1 == n) {
      span.endsInLead = true;
      ++span.chars;
      break;
    } else {
      i += s[i + 1] != 0 ? 2 : 1;
    }
  }
  return span;
}

// A multi-byte text as SLW32 is given it. SLW32 counts in characters and
// takes the byte after a lead byte as its second wherever that byte lies:
// a text that ends in a lead byte is handed over with a NUL after it, so
// that the lead byte is a character of its own, as in the text's sort key,
// whatever follows the text in memory.
class EndedText {
 public:
  EndedText(const uint8_t* s, size_t n, bool endsInLead) {
    if (!endsInLead) {
      text_ = reinterpret_cast<const char*>(s);
      return;
    }
    char* copy = local_;
    if (n >= sizeof local_) {
      heap_.resize(n + 1);
      copy = heap_.data();
    }
    std::memcpy(copy, s, n);
    copy[n] = 0;
    text_ = copy;
  }
  EndedText(const EndedText&) = delete;
  EndedText& operator=(const EndedText&) = delete;
  const char* text() const { return text_; }

 private:
  const char* text_ = nullptr;
  char local_[256];
  std::string heap_;
};

// A text's characters as SLW32 reads them: up to its first NUL, less
// trailing blanks.
size_t TextLength(const uint8_t* s, size_t n) {
  if (const void* nul = std::memchr(s, 0, n)) n = static_cast<size_t>(static_cast<const uint8_t*>(nul) - s);
  return TrimmedLength(s, n);
}

// The narrow sort key of the zero-terminated `s` on handle h.
bool NarrowSortKey(const Slw32& api, hlocale h, const char* s, std::string& out) {
  char bytes[512];
  const uint16_t got = api.transformN(h, bytes, s, static_cast<uint16_t>(std::strlen(s)), sizeof bytes);
  if (got >= sizeof bytes) return false;
  out.assign(bytes, got);
  return true;
}

}  // namespace

constexpr int kMaxLevels = 8;
constexpr int kMaxPerChar = 4;
using LevelTable = std::array<std::array<uint8_t, kMaxPerChar>, 256>;

struct KeyOrder::Weights {
  int levels = 0;
  // w[level][byte]: the byte's weights at the level, 0 after the last.
  std::array<LevelTable, kMaxLevels> w{};
  // A level that weighs where a character stands before what it is: its
  // sort key holds each weight after its character's place.
  std::array<bool, kMaxLevels> position{};
  // The byte's one weight at the first level; 0 for a byte with none or
  // several, for the blank (trailing blanks end a text) and for NUL.
  std::array<uint8_t, 256> single{};

  void FindSingles() {
    for (int c = 1; c < 256; ++c)
      single[c] = c != ' ' && w[0][c][0] != 0 && w[0][c][1] == 0 ? w[0][c][0] : 0;
  }

  // SLW32's sort key of a text as the weights give it (each level's weights
  // in turn; a level that weighs places marked, each weight after its
  // place): what the weights are checked against.
  std::string LibraryKey(const uint8_t* s, size_t n) const {
    n = TextLength(s, n);
    std::string out;
    for (int level = 0; level < levels; ++level) {
      const size_t start = out.size();
      for (size_t i = 0; i < n; ++i)
        for (uint8_t x : w[level][s[i]]) {
          if (x == 0) break;
          if (position[level]) {
            if (out.size() == start) out += '\x02';
            const uint16_t at = static_cast<uint16_t>(i + 1 + 0x0101);
            out += static_cast<char>(at & 0xFF);
            out += static_cast<char>(at >> 8);
          }
          out += static_cast<char>(x);
        }
    }
    return out;
  }
};

namespace {

// One level's weights of a text in order, with the place of the character
// each belongs to.
class WeightWalk {
 public:
  WeightWalk(const uint8_t* p, const uint8_t* end, const LevelTable& table) : p_(p), end_(end), table_(table) {}
  // The next weight; -1 at the end.
  int Next() {
    for (;;) {
      if (cur_ != nullptr && at_ < kMaxPerChar && cur_[at_] != 0) return cur_[at_++];
      if (p_ == end_) return -1;
      cur_ = table_[*p_++].data();
      at_ = 0;
      ++place_;
    }
  }
  size_t place() const { return place_; }

 private:
  const uint8_t* p_;
  const uint8_t* end_;
  const LevelTable& table_;
  const uint8_t* cur_ = nullptr;
  int at_ = 0;
  size_t place_ = 0;
};

// A level's weights of the character at place 1 in `part` (the level's
// share of a sort key); false when `part` is not such a share.
bool LevelWeights(const std::string& part, bool position, std::string& out) {
  out.clear();
  if (!position) {
    out = part;
    return true;
  }
  if (part.empty()) return true;
  if (part[0] != '\x02' || (part.size() - 1) % 3 != 0) return false;
  for (size_t i = 1; i < part.size(); i += 3) {
    if (part[i] != '\x02' || part[i + 1] != '\x01') return false;
    out += part[i + 2];
  }
  return true;
}

// Each byte's weights level by level, read from the sort keys of handles
// that use the first k levels; null when a key is not the one before it
// with more weights at its end (an order these weights cannot give).
std::unique_ptr<KeyOrder::Weights> ReadWeights(const Slw32& api, hlocale h) {
  SL_COLLATIONSETTINGS current{};
  if (api.settings(h, 2, &current) != 0 || current.levels < 1 || current.levels > kMaxLevels ||
      (current.mode != 2 && current.mode != 4))
    return nullptr;
  auto weights = std::make_unique<KeyOrder::Weights>();
  weights->levels = current.levels;
  std::array<std::string, 256> before{};  // each byte's key with the levels so far
  std::string beforeBlank;                // the key of " A" with the levels so far
  constexpr uint8_t kReference = 'A';
  auto put = [&](int level, uint8_t c, const std::string& list) {
    if (list.size() > kMaxPerChar) return false;
    for (size_t i = 0; i < list.size(); ++i) weights->w[level][c][i] = static_cast<uint8_t>(list[i]);
    return true;
  };
  // The handle's own levels are narrowed while the keys are read (a handle
  // opened for it would go back to SLW32's pool with its settings changed).
  struct Restore {
    const Slw32& api;
    hlocale h;
    SL_COLLATIONSETTINGS settings;
    ~Restore() { api.settings(h, 1, &settings); }
  } restore{api, h, current};
  const hlocale t = h;
  for (int k = 1; k <= current.levels; ++k) {
    const int level = k - 1;
    SL_COLLATIONSETTINGS s = current;
    s.levels = static_cast<uint16_t>(k);
    bool ok = api.settings(t, 1, &s) == 0;
    // The reference letter says whether the level weighs places.
    std::array<std::string, 256> key{};
    for (int c = 1; c < 256 && ok; ++c) {
      const char text[2] = {static_cast<char>(c), 0};
      ok = c == ' ' || (NarrowSortKey(api, t, text, key[c]) && key[c].size() >= before[c].size() &&
                        key[c].compare(0, before[c].size(), before[c]) == 0);
    }
    std::string part, list;
    if (ok) {
      const std::string ref = key[kReference].substr(before[kReference].size());
      weights->position[level] = ref.size() >= 4 && ref.compare(0, 3, "\x02\x02\x01", 3) == 0;
    }
    for (int c = 1; c < 256 && ok; ++c) {
      if (c == ' ') continue;  // a lone blank is trimmed away: read after the others
      ok = LevelWeights(key[c].substr(before[c].size()), weights->position[level], list) &&
           put(level, static_cast<uint8_t>(c), list);
      before[c] = key[c];
    }
    // " A": the blank's weights at this level, then those of A.
    const char blankText[3] = {' ', static_cast<char>(kReference), 0};
    std::string blankKey;
    ok = ok && NarrowSortKey(api, t, blankText, blankKey) && blankKey.size() >= beforeBlank.size() &&
         blankKey.compare(0, beforeBlank.size(), beforeBlank) == 0;
    if (ok) {
      part = blankKey.substr(beforeBlank.size());
      const std::array<uint8_t, kMaxPerChar>& a = weights->w[level][kReference];
      std::string blank;
      if (weights->position[level]) {
        // Entries of place 1 are the blank's, of place 2 A's.
        std::string second;
        ok = part.empty() || (part[0] == '\x02' && (part.size() - 1) % 3 == 0);
        for (size_t i = 1; ok && i < part.size(); i += 3) {
          if (part[i + 1] != '\x01') ok = false;
          else if (part[i] == '\x02') blank += part[i + 2];
          else if (part[i] == '\x03') second += part[i + 2];
          else ok = false;
        }
        ok = ok && second == std::string(reinterpret_cast<const char*>(a.data()), strnlen(reinterpret_cast<const char*>(a.data()), kMaxPerChar));
      } else {
        const std::string ref(reinterpret_cast<const char*>(a.data()), strnlen(reinterpret_cast<const char*>(a.data()), kMaxPerChar));
        ok = part.size() >= ref.size() && part.compare(part.size() - ref.size(), ref.size(), ref) == 0;
        if (ok) blank = part.substr(0, part.size() - ref.size());
      }
      ok = ok && put(level, ' ', blank);
      beforeBlank = blankKey;
    }
    if (!ok) return nullptr;
  }
  weights->FindSingles();
  return weights;
}

// Whether the weights give SLW32's sort key of every text of one and two
// characters and its exact compare's answer for a sample of longer texts.
bool WeightsAgree(const Slw32& api, hlocale h, const KeyOrder& order, const KeyOrder::Weights& weights) {
  std::string key;
  for (int x = 1; x < 256; ++x) {
    for (int y = 0; y < 256; ++y) {
      const uint8_t text[3] = {static_cast<uint8_t>(x), static_cast<uint8_t>(y), 0};
      const size_t n = y == 0 ? 1 : 2;
      if (!NarrowSortKey(api, h, reinterpret_cast<const char*>(text), key) || key != weights.LibraryKey(text, n))
        return false;
    }
  }
  // Texts alike but for a character or a length: blanks, letters of both
  // cases, accents, digits and signs, as keys hold them.
  const std::string alphabet = std::string("  aAbBeEzZ09.-,'") + "\xE9\xC9\xE8\xE0\xC0\xF1\xD1\xFC\xDF\xE6\xC6";
  std::mt19937 gen(1995);
  auto pick = [&] { return alphabet[gen() % alphabet.size()]; };
  for (int i = 0; i < 4000; ++i) {
    std::string a(1 + gen() % 12, ' ');
    for (char& c : a) c = pick();
    std::string b = a;
    switch (gen() % 4) {
      case 0: b[gen() % b.size()] = pick(); break;
      case 1: b.resize(gen() % (b.size() + 1)); break;
      case 2: b += pick(); break;
      default:
        b.assign(1 + gen() % 12, ' ');
        for (char& c : b) c = pick();
    }
    const auto* pa = reinterpret_cast<const uint8_t*>(a.data());
    const auto* pb = reinterpret_cast<const uint8_t*>(b.data());
    const int theirs = order.LibraryCompare(pa, a.size(), pb, b.size(), true);
    const int ours = order.Compare(pa, a.size(), pb, b.size(), true);
    if ((theirs < 0) != (ours < 0) || (theirs > 0) != (ours > 0)) return false;
  }
  return true;
}

}  // namespace

std::shared_ptr<const KeyOrder> KeyOrder::ForDriver(uint8_t languageDriver) {
  const uint8_t ldid = languageDriver == 0 ? kDefaultDriver : languageDriver;
  static std::mutex lock;
  static std::unordered_map<uint8_t, std::shared_ptr<const KeyOrder>> known;
  std::lock_guard<std::mutex> guard(lock);
  auto it = known.find(ldid);
  if (it != known.end()) return it->second;
  std::shared_ptr<const KeyOrder> order;
  const Slw32* api = Library();
  hlocale h = api ? ThreadLocale(*api, ldid) : nullptr;
  if (!api) {
    order = std::make_shared<KeyOrder>(ldid, KeyOrderKind::kNoLibrary, 0, false);
  } else if (!h) {
    order = std::make_shared<KeyOrder>(ldid, KeyOrderKind::kUnknownDriver, 0, false);
  } else {
    SL_LOCALEINFO info{};
    const uint16_t family = api->info(h, &info) == 0 ? info.family : 1;
    const bool multiByte = family == 3;
    if (family == 2) {
      // A wide locale compares 16-bit text; table fields hold bytes.
      order = std::make_shared<KeyOrder>(ldid, KeyOrderKind::kUnknownDriver, 0, false);
    } else {
      auto made = std::make_shared<KeyOrder>(ldid, KeyOrderKind::kDriver, SortKeyCrc(*api, h, multiByte), multiByte);
      if (multiByte) {
        made->leads_ = ReadLeadBytes(*api, h);
      } else {
        std::unique_ptr<Weights> weights = ReadWeights(*api, h);
        if (weights) {
          made->weights_ = std::move(weights);
          if (!WeightsAgree(*api, h, *made, *made->weights_)) made->weights_.reset();
        }
      }
      order = std::move(made);
    }
  }
  known.emplace(ldid, order);
  return order;
}

KeyOrder::KeyOrder(uint8_t ldid, KeyOrderKind kind, uint32_t crc, bool multiByte)
    : ldid_(ldid), kind_(kind), crc_(crc), multiByte_(multiByte) {}

KeyOrder::~KeyOrder() = default;

int KeyOrder::OpenThreadHandles() { return g_threadHandles.load(std::memory_order_relaxed); }

std::string KeyOrder::FallbackReason() const {
  char id[8];
  std::snprintf(id, sizeof id, "0x%02X", ldid_);
  switch (kind_) {
    case KeyOrderKind::kUnknownDriver:
      return std::string("language driver ") + id + " has no locale in SLW32: texts sort in byte order";
    case KeyOrderKind::kNoLibrary:
      return std::string("SLW32 could not be loaded: texts of language driver ") + id + " sort in byte order";
    default: return "";
  }
}

int KeyOrder::Compare(const uint8_t* a, size_t na, const uint8_t* b, size_t nb, bool exact) const {
  if (exact && weights_) return CompareByWeights(a, std::min<size_t>(na, 0xFFFF), b, std::min<size_t>(nb, 0xFFFF));
  return LibraryCompare(a, na, b, nb, exact);
}

int KeyOrder::LibraryCompare(const uint8_t* a, size_t na, const uint8_t* b, size_t nb, bool exact) const {
  const Slw32* api = collates() ? Library() : nullptr;
  hlocale h = api ? ThreadLocale(*api, ldid_) : nullptr;
  if (!h) {
    if (exact) {
      na = TrimmedLength(a, na);
      nb = TrimmedLength(b, nb);
    } else {
      na = std::min(na, nb);
    }
    int r = std::memcmp(a, b, std::min(na, nb));
    if (r != 0) return r;
    return na < nb ? -1 : (na > nb ? 1 : 0);
  }
  na = std::min<size_t>(na, 0xFFFF);
  nb = std::min<size_t>(nb, 0xFFFF);
  const char* sa = reinterpret_cast<const char*>(a);
  const char* sb = reinterpret_cast<const char*>(b);
  if (multiByte_) {
    const CharSpan ca = CountChars(leads_, a, na), cb = CountChars(leads_, b, nb);
    const EndedText ta(a, na, ca.endsInLead), tb(b, nb, cb.endsInLead);
    return api->compareM(h, ta.text(), ca.chars, tb.text(), cb.chars, exact ? 1 : 0);
  }
  return api->compareN(h, sa, static_cast<uint16_t>(na), sb, static_cast<uint16_t>(nb), exact ? 1 : 0);
}

// SLW32's exact compare: empty texts answer at once; otherwise each level's
// weights in turn, a text whose weights end first coming first. The bytes
// both texts begin with weigh alike at every level, so each level starts
// at the first byte that differs.
int KeyOrder::CompareByWeights(const uint8_t* a, size_t na, const uint8_t* b, size_t nb) const {
  if (na == 0 && nb == 0) return 0;
  if (nb == 0) return 1;
  if (na == 0) return -1;
  // The bytes both begin with; a NUL among them ends both texts alike.
  const size_t common = std::min(na, nb);
  size_t i = 0;
  constexpr uint64_t kOnes = 0x0101010101010101ull, kHighs = 0x8080808080808080ull;
  while (i + 8 <= common) {
    uint64_t x, y;
    std::memcpy(&x, a + i, 8);
    std::memcpy(&y, b + i, 8);
    if (x != y) break;
    if (((x - kOnes) & ~x & kHighs) != 0) return 0;
    i += 8;
  }
  for (; i < common && a[i] == b[i]; ++i)
    if (a[i] == 0) return 0;
  if (i < common) {
    // Most texts differ at a character of one first-level weight each
    // (neither a blank, which may end a text, nor a NUL): they decide.
    const uint8_t x = weights_->single[a[i]], y = weights_->single[b[i]];
    if (x != 0 && y != 0 && x != y) return x < y ? -1 : 1;
  }
  if (i == na && i == nb) return 0;
  // Where each text ends for SLW32; trailing blanks may reach back into
  // the bytes both begin with.
  auto end = [i](const uint8_t* s, size_t n) {
    const size_t rest = TextLength(s + i, n - i);
    return rest > 0 ? i + rest : TrimmedLength(s, i);
  };
  na = end(a, na);
  nb = end(b, nb);
  i = std::min({i, na, nb});
  if (i == na && i == nb) return 0;
  for (int level = 0; level < weights_->levels; ++level) {
    WeightWalk wa(a + i, a + na, weights_->w[level]), wb(b + i, b + nb, weights_->w[level]);
    const bool position = weights_->position[level];
    for (;;) {
      const int x = wa.Next(), y = wb.Next();
      if (x < 0 || y < 0) {
        if (x != y) return (x < 0 ? -1 : 1) * (level + 1);
        break;
      }
      if (position && wa.place() != wb.place()) return (wa.place() < wb.place() ? -1 : 1) * (level + 1);
      if (x != y) return (x < y ? -1 : 1) * (level + 1);
    }
  }
  return 0;
}

// Each level's weights and a 0 below every weight after them, so a text
// whose weights end first sorts first at every level, as the compare has
// it; a level that weighs places puts each weight after its character's
// place (big-endian, never 0 in a text shorter than 255 bytes, as every
// key is). `p` has room for levels * (n * kMaxPerChar * 3 + 1) bytes;
// the key's end is returned.
char* KeyOrder::WriteWeightKey(const uint8_t* s, size_t n, int levels, char* p) const {
  n = TextLength(s, n);
  for (int level = 0; level < levels; ++level) {
    const LevelTable& table = weights_->w[level];
    const bool position = weights_->position[level];
    for (size_t i = 0; i < n; ++i) {
      const uint8_t* w = table[s[i]].data();
      if (!position && w[1] == 0) {
        // One weight or none, as most bytes have: written without a branch.
        *p = static_cast<char>(w[0]);
        p += w[0] != 0;
        continue;
      }
      for (int k = 0; k < kMaxPerChar && w[k] != 0; ++k) {
        if (position) {
          const uint32_t at = static_cast<uint32_t>(i) + 1 + 0x0101;
          *p++ = static_cast<char>(at >> 8);
          *p++ = static_cast<char>(at & 0xFF);
        }
        *p++ = static_cast<char>(w[k]);
      }
    }
    *p++ = 0;
  }
  return p;
}

void KeyOrder::WeightKey(const uint8_t* s, size_t n, int levels, std::string& out) const {
  out.resize(size_t(levels) * (TextLength(s, n) * kMaxPerChar * 3 + 1));
  out.resize(static_cast<size_t>(WriteWeightKey(s, n, levels, out.data()) - out.data()));
}

bool KeyOrder::LeadingKeys(const uint8_t* texts, size_t length, size_t count, std::vector<uint8_t>& out,
                           size_t& width) const {
  // The zeros after a key change no order: with weights every key ends in
  // its only 0, below every weight, so no key begins another. SLW32's sort
  // keys may hold zeros; two that then look alike are left to the compare.
  // Most bytes have one first-level weight at most, so a key is mostly no
  // longer than its text and the 0 after it; a longer one widens every slot.
  width = length + 1;
  out.assign(count * width, 0);
  std::vector<char> made(weights_ ? length * kMaxPerChar * 3 + 1 : 0);
  std::string one;
  size_t longest = 0;
  for (size_t i = 0; i < count; ++i) {
    const uint8_t* s = texts + i * length;
    const char* key = made.data();
    size_t n = 0;
    if (weights_) {
      n = static_cast<size_t>(WriteWeightKey(s, length, 1, made.data()) - key);
    } else {
      if (!SortKey(s, length, one)) return false;
      key = one.data();
      n = one.size();
    }
    if (n > width) {
      const size_t wider = std::max(n, 2 * width);
      out.resize(count * wider);
      for (size_t k = i; k-- > 0;) {
        std::memmove(out.data() + k * wider, out.data() + k * width, width);
        std::memset(out.data() + k * wider + width, 0, wider - width);
      }
      width = wider;
    }
    std::memcpy(out.data() + i * width, key, n);
    longest = std::max(longest, n);
  }
  // Slots as wide as the longest key: less to sort past where keys repeat.
  if (longest < width) {
    for (size_t i = 1; i < count; ++i) std::memmove(out.data() + i * longest, out.data() + i * width, longest);
    out.resize(count * longest);
    width = longest;
  }
  return true;
}

bool KeyOrder::SortKey(const uint8_t* s, size_t n, std::string& out) const {
  if (weights_) {
    WeightKey(s, n, weights_->levels, out);
    return true;
  }
  const Slw32* api = collates() ? Library() : nullptr;
  hlocale h = api ? ThreadLocale(*api, ldid_) : nullptr;
  if (!h) return false;
  // The transform reads a zero-terminated text.
  constexpr uint16_t kRoom = 2048;
  if (std::memchr(s, 0, n) != nullptr || n >= kRoom) return false;
  char text[kRoom];
  std::memcpy(text, s, n);
  text[n] = 0;
  if (multiByte_) {
    SL_WCHAR units[kRoom];
    const uint16_t chars = CountChars(leads_, s, n).chars;
    const uint16_t got = api->transformM(h, units, text, chars, kRoom);
    if (got >= kRoom) return false;
    out.resize(size_t(got) * 2);
    for (uint16_t i = 0; i < got; ++i) {  // high byte first, so bytes order as units
      out[2 * i] = static_cast<char>(units[i] >> 8);
      out[2 * i + 1] = static_cast<char>(units[i] & 0xFF);
    }
    return true;
  }
  char bytes[kRoom];
  const uint16_t got = api->transformN(h, bytes, text, static_cast<uint16_t>(n), kRoom);
  if (got >= kRoom) return false;
  out.assign(bytes, got);
  return true;
}

}  // namespace orb
