#include "memory.h"

#include <cstdlib>
#include <cstring>

#include "status.h"

namespace slw {

namespace {
std::size_t g_limit = 0;  // 0: no limit
bool OverLimit(std::size_t size) { return g_limit != 0 && size > g_limit; }
}  // namespace

void SetAllocationLimitForTesting(std::size_t limit) { g_limit = limit; }

void* Allocate(std::size_t size) {
  if (OverLimit(size)) return nullptr;
  return std::calloc(1, size == 0 ? 1 : size);
}

void* Reallocate(void* block, std::size_t size) {
  if (OverLimit(size)) return nullptr;
  return std::realloc(block, size == 0 ? 1 : size);
}

void Free(void* block) { std::free(block); }

}  // namespace slw

using namespace slw;

SL_EXPORT LocaleStatus _SL_AllocMemory(uint32_t size, void** block) {
  if (block == nullptr) return kBadArgument;
  *block = Allocate(size);
  return *block != nullptr ? kOk : kNoMemory;
}

// On failure the caller keeps its block (and its pointer to it): replacing the
// pointer with null would leak the block and lose the caller's data.
SL_EXPORT LocaleStatus _SL_ReallocMemory(uint32_t size, void** block) {
  if (block == nullptr) return kBadArgument;
  void* grown = Reallocate(*block, size);
  if (grown == nullptr) return kNoMemory;
  *block = grown;
  return kOk;
}

SL_EXPORT LocaleStatus _SL_FreeMemory(void* block) {
  Free(block);
  return kOk;
}

SL_EXPORT LocaleStatus _SL_MemoryCopy(void* destination, const void* source, uint32_t count) {
  if (count != 0 && destination != nullptr && source != nullptr) std::memmove(destination, source, count);
  return kOk;
}

SL_EXPORT LocaleStatus _SL_HMemoryCopy(void* destination, const void* source, uint32_t count) {
  return _SL_MemoryCopy(destination, source, count);
}
