#include "core/cfg_strings.h"

#include <map>

#include "platform/ui.h"

namespace vtxcfg {
namespace {

struct ErrorRow {
  int code;
  int context;
  const char* message;
};

constexpr ErrorRow kErrorTable[] = {
    {0, 26, "Error initializing database engine."},
    {11, 27, "SHARE.EXE must be loaded to initialize with database engine with Local Share set to TRUE."},
    {1, 28, "Error loading specified resource."},
    {2, 29, "Error allocating memory."},
    {3, 30, "Could not open the VTX configuration file."},
    {4, 31, "Could not modify the VTX configuration file."},
    {5, 32, "The minimum buffer size must be a number between 32 and 65535."},
    {6, 33, "The maximum buffer size must be a number between 32 and 65535."},
    {7, 34, "The minimum buffer size must not be greater than the maximum buffer size."},
    {10, 35, "The network control file directory must be a valid directory name."},
    {15, 36, "Not enough memory to run VTXCFG.EXE."},
    {16, 37, "The decimal separator and the thousands separator have been set to the same character."},
    {17, 38, "Could not load Language Driver DLL."},
    {18, 39, "System configuration file not found."},
    {19, 40, "Invalid Configuration file format."},
    {20, 41, "Configuration file is read-only."},
    {25, 42, "Error writing file."},
    {26, 43, "Invalid alias name.  Please enter a valid name."},
    {27, 44, "Duplicate alias name.  Please enter a new name."},
    {28, 45, "Invalid driver name.  Please enter a valid name."},
    {29, 46, "Duplicate driver name.  Please enter a new name."},
    {30, 47, "ODBC is not installed. You cannot add a driver."},
    {35, 48, "Please select an ODBC driver name."},
    {36, 49, "Please select an ODBC data source name."},
    {37, 50, "You can delete only ODBC drivers."},
    {38, 51, "File was not merged."},
    {39, 52, "An error occurred while loading ODBC."},
    {40, 53, "ODBC is corrupt or not installed correctly."},
    {41, 54, "Your ODBC Driver Manager is not up-to-date.  VTX requires Version 2 or greater of ODBC."},
    {45, 55, "You have the maximum number of drivers defined."},
};

const ErrorRow* FindError(int code) {
  for (const ErrorRow& row : kErrorTable)
    if (row.code == code) return &row;
  return nullptr;
}

const std::map<int, std::string>& Strings() {
  static const std::map<int, std::string> table = [] {
    std::map<int, std::string> t = {
        {1046, "File not found.\nPlease verify the correct file name was given."},
        {1050, "Arial"},
        {1051, "Helv"},
        {1060, "VTX Configuration Utility"},
        {1065, "Config Files (*.cfg)|*.cfg|All Files (*.*)|*.*|"},
        {1066, "CFG"},
        {1067, "Open Configuration File"},
        {1068, "Save Configuration File As"},
        {1069, "Merge Parameters From:"},
        {1070, "Tessaly Net Files (*.NET)|*.net"},
        {1071, "Tessaly Net File"},
        {1072, "Aliases"},
        {1073, "Drivers"},
        {1075, "System"},
        {1076, "Date"},
        {1080, "Time"},
        {1081, "Number"},
        {1085, "Default Configuration"},
        {2005, "200"},
        {2006, "281"},
        {2007, "0009"},
    };
    for (const ErrorRow& row : kErrorTable) t[1000 + row.code] = row.message;
    return t;
  }();
  return table;
}

}  // namespace

std::string CfgString(int id) {
  auto it = Strings().find(id);
  return it == Strings().end() ? std::string() : it->second;
}

int ErrorStringId(int code) {
  const ErrorRow* row = FindError(code);
  return row ? 1000 + row->code : 1000;
}

int ErrorHelpContext(int code) {
  const ErrorRow* row = FindError(code);
  return row ? row->context : 26;
}

std::string ErrorMessage(int code) {
  if (code == kRegistryUpdateFailed) return kRegistryUpdateFailedText;
  return CfgString(ErrorStringId(code)).substr(0, 127);
}

namespace {
ErrorReporter g_reporter = nullptr;
}

void SetErrorReporter(ErrorReporter reporter) { g_reporter = reporter; }

void ReportCfgError(int code) {
  if (g_reporter) return g_reporter(code);
  platform::ui::ShowMessage(ErrorMessage(code), "VTXCFG Error", platform::ui::Buttons::Ok, platform::ui::Icon::Error);
}

}  // namespace vtxcfg
