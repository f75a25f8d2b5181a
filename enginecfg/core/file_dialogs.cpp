#include "core/file_dialogs.h"

#include <filesystem>
#include <unistd.h>

#include "core/cfg_strings.h"
#include "platform/paths.h"
#include "platform/text.h"
#include "platform/ui.h"

namespace vtxcfg {
namespace {

namespace fs = std::filesystem;
namespace ui = platform::ui;

fs::path Mapped(const std::string& file) { return platform::MapPath(platform::Cp1252ToUtf8(file)); }

ui::FileDialogRequest Request(bool save, const std::string& title, const std::string& initialDir) {
  ui::FileDialogRequest r;
  r.save = save;
  r.title = platform::Cp1252ToUtf8(title);
  r.filter = CfgString(1065);
  r.defaultExt = CfgString(1066);
  r.initialDir = platform::Cp1252ToUtf8(initialDir);
  // A missing name comes back to be told and asked again here, not
  // refused silently inside the dialog.
  r.fileMustExist = false;
  r.pathMustExist = true;
  r.overwritePrompt = false;
  return r;
}

}  // namespace

bool ConfigFileExists(const std::string& file) {
  std::error_code ec;
  return !file.empty() && fs::exists(Mapped(file), ec);
}

bool ConfigFileReadOnly(const std::string& file) {
  return ConfigFileExists(file) && ::access(Mapped(file).c_str(), W_OK) != 0;
}

std::string CompleteFileName(const std::string& typed, const std::string& defaultExt) {
  size_t begin = typed.find_first_not_of(" \t");
  if (begin == std::string::npos) return {};
  std::string name = typed.substr(begin);
  name.erase(name.find_last_not_of(' ') + 1);
  if (ConfigFileExists(name)) return name;
  size_t slash = name.find_last_of("\\/");
  std::string last = slash == std::string::npos ? name : name.substr(slash + 1);
  // A dot typed at the end counts as an extension: the name stays as typed.
  if (last.find('.') == std::string::npos) name += "." + defaultExt;
  return name;
}

bool RunOpenFileDialog(const std::string& title, const std::string& initialDir, std::string& chosen) {
  ui::FileDialogRequest request = Request(false, title, initialDir);
  while (true) {
    ui::FileDialogResult result = ui::Current().FileDialog(request);
    if (!result.accepted) return false;
    std::string name = CompleteFileName(platform::Utf8ToCp1252(result.fileName), CfgString(1066));
    if (!name.empty() && ConfigFileExists(name)) {
      chosen = name;
      return true;
    }
    ui::ShowMessage(platform::Cp1252ToUtf8(name) + "\n" + CfgString(1046) + "\n", request.title, ui::Buttons::Ok,
                    ui::Icon::Warning);
    request.fileName = result.fileName;
  }
}

bool RunSaveFileDialog(const std::string& title, const std::string& initialDir, std::string& chosen) {
  ui::FileDialogResult result = ui::Current().FileDialog(Request(true, title, initialDir));
  if (!result.accepted) return false;
  chosen = CompleteFileName(platform::Utf8ToCp1252(result.fileName), CfgString(1066));
  return !chosen.empty();
}

}  // namespace vtxcfg
