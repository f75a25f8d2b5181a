// Pack Database and Rebuild Indexes over the open inventory table, without
// a window: the table is closed and opened exclusively; when another
// program has it, it is opened shared again and nothing is done; else the
// engine packs or rebuilds, and the table is opened shared again.
//
// The engine's pack and regeneration entries and its progress entry are
// reached by ordinal (246, 249, 250), bound on first use.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace framework {
class TTable;
}

namespace keldro {

enum class TableWork { Pack, Rebuild };

inline constexpr std::string_view kPackQuestion =
    "Deleted items are not permanently removed from the database until packing occurs.  "
    "Packing simply removes them to free up space.  Continue?";
inline constexpr std::string_view kPackRefused =
    "Unable to pack table.  Packing requires exclusive use of the DBase File.  Make sure that the DBase File "
    "is not in use by another program  or that no other users are running the software or that no other "
    "copies of the software are in use.";
inline constexpr std::string_view kRebuildQuestion =
    "It is possible for your index files to become corrupted.  As a result, some items may not show up in "
    "the viewer or in reports.  This will rebuild your index files correctly.  Continue?";
inline constexpr std::string_view kRebuildRefused =
    "Unable to reindex table.  Reindexing requires exclusive use of the DBase File.  Make sure that the "
    "DBase File is not in use by another program  or that no other users are running the software or that "
    "no other copies of the software are in use.";

std::string_view TableWorkQuestion(TableWork work);
std::string_view TableWorkRefusal(TableWork work);

struct TableWorkResult {
  enum Outcome {
    Done,          // packed or rebuilt, the table open shared
    NotExclusive,  // another program has the table: nothing done, open shared
    Failed,        // the engine or a reopen failed: `message` says why
  } outcome = Done;
  std::string message;
  bool tableOpen = false;  // the table is open (shared) afterwards
};

// Runs the work on `table` (open or closed; its location and index name
// are kept). `databasePath` is the open file, handed to the engine with
// the cursor. `started` runs once the table is open exclusively, just
// before the engine starts (a window may show itself then); `progress`
// hears (records done, records total) while the engine works and must not
// call the engine.
TableWorkResult RunTableWork(framework::TTable& table, TableWork work, const std::string& databasePath,
                             const std::function<void(uint32_t done, uint32_t total)>& progress = {},
                             const std::function<void()>& started = {});

}  // namespace keldro
