// Status values of the library (LocaleStatus): 0 for success, else the class
// in the high byte and the number in the low byte. The public names live in
// slw32.h; this header gives the library's own code short aliases.
#pragma once

#include <cstdint>

#include "slw32.h"

namespace slw {

using Status = LocaleStatus;

inline constexpr Status kOk = SL_STATUS_OK;
inline constexpr Status kNoClient = SL_STATUS_NO_CLIENT;
inline constexpr Status kBadVersion = SL_STATUS_BAD_VERSION;
inline constexpr Status kLibOpen = SL_STATUS_LIB_OPEN;
inline constexpr Status kLibSeek = SL_STATUS_LIB_SEEK;
inline constexpr Status kLibRead = SL_STATUS_LIB_READ;
inline constexpr Status kNoLibrary = SL_STATUS_NO_LIBRARY;
inline constexpr Status kLibFormat = SL_STATUS_LIB_FORMAT;
inline constexpr Status kLibAbsent = SL_STATUS_LIB_ABSENT;
inline constexpr Status kNotFound = SL_STATUS_NOT_FOUND;
inline constexpr Status kBadHandle = SL_STATUS_BAD_HANDLE;
inline constexpr Status kCategoryCreate = SL_STATUS_CATEGORY_CREATE;
inline constexpr Status kCategoryRead = SL_STATUS_CATEGORY_READ;
inline constexpr Status kCategoryNotFound = SL_STATUS_CATEGORY_NOT_FOUND;
inline constexpr Status kNoCategory = SL_STATUS_NO_CATEGORY;
inline constexpr Status kCategoryAbsent = SL_STATUS_CATEGORY_ABSENT;
inline constexpr Status kFileNotFound = SL_STATUS_FILE_NOT_FOUND;
inline constexpr Status kNoMemory = SL_STATUS_NO_MEMORY;
inline constexpr Status kNullFunction = SL_STATUS_NULL_FUNCTION;
inline constexpr Status kBufferSmall = SL_STATUS_BUFFER_SMALL;
inline constexpr Status kNoThread = SL_STATUS_NO_THREAD;
inline constexpr Status kNoCtypeEntry = SL_STATUS_NO_CTYPE_ENTRY;
inline constexpr Status kBadArgument = SL_STATUS_BAD_ARGUMENT;
inline constexpr Status kRegOpen = SL_STATUS_REG_OPEN;
inline constexpr Status kNoMessages = SL_STATUS_NO_MESSAGES;
inline constexpr Status kExtMissing = SL_STATUS_EXT_MISSING;
inline constexpr Status kExtInit = SL_STATUS_EXT_INIT;
inline constexpr Status kExtSlot = SL_STATUS_EXT_SLOT;

}  // namespace slw

// Marks a definition as one of the library's exports.
#define SL_EXPORT extern "C" __attribute__((visibility("default")))
