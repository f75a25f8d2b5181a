// Platform locales: the categories filled from the platform's national-
// language services (platform/nls over ICU's locale data), the platform
// compares and sort keys that collation mode 3 binds, and the opening of a
// locale for a Windows locale id.
#pragma once

#include <cstdint>
#include <string>

#include "slw32.h"
#include "status.h"

namespace slw {

class Category;
class TLocale;

// The operations of mode 3 that are not exported: sort keys (byte keys for
// the narrow family; the multi-byte family's key holds the same bytes, one
// to a 16-bit unit, as its keys are 16-bit units) and the buffer compares.
uint16_t PlatformNarrowTransform(hlocale h, char* out, const char* s, uint16_t size);
uint16_t PlatformNarrowBoundedTransform(hlocale h, char* out, const char* s, uint16_t n, uint16_t size);
uint16_t PlatformMultiTransform(hlocale h, SL_WCHAR* out, const char* s, uint16_t size);
uint16_t PlatformMultiBoundedTransform(hlocale h, SL_WCHAR* out, const char* s, uint16_t n, uint16_t size);
uint16_t PlatformWideTransform(hlocale h, SL_WCHAR* out, const SL_WCHAR* s, uint16_t size);
uint16_t PlatformWideBoundedTransform(hlocale h, SL_WCHAR* out, const SL_WCHAR* s, uint16_t n, uint16_t size);
int16_t PlatformNarrowBufferCollate(hlocale h, const void* a, uint16_t na, const void* b, uint16_t nb);
int16_t PlatformWideBufferCollate(hlocale h, const void* a, uint16_t na, const void* b, uint16_t nb);

// Fills a category of any kind and family from the platform for `lcid`; the
// category is named "WIN".
Status FillCategoryFromPlatform(Category& category, uint32_t lcid);

// The LCID of a platform name: the language id of its language and country,
// else the default locale's; 0x0307 when it is not installed.
Status PlatformLcidOfName(const std::string& name, uint32_t& lcid);
// The name of the platform locale of an LCID ("en_US.WIN1252@platform") and
// the family of its character set.
Status PlatformLocaleName(uint32_t lcid, std::string& name, uint8_t& family);

// Sets up a new locale of a platform name: its record, its lead bytes (the
// multi-byte family: those of the LCID's ANSI code page) and its LCID.
void PreparePlatformLocale(TLocale& locale, const std::string& name, uint32_t lcid);
// Platform collation (mode 3) as the current and the default settings.
void BindPlatformCollation(TLocale& locale);

}  // namespace slw
