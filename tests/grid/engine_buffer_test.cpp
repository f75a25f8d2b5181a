// The engine's reader of filter buffers, on buffers built by hand: what it
// refuses, and how it compares the values it accepts.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "filter_expr.h"
#include "status.h"

namespace gridtest {
namespace {

using orb::FieldInfo;
using orb::FilterExpr;

struct Buf {
  std::vector<uint8_t> b;
  Buf& U16(uint32_t v) {
    b.push_back(static_cast<uint8_t>(v));
    b.push_back(static_cast<uint8_t>(v >> 8));
    return *this;
  }
  Buf& U32(uint32_t v) { return U16(v & 0xFFFF).U16(v >> 16); }
  Buf& Header(uint32_t total, uint32_t count) { return U16(1).U16(total).U16(count).U16(10).U16(10 + count * 14); }
  Buf& Node(uint32_t cls, uint32_t op, uint32_t a, uint32_t b2, uint32_t c) { return U32(cls).U32(op).U16(a).U16(b2).U16(c); }
  Buf& Raw(const void* p, size_t n) {
    b.insert(b.end(), static_cast<const uint8_t*>(p), static_cast<const uint8_t*>(p) + n);
    return *this;
  }
  Buf& Text(const char* s) { return Raw(s, std::strlen(s) + 1); }
  Buf& F64(double d) { return Raw(&d, 8); }
  Buf& I32(int32_t v) { return U32(static_cast<uint32_t>(v)); }
};

// A record layout: BRAND C(10) at 1, PRICE N(8,2) at 11, DAY D at 19,
// OK L at 27, NOTES M(10) at 28.
std::vector<FieldInfo> Fields() {
  return {{"BRAND", 'C', 1, 10, 0, 1}, {"PRICE", 'N', 11, 8, 2, 2}, {"DAY", 'D', 19, 8, 0, 3},
          {"OK", 'L', 27, 1, 0, 4},    {"NOTES", 'M', 28, 10, 0, 5}};
}

std::vector<uint8_t> Record(const char* brand, const char* price, const char* day, char ok) {
  std::vector<uint8_t> r(38, ' ');
  std::memcpy(&r[1], brand, std::strlen(brand));
  std::memcpy(&r[11 + 8 - std::strlen(price)], price, std::strlen(price));
  std::memcpy(&r[19], day, std::strlen(day));
  r[27] = static_cast<uint8_t>(ok);
  return r;
}

// FIELD op constant, the shape the compiler writes for one comparison.
Buf Comparison(uint32_t op, const char* field, uint32_t code, const void* value, uint32_t size) {
  uint32_t nameLen = static_cast<uint32_t>(std::strlen(field)) + 1;
  Buf b;
  b.Header(10 + 42 + nameLen + size, 3).Node(2, op, 28, 14, 0).Node(5, 14, code, size, nameLen).Node(4, 13, 1, 0, 0);
  b.Text(field).Raw(value, size);
  return b;
}

bool Eval(const Buf& buf, const std::vector<uint8_t>& record) {
  std::unique_ptr<FilterExpr> e;
  EXPECT_EQ(FilterExpr::Parse(buf.b.data(), buf.b.size(), Fields(), &e), ORB_OK) << orb::Context();
  return e && e->Matches(record.data());
}

TEST(EngineFilterBuffer, ComparesByTheDecidedRules) {
  const auto sony = Record("Sony", "100.00", "19951201", 'T');
  const auto blank = Record("", "", "", '?');
  const int32_t dec1995 = 728628;  // 1 December 1995
  double hundred = 100, zero = 0;
  int32_t zeroDay = 0;
  int16_t yes = 1;
  struct Case {
    const char* name;
    Buf buf;
    const std::vector<uint8_t>& record;
    bool match;
  } cases[] = {
      {"text equal, trailing blanks ignored", Comparison(3, "BRAND", 1, "Sony  ", 7), sony, true},
      {"text case-sensitive", Comparison(3, "BRAND", 1, "SONY", 5), sony, false},
      {"text byte order", Comparison(6, "BRAND", 1, "Sonz", 5), sony, true},
      {"shorter text first", Comparison(5, "BRAND", 1, "Son", 4), sony, true},
      {"blank text is empty", Comparison(3, "BRAND", 1, "", 1), blank, true},
      {"field name without case", Comparison(3, "brand", 1, "Sony", 5), sony, true},
      {"number", Comparison(7, "PRICE", 7, &hundred, 8), sony, true},
      {"number strictly", Comparison(5, "PRICE", 7, &hundred, 8), sony, false},
      {"blank number is 0", Comparison(3, "PRICE", 7, &zero, 8), blank, true},
      {"date by day number", Comparison(3, "DAY", 2, &dec1995, 4), sony, true},
      {"blank date is 0", Comparison(3, "DAY", 2, &zeroDay, 4), blank, true},
      {"logical", Comparison(3, "OK", 4, &yes, 2), sony, true},
      {"text never equals a number", Comparison(4, "BRAND", 7, &hundred, 8), sony, false},
  };
  for (Case& c : cases) EXPECT_EQ(Eval(c.buf, c.record), c.match) << c.name;
}

TEST(EngineFilterBuffer, RefusesMalformedBuffers) {
  double d = 1;
  Buf good = Comparison(5, "PRICE", 7, &d, 8);
  auto with = [&](size_t at, uint8_t value) {
    Buf b = good;
    b.b[at] = value;
    return b;
  };
  struct Case {
    const char* name;
    Buf buf;
    size_t size;  // bytes handed over; 0 for the whole buffer
    OrbResult code;
  } cases[] = {
      {"shorter than the header", good, 9, ORB_ERR_FILTER_REFUSED},
      {"total beyond the bytes", good, good.b.size() - 1, ORB_ERR_FILTER_REFUSED},
      {"version 2", with(0, 2), 0, ORB_ERR_FILTER_REFUSED},
      {"no nodes", with(4, 0), 0, ORB_ERR_FILTER_REFUSED},
      {"node start moved", with(6, 12), 0, ORB_ERR_FILTER_REFUSED},
      {"literal start moved", with(8, 51), 0, ORB_ERR_FILTER_REFUSED},
      {"unknown operator", with(14, 9), 0, ORB_ERR_FILTER_REFUSED},
      {"child is the node itself", with(18, 0), 0, ORB_ERR_FILTER_REFUSED},
      {"child offset not a node", with(18, 27), 0, ORB_ERR_FILTER_REFUSED},
      {"child beyond the nodes", with(18, 42), 0, ORB_ERR_FILTER_REFUSED},
      {"both children one node", with(20, 28), 0, ORB_ERR_FILTER_REFUSED},
      {"unknown node class", with(38, 7), 0, ORB_ERR_FILTER_REFUSED},
      {"packed decimal constant", with(32, 8), 0, ORB_ERR_FILTER_REFUSED},
      {"constant size wrong for its type", with(34, 4), 0, ORB_ERR_FILTER_REFUSED},
      {"constant beyond the pool", with(36, 7), 0, ORB_ERR_FILTER_REFUSED},
      {"name beyond the pool", with(48, 14), 0, ORB_ERR_FILTER_REFUSED},
      {"unknown field", with(52, 'X'), 0, ORB_ERR_NO_SUCH_FIELD},
  };
  for (Case& c : cases) {
    std::unique_ptr<FilterExpr> e;
    size_t size = c.size ? c.size : c.buf.b.size();
    EXPECT_EQ(FilterExpr::Parse(c.buf.b.data(), size, Fields(), &e), c.code) << c.name;
    EXPECT_EQ(e, nullptr) << c.name;
  }
  std::unique_ptr<FilterExpr> e;
  EXPECT_EQ(FilterExpr::Parse(good.b.data(), good.b.size(), Fields(), &e), ORB_OK);
  // A name whose terminator is missing: the pool ends inside it.
  Buf cut;
  cut.Header(10 + 14 + 5, 1).Node(4, 13, 1, 0, 0).Raw("PRICE", 5);
  EXPECT_EQ(FilterExpr::Parse(cut.b.data(), cut.b.size(), Fields(), &e), ORB_ERR_FILTER_REFUSED);
  Buf memo;
  memo.Header(10 + 14 + 6, 1).Node(4, 13, 1, 0, 0).Text("NOTES");
  EXPECT_EQ(FilterExpr::Parse(memo.b.data(), memo.b.size(), Fields(), &e), ORB_ERR_FIELD_TYPE);
}

TEST(EngineFilterBuffer, LargestTreeOfTheHeaderIsEvaluatedInOnePass) {
  // A right-deep OR chain over the OK field, as many nodes as the 16-bit
  // total allows (10 + n * 14 + 3 <= 65535): no recursion, no stack to run
  // out of.
  const uint32_t n = (65535 - 10 - 3) / 14;
  const uint32_t count = n % 2 == 1 ? n : n - 1;  // binary nodes and leaves alternate
  Buf b;
  b.Header(10 + count * 14 + 3, count);
  for (uint32_t i = 0; i + 1 < count; i += 2) {
    // node i: OR(node i+1 = leaf, node i+2 = the rest)
    b.Node(2, 11, (i + 1) * 14, (i + 2) * 14, 0);
    b.Node(4, 13, 1, 0, 0);
  }
  b.Node(4, 13, 1, 0, 0);
  b.Text("OK");
  ASSERT_EQ(b.b.size(), 10 + count * 14 + 3);
  std::unique_ptr<FilterExpr> e;
  ASSERT_EQ(FilterExpr::Parse(b.b.data(), b.b.size(), Fields(), &e), ORB_OK) << orb::Context();
  EXPECT_TRUE(e->Matches(Record("x", "1", "", 'T').data()));
  EXPECT_FALSE(e->Matches(Record("x", "1", "", 'F').data()));
  // One node more than the total can describe.
  Buf over = b;
  over.b[4] = static_cast<uint8_t>((count + 2) & 0xFF);
  over.b[5] = static_cast<uint8_t>((count + 2) >> 8);
  EXPECT_EQ(FilterExpr::Parse(over.b.data(), over.b.size(), Fields(), &e), ORB_ERR_FILTER_REFUSED);
}

}  // namespace
}  // namespace gridtest
