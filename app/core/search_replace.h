// Search and replace without a window: the checks of the typed values, the
// whole-value match of one field and the value stored in its place, and the
// walk over every record of a table with its three counts.
#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "framework/db.h"
#include "framework/dbtables.h"
#include "framework/sysutils.h"

namespace keldro {

inline constexpr std::string_view kNoFieldSelectedMessage = "No field has been selected.";
inline constexpr std::string_view kInvalidSearchValueMessage = "Invalid search value entered.  Please correct.";
inline constexpr std::string_view kInvalidReplaceValueMessage = "Invalid replacement value entered.  Please correct.";
inline constexpr std::string_view kInvalidSearchDateMessage = "Invalid search date entered.  Please correct.";
inline constexpr std::string_view kInvalidReplaceDateMessage = "Invalid replacement date entered.  Please correct.";
inline constexpr std::string_view kReplaceInUseMessage =
    "Search and Replace requires exclusive use of the DBase File.  Make sure that the DBase File is not in use "
    "by another program  or that no other users are running the software or that no other copies of the "
    "software are in use.";
inline constexpr std::string_view kReplaceFailedMessage =
    "Error in running search and replace.  Search and replace will be aborted.";
inline constexpr std::string_view kReplaceDoneMessage = "Global Search and Replace Complete.";

// The masks of the two entries by the field's type letter (the framework's
// notation: "9" optional digit, "0" required digit, "c" any character).
std::string_view ReplaceMaskFor(char typeLetter);

// The values to search for and to store, checked and converted.
struct ReplaceSpec {
  int field = 0;          // 1..22
  char typeLetter = 'C';  // C, N or D
  std::string searchText;   // upper-cased (character fields)
  std::string replaceText;  // stored as the field's text (character and numeric fields)
  double searchNumber = 0;
  framework::TDateTime searchDate = 0;
  framework::TDateTime replaceDate = 0;
};

enum class ReplaceInputError { None, NoField, SearchValue, ReplaceValue, SearchDate, ReplaceDate };
std::string_view ReplaceInputMessage(ReplaceInputError error);

// Checks the typed texts for field `field` (0 = none chosen): both are
// trimmed; a number must be a plain decimal with "." as its point (a whole
// number to replace into a whole-number field); a date
// must be filled in (an entry holding only its separators is untouched) and
// convert by the short date format. The first fault found is returned.
ReplaceInputError PrepareReplace(int field, std::string_view search, std::string_view replace, ReplaceSpec& spec);

// The field's whole value equals the search value: text without regard to
// case, numbers and dates by value.
bool ReplaceMatches(const ReplaceSpec& spec, const framework::TField& field);
// Stores the replacement in the field (the record is in edit).
void StoreReplacement(const ReplaceSpec& spec, framework::TField& field);

// The question asked before a record is changed.
std::string ReplaceConfirmQuestion(std::string_view item);

struct ReplaceCounts {
  long processed = 0;
  long found = 0;
  long changed = 0;
};

// Walks every record of the open table from the first: a match is changed
// and posted when `confirm` (null: no question) says yes. `progress` runs
// after each record. Database errors are thrown through; `counts` then
// holds what was done up to the error.
void ReplaceAll(framework::TDataSet& table, const ReplaceSpec& spec,
                const std::function<bool(const framework::TDataSet&)>& confirm,
                const std::function<void(const ReplaceCounts&)>& progress, ReplaceCounts& counts);

// ReplaceAll as one batch of the engine's: every change reaches the file at
// the commit, or none does, also across a kill or a full disk. On a failure
// the batch is rolled back, `counts.changed` is 0 again and the error is
// thrown through.
void ReplaceAllInBatch(framework::TTable& table, const ReplaceSpec& spec,
                       const std::function<bool(const framework::TDataSet&)>& confirm,
                       const std::function<void(const ReplaceCounts&)>& progress, ReplaceCounts& counts);

}  // namespace keldro
