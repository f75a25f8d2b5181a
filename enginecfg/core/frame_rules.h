// The main frame's decisions that need no window: when Save becomes Save
// As, when the save and registry questions are asked, the "SAVECONFIG"
// setting, and the help contexts of the menu commands.
#pragma once

#include <string>

namespace vtxcfg {

// Menu 100's commands.
enum CfgCommand {
  kCmFileOpen = 24332,
  kCmFileSave = 24333,
  kCmFileSaveAs = 24334,
  kCmFileMerge = 24335,
  kCmFileExit = 24336,
  kCmPageSystem = 24337,
  kCmPageDate = 24338,
  kCmPageTime = 24339,
  kCmPageNumber = 24340,
  kCmPageAlias = 24344,
  kCmPageDrivers = 24345,
  kCmConfigureWin31 = 24346,
  kCmHelpContents = 24381,
  kCmHelpSearch = 24382,
  kCmHelpOnHelp = 24383,
  kCmHelpAbout = 24389,
};

// The help context a command shows in help-on-menu mode; 0 for the
// commands that have none (they only leave the mode).
int MenuHelpContext(int command);
// The notebook tab (string id) of a page command; 0 for other commands.
int PageTabOfCommand(int command);

// "Default Configuration": the engine's built-in defaults, no file.
bool IsDefaultConfiguration(const std::string& fileName);
// Save has no file of its own to write: it runs Save As.
bool SaveNeedsSaveAs(const std::string& fileName);
// Closing or replacing the configuration asks "save the changes?" only when
// something changed and the file can be written.
bool SaveQuestionNeeded(bool readOnly);
// Saving `saved` while `current` is loaded asks whether to register it:
// never for the defaults, nor for the file "CONFIGFILE01" already names.
bool RegistryQuestionNeeded(const std::string& current, const std::string& saved);

// Writes the configuration in memory to `target` (Save As): a copy of the
// file `current` with the changes, or, from the defaults ("Default
// Configuration" or no file), the defaults with the changes. A target that
// exists is replaced only when the write succeeded. 0, or the failure.
int WriteConfigurationAs(const std::string& target, const std::string& current, int registryFlag, int formatFlag);

// "SAVECONFIG": true (the WIN3.1 format) unless it reads "WIN32".
bool ReadSaveConfigSetting();
void WriteSaveConfigSetting(bool win31);

// The directory a file dialog starts in: the current file's ("" for none).
std::string DirectoryOf(const std::string& file);

}  // namespace vtxcfg
