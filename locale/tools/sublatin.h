// The texts of the SUBLATIN and SUBLATINEX conversion definitions, derived
// from ICU: SUBLATIN maps each letter U+00C0 to U+024F whose canonical
// decomposition is an ASCII letter and combining marks to that letter;
// SUBLATINEX adds ICU's Latin-ASCII transliteration of the other Latin
// letters of that range ("Æ" to "AE", "ß" to "ss").
#pragma once

#include <string>

namespace sublatin {

// The definition file text; empty when ICU lacks what it needs.
std::string DefinitionText(bool extended);

}  // namespace sublatin
