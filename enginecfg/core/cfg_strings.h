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
// Not in the table: the Registry value naming the configuration file could
// not be written (the binding's 8453). Told through the same error dialog,
// with a text of its own and the table's default topic.
inline constexpr int kRegistryUpdateFailed = 8453;
inline constexpr const char* kRegistryUpdateFailedText =
    "Could not update the Registry. The next start will use the previous configuration file.";
// The code's message as the error dialog shows it (at most 127 characters).
std::string ErrorMessage(int code);
// Tells the user of a failure and returns when the report is closed: through
// the reporter the windows install (the error dialog), else in a message box.
void ReportCfgError(int code);
using ErrorReporter = void (*)(int code);
void SetErrorReporter(ErrorReporter reporter);  // null: the message box again

inline constexpr const char* kHelpFile = "VTXCFG32.HLP";

}  // namespace vtxcfg
