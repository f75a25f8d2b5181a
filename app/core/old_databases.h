// The databases of the two earlier versions: D2ADE.DBF (2.X) and VIDI.DBF
// (1.X) beside the program, recognised by their fields and carried into the
// open inventory table by value.
//
// No window: the question and a failure go through platform::ui, and the
// conversion itself answers with the reason it failed.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

#include "framework/dbtables.h"

namespace keldro {

// The field definitions of a new inventory table, the 22 item fields in
// order: the table a conversion fills.
void DefineItemFields(framework::TFieldDefs& defs);

enum class OldVersion { Version1 = 1, Version2 = 2 };

// Converts the old table at `path` into `target`, an open inventory table.
// Every record is read and converted before the first is appended, all of
// them in one batch (in the table all together or not at all, also across
// a kill); the old file is deleted only when all were appended. Answers ""
// on success, else why not: then nothing was added and the old file is
// kept, so the next start can offer the conversion once more without
// doubling anything.
std::string ConvertOldTable(framework::TTable& target, const std::filesystem::path& path, OldVersion version);

// The error shown for a conversion that failed.
std::string ConversionFailedMessage(std::string_view fileName, std::string_view failure);

// Looks for D2ADE.DBF, then VIDI.DBF, in `programDir` (without regard to
// case); each one of its version's layout is offered ("Convert", Yes/No) and
// on Yes converted into `target`, a failure shown ("Error"). One whose
// records `target` already ends with, as converted (a conversion killed
// after its commit, before the old file went), is removed without asking.
// True when a conversion ran, so the caller shows the table afresh.
bool CheckForConversion(const std::filesystem::path& programDir, framework::TTable& target);

}  // namespace keldro
