// A folder with an inventory table as another dBASE tool writes it, and
// helpers to run statements and read their answers.
#pragma once

#include <string>
#include <vector>

#include "engine_fixture.h"

namespace engine_test {

class SqlTest : public EngineTest {
 protected:
  void SetUp() override;
  // Runs a statement of the language; the result, with *answer (may be
  // null) for a SELECT.
  OrbResult Run(const std::string& text, OrbCursor* answer = nullptr, uint16_t language = ORB_QUERY_SQL,
                uint32_t* rows = nullptr);
  // Every record of a cursor as "A|B|C" with fields right-trimmed, blank
  // numbers empty.
  std::vector<std::string> Rows(OrbCursor c);
  std::vector<OrbFieldDesc> Fields(OrbCursor c);
  // One column of the answer of a query.
  std::vector<std::string> Column(const std::string& text, size_t column = 0, uint16_t language = ORB_QUERY_SQL);
  // The table's records straight from the file's bytes, as another reader sees them.
  std::vector<std::string> FileRecords(const std::string& name);
};

}  // namespace engine_test
