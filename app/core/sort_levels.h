// SortLevels, the user's sort order, and the expression of the index
// "NewIndex" that keeps the table in that order.
#pragma once

#include <array>
#include <string>

namespace keldro {

// Four field numbers (1..22), 0 for a level not in use.
struct SortLevels {
  std::array<int, 4> levels{12, 0, 0, 0};
  int CountInUse() const;
  bool operator==(const SortLevels&) const = default;
};

// The index expression for the levels, e.g. levels 12, 11 give
// Upper(Left(Category,40))+STR(Cost,12,2). No level in use gives "".
// A number outside 1..22 counts as a level not in use.
std::string BuildSortString(const SortLevels& levels);

}  // namespace keldro
