// The library's own memory functions: every block the library hands out or
// takes back goes through these, so a host may free with _SL_FreeMemory.
#pragma once

#include <cstddef>

namespace slw {

// Zero-filled block, or null.
void* Allocate(std::size_t size);
// Resizes `block`; on failure returns null and leaves the block untouched.
void* Reallocate(void* block, std::size_t size);
void Free(void* block);

// Blocks larger than `limit` fail (0: no limit); for the tests of the failure paths.
void SetAllocationLimitForTesting(std::size_t limit);

}  // namespace slw
