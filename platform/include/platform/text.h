// Code-page conversions (ICU converters; no hand-made tables).
//
// Files hold Windows-1252 bytes; windows work in Unicode (UTF-8 in std::string
// here). The OEM code page is 850 unless a caller names another.
#pragma once

#include <string>
#include <string_view>

namespace platform {

std::string Cp1252ToUtf8(std::string_view bytes);
// Characters with no Windows-1252 form become '?'.
std::string Utf8ToCp1252(std::string_view utf8);

// Converts between two code pages by number (1252, 850, 437, 65001 = UTF-8, ...).
// Returns false (and leaves `out` empty) for an unknown code page.
bool ConvertCodePage(std::string_view in, int fromCodePage, int toCodePage, std::string& out);

constexpr int kOemCodePage = 850;
std::string AnsiToOem(std::string_view ansi);  // Windows-1252 -> OEM
std::string OemToAnsi(std::string_view oem);   // OEM -> Windows-1252

// Upper/lower case of Windows-1252 bytes, as the Windows ANSI functions do.
std::string AnsiUpper(std::string_view ansi);
std::string AnsiLower(std::string_view ansi);
int AnsiCompareNoCase(std::string_view a, std::string_view b);  // <0, 0, >0

}  // namespace platform
