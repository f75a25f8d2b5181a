// The utility's string table and its error table: every failure is told by
// a small code through one error dialog captioned "VTXCFG Error".
#pragma once

#include <cstdint>
#include <string>

namespace vtxcfg {

// The text of string `id` ("" when there is none).
std::string CfgString(int id);

int ErrorStringId(int code);     // 1000 + code, 1000 for a code not in the table
int ErrorHelpContext(int code);  // 26 for a code not in the table
// The error dialog (through platform::ui); returns when it is closed.
void ReportCfgError(int code);

inline constexpr const char* kHelpFile = "VTXCFG32.HLP";

}  // namespace vtxcfg
