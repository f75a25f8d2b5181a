#include "core/frame_rules.h"

#include "core/cfg_strings.h"
#include "core/config_model.h"
#include "core/file_dialogs.h"
#include "platform/paths.h"
#include "platform/text.h"

#include <filesystem>
#include "platform/registry.h"

namespace vtxcfg {
namespace {

namespace reg = platform::registry;
constexpr const char* kEngineKey = "Software\\Vantrix\\Database Engine";

}  // namespace

int MenuHelpContext(int command) {
  switch (command) {
    case kCmFileOpen: return 2;
    case kCmFileSave: return 3;
    case kCmFileSaveAs: return 4;
    case kCmFileMerge: return 5;
    case kCmFileExit: return 6;
    case kCmConfigureWin31: return 60;
    case kCmPageAlias: return 8;
    case kCmPageDrivers: return 9;
    case kCmPageSystem: return 10;
    case kCmPageDate: return 11;
    case kCmPageTime: return 12;
    case kCmPageNumber: return 13;
    default: return 0;
  }
}

int PageTabOfCommand(int command) {
  switch (command) {
    case kCmPageAlias: return 1072;
    case kCmPageDrivers: return 1073;
    case kCmPageSystem: return 1075;
    case kCmPageDate: return 1076;
    case kCmPageTime: return 1080;
    case kCmPageNumber: return 1081;
    default: return 0;
  }
}

bool IsDefaultConfiguration(const std::string& fileName) { return fileName == CfgString(1085); }

bool SaveNeedsSaveAs(const std::string& fileName) { return fileName.empty() || IsDefaultConfiguration(fileName); }

bool SaveQuestionNeeded(bool readOnly) { return !readOnly && IsConfigModified(); }

bool RegistryQuestionNeeded(const std::string& current, const std::string& saved) {
  if (IsDefaultConfiguration(current)) return false;
  reg::Key key;
  std::string registered;
  if (reg::OpenKey(reg::Hive::LocalMachine, kEngineKey, false, key) == reg::kSuccess &&
      key.QueryString("CONFIGFILE01", registered) == reg::kSuccess && PathEqual(registered, saved))
    return false;
  return true;
}

int WriteConfigurationAs(const std::string& target, const std::string& current, int registryFlag, int formatFlag) {
  if (!SaveNeedsSaveAs(current)) return WriteConfigFile(&target, &current, registryFlag, formatFlag);
  if (!ConfigFileExists(target)) return WriteConfigFile(&target, nullptr, registryFlag, formatFlag);
  // The engine would start from the file that is there: it writes a new file
  // beside it, from its defaults, and that replaces the old one.
  std::string fresh = target + ".new";
  std::filesystem::path freshPath = platform::MapPath(platform::Cp1252ToUtf8(fresh));
  std::error_code ec;
  std::filesystem::remove(freshPath, ec);
  int rc = WriteConfigFile(&fresh, nullptr, registryFlag, formatFlag);
  if (rc == 0) {
    std::filesystem::rename(freshPath, platform::MapPath(platform::Cp1252ToUtf8(target)), ec);
    if (ec) rc = 1;
  }
  if (rc != 0) std::filesystem::remove(freshPath, ec);
  return rc;
}

bool ReadSaveConfigSetting() {
  reg::Key key;
  std::string value;
  if (reg::OpenKey(reg::Hive::LocalMachine, kEngineKey, false, key) != reg::kSuccess ||
      key.QueryString("SAVECONFIG", value) != reg::kSuccess)
    return true;
  return value.substr(0, 8) != "WIN32";  // 9 bytes with the terminator
}

void WriteSaveConfigSetting(bool win31) {
  reg::Key key;
  if (reg::CreateKey(reg::Hive::LocalMachine, kEngineKey, key) == reg::kSuccess)
    key.SetString("SAVECONFIG", win31 ? "WIN31" : "WIN32");
}

std::string DirectoryOf(const std::string& file) {
  if (IsDefaultConfiguration(file)) return {};
  size_t slash = file.find_last_of("\\/");
  return slash == std::string::npos ? std::string() : file.substr(0, slash);
}

}  // namespace vtxcfg
