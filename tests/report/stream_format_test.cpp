#include <gtest/gtest.h>

#include "report/stream_format.h"

using namespace report;

namespace {

TEST(StreamFormat, OperandsAreLittleEndianAndBounded) {
  MemoryStream s;
  StreamWriter w(s);
  w.Byte(0x81);
  w.Int(-2);
  w.Float(1.5f);
  w.String("ab");
  w.String(std::string(300, 'x'));
  const std::string& b = s.Bytes();
  EXPECT_EQ(b.substr(0, 13), std::string("\x81\xFE\xFF\xFF\xFF\x00\x00\xC0\x3F\x02" "ab", 12) + "\xFF");
  EXPECT_EQ(b.size(), 12u + 1 + 255);
  s.Seek(0);
  StreamReader r(s);
  EXPECT_EQ(r.Byte(), 0x81);
  EXPECT_EQ(r.Int(), -2);
  EXPECT_EQ(r.Float(), 1.5f);
  EXPECT_EQ(r.String(), "ab");
  EXPECT_EQ(r.String().size(), 255u);
  EXPECT_THROW(r.Byte(), StreamError);
}

}  // namespace

namespace {

// A stream of `pages` pages, each with a move, a line and a text, with links.
std::string TwoPageStream(int pages = 2) {
  MemoryStream s;
  StreamWriter w(s);
  FileHeader h;
  h.pageCount = pages;
  WriteFileHeader(w, h);
  int32_t previous = 0;
  std::vector<uint64_t> nextLinks;
  for (int p = 1; p <= pages; ++p) {
    uint64_t start = s.Position();
    if (!nextLinks.empty()) {
      s.Seek(nextLinks.back());
      w.Int(static_cast<int32_t>(start));
      s.Seek(start);
    }
    w.Byte(rcPageStart);
    w.Int(previous);
    nextLinks.push_back(s.Position());
    w.Int(0);
    w.Int(p);
    w.Byte(0);
    WriteRecord(w, Record{rcMoveTo, {{1, 1}}, {}, {}, {}, {}, {}, false});
    WriteRecord(w, Record{rcPolyline, {{1, 1}, {2, 2}}, {2}, {}, {}, {}, {}, false});
    WriteRecord(w, Record{rcTextLeft, {}, {}, {1.5f, 2.5f}, {}, "text", {}, false});
    w.Byte(rcPageEnd);
    previous = static_cast<int32_t>(start);
  }
  return s.Bytes();
}

TEST(StreamFormat, RecordsOfEveryCodeRoundTrip) {
  StreamGraphic g{1, "BMxx"};  // a bitmap
  std::vector<Record> records = {
      {rcArc, {{1, 2}, {3, 4}, {5, 6}, {7, 8}}, {}, {}, {}, {}, {}, false},
      {rcBrushCopy, {{1, 2}, {3, 4}, {0, 0}, {8, 8}}, {0x123456}, {}, {}, {}, g, true},
      {rcFloodFill, {{1, 2}}, {0xFF, 1}, {}, {}, {}, {}, false},
      {rcPolygon, {{1, 2}, {3, 4}, {5, 6}}, {3}, {}, {}, {}, {}, false},
      {rcPrintBitmap, {{1, 2}}, {}, {2, 3}, {}, {}, g, true},
      {rcRoundRect, {{1, 2}, {3, 4}}, {}, {0.1f, 0.2f}, {}, {}, {}, false},
      {rcTextRect, {{1, 2}, {3, 4}, {1.5f, 3}}, {}, {}, {}, "clip", {}, false},
      {rcBrush, {}, {7}, {}, {1, 1}, {}, g, true},
      {rcBrushBitmap, {}, {}, {}, {0}, {}, {}, false},
      {rcFont, {}, {0xFF}, {0.5f}, {2, 1, 0, 1, 0}, "Arial", {}, false},
      {rcPen, {}, {0xFF00}, {0.01f}, {4, 0}, {}, {}, false},
      {rcPrintData, {}, {}, {}, {}, std::string("\x1b" "E", 2), {}, false},
      {rcPageEnd, {}, {}, {}, {}, {}, {}, false},
  };
  MemoryStream s;
  StreamWriter w(s);
  for (const Record& r : records) WriteRecord(w, r);
  s.Seek(0);
  StreamReader in(s);
  for (const Record& r : records) {
    Record got = ReadRecord(in);
    EXPECT_EQ(got.code, r.code);
    EXPECT_EQ(got.points, r.points) << int(r.code);
    EXPECT_EQ(got.ints, r.ints) << int(r.code);
    EXPECT_EQ(got.floats, r.floats) << int(r.code);
    EXPECT_EQ(got.bytes, r.bytes) << int(r.code);
    EXPECT_EQ(got.text, r.text) << int(r.code);
    EXPECT_EQ(got.hasGraphic, r.hasGraphic) << int(r.code);
    if (r.hasGraphic) {
      EXPECT_EQ(got.graphic, r.graphic);
    }
  }
  EXPECT_EQ(s.Position(), s.Size());
}

TEST(StreamFormat, ValidatorFollowsTheLinks) {
  MemoryStream s(TwoPageStream(3));
  StreamSummary summary = ValidateStream(s);
  ASSERT_EQ(summary.pages.size(), 3u);
  EXPECT_EQ(summary.pages[0].previous, 0);
  EXPECT_EQ(summary.pages[1].previous, static_cast<int32_t>(summary.pages[0].position));
  EXPECT_EQ(summary.pages[0].next, static_cast<int32_t>(summary.pages[1].position));
  EXPECT_EQ(summary.pages[2].next, 0);
  EXPECT_EQ(summary.records, 12u);
}

TEST(StreamFormat, DamageIsRefusedWithItsReason) {
  const std::string good = TwoPageStream();
  MemoryStream g(good);
  StreamSummary summary = ValidateStream(g);
  uint64_t p1 = summary.pages[0].position, p2 = summary.pages[1].position;
  auto patchInt = [](std::string s, uint64_t at, int32_t v) {
    for (int i = 0; i < 4; ++i) s[at + i] = char((uint32_t(v) >> (8 * i)) & 0xFF);
    return s;
  };
  auto patchByte = [](std::string s, uint64_t at, char v) {
    s[at] = v;
    return s;
  };
  struct Case {
    const char* name;
    std::string bytes;
    const char* message;
  };
  std::vector<Case> cases = {
      {"empty", "", kUnexpectedEnd},
      {"header code", patchByte(good, 0, 80), kUnexpectedCode},
      {"page count", patchInt(good, 1, 3), kBadPageCount},
      {"negative count", patchInt(good, 1, -1), kBadPageCount},
      {"page start code", patchByte(good, p1, 81), kUnexpectedCode},
      {"record code", patchByte(good, p1 + 14, 99), kUnexpectedCode},
      {"next link to itself", patchInt(good, p1 + 5, static_cast<int32_t>(p1)), kBadPageLink},
      {"next link past the end", patchInt(good, p1 + 5, 1 << 30), kBadPageLink},
      {"next link into a record", patchInt(good, p1 + 5, static_cast<int32_t>(p1 + 14)), kUnexpectedCode},
      {"previous link", patchInt(good, p2 + 1, 7), kBadPageLink},
      {"point count too large", patchInt(good, p1 + 14 + 9 + 1, 1 << 28), kUnexpectedEnd},
      {"point count negative", patchInt(good, p1 + 14 + 9 + 1, -4), kUnexpectedCode},
      {"cut inside a record", good.substr(0, good.size() - 3), kUnexpectedEnd},
      {"cut before the end record", good.substr(0, good.size() - 1), kUnexpectedEnd},
  };
  for (const Case& c : cases) {
    MemoryStream s(c.bytes);
    try {
      ValidateStream(s);
      ADD_FAILURE() << c.name << ": accepted";
    } catch (const StreamError& e) {
      EXPECT_STREQ(e.what(), c.message) << c.name;
    }
  }
}

TEST(StreamFormat, EveryPrefixOfAStreamIsRefusedOrComplete) {
  const std::string good = TwoPageStream();
  for (size_t n = 0; n < good.size(); ++n) {
    MemoryStream s(good.substr(0, n));
    EXPECT_THROW(ValidateStream(s), StreamError) << n;
  }
}

TEST(StreamFormat, TruncateDropsTheTail) {
  MemoryStream s(std::string("abcdef"));
  s.Seek(2);
  s.Truncate();
  EXPECT_EQ(s.Bytes(), "ab");
  s.Seek(4);
  StreamWriter(s).Byte('x');
  EXPECT_EQ(s.Bytes(), std::string("ab\0\0x", 5));
}

}  // namespace
