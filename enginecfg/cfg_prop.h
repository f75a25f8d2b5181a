// A row of a notebook page: one parameter of a node of the configuration
// model, read from and written to the model (never the file).
#pragma once

#include <memory>
#include <string>

#include "core/cfg_rules.h"
#include "prop.h"

class QLabel;

namespace vtxcfg {

class PropertiesWindow;

// One displayed parameter of a node of the model.
class TCfgProp : public TProp {
 public:
  TCfgProp(const std::string& name, const std::string& path, QLabel* description);
  std::string ReadValue() override;
  bool WriteValue(const std::string& text) override;
  const std::vector<std::string>& Choices() const override { return choices_.choices; }
  bool Browse() const override { return choices_.browse; }
  const std::string& path() const { return path_; }

 private:
  std::string path_;
  ParamChoices choices_;
};

std::unique_ptr<TCfgProp> BuildNodeProperties(PropertiesWindow* list, const std::string& name,
                                              const std::string& path, QLabel* description);

}  // namespace vtxcfg
