// The state the main window owns for the whole run and the other windows of
// keldro read: the settings, the program directory, the screen scale, the
// search and browse states and the report definition buffer.
#pragma once

#include <filesystem>
#include <memory>

#include "core/settings.h"
#include "core/utilities.h"
#include "framework/dbtables.h"
#include "grid/ix_table.h"
#include "reports/report_definition.h"

namespace keldro {

// The dataset of the open inventory table.
using ItemDataSet = grid::TixTable;

extern AppSettings Settings;
extern IntlSettings Intl;
extern std::filesystem::path ProgramDir;   // the program file's directory
extern std::filesystem::path StartDir;     // the current directory at start
extern double ScaleFactor;
extern bool SearchActive;
extern bool BrowseMode;
extern int EditMode;                       // 1 add, 2 edit, 3 copy
// One ReportDefinition, allocated when the main window is created and freed
// when it closes.
extern std::unique_ptr<reports::ReportDefinition> ReportDefinitionBuffer;

}  // namespace keldro
