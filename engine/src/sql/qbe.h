// Query by example: the text form users type, read into its parts and
// turned into one SELECT over the engine's virtual tables.
//
//   TABLE | FIELD | FIELD |
//         | cell  | cell  |
//
// The reader takes any text (it is fed user input): it never reads past
// the text and answers a line and column for whatever it cannot read.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace orb::sql {

struct QbeError {
  uint32_t line = 0;    // 1-based; 0 when there is no error
  uint32_t column = 0;  // 1-based
  std::string message;
};

struct QbeCell {
  std::string text;
  uint32_t line = 0;
  uint32_t column = 0;  // where the cell's text starts
};

struct QbeQuery {
  std::string table;
  uint32_t tableLine = 0;
  std::vector<std::string> fields;
  std::vector<uint32_t> fieldColumns;
  std::vector<std::vector<QbeCell>> rows;
};

// Reads the skeleton and example rows; false with *error on a malformed
// text.
bool ParseQbe(std::string_view text, QbeQuery* query, QbeError* error);

struct QbeField {
  std::string name;  // upper case
  char type = 'C';   // dBASE type letter
};

// The SELECT for the query over a table of these fields; false with *error
// for a field the table lacks or a condition that cannot be read.
// blankAsZero makes a blank number count as 0 in comparisons.
bool QbeToSql(const QbeQuery& query, const std::vector<QbeField>& fields, bool blankAsZero, std::string* sql,
              QbeError* error);

}  // namespace orb::sql
