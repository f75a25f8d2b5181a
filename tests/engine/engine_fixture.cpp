#include "engine_fixture.h"

#include <cstring>

namespace engine_test {
namespace {

void Put16(std::string& s, size_t at, uint32_t v) {
  s[at] = static_cast<char>(v & 0xFF);
  s[at + 1] = static_cast<char>((v >> 8) & 0xFF);
}
void Put32(std::string& s, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) s[at + i] = static_cast<char>((v >> (8 * i)) & 0xFF);
}

}  // namespace

std::string DbfBytes::Build() const {
  const size_t headerLength = 32 + 32 * fields.size() + 1;
  size_t recordLength = 1;
  for (const FieldSpec& f : fields) recordLength += f.width;
  std::string s(headerLength, '\0');
  s[0] = static_cast<char>(version);
  s[1] = 96;  // 1996-05-17
  s[2] = 5;
  s[3] = 17;
  Put32(s, 4, countOverride >= 0 ? static_cast<uint32_t>(countOverride) : static_cast<uint32_t>(records.size()));
  Put16(s, 8, static_cast<uint32_t>(headerLength));
  Put16(s, 10, static_cast<uint32_t>(recordLength));
  s[28] = static_cast<char>(productionFlag);
  s[29] = static_cast<char>(languageDriver);
  for (size_t i = 0; i < fields.size(); ++i) {
    size_t d = 32 + 32 * i;
    std::memcpy(&s[d], fields[i].name.data(), std::min<size_t>(fields[i].name.size(), 10));
    s[d + 11] = fields[i].type;
    s[d + 16] = static_cast<char>(fields[i].width);
    s[d + 17] = static_cast<char>(fields[i].decimals);
  }
  s[headerLength - 1] = 0x0D;
  for (const std::string& r : records) {
    std::string rec = r;
    char flag = ' ';
    if (!rec.empty() && rec[0] == '*') {
      flag = '*';
      rec.erase(0, 1);
    }
    rec.resize(recordLength - 1, ' ');
    s += flag;
    s += rec;
  }
  if (endMarker) s += '\x1A';
  return s;
}

std::string Dbase4Memo(const std::vector<std::string>& texts, std::vector<uint32_t>* blocks) {
  std::string s(512, '\0');
  uint32_t next = 1;
  for (const std::string& t : texts) {
    blocks->push_back(next);
    std::string m = std::string("\xFF\xFF\x08\x00", 4) + std::string(4, '\0') + t;
    Put32(m, 4, static_cast<uint32_t>(t.size() + 8));
    size_t n = (m.size() + 511) / 512;
    m.resize(n * 512, '\0');
    s += m;
    next += static_cast<uint32_t>(n);
  }
  Put32(s, 0, next);
  std::memcpy(&s[8], "TOOLS", 5);
  Put16(s, 20, 512);
  return s;
}

std::string Dbase3Memo(const std::vector<std::string>& texts, std::vector<uint32_t>* blocks) {
  std::string s(512, '\0');
  uint32_t next = 1;
  for (const std::string& t : texts) {
    blocks->push_back(next);
    std::string m = t + "\x1A\x1A";
    size_t n = (m.size() + 511) / 512;
    m.resize(n * 512, '\x1A');
    s += m;
    next += static_cast<uint32_t>(n);
  }
  Put32(s, 0, next);
  return s;
}

OrbFieldDesc Field(const char* name, char type, uint16_t width, uint8_t decimals) {
  OrbFieldDesc f{};
  std::strncpy(f.name, name, sizeof f.name - 1);
  f.type = type;
  f.width = width;
  f.decimals = decimals;
  return f;
}

std::vector<OrbFieldDesc> InventoryFields() {
  return {Field("Item", 'C', 40),       Field("Brand", 'C', 20),     Field("Model", 'C', 20),
          Field("Serial", 'C', 20),     Field("Location", 'C', 30),  Field("Descriptio", 'C', 110),
          Field("BoughtFrom", 'C', 40), Field("IDMarks", 'C', 60),   Field("Quantity", 'N', 11, 0),
          Field("PurchDate", 'D', 8),   Field("Cost", 'N', 12, 2),   Field("Category", 'C', 20),
          Field("RepCost", 'N', 12, 2), Field("Warranty", 'C', 3),   Field("WarDate", 'D', 8),
          Field("WarNotes", 'C', 30),   Field("Owner", 'C', 30),     Field("Value", 'N', 12, 2),
          Field("UserDef1", 'C', 40),   Field("UserDef2", 'C', 40),  Field("UserDef3", 'C', 40),
          Field("UserDef4", 'C', 40)};
}

void EngineTest::SetUp() {
  // Character keys and filters follow the language driver through SLW32.
  root_.RegisterShippedLocales();
  std::filesystem::create_directories(Dir());
  ASSERT_EQ(EngineOpenDatabase(Dir().c_str(), &db_), ORB_OK);
}

void EngineTest::TearDown() {
  for (OrbCursor c : open_) EngineCloseCursor(c);
  EngineCloseDatabase(db_);
}

void EngineTest::Write(const std::string& name, const std::string& bytes) {
  testing_support::TempRoot::WriteFile(Dir() / name, bytes);
}

std::string EngineTest::Read(const std::string& name) { return testing_support::TempRoot::ReadFile(Dir() / name); }

OrbCursor EngineTest::Open(const char* table, uint16_t mode) {
  OrbCursor c = 0;
  OrbResult r = EngineOpenTable(db_, table, mode, &c);
  EXPECT_EQ(r, ORB_OK) << EngineErrorText(r);
  if (r == ORB_OK) open_.push_back(c);
  return c;
}

void EngineTest::MakeTable(const char* table, const std::vector<OrbFieldDesc>& fields) {
  ASSERT_EQ(EngineCreateTable(db_, table, static_cast<uint16_t>(fields.size()), fields.data(), 0), ORB_OK);
}

std::string EngineTest::Text(OrbCursor c, uint16_t field, const uint8_t* record) {
  char value[256];
  int32_t blank = -1;
  EXPECT_EQ(EngineGetField(c, field, record, value, sizeof value, &blank), ORB_OK);
  return value;
}

double EngineTest::Number(OrbCursor c, uint16_t field, const uint8_t* record) {
  double d = -1;
  int32_t blank = -1;
  EXPECT_EQ(EngineGetField(c, field, record, &d, sizeof d, &blank), ORB_OK);
  return d;
}

std::vector<uint8_t> EngineTest::Buffer(OrbCursor c) {
  OrbTableInfo info{};
  EXPECT_EQ(EngineGetTableInfo(c, &info), ORB_OK);
  std::vector<uint8_t> buf(info.recordSize);
  EngineInitRecord(c, buf.data(), static_cast<uint32_t>(buf.size()));
  return buf;
}

std::vector<uint32_t> EngineTest::Scan(OrbCursor c) {
  std::vector<uint32_t> seen;
  EXPECT_EQ(EngineSetToBegin(c), ORB_OK);
  std::vector<uint8_t> buf = Buffer(c);
  OrbRecordInfo info{};
  OrbResult r;
  while ((r = EngineGetNextRecord(c, buf.data(), static_cast<uint32_t>(buf.size()), &info)) == ORB_OK) {
    seen.push_back(info.recordNumber);
  }
  EXPECT_EQ(r, ORB_ERR_EOF);
  return seen;
}

}  // namespace engine_test
