// The files on disk: what other dBASE tools write opens here, what we
// write has their layout, and damaged files are refused with a code.
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <string>
#include <utility>
#include <vector>

#include "engine_fixture.h"
#include "table.h"

namespace engine_test {
namespace {

class TableFormatTest : public EngineTest {};

TEST_F(TableFormatTest, OpensDbase3TableWrittenByAnotherTool) {
  DbfBytes t;
  t.version = 0x03;
  t.languageDriver = 0x01;
  t.fields = {{"NAME", 'C', 10, 0}, {"QTY", 'N', 5, 0}, {"PRICE", 'N', 8, 2},
              {"BOUGHT", 'D', 8, 0}, {"OK", 'L', 1, 0}};
  t.records = {"Lamp         3   12.50 19940203T", "*Gone        1    1.00 19900101F",
               "Chair      -12    0.99         ?"};
  Write("OLD.DBF", t.Build());

  OrbCursor c = Open("old");  // the name without ".DBF", any case
  OrbTableInfo info{};
  ASSERT_EQ(EngineGetTableInfo(c, &info), ORB_OK);
  EXPECT_EQ(info.languageDriver, 0x01);  // kept as found
  EXPECT_EQ(info.physicalCount, 3u);
  EXPECT_EQ(info.recordsTrimmed, 0u);
  uint16_t n = 0;
  ASSERT_EQ(EngineFieldNumber(c, "price", &n), ORB_OK);
  EXPECT_EQ(n, 3);

  EXPECT_EQ(Scan(c), (std::vector<uint32_t>{1, 3}));  // the deleted record stays hidden
  std::vector<uint8_t> rec = Buffer(c);
  ASSERT_EQ(EngineGetFirstRecord(c, rec.data(), static_cast<uint32_t>(rec.size()), nullptr), ORB_OK);
  EXPECT_EQ(Text(c, 1, rec.data()), "Lamp");  // right-trimmed
  EXPECT_EQ(Number(c, 2, rec.data()), 3.0);
  EXPECT_EQ(Number(c, 3, rec.data()), 12.5);
  int32_t day = 0, blank = -1;
  ASSERT_EQ(EngineGetField(c, 4, rec.data(), &day, sizeof day, &blank), ORB_OK);
  int32_t y, m, d;
  ASSERT_EQ(EngineDecodeDate(day, &y, &m, &d), ORB_OK);
  EXPECT_EQ(y * 10000 + m * 100 + d, 19940203);
  int16_t yes = 0;
  ASSERT_EQ(EngineGetField(c, 5, rec.data(), &yes, sizeof yes, &blank), ORB_OK);
  EXPECT_EQ(yes, 1);

  ASSERT_EQ(EngineGetNextRecord(c, rec.data(), static_cast<uint32_t>(rec.size()), nullptr), ORB_OK);
  EXPECT_EQ(Number(c, 2, rec.data()), -12.0);
  ASSERT_EQ(EngineGetField(c, 4, rec.data(), &day, sizeof day, &blank), ORB_OK);
  EXPECT_EQ(blank, 1);
  ASSERT_EQ(EngineGetField(c, 5, rec.data(), &yes, sizeof yes, &blank), ORB_OK);
  EXPECT_EQ(blank, 1);  // "?" is an unknown logical
}

// Number texts as other tools leave them read as the C library's strtod
// reads them, to the last bit: the plain ones through our own decoder, the
// rest (exponents, long digit runs, stray text) as before.
TEST_F(TableFormatTest, NumberTextsReadAsTheCLibraryReadsThem) {
  const char* texts[] = {"12.50",  "-0.00",   "0.1",     "  -7",    "+5",   "5.",       ".5",
                         "0.3",    "1.7",     "99999999999999.9",   "123456789012345",
                         "1234567890123456789", "-98765.4321",      "1e3",  "1.2.3",    "12abc",
                         "-",      ".",       "1,25",    "0.000000000000001", "9007199254740993",
                         "1 2",    "12  ",    "- 3",     "123456789012",      "1234",  "*****",   "1.5e"};
  DbfBytes t;
  t.fields = {{"N", 'N', 20, 0}};
  for (const char* text : texts) {
    std::string field(20, ' ');
    field.replace(20 - std::strlen(text), std::strlen(text), text);
    t.records.push_back(field);
  }
  Write("NUMS.DBF", t.Build());
  OrbCursor c = Open("NUMS");
  std::vector<uint8_t> rec = Buffer(c);
  ASSERT_EQ(EngineSetToBegin(c), ORB_OK);
  for (const char* text : texts) {
    SCOPED_TRACE(text);
    ASSERT_EQ(EngineGetNextRecord(c, rec.data(), static_cast<uint32_t>(rec.size()), nullptr), ORB_OK);
    std::string plain;
    for (const char* p = text; *p != 0; ++p) {
      if (*p != ' ') plain += *p == ',' ? '.' : *p;
    }
    char* end = nullptr;
    double want = std::strtod(plain.c_str(), &end);
    const bool wantBlank = end == plain.c_str();
    if (wantBlank) want = 0;
    double got = -1;
    int32_t blank = -1;
    ASSERT_EQ(EngineGetField(c, 1, rec.data(), &got, sizeof got, &blank), ORB_OK);
    EXPECT_EQ(blank, wantBlank ? 1 : 0);
    EXPECT_EQ(std::memcmp(&got, &want, sizeof got), 0) << got << " != " << want;
  }
}

// Character fields read as their bytes less the trailing blanks and NULs,
// cut at an embedded NUL, whatever their width (the reader takes sixteen
// bytes at a time and may write a short text as one wide store): fields
// on either side of the vector widths, the last one ending the record, and
// value buffers of the width, of a vector and larger, none written past.
TEST_F(TableFormatTest, TextFieldsReadAsTheirBytesTrimmedAndCutAtANul) {
  const uint8_t widths[] = {1, 3, 15, 16, 17, 31, 32, 33, 110, 40, 20};
  const std::string nul(1, '\0');
  // Each case's bytes for a field of `width` (cut or padded with blanks).
  const std::vector<std::pair<const char*, std::string>> cases = {
      {"blank", ""},
      {"short", "ab"},
      {"leading blanks", "  ab"},
      {"trailing NULs", "abc" + std::string(200, '\0')},
      {"an embedded NUL", "ab" + nul + "cd"},
      {"blanks before a NUL", "ab  " + nul + "cd"},
      {"NULs only", std::string(200, '\0')},
      {"NUL first", nul + "abc"},
      {"bytes above 127", "\xe9t\xe9 \xff"},
      {"15 letters", std::string(15, 'y')},
      {"16 letters", std::string(16, 'y')},
      {"17 letters", std::string(17, 'y')},
      {"31 letters", std::string(31, 'y')},
      {"32 letters", std::string(32, 'y')},
      {"33 letters", std::string(33, 'y')},
      {"full", std::string(200, 'z')},
      {"blanks inside", "a b   c" + std::string(20, ' ') + "d"},
  };
  auto bytesOf = [](const std::string& text, size_t width) {
    std::string b = text.substr(0, std::min(text.size(), width));
    b.resize(width, ' ');
    return b;
  };
  DbfBytes t;
  for (size_t i = 0; i < std::size(widths); ++i) t.fields.push_back({"F" + std::to_string(i + 1), 'C', widths[i], 0});
  for (const auto& [name, text] : cases) {
    std::string record;
    for (uint8_t w : widths) record += bytesOf(text, w);
    t.records.push_back(record);
  }
  Write("TEXTS.DBF", t.Build());
  OrbCursor c = Open("TEXTS");
  std::vector<uint8_t> rec = Buffer(c);  // the record's size exactly
  ASSERT_EQ(EngineSetToBegin(c), ORB_OK);
  for (const auto& [name, text] : cases) {
    SCOPED_TRACE(name);
    ASSERT_EQ(EngineGetNextRecord(c, rec.data(), static_cast<uint32_t>(rec.size()), nullptr), ORB_OK);
    for (size_t i = 0; i < std::size(widths); ++i) {
      SCOPED_TRACE("width " + std::to_string(widths[i]));
      std::string want = bytesOf(text, widths[i]);
      want.erase(want.find_last_not_of(std::string(" ") + nul) + 1);
      want = want.substr(0, want.find('\0'));
      for (uint32_t size : {static_cast<uint32_t>(widths[i] + 1), 32u, 256u}) {
        if (size < widths[i] + 1u) continue;
        std::vector<char> value(size + 16, '\x5a');
        int32_t blank = -1;
        ASSERT_EQ(EngineGetField(c, static_cast<uint16_t>(i + 1), rec.data(), value.data(), size, &blank), ORB_OK);
        EXPECT_EQ(std::string(value.data()), want) << "buffer of " << size;
        EXPECT_EQ(blank, want.empty() ? 1 : 0);
        EXPECT_EQ(std::string(value.begin() + size, value.end()), std::string(16, '\x5a')) << "written past " << size;
      }
    }
  }
}

// Date fields read their eight bytes YYYYMMDD: a date when all are digits
// and the date exists, else blank (blanks, NULs, other text, a day the
// calendar has not, a short or odd digit).
TEST_F(TableFormatTest, DateTextsReadAsDaysOrBlank) {
  struct Case {
    const char* bytes;  // eight of them
    int32_t date;       // YYYYMMDD, 0 for blank
  };
  const Case cases[] = {{"19940203", 19940203}, {"00010101", 10101},    {"99991231", 99991231}, {"20000229", 20000229},
                        {"19000229", 0},        {"19991301", 0},        {"19990100", 0},        {"00000101", 0},
                        {"        ", 0},        {"1999 1 1", 0},        {" 1999010", 0},        {"1999010/", 0},
                        {"1999010:", 0},        {"abcdefgh", 0},        {"19990132", 0},        {"20231130", 20231130}};
  DbfBytes t;
  t.fields = {{"D", 'D', 8, 0}};
  for (const Case& k : cases) t.records.push_back(k.bytes);
  t.records.push_back(std::string(8, '\0'));
  Write("DATES.DBF", t.Build());
  OrbCursor c = Open("DATES");
  std::vector<uint8_t> rec = Buffer(c);
  ASSERT_EQ(EngineSetToBegin(c), ORB_OK);
  auto next = [&](const std::string& what, int32_t want) {
    SCOPED_TRACE(what);
    ASSERT_EQ(EngineGetNextRecord(c, rec.data(), static_cast<uint32_t>(rec.size()), nullptr), ORB_OK);
    int32_t day = -1, blank = -1;
    ASSERT_EQ(EngineGetField(c, 1, rec.data(), &day, sizeof day, &blank), ORB_OK);
    EXPECT_EQ(blank, want == 0 ? 1 : 0);
    int32_t wantDay = 0;
    if (want != 0) {
      ASSERT_EQ(EngineEncodeDate(want / 10000, want / 100 % 100, want % 100, &wantDay), ORB_OK);
    }
    EXPECT_EQ(day, wantDay);
  };
  for (const Case& k : cases) next(k.bytes, k.date);
  next("NULs", 0);
}

TEST_F(TableFormatTest, ReadsMemosOfDbase4AndDbase3Files) {
  struct Case {
    const char* name;
    uint8_t version;
    bool dbase4;
  };
  for (const Case& k : {Case{"IVMEMO", 0x8B, true}, Case{"IIIMEMO", 0x83, false}}) {
    SCOPED_TRACE(k.name);
    std::vector<uint32_t> blocks;
    std::string longText(1500, 'x');
    longText += "end";
    std::string memo = k.dbase4 ? Dbase4Memo({"Bought in Leeds", longText}, &blocks)
                                : Dbase3Memo({"Bought in Leeds", longText}, &blocks);
    DbfBytes t;
    t.version = k.version;
    t.fields = {{"ITEM", 'C', 8, 0}, {"NOTES", 'M', 10, 0}};
    char b1[11], b2[11];
    std::snprintf(b1, sizeof b1, "%10u", blocks[0]);
    std::snprintf(b2, sizeof b2, "%10u", blocks[1]);
    t.records = {std::string("Radio   ") + b1, std::string("Clock   ") + b2, "Empty"};
    Write(std::string(k.name) + ".DBF", t.Build());
    Write(std::string(k.name) + ".dbt", memo);  // companions are found whatever their case

    OrbCursor c = Open(k.name, ORB_OPEN_READ_ONLY);
    std::vector<uint8_t> rec = Buffer(c);
    std::vector<std::string> seen;
    EngineSetToBegin(c);
    while (EngineGetNextRecord(c, rec.data(), static_cast<uint32_t>(rec.size()), nullptr) == ORB_OK) {
      ASSERT_EQ(EngineOpenBlob(c, rec.data(), 2, ORB_BLOB_READ_ONLY), ORB_OK);
      std::string text;
      uint8_t chunk[1000];
      uint32_t got = 0;
      OrbResult r;
      // Read in chunks as the memo stream does: the last one ends the memo.
      while ((r = EngineGetBlob(c, rec.data(), 2, static_cast<uint32_t>(text.size()), sizeof chunk, chunk, &got)) ==
             ORB_OK) {
        text.append(reinterpret_cast<char*>(chunk), got);
      }
      EXPECT_EQ(r, ORB_ERR_BLOB_END);
      text.append(reinterpret_cast<char*>(chunk), got);
      seen.push_back(text);
      EXPECT_EQ(EngineFreeBlob(c, rec.data(), 2), ORB_OK);
    }
    EXPECT_EQ(seen, (std::vector<std::string>{"Bought in Leeds", longText, ""}));
    EngineCloseCursor(c);
    open_.clear();

    // A memo written here goes in the file's own style and reads back,
    // the other memos untouched.
    c = Open(k.name, ORB_OPEN_SHARED);
    ASSERT_EQ(EngineSetToRecordNo(c, 3), ORB_OK);
    ASSERT_EQ(EngineGetRecord(c, rec.data(), static_cast<uint32_t>(rec.size()), nullptr), ORB_OK);
    ASSERT_EQ(EngineOpenBlob(c, rec.data(), 2, ORB_BLOB_READ_WRITE), ORB_OK);
    ASSERT_EQ(EnginePutBlob(c, rec.data(), 2, 0, 5, reinterpret_cast<const uint8_t*>("added")), ORB_OK);
    ASSERT_EQ(EngineModifyRecord(c, rec.data(), static_cast<uint32_t>(rec.size())), ORB_OK);
    EngineFreeBlob(c, rec.data(), 2);
    std::vector<std::string> after;
    EngineSetToBegin(c);
    while (EngineGetNextRecord(c, rec.data(), static_cast<uint32_t>(rec.size()), nullptr) == ORB_OK) {
      uint32_t size = 0;
      ASSERT_EQ(EngineGetBlobSize(c, rec.data(), 2, &size), ORB_OK);
      std::string text(size, '\0');
      uint32_t got = 0;
      EngineGetBlob(c, rec.data(), 2, 0, size, reinterpret_cast<uint8_t*>(text.data()), &got);
      after.push_back(text);
    }
    EXPECT_EQ(after, (std::vector<std::string>{"Bought in Leeds", longText, "added"}));
  }
}

TEST_F(TableFormatTest, CreatedTableHasTheDbaseLayout) {
  std::vector<OrbFieldDesc> fields = InventoryFields();
  MakeTable("MASTER", fields);
  OrbCursor c = Open("MASTER.DBF");
  std::vector<uint8_t> rec = Buffer(c);
  ASSERT_EQ(EnginePutField(c, 1, rec.data(), "Television"), ORB_OK);
  double cost = 249.5;
  ASSERT_EQ(EnginePutField(c, 11, rec.data(), &cost), ORB_OK);
  ASSERT_EQ(EngineInsertRecord(c, rec.data(), static_cast<uint32_t>(rec.size())), ORB_OK);
  ASSERT_EQ(EngineCloseCursor(c), ORB_OK);
  open_.clear();

  const std::string f = Read("MASTER.DBF");
  const size_t headerLength = 32 + 32 * 22 + 1;
  const size_t recordLength = 1 + 40 + 20 + 20 + 20 + 30 + 110 + 40 + 60 + 11 + 8 + 12 + 20 + 12 + 3 + 8 + 30 +
                              30 + 12 + 40 * 4;
  ASSERT_EQ(f.size(), headerLength + recordLength + 1);
  EXPECT_EQ(static_cast<uint8_t>(f[0]), 0x03);
  EXPECT_EQ(static_cast<uint8_t>(f[4]), 1);  // count
  EXPECT_EQ(static_cast<uint8_t>(f[8]) | static_cast<uint8_t>(f[9]) << 8, static_cast<int>(headerLength));
  EXPECT_EQ(static_cast<uint8_t>(f[10]) | static_cast<uint8_t>(f[11]) << 8, static_cast<int>(recordLength));
  EXPECT_EQ(static_cast<uint8_t>(f[28]), 0);
  EXPECT_EQ(static_cast<uint8_t>(f[29]), ORB_LDID_ANSI_1252);
  EXPECT_EQ(f.substr(32, 11), std::string("ITEM\0\0\0\0\0\0\0", 11));  // upper case, zero-padded
  EXPECT_EQ(f[32 + 32 * 10 + 11], 'N');                                   // Cost
  EXPECT_EQ(f[32 + 32 * 10 + 16], 12);
  EXPECT_EQ(f[32 + 32 * 10 + 17], 2);
  EXPECT_EQ(static_cast<uint8_t>(f[headerLength - 1]), 0x0D);
  EXPECT_EQ(f[headerLength], ' ');
  EXPECT_EQ(f.substr(headerLength + 1, 12), "Television  ");
  size_t costAt = headerLength + 1 + 40 + 20 + 20 + 20 + 30 + 110 + 40 + 60 + 11 + 8;
  EXPECT_EQ(f.substr(costAt, 12), "      249.50");
  EXPECT_EQ(static_cast<uint8_t>(f.back()), 0x1A);
}

// Definitions other dBASE tools could not open are refused, and no file is
// written for them.
TEST_F(TableFormatTest, FieldDefinitionsADbaseTableCannotHoldAreRefused) {
  struct Case {
    const char* what;
    OrbFieldDesc field;
    OrbResult code;
  };
  const Case cases[] = {
      {"a plain name", Field("ITEM_2", 'C', 10), ORB_OK},
      {"a name starting with a digit", Field("2ND", 'C', 10), ORB_ERR_INVALID_FIELD_DEF},
      {"a name starting with _", Field("_ITEM", 'C', 10), ORB_ERR_INVALID_FIELD_DEF},
      {"a blank in the name", Field("MY ITEM", 'C', 10), ORB_ERR_INVALID_FIELD_DEF},
      {"text wider than 254", Field("ITEM", 'C', 255), ORB_ERR_INVALID_FIELD_DEF},
      {"a number wider than 20", Field("COST", 'N', 21), ORB_ERR_INVALID_FIELD_DEF},
      {"decimals without room for the point", Field("COST", 'N', 5, 4), ORB_ERR_INVALID_FIELD_DEF},
      {"an unknown type", Field("PIC", 'G', 10), ORB_ERR_INVALID_FIELD_DEF},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.what);
    std::filesystem::remove(Dir() / "DEFS.DBF");
    EXPECT_EQ(EngineCreateTable(db_, "DEFS", 1, &k.field, 0), k.code);
    EXPECT_EQ(std::filesystem::exists(Dir() / "DEFS.DBF"), k.code == ORB_OK);
  }
}

TEST_F(TableFormatTest, DamagedOrForeignFilesAreRefusedWithTheirCode) {
  DbfBytes good;
  good.fields = {{"NAME", 'C', 10, 0}, {"QTY", 'N', 5, 0}};
  good.records = {"Lamp         3"};
  const std::string base = good.Build();
  auto with = [&](size_t at, char byte) {
    std::string s = base;
    s[at] = byte;
    return s;
  };
  struct Case {
    const char* what;
    std::string bytes;
    OrbResult code;
  };
  const Case cases[] = {
      {"empty file", "", ORB_ERR_NOT_DBASE},
      {"header cut short", base.substr(0, 20), ORB_ERR_NOT_DBASE},
      {"field list cut", base.substr(0, 50), ORB_ERR_CORRUPT},
      {"FoxPro version byte", with(0, '\x30'), ORB_ERR_NOT_DBASE},
      {"text file", std::string("Item,Brand\r\nLamp,Acme\r\n") + std::string(80, ' '), ORB_ERR_NOT_DBASE},
      {"header length past the end", with(9, '\x7F'), ORB_ERR_CORRUPT},
      {"record length shorter than fields", with(10, '\x05'), ORB_ERR_CORRUPT},
      {"unknown field type", with(32 + 11, 'X'), ORB_ERR_CORRUPT},
      {"fields longer than the record", with(32 + 32 + 16, '\x06'), ORB_ERR_CORRUPT},
      {"encrypted", with(15, '\x01'), ORB_ERR_NOT_SUPPORTED},
      {"field with no name", with(32, '\0'), ORB_ERR_CORRUPT},
      {"missing terminator", with(32 + 64, 'Z'), ORB_ERR_CORRUPT},
  };
  int i = 0;
  for (const Case& k : cases) {
    SCOPED_TRACE(k.what);
    std::string name = "BAD" + std::to_string(i++);
    Write(name + ".DBF", k.bytes);
    OrbCursor c = 0;
    OrbResult r = EngineOpenTable(db_, name.c_str(), ORB_OPEN_SHARED, &c);
    EXPECT_EQ(r, k.code) << EngineErrorText(r);
    if (r == ORB_OK) {
      // Accepted damage must still scan safely.
      Scan(c);
      EngineCloseCursor(c);
    } else {
      EXPECT_EQ(c, 0u);
      char detail[300];
      EXPECT_EQ(EngineGetErrorContext(detail, sizeof detail), ORB_OK);
      EXPECT_NE(std::string(detail), "");
    }
  }
}

TEST_F(TableFormatTest, AnyByteOfHeaderAndFirstRecordsDamagedIsSafe) {
  std::vector<OrbFieldDesc> fields = {Field("NAME", 'C', 6), Field("QTY", 'N', 5), Field("WHEN", 'D', 8),
                                      Field("OK", 'L', 1), Field("NOTES", 'M', 10)};
  MakeTable("GOOD", fields);
  OrbCursor c = Open("GOOD");
  std::vector<uint8_t> rec = Buffer(c);
  for (int i = 0; i < 3; ++i) {
    EngineInitRecord(c, rec.data(), static_cast<uint32_t>(rec.size()));
    EnginePutField(c, 1, rec.data(), "thing");
    EngineOpenBlob(c, rec.data(), 5, ORB_BLOB_READ_WRITE);
    EnginePutBlob(c, rec.data(), 5, 0, 4, reinterpret_cast<const uint8_t*>("memo"));
    ASSERT_EQ(EngineInsertRecord(c, rec.data(), static_cast<uint32_t>(rec.size())), ORB_OK);
    EngineFreeBlob(c, rec.data(), 5);
  }
  EngineCloseCursor(c);
  open_.clear();
  const std::string good = Read("GOOD.DBF");
  const std::string memo = Read("GOOD.DBT");
  Write("HURT.DBT", memo);
  for (size_t at = 0; at < good.size(); ++at) {
    for (char value : {'\x00', '\xFF', '9'}) {
      std::string bytes = good;
      bytes[at] = value;
      Write("HURT.DBF", bytes);
      OrbCursor h = 0;
      OrbResult r = EngineOpenTable(db_, "HURT", ORB_OPEN_READ_ONLY, &h);
      if (r != ORB_OK) {
        EXPECT_STRNE(EngineErrorText(r), "Unknown engine error") << "byte " << at;
        continue;
      }
      // Whatever opened reads to its end without harm.
      std::vector<uint8_t> buf = Buffer(h);
      EngineSetToBegin(h);
      int guard = 0;
      while (EngineGetNextRecord(h, buf.data(), static_cast<uint32_t>(buf.size()), nullptr) == ORB_OK && ++guard < 10) {
        uint32_t size = 0;
        EngineGetBlobSize(h, buf.data(), 5, &size);
      }
      EXPECT_LT(guard, 10) << "byte " << at;
      EngineCloseCursor(h);
    }
  }
}

TEST_F(TableFormatTest, HeaderCountBeyondTheFileIsTrimmedAndReported) {
  DbfBytes t;
  t.fields = {{"NAME", 'C', 10, 0}};
  t.records = {"one", "two", "three"};
  t.countOverride = 5;  // an interrupted write by another tool
  std::string bytes = t.Build();
  bytes.pop_back();              // no 0x1A either
  bytes += "hal";                // and a piece of a fourth record
  Write("CUT.DBF", bytes);

  OrbCursor c = Open("CUT");
  OrbTableInfo info{};
  ASSERT_EQ(EngineGetTableInfo(c, &info), ORB_OK);
  EXPECT_EQ(info.physicalCount, 3u);
  EXPECT_EQ(info.recordsTrimmed, 2u);
  EXPECT_EQ(Scan(c), (std::vector<uint32_t>{1, 2, 3}));

  // The next append lands after the whole records and corrects the count.
  std::vector<uint8_t> rec = Buffer(c);
  EnginePutField(c, 1, rec.data(), "four");
  ASSERT_EQ(EngineInsertRecord(c, rec.data(), static_cast<uint32_t>(rec.size())), ORB_OK);
  EngineCloseCursor(c);
  open_.clear();
  const std::string f = Read("CUT.DBF");
  EXPECT_EQ(static_cast<uint8_t>(f[4]), 4);
  EXPECT_EQ(f.substr(f.size() - 12), " four      \x1A");
}

TEST_F(TableFormatTest, RecordsBeyondTheCountAreNeverShown) {
  DbfBytes t;
  t.fields = {{"NAME", 'C', 10, 0}};
  t.records = {"one", "two", "half-done"};
  t.countOverride = 2;  // appended, then cut off before the count was written
  Write("APP.DBF", t.Build());
  OrbCursor c = Open("APP");
  EXPECT_EQ(Scan(c), (std::vector<uint32_t>{1, 2}));
  // The next append takes the uncounted slot and leaves nothing after it.
  std::vector<uint8_t> rec = Buffer(c);
  EnginePutField(c, 1, rec.data(), "new");
  ASSERT_EQ(EngineInsertRecord(c, rec.data(), static_cast<uint32_t>(rec.size())), ORB_OK);
  const std::string f = Read("APP.DBF");
  EXPECT_EQ(f.size(), 32u + 32 + 1 + 3 * 11 + 1);
  EXPECT_EQ(f.substr(f.size() - 12), " new       \x1A");
}

TEST_F(TableFormatTest, ProductionIndexFlagWithoutMdxIsRefusedUnlessCleared) {
  DbfBytes t;
  t.fields = {{"NAME", 'C', 10, 0}};
  t.records = {"one"};
  t.productionFlag = 1;
  Write("FLAG.DBF", t.Build());
  OrbCursor c = 0;
  EXPECT_EQ(EngineOpenTable(db_, "FLAG", ORB_OPEN_SHARED, &c), ORB_ERR_INDEX_MISSING);

  // A hook may let the table open in natural order instead.
  orb::SetMissingIndexHook([](orb::Table&) -> OrbResult { return ORB_OK; });
  EXPECT_EQ(EngineOpenTable(db_, "FLAG", ORB_OPEN_SHARED, &c), ORB_OK);
  EngineCloseCursor(c);
  orb::SetMissingIndexHook(nullptr);

  // With byte 28 = 0 a stray .MDX is ignored.
  t.productionFlag = 0;
  Write("FLAG.DBF", t.Build());
  Write("FLAG.MDX", "not an index");
  EXPECT_EQ(EngineOpenTable(db_, "FLAG", ORB_OPEN_SHARED, &c), ORB_OK);
  EngineCloseCursor(c);
}

TEST_F(TableFormatTest, IndexModuleKeepsTheHeaderFlags) {
  MakeTable("FLAGS", {Field("A", 'C', 4), Field("B", 'N', 5)});
  std::shared_ptr<orb::Table> t;
  ASSERT_EQ(orb::Table::Acquire(Dir() / "FLAGS.DBF", ORB_OPEN_EXCLUSIVE, &t), ORB_OK);
  ASSERT_EQ(t->SetFieldIndexFlag(2, true), ORB_OK);
  ASSERT_EQ(t->SetProductionFlag(true), ORB_OK);
  EXPECT_TRUE(t->FieldIndexFlag(2));
  EXPECT_FALSE(t->FieldIndexFlag(1));
  EXPECT_EQ(t->SetFieldIndexFlag(3, true), ORB_ERR_NO_SUCH_FIELD);
  t->Release(ORB_OPEN_EXCLUSIVE);
  t.reset();
  const std::string f = Read("FLAGS.DBF");
  EXPECT_EQ(f[28], 1);
  EXPECT_EQ(f[32 + 32 + 31], 1);
  EXPECT_EQ(f[32 + 31], 0);
}

TEST_F(TableFormatTest, MissingMemoFileIsRefused) {
  DbfBytes t;
  t.version = 0x8B;
  t.fields = {{"NOTES", 'M', 10, 0}};
  t.records = {"         1"};
  Write("NOMEMO.DBF", t.Build());
  OrbCursor c = 0;
  EXPECT_EQ(EngineOpenTable(db_, "NOMEMO", ORB_OPEN_SHARED, &c), ORB_ERR_MEMO_MISSING);
}

TEST_F(TableFormatTest, DamagedMemoBlocksAreReportedNotFollowed) {
  std::vector<uint32_t> blocks;
  std::string memo = Dbase4Memo({"fine"}, &blocks);
  DbfBytes t;
  t.version = 0x8B;
  t.fields = {{"NOTES", 'M', 10, 0}};
  t.records = {"         1", "       900"};  // the second points past the file
  Write("DMG.DBF", t.Build());
  memo[512 + 4] = '\xFF';  // length beyond the file
  memo[512 + 5] = '\xFF';
  Write("DMG.DBT", memo);
  OrbCursor c = Open("DMG");
  std::vector<uint8_t> rec = Buffer(c);
  for (int i = 0; i < 2; ++i) {
    ASSERT_EQ(EngineGetNextRecord(c, rec.data(), static_cast<uint32_t>(rec.size()), nullptr), ORB_OK);
    uint32_t size = 0;
    EXPECT_EQ(EngineGetBlobSize(c, rec.data(), 1, &size), ORB_ERR_MEMO_CORRUPT);
  }
}

}  // namespace
}  // namespace engine_test
