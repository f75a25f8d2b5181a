// Where the Windows installation lives on this machine.
//
// One root folder stands for the installation: $STASHWELL_ROOT, else
// ${XDG_DATA_HOME:-~/.local/share}/stashwell. Inside it WINDOWS/ is the
// Windows directory, WINDOWS/SYSTEM/ the system directory and REGISTRY/ holds
// the two registry hives. The program directory is the executable's.
// Windows-style paths are mapped to the Linux file system here and nowhere else.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace platform {

std::filesystem::path RootDir();
std::filesystem::path WindowsDir();   // created on first use
std::filesystem::path SystemDir();    // created on first use
std::filesystem::path RegistryDir();  // created on first use

// The directory of the running executable; tests may point it elsewhere.
std::filesystem::path ProgramDir();
void SetProgramDir(const std::filesystem::path& dir);  // empty path: back to the executable's

// The existing entry of `dir` whose name equals `name` without regard to
// case, else dir / name spelled as given (the spelling a new file gets).
std::filesystem::path FindFileNoCase(const std::filesystem::path& dir, std::string_view name);

// Maps a Windows-style path ("C:\DIR\FILE.DBF", "DIR\FILE", "/home/x/F.DBF")
// to a Linux path: "\" becomes "/", a drive "X:" stands for RootDir()/"X",
// and every component that exists is matched without regard to case.
std::filesystem::path MapPath(std::string_view windowsPath);

}  // namespace platform
