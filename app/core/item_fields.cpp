#include "core/item_fields.h"

namespace keldro {

namespace {
char Upper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }
}  // namespace

bool FieldNamesEqual(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (Upper(a[i]) != Upper(b[i])) return false;
  return true;
}

const ItemField* ItemFieldByNumber(int number) {
  if (number < 1 || number > kItemFieldCount) return nullptr;
  return &ItemFields[static_cast<size_t>(number - 1)];
}

const ItemField* ItemFieldByName(std::string_view name) {
  for (const ItemField& f : ItemFields)
    if (FieldNamesEqual(f.name, name)) return &f;
  return nullptr;
}

}  // namespace keldro
