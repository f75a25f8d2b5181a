// Cursors: moving, counting, bookmarks, changes, filters, field values.
#include <cstring>

#include "engine_fixture.h"

namespace engine_test {
namespace {

class CursorTest : public EngineTest {
 protected:
  // A table NAME C10, QTY N5 holding names "r1".."rN" with QTY = i.
  OrbCursor Numbered(int n, uint16_t mode = ORB_OPEN_SHARED) {
    MakeTable("NUMS", {Field("NAME", 'C', 10), Field("QTY", 'N', 5)});
    OrbCursor c = Open("NUMS", mode);
    std::vector<uint8_t> rec = Buffer(c);
    for (int i = 1; i <= n; ++i) {
      std::string name = "r" + std::to_string(i);
      double q = i;
      EXPECT_EQ(EnginePutField(c, 1, rec.data(), name.c_str()), ORB_OK);
      EXPECT_EQ(EnginePutField(c, 2, rec.data(), &q), ORB_OK);
      EXPECT_EQ(EngineInsertRecord(c, rec.data(), static_cast<uint32_t>(rec.size())), ORB_OK);
    }
    return c;
  }
  uint32_t Count(OrbCursor c) {
    uint32_t n = 0;
    EXPECT_EQ(EngineGetRecordCount(c, &n), ORB_OK);
    return n;
  }
  uint32_t RecNo(OrbCursor c) {
    OrbRecordInfo info{};
    EXPECT_EQ(EngineGetRecord(c, nullptr, 0, &info), ORB_OK);
    return info.recordNumber;
  }
};

TEST_F(CursorTest, MovesThroughVisibleRecords) {
  OrbCursor c = Numbered(6);
  // Delete r2 and r5: invisible from now on.
  for (uint32_t n : {2u, 5u}) {
    ASSERT_EQ(EngineSetToRecordNo(c, n), ORB_OK);
    ASSERT_EQ(EngineDeleteRecord(c), ORB_OK);
  }
  OrbRecordInfo info{};
  struct Step {
    const char* what;
    OrbResult (*op)(OrbCursor, OrbRecordInfo*);
    OrbResult code;
    uint32_t recno;
  };
  const Step steps[] = {
      {"first", [](OrbCursor k, OrbRecordInfo* i) { return EngineGetFirstRecord(k, nullptr, 0, i); }, ORB_OK, 1},
      {"next skips deleted", [](OrbCursor k, OrbRecordInfo* i) { return EngineGetNextRecord(k, nullptr, 0, i); }, ORB_OK, 3},
      {"move by 2", [](OrbCursor k, OrbRecordInfo* i) { return EngineGetRelativeRecord(k, 2, nullptr, 0, i); }, ORB_OK, 6},
      {"next at the end", [](OrbCursor k, OrbRecordInfo* i) { return EngineGetNextRecord(k, nullptr, 0, i); }, ORB_ERR_EOF, 0},
      {"prior from EOF", [](OrbCursor k, OrbRecordInfo* i) { return EngineGetPriorRecord(k, nullptr, 0, i); }, ORB_OK, 6},
      {"move by -3", [](OrbCursor k, OrbRecordInfo* i) { return EngineGetRelativeRecord(k, -3, nullptr, 0, i); }, ORB_OK, 1},
      {"prior at the start", [](OrbCursor k, OrbRecordInfo* i) { return EngineGetPriorRecord(k, nullptr, 0, i); }, ORB_ERR_BOF, 0},
      {"last", [](OrbCursor k, OrbRecordInfo* i) { return EngineGetLastRecord(k, nullptr, 0, i); }, ORB_OK, 6},
  };
  for (const Step& s : steps) {
    SCOPED_TRACE(s.what);
    info = {};
    EXPECT_EQ(s.op(c, &info), s.code);
    if (s.code == ORB_OK) {
      EXPECT_EQ(info.recordNumber, s.recno);
    }
  }
  EXPECT_EQ(Count(c), 4u);
  EXPECT_EQ(EngineSetToRecordNo(c, 5), ORB_ERR_RECORD_DELETED);

  // Sequence numbers count visible records only.
  ASSERT_EQ(EngineSetToRecordNo(c, 4), ORB_OK);
  uint32_t seq = 0;
  ASSERT_EQ(EngineGetSeqNo(c, &seq), ORB_OK);
  EXPECT_EQ(seq, 3u);
  ASSERT_EQ(EngineSetToSeqNo(c, 4), ORB_OK);
  EXPECT_EQ(RecNo(c), 6u);
  EXPECT_EQ(EngineSetToSeqNo(c, 5), ORB_ERR_EOF);
}

TEST_F(CursorTest, DeletedCurrentRecordLeavesTheCursorBetweenItsNeighbours) {
  OrbCursor c = Numbered(3);
  ASSERT_EQ(EngineSetToRecordNo(c, 2), ORB_OK);
  ASSERT_EQ(EngineDeleteRecord(c), ORB_OK);
  EXPECT_EQ(EngineGetRecord(c, nullptr, 0, nullptr), ORB_ERR_RECORD_DELETED);
  EXPECT_EQ(EngineDeleteRecord(c), ORB_ERR_NO_CURRENT_RECORD);
  // Another cursor counts the deletion too.
  OrbCursor other = Open("NUMS");
  EXPECT_EQ(Count(other), 2u);
  uint32_t n = 0;
  EXPECT_EQ(EngineGetRecordCount(c, &n), ORB_OK);  // counting keeps the position
  OrbRecordInfo info{};
  ASSERT_EQ(EngineGetNextRecord(c, nullptr, 0, &info), ORB_OK);
  EXPECT_EQ(info.recordNumber, 3u);
}

TEST_F(CursorTest, BookmarksReturnToTheirRecord) {
  OrbCursor c = Numbered(5);
  uint8_t a[ORB_BOOKMARK_SIZE], b[ORB_BOOKMARK_SIZE];
  ASSERT_EQ(EngineSetToRecordNo(c, 2), ORB_OK);
  ASSERT_EQ(EngineGetBookmark(c, a, sizeof a), ORB_OK);
  ASSERT_EQ(EngineSetToRecordNo(c, 4), ORB_OK);
  ASSERT_EQ(EngineGetBookmark(c, b, sizeof b), ORB_OK);
  int32_t cmp = 0;
  ASSERT_EQ(EngineCompareBookmarks(c, a, b, &cmp), ORB_OK);
  EXPECT_LT(cmp, 0);
  ASSERT_EQ(EngineSetToBookmark(c, a), ORB_OK);
  EXPECT_EQ(RecNo(c), 2u);
  uint8_t junk[ORB_BOOKMARK_SIZE] = {1, 2, 3};
  EXPECT_EQ(EngineSetToBookmark(c, junk), ORB_ERR_INVALID_PARAM);
  EngineSetToBegin(c);
  EXPECT_EQ(EngineGetBookmark(c, a, sizeof a), ORB_ERR_NO_CURRENT_RECORD);
}

TEST_F(CursorTest, ModifyRewritesTheCurrentRecord) {
  OrbCursor c = Numbered(3);
  std::vector<uint8_t> rec = Buffer(c);
  ASSERT_EQ(EngineSetToRecordNo(c, 2), ORB_OK);
  ASSERT_EQ(EngineGetRecord(c, rec.data(), static_cast<uint32_t>(rec.size()), nullptr), ORB_OK);
  ASSERT_EQ(EnginePutField(c, 1, rec.data(), "changed"), ORB_OK);
  ASSERT_EQ(EngineModifyRecord(c, rec.data(), static_cast<uint32_t>(rec.size())), ORB_OK);
  OrbCursor other = Open("NUMS", ORB_OPEN_READ_ONLY);
  ASSERT_EQ(EngineSetToRecordNo(other, 2), ORB_OK);
  std::vector<uint8_t> seen = Buffer(other);
  ASSERT_EQ(EngineGetRecord(other, seen.data(), static_cast<uint32_t>(seen.size()), nullptr), ORB_OK);
  EXPECT_EQ(Text(other, 1, seen.data()), "changed");
  EXPECT_EQ(EngineModifyRecord(other, seen.data(), static_cast<uint32_t>(seen.size())), ORB_ERR_READ_ONLY);
  EXPECT_EQ(EngineInsertRecord(other, seen.data(), static_cast<uint32_t>(seen.size())), ORB_ERR_READ_ONLY);
}

TEST_F(CursorTest, FieldValuesRoundTripAndRefuseWhatDoesNotFit) {
  MakeTable("VALS", {Field("NAME", 'C', 5), Field("QTY", 'N', 0), Field("COST", 'N', 8, 2), Field("WHEN", 'D', 8),
                     Field("OK", 'L', 1), Field("RATE", 'F', 0)});
  OrbCursor c = Open("VALS");
  OrbFieldDesc descs[6];
  uint16_t n = 0;
  ASSERT_EQ(EngineGetFieldDescs(c, 6, descs, &n), ORB_OK);
  EXPECT_EQ(descs[1].width, ORB_DEFAULT_INT_WIDTH);  // width 0 takes the defaults
  EXPECT_EQ(descs[5].width, ORB_DEFAULT_FLOAT_WIDTH);
  EXPECT_EQ(descs[5].decimals, 2);
  std::vector<uint8_t> rec = Buffer(c);

  struct Put {
    const char* what;
    uint16_t field;
    double number;
    const char* text;
    int32_t day;
    OrbResult code;
  };
  const Put puts[] = {
      {"text that fits with trailing blanks", 1, 0, "abcde   ", 0, ORB_OK},
      {"text one too long", 1, 0, "abcdef", 0, ORB_ERR_VALUE_TOO_LONG},
      {"number at the width", 3, 99999.99, nullptr, 0, ORB_OK},
      {"number past the width", 3, 100000.0, nullptr, 0, ORB_ERR_VALUE_RANGE},
      {"negative", 2, -42, nullptr, 0, ORB_OK},
      {"day 1", 4, 0, nullptr, 1, ORB_OK},
      {"day after 9999-12-31", 4, 0, nullptr, 3652060, ORB_ERR_VALUE_RANGE},
  };
  for (const Put& p : puts) {
    SCOPED_TRACE(p.what);
    std::vector<uint8_t> before = rec;
    OrbResult r = p.text != nullptr ? EnginePutField(c, p.field, rec.data(), p.text)
                  : p.field == 4    ? EnginePutField(c, p.field, rec.data(), &p.day)
                                    : EnginePutField(c, p.field, rec.data(), &p.number);
    EXPECT_EQ(r, p.code);
    if (r != ORB_OK) {
      EXPECT_EQ(rec, before);  // a refused value leaves the buffer alone
    }
  }
  int16_t yes = 1;
  ASSERT_EQ(EnginePutField(c, 5, rec.data(), &yes), ORB_OK);
  ASSERT_EQ(EngineInsertRecord(c, rec.data(), static_cast<uint32_t>(rec.size())), ORB_OK);
  ASSERT_EQ(EngineGetFirstRecord(c, rec.data(), static_cast<uint32_t>(rec.size()), nullptr), ORB_OK);
  EXPECT_EQ(Text(c, 1, rec.data()), "abcde");
  EXPECT_EQ(Number(c, 2, rec.data()), -42);
  EXPECT_EQ(Number(c, 3, rec.data()), 99999.99);
  int32_t day = 0, blank = -1;
  ASSERT_EQ(EngineGetField(c, 4, rec.data(), &day, sizeof day, &blank), ORB_OK);
  EXPECT_EQ(day, 1);
  ASSERT_EQ(EngineGetField(c, 6, rec.data(), &day, sizeof day, &blank), ORB_ERR_BUFFER_TOO_SMALL);
  double rate = -1;
  ASSERT_EQ(EngineGetField(c, 6, rec.data(), &rate, sizeof rate, &blank), ORB_OK);
  EXPECT_EQ(blank, 1);
  EXPECT_EQ(EngineGetField(c, 7, rec.data(), &rate, sizeof rate, &blank), ORB_ERR_NO_SUCH_FIELD);
  char small[3];
  EXPECT_EQ(EngineGetField(c, 1, rec.data(), small, sizeof small, &blank), ORB_ERR_BUFFER_TOO_SMALL);
  EXPECT_STREQ(small, "ab");  // never past the buffer
}

// Numbers are stored as the user typed them, rounded half away from zero
// at the field's decimals (as dBASE does), not by the binary value's last
// bits: 1.005 (held as 1.00499999...) is 1.01, 0.125 is 0.13.
TEST_F(CursorTest, NumbersAreRoundedHalfAwayFromZeroAtTheirDecimals) {
  MakeTable("ROUND", {Field("COST", 'N', 8, 2), Field("QTY", 'N', 5), Field("AREA", 'F', 6, 1)});
  OrbCursor c = Open("ROUND");
  std::vector<uint8_t> rec = Buffer(c);
  struct Case {
    uint16_t field;
    double value;
    const char* stored;  // the field's bytes; null when refused
  };
  const Case cases[] = {
      {1, 1.005, "    1.01"},   {1, 0.125, "    0.13"},    {1, -0.125, "   -0.13"},
      {1, 19.995, "   20.00"},  {1, 0.1 + 0.2, "    0.30"}, {1, -0.004, "    0.00"},
      {1, 1234.5, " 1234.50"},  {1, 99999.995, nullptr},    {1, -9999.99, "-9999.99"},
      {2, 2.5, "    3"},        {2, -2.5, "   -3"},         {2, 99999.4, "99999"},
      {2, 99999.5, nullptr},    {2, 1e20, nullptr},         {3, 0.05, "   0.1"},
      {3, 1e-300, "   0.0"},    {3, -1e-300, "   0.0"},     {3, 2.25, "   2.3"},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(std::to_string(k.field) + ": " + std::to_string(k.value));
    EngineInitRecord(c, rec.data(), static_cast<uint32_t>(rec.size()));
    const OrbResult r = EnginePutField(c, k.field, rec.data(), &k.value);
    if (k.stored == nullptr) {
      EXPECT_EQ(r, ORB_ERR_VALUE_RANGE);
      continue;
    }
    ASSERT_EQ(r, ORB_OK);
    const size_t offset = k.field == 1 ? 1 : k.field == 2 ? 9 : 14;
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(rec.data()) + offset, std::strlen(k.stored)), k.stored);
  }
}

TEST_F(CursorTest, DayNumbersAreProlepticGregorian) {
  struct Case {
    int32_t y, m, d, day;
  };
  for (const Case& k : {Case{1, 1, 1, 1}, Case{1, 12, 31, 365}, Case{2, 1, 1, 366}, Case{1900, 3, 1, 693655},
                        Case{2000, 2, 29, 730179}, Case{9999, 12, 31, 3652059}}) {
    int32_t day = 0, y, m, d;
    ASSERT_EQ(EngineEncodeDate(k.y, k.m, k.d, &day), ORB_OK);
    EXPECT_EQ(day, k.day) << k.y << "-" << k.m << "-" << k.d;
    ASSERT_EQ(EngineDecodeDate(day, &y, &m, &d), ORB_OK);
    EXPECT_EQ(y * 10000 + m * 100 + d, k.y * 10000 + k.m * 100 + k.d);
  }
  int32_t day;
  EXPECT_EQ(EngineEncodeDate(1900, 2, 29, &day), ORB_ERR_VALUE_RANGE);
}

struct FilterState {
  OrbCursor cursor = 0;
  int calls = 0;
  double keepAbove = 0;
  OrbResult moveResult = ORB_OK;
};

int KeepAbove(void* context, const uint8_t* record, uint32_t) {
  auto* s = static_cast<FilterState*>(context);
  ++s->calls;
  double q = 0;
  int32_t blank = 0;
  if (EngineGetField(s->cursor, 2, record, &q, sizeof q, &blank) != ORB_OK) return 0;
  // Moving the cursor from inside its filter is refused.
  s->moveResult = EngineGetNextRecord(s->cursor, nullptr, 0, nullptr);
  return q > s->keepAbove ? 1 : 0;
}

int KeepOdd(void*, const uint8_t*, uint32_t recno) { return recno % 2; }

TEST_F(CursorTest, CallbackFiltersHideRecordsEverywhere) {
  OrbCursor c = Numbered(10);
  FilterState s;
  s.cursor = c;
  s.keepAbove = 4;
  OrbFilter above = 0, odd = 0;
  ASSERT_EQ(EngineAddFilter(c, &s, 1, 0, nullptr, &KeepAbove, &above), ORB_OK);
  ASSERT_EQ(EngineAddFilter(c, nullptr, 2, 0, nullptr, &KeepOdd, &odd), ORB_OK);
  EXPECT_EQ(Count(c), 10u);  // added filters start inactive

  struct Case {
    const char* what;
    bool aboveOn, oddOn;
    std::vector<uint32_t> seen;
  };
  const Case cases[] = {
      {"above 4", true, false, {5, 6, 7, 8, 9, 10}},
      {"both", true, true, {5, 7, 9}},
      {"odd only", false, true, {1, 3, 5, 7, 9}},
      {"none", false, false, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10}},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.what);
    ASSERT_EQ(k.aboveOn ? EngineActivateFilter(c, above) : EngineDeactivateFilter(c, above), ORB_OK);
    ASSERT_EQ(k.oddOn ? EngineActivateFilter(c, odd) : EngineDeactivateFilter(c, odd), ORB_OK);
    EXPECT_EQ(Scan(c), k.seen);
    EXPECT_EQ(Count(c), k.seen.size());
    OrbRecordInfo info{};
    ASSERT_EQ(EngineGetLastRecord(c, nullptr, 0, &info), ORB_OK);
    EXPECT_EQ(info.recordNumber, k.seen.back());
  }
  // Sequence numbers count only what the filters keep.
  ASSERT_EQ(EngineActivateFilter(c, odd), ORB_OK);
  ASSERT_EQ(EngineSetToRecordNo(c, 7), ORB_OK);
  uint32_t seq = 0;
  ASSERT_EQ(EngineGetSeqNo(c, &seq), ORB_OK);
  EXPECT_EQ(seq, 4u);
  ASSERT_EQ(EngineSetToSeqNo(c, 2), ORB_OK);
  OrbRecordInfo at{};
  ASSERT_EQ(EngineGetRecord(c, nullptr, 0, &at), ORB_OK);
  EXPECT_EQ(at.recordNumber, 3u);
  ASSERT_EQ(EngineDeactivateFilter(c, odd), ORB_OK);

  EngineActivateFilter(c, above);
  s.calls = 0;
  Scan(c);
  EXPECT_EQ(s.calls, 10);
  EXPECT_EQ(s.moveResult, ORB_ERR_CURSOR_BUSY);

  ASSERT_EQ(EngineDropFilter(c, above), ORB_OK);
  EXPECT_EQ(EngineDropFilter(c, above), ORB_ERR_INVALID_HANDLE);
  EXPECT_EQ(EngineActivateFilter(c, above), ORB_ERR_INVALID_HANDLE);
  ASSERT_EQ(EngineActivateFilter(c, odd), ORB_OK);
  EXPECT_EQ(Count(c), 5u);  // only the odd filter remains

  // Filters belong to their cursor.
  OrbCursor other = Open("NUMS");
  EXPECT_EQ(EngineDropFilter(other, odd), ORB_ERR_INVALID_HANDLE);
  EXPECT_EQ(Count(other), 10u);
}

struct OtherReader {
  OrbCursor self = 0, other = 0;
  std::vector<uint8_t> buffer;
  int calls = 0, wrong = 0;
};

// Reads the filtered table one record ahead through another cursor, which
// moves the blocks the table reads ahead at each block's end, then looks
// at its own record.
int ReadThroughAnotherCursor(void* context, const uint8_t* record, uint32_t recordNumber) {
  auto* s = static_cast<OtherReader*>(context);
  ++s->calls;
  EngineGetNextRecord(s->other, s->buffer.data(), static_cast<uint32_t>(s->buffer.size()), nullptr);
  char name[16];
  int32_t blank = 0;
  EngineGetField(s->self, 1, record, name, sizeof name, &blank);
  if (std::string(name) != "r" + std::to_string(recordNumber)) ++s->wrong;
  return 1;
}

// A walk hands the record from the blocks it read ahead straight to the
// caller's buffer; a callback filter gets a copy of its own, so that
// reading the same table through another cursor (which moves the blocks)
// leaves the record it tests, and the one answered, as they were.
TEST_F(CursorTest, ACallbackFilterReadingTheTableThroughAnotherCursorKeepsItsRecord) {
  DbfBytes t;
  t.fields = {{"NAME", 'C', 10, 0}, {"QTY", 'N', 5, 0}};
  const int records = 9000;  // more than two blocks of reading ahead
  for (int i = 1; i <= records; ++i) {
    std::string name = "r" + std::to_string(i);
    name.resize(10, ' ');
    t.records.push_back(name + "    1");
  }
  Write("MANY.DBF", t.Build());
  OtherReader s;
  s.self = Open("MANY");
  s.other = Open("MANY");
  s.buffer = Buffer(s.other);
  OrbFilter f = 0;
  ASSERT_EQ(EngineAddFilter(s.self, &s, 1, 0, nullptr, &ReadThroughAnotherCursor, &f), ORB_OK);
  ASSERT_EQ(EngineActivateFilter(s.self, f), ORB_OK);
  std::vector<uint8_t> rec = Buffer(s.self);
  ASSERT_EQ(EngineSetToBegin(s.self), ORB_OK);
  ASSERT_EQ(EngineGetNextRecord(s.other, s.buffer.data(), static_cast<uint32_t>(s.buffer.size()), nullptr), ORB_OK);
  int seen = 0, answeredWrong = 0;
  OrbRecordInfo info{};
  while (EngineGetNextRecord(s.self, rec.data(), static_cast<uint32_t>(rec.size()), &info) == ORB_OK) {
    ++seen;
    if (Text(s.self, 1, rec.data()) != "r" + std::to_string(info.recordNumber)) ++answeredWrong;
  }
  EXPECT_EQ(seen, records);
  EXPECT_EQ(s.calls, records);
  EXPECT_EQ(s.wrong, 0);
  EXPECT_EQ(answeredWrong, 0);
}

TEST_F(CursorTest, MalformedExpressionBuffersAreRefusedWithTheirOwnCode) {
  // A well-formed header over three nodes of no known class.
  OrbCursor c = Numbered(1);
  const uint8_t buffer[66] = {1, 0, 66, 0, 3, 0, 10, 0, 52, 0};
  OrbFilter f = 99;
  EXPECT_EQ(EngineAddFilter(c, nullptr, 1, 0, buffer, nullptr, &f), ORB_ERR_FILTER_REFUSED);
  EXPECT_EQ(f, 0u);
  EXPECT_EQ(EngineAddFilter(c, nullptr, 1, 0, nullptr, nullptr, &f), ORB_ERR_INVALID_PARAM);
}

TEST_F(CursorTest, MemosWrittenThroughBlobsAreStoredWithTheRecord) {
  MakeTable("NOTES", {Field("ITEM", 'C', 10), Field("NOTES", 'M', 10)});
  OrbCursor c = Open("NOTES");
  std::vector<uint8_t> rec = Buffer(c);
  const std::string longText(3000, 'q');
  for (const std::string& text : {std::string("short"), longText}) {
    EngineInitRecord(c, rec.data(), static_cast<uint32_t>(rec.size()));
    ASSERT_EQ(EngineOpenBlob(c, rec.data(), 2, ORB_BLOB_READ_WRITE), ORB_OK);
    ASSERT_EQ(EnginePutBlob(c, rec.data(), 2, 0, static_cast<uint32_t>(text.size()),
                            reinterpret_cast<const uint8_t*>(text.data())), ORB_OK);
    ASSERT_EQ(EngineInsertRecord(c, rec.data(), static_cast<uint32_t>(rec.size())), ORB_OK);
    ASSERT_EQ(EngineFreeBlob(c, rec.data(), 2), ORB_OK);
  }
  // Rewrite the first memo shorter: it goes to fresh blocks, so the old
  // text stays whole until the record names the new one.
  ASSERT_EQ(EngineGetFirstRecord(c, rec.data(), static_cast<uint32_t>(rec.size()), nullptr), ORB_OK);
  uint32_t blockBefore = 0;
  int32_t blank = 0;
  EngineGetField(c, 2, rec.data(), &blockBefore, sizeof blockBefore, &blank);
  ASSERT_EQ(EngineOpenBlob(c, rec.data(), 2, ORB_BLOB_READ_WRITE), ORB_OK);
  ASSERT_EQ(EngineTruncateBlob(c, rec.data(), 2, 3), ORB_OK);
  ASSERT_EQ(EngineModifyRecord(c, rec.data(), static_cast<uint32_t>(rec.size())), ORB_OK);
  EngineFreeBlob(c, rec.data(), 2);
  EngineCloseCursor(c);
  open_.clear();

  c = Open("notes", ORB_OPEN_READ_ONLY);
  std::vector<std::string> seen;
  EngineSetToBegin(c);
  while (EngineGetNextRecord(c, rec.data(), static_cast<uint32_t>(rec.size()), nullptr) == ORB_OK) {
    uint32_t size = 0;
    ASSERT_EQ(EngineGetBlobSize(c, rec.data(), 2, &size), ORB_OK);
    std::string text(size, '\0');
    uint32_t got = 0;
    ASSERT_EQ(EngineGetBlob(c, rec.data(), 2, 0, size, reinterpret_cast<uint8_t*>(text.data()), &got), ORB_OK);
    seen.push_back(text);
  }
  EXPECT_EQ(seen, (std::vector<std::string>{"sho", longText}));
  ASSERT_EQ(EngineGetFirstRecord(c, rec.data(), static_cast<uint32_t>(rec.size()), nullptr), ORB_OK);
  uint32_t blockAfter = 0;
  EngineGetField(c, 2, rec.data(), &blockAfter, sizeof blockAfter, &blank);
  EXPECT_NE(blockAfter, blockBefore);
  EXPECT_EQ(EngineOpenBlob(c, rec.data(), 2, ORB_BLOB_READ_WRITE), ORB_ERR_READ_ONLY);
  EXPECT_EQ(EngineOpenBlob(c, rec.data(), 1, ORB_BLOB_READ_ONLY), ORB_ERR_FIELD_TYPE);

  // The .DBT has the dBASE IV layout: the table's name and the block size.
  const std::string dbt = Read("NOTES.DBT");
  EXPECT_EQ(dbt.substr(8, 5), "NOTES");
  EXPECT_EQ(static_cast<uint8_t>(dbt[20]) | static_cast<uint8_t>(dbt[21]) << 8, 512);
  EXPECT_EQ(dbt.substr(512, 4), std::string("\xFF\xFF\x08\x00", 4));
}

// A record buffer read from one record and inserted as a new one (a copy
// of an item) carries the first record's memo block: the new memo must go
// to blocks of its own, never over the memo the first record still uses.
TEST_F(CursorTest, InsertingACopiedBufferLeavesTheOriginalsMemoAlone) {
  MakeTable("COPIES", {Field("ITEM", 'C', 10), Field("NOTES", 'M', 10)});
  OrbCursor c = Open("COPIES");
  std::vector<uint8_t> rec = Buffer(c);
  auto putMemo = [&](const std::string& text) {
    ASSERT_EQ(EngineOpenBlob(c, rec.data(), 2, ORB_BLOB_READ_WRITE), ORB_OK);
    ASSERT_EQ(EngineTruncateBlob(c, rec.data(), 2, 0), ORB_OK);
    ASSERT_EQ(EnginePutBlob(c, rec.data(), 2, 0, static_cast<uint32_t>(text.size()),
                            reinterpret_cast<const uint8_t*>(text.data())), ORB_OK);
  };
  auto memoOf = [&](uint32_t recordNumber) {
    std::vector<uint8_t> r = Buffer(c);
    EXPECT_EQ(EngineSetToRecordNo(c, recordNumber), ORB_OK);
    EXPECT_EQ(EngineGetRecord(c, r.data(), static_cast<uint32_t>(r.size()), nullptr), ORB_OK);
    uint32_t size = 0;
    EXPECT_EQ(EngineGetBlobSize(c, r.data(), 2, &size), ORB_OK);
    std::string text(size, '\0');
    uint32_t got = 0;
    EXPECT_EQ(EngineGetBlob(c, r.data(), 2, 0, size, reinterpret_cast<uint8_t*>(text.data()), &got), ORB_OK);
    return text;
  };
  EngineInitRecord(c, rec.data(), static_cast<uint32_t>(rec.size()));
  EnginePutField(c, 1, rec.data(), "camera");
  putMemo("receipt kept in the drawer");
  ASSERT_EQ(EngineInsertRecord(c, rec.data(), static_cast<uint32_t>(rec.size())), ORB_OK);
  EngineFreeBlob(c, rec.data(), 2);

  // Read it back and insert the copy with a memo of its own (shorter, so it
  // would fit the first record's blocks).
  ASSERT_EQ(EngineGetFirstRecord(c, rec.data(), static_cast<uint32_t>(rec.size()), nullptr), ORB_OK);
  EnginePutField(c, 1, rec.data(), "lens");
  putMemo("serial 42");
  ASSERT_EQ(EngineInsertRecord(c, rec.data(), static_cast<uint32_t>(rec.size())), ORB_OK);
  EngineFreeBlob(c, rec.data(), 2);

  EXPECT_EQ(memoOf(1), "receipt kept in the drawer");
  EXPECT_EQ(memoOf(2), "serial 42");
}

TEST_F(CursorTest, PackRemovesDeletedRecordsKeepingOrder) {
  OrbCursor c = Numbered(10, ORB_OPEN_EXCLUSIVE);
  for (uint32_t n = 1; n <= 10; n += 3) {
    ASSERT_EQ(EngineSetToRecordNo(c, n), ORB_OK);
    ASSERT_EQ(EngineDeleteRecord(c), ORB_OK);
  }
  ASSERT_EQ(EnginePack(db_, c, nullptr, "DBASE", 1), ORB_OK);
  OrbTableInfo info{};
  ASSERT_EQ(EngineGetTableInfo(c, &info), ORB_OK);
  EXPECT_EQ(info.physicalCount, 6u);
  std::vector<std::string> names;
  std::vector<uint8_t> rec = Buffer(c);
  EngineSetToBegin(c);
  while (EngineGetNextRecord(c, rec.data(), static_cast<uint32_t>(rec.size()), nullptr) == ORB_OK) {
    names.push_back(Text(c, 1, rec.data()));
  }
  EXPECT_EQ(names, (std::vector<std::string>{"r2", "r3", "r5", "r6", "r8", "r9"}));
  const std::string f = Read("NUMS.DBF");
  EXPECT_EQ(f.size(), 32u + 64 + 1 + 6 * 16 + 1);
  EXPECT_EQ(static_cast<uint8_t>(f.back()), 0x1A);
}

TEST_F(CursorTest, PackNeedsExclusiveUse) {
  OrbCursor c = Numbered(2);
  EXPECT_EQ(EnginePack(db_, c, nullptr, "DBASE", 1), ORB_ERR_NEED_EXCLUSIVE);
  // By name the table is opened exclusively for the run: refused while open.
  EXPECT_EQ(EnginePack(db_, 0, "NUMS", "DBASE", 1), ORB_ERR_TABLE_IN_USE);
  EngineCloseCursor(c);
  open_.clear();
  EXPECT_EQ(EnginePack(db_, 0, "NUMS", "DBASE", 1), ORB_OK);
}

}  // namespace
}  // namespace engine_test
