// What the notebook pages offer for each parameter and which help they open:
// rules over the configuration model that need no window.
#pragma once

#include <string>
#include <vector>

namespace vtxcfg {

struct ParamChoices {
  bool hasList = false;
  std::vector<std::string> choices;  // in the order offered; " " is a choice of its own
  bool browse = false;               // the value is a directory picked with "..."
};

// The choices of parameter `name` on node `path` (names compared without
// regard to case). "LANGDRIVER" offers the loaded language drivers'
// descriptions: on "\DRIVERS\DBASE\INIT" only those whose second value is 2.
ParamChoices ChoicesFor(const std::string& path, const std::string& name);

// Page help through platform::ui (WinHelp, HELP_CONTEXT).
void ShowAliasPageHelp(bool loaded, const std::string& alias);
void ShowDriverPageHelp(const std::string& driver);
void ShowFixedPageHelp(int context);  // System 10, Date 11, Time 12, Number 13

}  // namespace vtxcfg
