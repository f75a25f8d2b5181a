// The engine built a second time, in a folder of its own, with entries that
// reach its fault plan: a program whose framework loads it (its folder first
// in the session's library folders, before anything opens a table) can stop
// or fail the engine's Nth write, sync, rename, truncate or unlink while
// keldro's own code drives the tables, or run the engine without syncs.
#pragma once

#include <filesystem>

namespace testing_support::fault_engine {

// The folder that holds the test engine's libORBEX32.so.
std::filesystem::path Dir();
// Makes the framework load the test engine (and loads it now): call before
// any table is opened in the process.
void Use();

// The engine's plan, as orb::fault::Plan: the operation `at` (from 1) fails
// with `err`, or with `stop` ends the process there (exit code StopCode).
void Arm(int at, int err, bool stop, bool writesOnly = false);
void Disarm();
// Operations counted since Arm.
int Count();
void SkipSyncs(bool skip);
inline constexpr int kStopCode = 77;

}  // namespace testing_support::fault_engine
