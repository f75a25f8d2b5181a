// Starting the engine and loading the configuration, and the title rule:
// the parts of the program's start that need no window.
#pragma once

#include <string>

namespace vtxcfg {

// Starts the engine; *ok is 0 when it could not be started at all. The
// result is the code of the first attempt (0, or non-zero when the engine
// runs on its defaults or was already started).
int StartEngine(int* ok);
int StopEngine();

// 1 loaded, 0 failed (each failure reported). With no file the
// configuration file is looked for; *fileName gets what was found.
int LoadConfiguration(const std::string* file, int* readOnly, std::string* fileName = nullptr);

// The engine's built-in defaults, as "Default Configuration": 1 loaded, 0 failed (reported).
int LoadDefaultConfiguration();

// "VTX Configuration Utility - " and the file in upper case, shorter than
// 64 characters: a path that does not fit gives way to its file name, and a
// name that does not fit is cut and ends in "...".
std::string MakeTitle(const std::string& fileName);

}  // namespace vtxcfg
