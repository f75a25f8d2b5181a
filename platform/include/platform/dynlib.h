// Loading libraries by their Windows names.
//
// "ORBEX32.DLL" finds libORBEX32.so: in the directories a caller names, then
// the program directory, then the system's search; never the current
// directory. A library of ours that has ordinals exports
//   extern "C" void* OrbEntryByOrdinal(uint16_t ordinal);   // null when missing
// beside its named entries.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace platform::dynlib {

// The Win32 codes of GetLastError that callers map.
enum LoadError : uint32_t {
  kOk = 0,
  kFileNotFound = 2,
  kPathNotFound = 3,
  kNotEnoughMemory = 8,
  kOutOfMemory = 14,
  kModNotFound = 126,
  kBadPathName = 161,
  kOther = 193,  // ERROR_BAD_EXE_FORMAT: the file is not a loadable library
};

using Module = void*;

// "NAME.DLL" -> "libNAME.so"; a name already in Linux form is kept.
std::string LinuxLibraryName(std::string_view windowsName);

// Loads the library; null and *error set on failure. `dirs` are searched in
// order before the program directory.
Module Load(std::string_view windowsName, const std::vector<std::filesystem::path>& dirs = {},
            uint32_t* error = nullptr);
// Loads exactly this file.
Module LoadFile(const std::filesystem::path& file, uint32_t* error = nullptr);
// The module when the library is already loaded in this process, else null
// (GetModuleHandle); the module is not loaded by this call.
Module LoadedModule(std::string_view windowsName);
void* Entry(Module module, const char* name);
void* EntryByOrdinal(Module module, uint16_t ordinal);
void Free(Module module);

}  // namespace platform::dynlib
