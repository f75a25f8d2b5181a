// Fault injection for the engine's file code, used by tests only: every
// write, sync, start of writeback, rename, truncate and unlink of a table,
// memo, journal or index file (and of the folder that holds them) asks
// Check first. An armed
// plan either fails the Nth such operation with an errno or ends the
// process there, as a crash or a kill would. Unarmed, a check is one load
// and a branch.
#pragma once

#include <filesystem>

namespace orb::fault {

enum class Op { kWrite, kSync, kRename, kTruncate, kUnlink, kWriteback };

struct Plan {
  int at = 0;          // the operation (from 1) that fails or stops; 0: none
  int err = 0;         // errno of the failure (ENOSPC: a full disk)
  bool stop = false;   // end the process there instead, with exit code kStopCode
  bool writesOnly = false;  // count writes and truncates only
};
constexpr int kStopCode = 77;

// Starts counting from zero with `plan`; Disarm stops counting and failing.
void Arm(const Plan& plan);
void Disarm();
// Operations counted since Arm (all of them, or those of one kind).
int Count();
int CountOf(Op op);
// Syncs become no-ops while set (a benchmark's baseline without them).
void SkipSyncs(bool skip);
bool SyncsSkipped();

// Called by the file code before each operation: 0 to go on, else the errno
// to fail with. Ends the process when the plan says so.
int Check(Op op, const std::filesystem::path& path);

}  // namespace orb::fault
