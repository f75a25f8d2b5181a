// LocalesPool: up to four closed locales kept for quick reopening by the same
// name and category mask. Guarded by LibraryLock.
#pragma once

#include <cstdint>
#include <string_view>

namespace slw {

class CLocale;

inline constexpr int kPoolSize = 4;

// Creates the pool when there is none (library start, a new client).
void CreatePool();
bool HasPool();
// A pooled (closed) locale of this open name and mask, taken back into use for
// the calling thread; null when none.
CLocale* PoolTake(std::string_view name, uint16_t mask);
// Puts a closed locale into the pool. Returns the locale to destroy: none,
// the evicted oldest closed entry, or `locale` itself when every entry is in use.
// Without a pool `locale` itself is returned.
CLocale* PoolPut(CLocale* locale);
// Forgets a locale that is being destroyed by other means.
void PoolForget(CLocale* locale);
// Closes every pooled locale and frees the pool.
void DeletePool();

}  // namespace slw
