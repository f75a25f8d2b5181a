// How the lookup controls search their lookup table: choosing an index that
// leads with the searched field, and the incremental search of typed text.
//
//   grid::FindLookupIndexForField(brands, "NAME");   // UPPER(NAME) first
//   bool hit = grid::IncrementalSearch(brands, "ph", 0);
//
// On an SQL database with SyncSQLByRange both position by ranges instead
// of key searches (a server answers a range cheaply, a seek dearly).
#pragma once

#include <string>
#include <string_view>

#include "framework/db.h"
#include "grid/ix_table.h"

namespace grid {

// The field an index is ordered by first: the first of its fields, or the
// first field of the dataset an expression names ("UPPER(NAME)+STR(ID,5)"
// gives NAME); empty when there is none.
std::string IndexLeadingField(const framework::TIndexDef& index, const framework::TDataSet& dataSet);
// Switches the table to an index that leads with the field (first among
// the case-insensitive ones, then among all) and keeps the current record;
// false, leaving the table as it was, when no index leads with it.
bool FindLookupIndexForField(TixTable& table, std::string_view fieldName);
// The same for the field of the first SelectedEntry line.
bool FindLookupIndexFor(TixTable& table, const TLines& selected);
// Moves the table towards the text in the n-th (0-based) field of its
// active index: a nearest-key search whose key is the current record's
// first n index fields followed by the text; with NarrowSearch, or on an
// SQL database with SyncSQLByRange, a range instead. True when the record
// reached holds the text in that field, without regard to case. A table
// without index fields warns "Table <name>: Table index not found"; a text
// that is no value of the field's type does nothing.
bool IncrementalSearch(TixTable& table, const std::string& text, int n);

}  // namespace grid
