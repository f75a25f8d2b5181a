// CRC-32 (the polynomial of zip and PNG), continued from `crc` (0 to start).
#pragma once

#include <cstddef>
#include <cstdint>

namespace orb {

uint32_t Crc32(uint32_t crc, const uint8_t* p, size_t n);

}  // namespace orb
