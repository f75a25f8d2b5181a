#include "cfg_prop.h"

#include "core/cfg_strings.h"
#include "core/config_model.h"

namespace vtxcfg {

TCfgProp::TCfgProp(const std::string& name, const std::string& path, QLabel* description)
    : TProp(name, description, [&] {
        std::string text;
        GetParamDescription(path, name, text);
        return text;
      }()),
      path_(path), choices_(ChoicesFor(path, name)) {
  LoadShown();
}

std::string TCfgProp::ReadValue() {
  std::string value;
  GetEntryValue(path_, name(), value);
  return PathEqual(name(), "LANGDRIVER") ? LangDriverDescFromName(value) : value;
}

bool TCfgProp::WriteValue(const std::string& text) {
  // Sharing local tables needs nothing more on this system: the check of
  // "LOCAL SHARE" set to "TRUE" always passes.
  SetShown(text);
  return SetEntryValue(path_, name(), text) == 0;
}

std::unique_ptr<TCfgProp> BuildNodeProperties(PropertiesWindow*, const std::string& name, const std::string& path,
                                              QLabel* description) {
  return std::make_unique<TCfgProp>(name, path, description);
}

}  // namespace vtxcfg
