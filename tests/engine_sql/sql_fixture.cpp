#include "sql_fixture.h"

#include <cstdio>

namespace engine_test {

void SqlTest::SetUp() {
  EngineTest::SetUp();
  DbfBytes t;
  t.fields = {{"ITEM", 'C', 12, 0}, {"COST", 'N', 10, 2}, {"CATEGORY", 'C', 10, 0},
              {"BOUGHT", 'D', 8, 0}, {"INSURED", 'L', 1, 0}, {"QTY", 'N', 4, 0}};
  auto rec = [](std::string item, std::string cost, std::string cat, std::string date, std::string l,
                std::string qty) {
    auto left = [](std::string v, size_t w) { return v + std::string(w - v.size(), ' '); };
    auto right = [](std::string v, size_t w) { return std::string(w - v.size(), ' ') + v; };
    return left(item, 12) + right(cost, 10) + left(cat, 10) + left(date, 8) + l + right(qty, 4);
  };
  t.records = {rec("Hammer", "25.50", "Tools", "19960301", "T", "2"),
               rec("Saw", "120.00", "TOOLS", "19950112", "F", "1"),
               rec("Drill", "310.99", "Tools", "19970704", "T", "1"),
               rec("Sofa", "899.00", "Furniture", "19930220", "F", "1"),
               "*" + rec("Lathe", "2000.00", "Tools", "19900101", "T", "1"),
               rec("Chisel", "", "Tools", "", "?", ""),
               rec("Lamp", "101.00", "Lighting", "19991231", "T", "3")};
  Write("T.DBF", t.Build());
}

OrbResult SqlTest::Run(const std::string& text, OrbCursor* answer, uint16_t language, uint32_t* rows) {
  OrbStatement s = 0;
  OrbResult r = EngineQueryAlloc(db_, language, &s);
  if (r != ORB_OK) return r;
  r = EngineQueryPrepare(s, text.c_str());
  OrbCursor out = 0;
  if (r == ORB_OK) r = EngineQueryExecute(s, &out);
  if (rows != nullptr) EngineQueryRowsAffected(s, rows);
  EngineQueryFree(s);
  if (out != 0) {
    if (answer != nullptr) {
      *answer = out;
    }
    open_.push_back(out);
  }
  return r;
}

std::vector<OrbFieldDesc> SqlTest::Fields(OrbCursor c) {
  uint16_t count = 0;
  EngineGetFieldDescs(c, 0, nullptr, &count);
  std::vector<OrbFieldDesc> f(count);
  EngineGetFieldDescs(c, count, f.data(), &count);
  return f;
}

std::vector<std::string> SqlTest::Rows(OrbCursor c) {
  std::vector<std::string> out;
  std::vector<OrbFieldDesc> fields = Fields(c);
  std::vector<uint8_t> rec = Buffer(c);
  EngineSetToBegin(c);
  while (EngineGetNextRecord(c, rec.data(), static_cast<uint32_t>(rec.size()), nullptr) == ORB_OK) {
    std::string line;
    for (const OrbFieldDesc& f : fields) {
      if (!line.empty() || f.number > 1) line += "|";
      std::string raw(reinterpret_cast<const char*>(rec.data()) + f.offset, f.width);
      raw.erase(raw.find_last_not_of(' ') + 1);
      raw.erase(0, raw.find_first_not_of(' ') == std::string::npos ? raw.size() : raw.find_first_not_of(' '));
      line += raw;
    }
    out.push_back(line);
  }
  return out;
}

std::vector<std::string> SqlTest::Column(const std::string& text, size_t column, uint16_t language) {
  OrbCursor a = 0;
  OrbResult r = Run(text, &a, language);
  EXPECT_EQ(r, ORB_OK) << EngineErrorText(r) << " for " << text;
  std::vector<std::string> out;
  if (r != ORB_OK) return out;
  for (const std::string& row : Rows(a)) {
    size_t start = 0;
    for (size_t i = 0; i < column; ++i) start = row.find('|', start) + 1;
    out.push_back(row.substr(start, row.find('|', start) - start));
  }
  return out;
}

std::vector<std::string> SqlTest::FileRecords(const std::string& name) {
  const std::string bytes = Read(name);
  const uint32_t count = static_cast<uint8_t>(bytes[4]) | static_cast<uint8_t>(bytes[5]) << 8;
  const uint32_t header = static_cast<uint8_t>(bytes[8]) | static_cast<uint8_t>(bytes[9]) << 8;
  const uint32_t length = static_cast<uint8_t>(bytes[10]) | static_cast<uint8_t>(bytes[11]) << 8;
  std::vector<std::string> out;
  for (uint32_t i = 0; i < count && header + (i + 1) * length <= bytes.size(); ++i) {
    out.push_back(bytes.substr(header + i * length, length));
  }
  return out;
}

}  // namespace engine_test
