// The record editor's rules that need no window: its entries and the field
// each one edits, reading numbers and dates from entries, the checks of an
// update in their order with their messages, the change snapshot, the pick
// lists with their add rule and their files, and the list editor's rules.
//
// Texts here are Windows-1252, as the table and the list files hold them;
// the windows convert at their boundary.
#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/utilities.h"

namespace keldro {

// The entries of the record editor, in the order Enter walks them.
enum EditorEntry : int {
  eItem, eBrand, eModel, eSerial, eIDMarks, eComments, eCategory, eLocation, eTheOwner,
  eQuantity, eValue, eCost, eRepCost,
  eWarDate, eWarNotes, ePurchDate, eBought,
  eUserDef1, eUserDef2, eUserDef3, eUserDef4,
};
inline constexpr int kEditorEntryCount = 21;

enum class EntryKind { Edit, Combo, Number, Date };

struct EditorEntryInfo {
  std::string_view control;  // the control's name
  std::string_view field;    // the field it edits
  int page;                  // notebook page 0..3
  EntryKind kind;
  int maxLength;             // characters the entry takes; 0 no limit
  int snapshotWidth;         // characters the change snapshot keeps
  int pickList;              // 1..5 for the pick-list combos, else 0
};
extern const std::array<EditorEntryInfo, kEditorEntryCount> kEditorEntries;

// The pick lists (1 Brand, 2 Location, 3 Purchased From, 4 Category,
// 5 Owner): the entry of each, and the longest text the list editor takes.
inline constexpr std::array<EditorEntry, 5> kPickListEntries{eBrand, eLocation, eBought, eCategory, eTheOwner};
inline constexpr std::array<std::string_view, 5> kPickListNames{"Brand", "Location", "Purchased From", "Category",
                                                                "Owner"};
// Category's field holds 20 characters: a longer entry would be cut when stored.
inline constexpr std::array<int, 5> kPickListEntryLengths{20, 30, 40, 20, 30};
// The order in which an update adds to the lists (list numbers).
inline constexpr std::array<int, 5> kPickListUpdateOrder{1, 2, 4, 5, 3};

// The entry Enter moves to from `from`, and whether the page turns.
EditorEntry NextEntry(EditorEntry from);

// ---- numbers and dates --------------------------------------------------

// A number typed with the format's separators: trimmed; format 1 drops
// every ","; otherwise the Windows thousands separator is dropped and the
// first Windows decimal separator read as ".". Nothing when it does not
// convert (empty text included).
std::optional<double> ReadNumberEntry(std::string_view text, int format, const IntlSettings& intl);
std::optional<int64_t> ReadWholeNumberEntry(std::string_view text, int format, const IntlSettings& intl);

// The date entries' mask, and the blank forms their trimmed text takes.
inline constexpr std::string_view kDateEditMask = "!99/99/9999;1;_";
bool IsBlankDateEntry(std::string_view trimmed);
// A date for a date entry: two-digit month and day and a four-digit year, in
// the order of the short date format, with the date separator.
std::string DateEntryText(double date, char separator, std::string_view shortFormat);

// ---- the checks of an update ---------------------------------------------

struct EntryTexts {
  std::string warDate, purchDate, cost, value, repCost, quantity;
};

struct CheckedEntries {
  bool ok = false;
  // On failure: the message (caption "Error"), the page and the entry.
  std::string message;
  int page = 0;
  EditorEntry entry = eItem;
  // On success: the values to store; no date for a blank one.
  std::optional<double> warDate, purchDate;
  double cost = 0, value = 0, repCost = 0;
  int32_t quantity = 0;
};

// Dates by the current date format, then Cost, Value, Replacement Cost by
// the currency format and Quantity by the numeric format; empty numbers are
// 0. A number its field cannot hold (N(12,2), N(11,0)) fails like text
// that does not convert.
CheckedEntries CheckEntries(const EntryTexts& texts, int currencyFormat, int numericFormat, const IntlSettings& intl);

// ---- the change snapshot -------------------------------------------------

struct EditorValues {
  std::array<std::string, kEditorEntryCount> texts;
  bool warranty = false;
};

// The values as the snapshot keeps them: each text cut to its width.
EditorValues TakeSnapshot(const EditorValues& values);
// Case-sensitive; the dates compared trimmed.
bool ValuesChanged(const EditorValues& snapshot, const EditorValues& current);

// ---- pick lists -----------------------------------------------------------

// Adds the trimmed entry at the end unless it is empty or already there
// (exact comparison). True when added.
bool AddToPickList(std::vector<std::string>& list, std::string_view entry);

enum class PickListFileStatus { Loaded, Missing, Unreadable };
struct PickListFile {
  PickListFileStatus status = PickListFileStatus::Missing;
  std::vector<std::string> items;
};
// A file that is not there gives an empty list; one that is there but cannot
// be read says so, so that it is never overwritten.
PickListFile ReadPickListFile(const std::filesystem::path& file);
// One entry a line, CR LF, written beside the file and renamed in.
bool WritePickListFile(const std::filesystem::path& file, const std::vector<std::string>& items);

// ---- the list editor ------------------------------------------------------

// Appends the trimmed text unless it is empty; duplicates are allowed.
bool ListEditorAdd(std::vector<std::string>& items, std::string_view text);
// Removes entry `selected`; the selection after it (the entry now at that
// place, else the new last one; -1 when the list is empty). Nothing
// selected, or out of range: nothing happens.
int ListEditorDelete(std::vector<std::string>& items, int selected);
// Without regard to case, ties by bytes.
void ListEditorSort(std::vector<std::string>& items);

}  // namespace keldro
