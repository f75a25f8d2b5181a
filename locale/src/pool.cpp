#include "pool.h"

#include <algorithm>
#include <memory>
#include <new>

#include "client.h"
#include "locale_object.h"
#include "lock.h"

namespace slw {

namespace {

struct PoolEntry {
  CLocale* locale = nullptr;
  uint16_t kind = 0;
  uint32_t stamp = 0;
};

struct LocalesPool {
  PoolEntry entries[kPoolSize];
  int last = -1;  // index of the last used entry
  // A sequence rather than the tick count: closes within one tick still keep
  // their order, so the oldest is always the one evicted.
  uint32_t clock = 0;
};

LocalesPool* g_pool = nullptr;

}  // namespace

void CreatePool() {
  LockHold hold;
  if (g_pool == nullptr) g_pool = new (std::nothrow) LocalesPool();
}

bool HasPool() {
  LockHold hold;
  return g_pool != nullptr;
}

CLocale* PoolTake(std::string_view name, uint16_t mask) {
  LockHold hold;
  if (g_pool == nullptr) return nullptr;
  // Only a locale of this process's client: a forked child inherits its
  // parent's pool, whose locales its own client does not hold.
  Client* client = FindClient();
  if (client == nullptr) return nullptr;
  for (int i = 0; i <= g_pool->last; ++i) {
    CLocale* l = g_pool->entries[i].locale;
    if (l != nullptr && l->poolState == kPooled && g_pool->entries[i].kind == mask && l->openName == name &&
        std::find(client->locales.begin(), client->locales.end(), l) != client->locales.end()) {
      l->poolState = kInUse;
      l->ownerThread = CurrentThreadId();
      return l;
    }
  }
  return nullptr;
}

CLocale* PoolPut(CLocale* locale) {
  LockHold hold;
  if (g_pool == nullptr) return locale;
  LocalesPool& p = *g_pool;
  for (int i = 0; i <= p.last; ++i) {
    if (p.entries[i].locale == locale) {
      locale->poolState = kPooled;
      return nullptr;
    }
  }
  if (p.last + 1 < kPoolSize) {
    ++p.last;
    p.entries[p.last] = {locale, locale->kind, ++p.clock};
    locale->poolState = kPooled;
    return nullptr;
  }
  int oldest = -1;
  for (int i = 0; i <= p.last; ++i) {
    const PoolEntry& e = p.entries[i];
    if (e.locale->poolState != kPooled) continue;
    if (oldest < 0 || e.stamp < p.entries[oldest].stamp) oldest = i;
  }
  if (oldest < 0) return locale;
  CLocale* evicted = p.entries[oldest].locale;
  p.entries[oldest] = {locale, locale->kind, ++p.clock};
  locale->poolState = kPooled;
  evicted->poolState = kDestroying;
  return evicted;
}

void PoolForget(CLocale* locale) {
  LockHold hold;
  if (g_pool == nullptr) return;
  LocalesPool& p = *g_pool;
  for (int i = 0; i <= p.last; ++i) {
    if (p.entries[i].locale != locale) continue;
    for (int j = i; j < p.last; ++j) p.entries[j] = p.entries[j + 1];
    p.entries[p.last] = PoolEntry{};
    --p.last;
    return;
  }
}

void DeletePool() {
  LockHold hold;
  if (g_pool == nullptr) return;
  std::unique_ptr<LocalesPool> pool(g_pool);
  g_pool = nullptr;
  for (int i = 0; i <= pool->last; ++i) {
    CLocale* l = pool->entries[i].locale;
    if (l == nullptr) continue;
    l->poolState = kDestroying;
    l->noPool = true;
    ReleaseLocale(l);
  }
}

}  // namespace slw
