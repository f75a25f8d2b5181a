#include "key_order.h"

#include <dlfcn.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <mutex>
#include <unordered_map>

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

uint32_t Crc32(uint32_t crc, const uint8_t* p, size_t n) {
  static const std::array<uint32_t, 256> table = [] {
    std::array<uint32_t, 256> t{};
    for (uint32_t i = 0; i < 256; ++i) {
      uint32_t c = i;
      for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
      t[i] = c;
    }
    return t;
  }();
  crc = ~crc;
  for (size_t i = 0; i < n; ++i) crc = table[(crc ^ p[i]) & 0xFF] ^ (crc >> 8);
  return ~crc;
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

size_t TrimmedLength(const uint8_t* s, size_t n) {
  while (n > 0 && s[n - 1] == ' ') --n;
  return n;
}

// Characters of a multi-byte text within its bytes.
uint16_t CharCount(const Slw32& api, hlocale h, const uint8_t* s, size_t n) {
  const char* p = reinterpret_cast<const char*>(s);
  const char* end = p + n;
  uint16_t count = 0;
  while (p < end && count < 0xFFFF) {
    const char* next = api.nextChar(h, p);
    p = next > p ? next : p + 1;
    ++count;
  }
  return count;
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
      order = std::make_shared<KeyOrder>(ldid, KeyOrderKind::kDriver, SortKeyCrc(*api, h, multiByte), multiByte);
    }
  }
  known.emplace(ldid, order);
  return order;
}

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
  if (multiByte_)
    return api->compareM(h, sa, CharCount(*api, h, a, na), sb, CharCount(*api, h, b, nb), exact ? 1 : 0);
  return api->compareN(h, sa, static_cast<uint16_t>(na), sb, static_cast<uint16_t>(nb), exact ? 1 : 0);
}

bool KeyOrder::SortKey(const uint8_t* s, size_t n, std::string& out) const {
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
    const uint16_t chars = CharCount(*api, h, s, n);
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
