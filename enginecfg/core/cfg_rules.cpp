#include "core/cfg_rules.h"

#include "core/cfg_strings.h"
#include "core/config_model.h"
#include "platform/text.h"
#include "platform/ui.h"

namespace vtxcfg {
namespace {

bool Is(const std::string& a, const char* b) { return PathEqual(a, b); }

bool Help(const std::string& file, int context) {
  platform::ui::HelpRequest request;
  request.file = file;
  request.command = platform::ui::HelpCommand::Context;
  request.context = static_cast<uint32_t>(context);
  return platform::ui::Current().Help(request);
}

// The shared help file of the server drivers: its context, or 0.
int ServerHelpContext(const std::string& helpFile) {
  if (Is(helpFile, "CNDORA32.HLP")) return 102;
  if (Is(helpFile, "CNDKRN32.HLP")) return 101;
  if (Is(helpFile, "CNDSYB32.HLP")) return 103;
  if (Is(helpFile, "CNDMSS32.HLP")) return 104;
  return 0;
}

}  // namespace

ParamChoices ChoicesFor(const std::string& path, const std::string& name) {
  ParamChoices c;
  auto list = [&](std::vector<std::string> items) {
    c.hasList = true;
    c.choices = std::move(items);
  };
  static const char* kTrueFalse[] = {"LOCAL SHARE", "AUTO ODBC", "BLOB EDIT LOGGING", "FOURDIGITYEAR",
                                     "YEARBIASED", "LEADINGZEROM", "LEADINGZEROD", "LEADINGZERON",
                                     "TWELVEHOUR", "SECONDS", "MILSECONDS", "STRICTINTEGRTY",
                                     "ENABLE SCHEMA CACHE"};
  for (const char* n : kTrueFalse)
    if (Is(name, n)) {
      list({"TRUE", "FALSE"});
      return c;
    }
  if (Is(name, "OPEN MODE")) list({"READ/WRITE", "READ ONLY", " "});
  else if (Is(name, "VENDOR INIT")) list({"ORA6WIN.DLL", "ORA7WIN.DLL", "ORANT71.DLL", " "});
  else if (Is(name, "NET PROTOCOL"))
    list({"3270", "APPC", "ASYNC", "DECNET", "NAMED PIPES", "NETBIOS", "SPX/IPX", "TCP/IP", "VINES", "TNS", " "});
  else if (Is(name, "SQLQRYMODE")) list({"LOCAL", "SERVER", " "});
  else if (Is(name, "DEFAULT DRIVER")) list({"TESSALY", "DBASE", "ASCIIDRV"});
  else if (Is(name, "SQLPASSTHRU MODE")) list({"NOT SHARED", "SHARED AUTOCOMMIT", "SHARED NOAUTOCOMMIT"});
  else if (Is(name, "NET DIR")) c.browse = true;
  else if (Is(name, "LANGDRIVER") && LanguageDrivers().loaded) {
    // Room for every driver of the list, not a fixed part of it.
    bool dbaseOnly = Is(path, "\\DRIVERS\\DBASE\\INIT");
    std::vector<std::string> items;
    items.reserve(LanguageDrivers().drivers.size());
    for (const LangDriverInfo& d : LanguageDrivers().drivers)
      if (!dbaseOnly || d.valueB == 2) items.push_back(d.description);
    if (!items.empty()) list(std::move(items));
  }
  return c;
}

void ShowFixedPageHelp(int context) { Help(kHelpFile, context); }

void ShowAliasPageHelp(bool loaded, const std::string& alias) {
  if (!loaded || alias.empty()) {
    Help(kHelpFile, 8);
    return;
  }
  std::string type;
  GetAliasType(alias, type);
  if (Is(type, "STANDARD")) {
    Help(kHelpFile, 22);
    return;
  }
  if (platform::AnsiUpper(type).rfind("ODBC_", 0) == 0) {
    Help(kHelpFile, 23);
    return;
  }
  std::string helpFile;
  GetDriverHelpFile(type, helpFile);
  if (Is(helpFile, "OXODBC32.HLP")) {
    Help(kHelpFile, 58);
    Help(kHelpFile, 8);
    return;
  }
  if (int context = ServerHelpContext(helpFile)) {
    if (!Help("CNDGEN32.HLP", context)) Help(kHelpFile, 8);
    return;
  }
  if (helpFile.empty() || !Help(helpFile, 8)) Help(kHelpFile, 8);
}

void ShowDriverPageHelp(const std::string& driver) {
  auto fallback = [&] {
    Help(kHelpFile, Is(driver, "TESSALY") ? 14 : Is(driver, "DBASE") ? 15 : 9);
  };
  if (platform::AnsiUpper(driver).rfind("ODBC_", 0) == 0) {
    Help(kHelpFile, 58);
    return;
  }
  std::string helpFile;
  GetDriverHelpFile(driver, helpFile);
  if (int context = ServerHelpContext(helpFile)) {
    if (!Help("CNDGEN32.HLP", context)) fallback();
    return;
  }
  if (helpFile.empty() || !Help(helpFile, 2)) fallback();
}

}  // namespace vtxcfg
