// The library's registry key and its values ("Software\Vantrix\Slw32"), and
// the file search of the library's own files.
#pragma once

#include <string>
#include <string_view>

namespace slw {

inline constexpr std::string_view kSlw32Key = "Software\\Vantrix\\Slw32";

// A text value of the key under HKEY_LOCAL_MACHINE; false when absent.
bool ReadMachineValue(std::string_view name, std::string& out);
// The full path of a file of the library found along the search order (the
// library's own directory, the current directory, "SLAPIPATH", the system
// and Windows directories, the current directory and "PATH"); empty if none.
std::string SearchFile(std::string_view fileName);

}  // namespace slw
