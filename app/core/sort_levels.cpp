#include "core/sort_levels.h"

#include "core/item_fields.h"

namespace keldro {

int SortLevels::CountInUse() const {
  int n = 0;
  for (int f : levels)
    if (ItemFieldByNumber(f)) ++n;
  return n;
}

std::string BuildSortString(const SortLevels& sort) {
  const int n = sort.CountInUse();
  if (n == 0) return {};
  const int width = 80 / n;
  std::string expr;
  for (int number : sort.levels) {
    const ItemField* f = ItemFieldByNumber(number);
    if (!f) continue;
    const std::string name(f->name);
    switch (f->typeCode) {
      case kCharacterField: expr += "Upper(Left(" + name + "," + std::to_string(width) + "))+"; break;
      case kIntegerField: expr += "STR(" + name + ",12,0)+"; break;
      case kFloatField: expr += "STR(" + name + ",12,2)+"; break;
      case kDateField: expr += "DTOS(" + name + ")+"; break;
    }
  }
  expr.pop_back();  // the trailing "+"
  return expr;
}

}  // namespace keldro
