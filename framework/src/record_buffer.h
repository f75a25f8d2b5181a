// One record of a dataset's window, seen by the dataset and its fields.
#pragma once

#include <vector>

#include "cursor.h"
#include "framework/db.h"

namespace framework {

struct TDataSet::Buffer {
  enum Flag { Current, Inserted, Bof, Eof };
  detail::RecordData data;
  std::vector<FieldValue> calc;
  Flag flag = Current;
};

}  // namespace framework
