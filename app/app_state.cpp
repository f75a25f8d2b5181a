#include "app_state.h"

namespace keldro {

AppSettings Settings;
IntlSettings Intl;
std::filesystem::path ProgramDir;
std::filesystem::path StartDir;
double ScaleFactor = 1.0;
bool SearchActive = false;
bool BrowseMode = false;
int EditMode = 0;
std::unique_ptr<reports::ReportDefinition> ReportDefinitionBuffer;

}  // namespace keldro
