// The search query applied to the inventory table: the record under filter
// test read through the table's filter-time field access.
#pragma once

#include "core/search_query.h"
#include "grid/ix_table.h"

namespace keldro {

bool SearchAccepts(const SearchItems& items, grid::TixTable& table);

}  // namespace keldro
