#include "core/search_filter.h"

namespace keldro {

bool SearchAccepts(const SearchItems& items, grid::TixTable& table) {
  auto value = [&table](int field) -> framework::TParam& {
    return grid::FilterFieldValue(table, ItemFields[static_cast<size_t>(field - 1)].name);
  };
  // Blank numbers and dates are absent, never 0.
  const SearchFieldReader reader{
      [&](int field) -> std::optional<double> {
        const framework::TParam& p = value(field);
        if (p.IsNull()) return std::nullopt;
        return p.AsFloat();
      },
      [&](int field) -> std::optional<double> {
        const framework::TParam& p = value(field);
        if (p.IsNull()) return std::nullopt;
        return p.AsDateTime();
      },
      [&](int field) { return value(field).AsString(); }};
  return BuildFilter(items, reader);
}

}  // namespace keldro
