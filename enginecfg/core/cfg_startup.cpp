#include "core/cfg_startup.h"

#include "core/cfg_strings.h"
#include "core/config_model.h"
#include "core/engine_binding.h"
#include "platform/text.h"
#include "platform/ui.h"

namespace vtxcfg {

int StartEngine(int* ok) {
  EngineEnv env;
  env.SetLanguage(CfgString(2007));
  *ok = 1;
  int first = EngineInit(300, &env);
  if (first == kShareMissing) ReportCfgError(11);
  if (first == 0 || first == kAlreadyStarted) return first;
  ReportCfgError(0);
  // Again on a file that cannot exist: the engine then runs on its defaults.
  env.SetConfigFile("\\:NOFILE:\\ORBEX.CFG");
  if (EngineInit(300, &env) != 0) *ok = 0;
  return first;
}

int StopEngine() { return EngineExit(); }

int LoadConfiguration(const std::string* file, int* readOnly, std::string* fileName) {
  platform::ui::BusyCursor busy;
  *readOnly = 0;
  std::string name;
  if (!file) {
    if (LocateConfigFile(name) != 0) ReportCfgError(18);
  } else {
    name = *file;
    uint32_t h = 0;
    if (Engine().OpenConfigFile(platform::AnsiToOem(name).c_str(), 1, &h) != 0) {
      ReportCfgError(20);
      *readOnly = 1;
    } else {
      Engine().CloseConfigFile(&h, 0, 0, 0);
    }
  }
  if (fileName) *fileName = name;
  if (int rc = ReadConfigFile(&name)) {
    ReportCfgError(rc);
    return 0;
  }
  RefreshDriverTable();
  return 1;
}

int LoadDefaultConfiguration() {
  platform::ui::BusyCursor busy;
  if (int rc = ReadConfigFile(nullptr)) {
    ReportCfgError(rc);
    return 0;
  }
  RefreshDriverTable();
  return 1;
}

std::string MakeTitle(const std::string& fileName) {
  constexpr size_t kTitleChars = 64;  // with the terminator
  std::string head = CfgString(1060) + " - ";
  std::string file = platform::AnsiUpper(fileName);
  size_t left = kTitleChars - head.size();
  if (file.size() >= left) {
    size_t slash = file.find_last_of("\\/");
    if (slash != std::string::npos) file = file.substr(slash + 1);
  }
  if (file.size() >= left) file = file.substr(0, left - 4) + "...";
  return head + file;
}

}  // namespace vtxcfg
