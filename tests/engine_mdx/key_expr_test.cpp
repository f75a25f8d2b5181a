#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <string>

#include "mdx/key_expr.h"
#include "mdx_test_table.h"

using namespace orb::mdx;
using mdx_test::MemTable;

namespace {

std::string Eval(const KeyExpression& e, const uint8_t* rec) {
  std::string key(e.keyLength(), '\0');
  e.Evaluate(rec, reinterpret_cast<uint8_t*>(key.data()));
  return key;
}

std::string Pad(std::string s, size_t n) {
  s.resize(n, ' ');
  return s;
}

}  // namespace

// The sort expressions the inventory builds from its sort levels, on one record.
TEST(KeyExpression, InventorySortExpressions) {
  MemTable t = MemTable::Inventory();
  uint32_t r = t.Add({{"Category", "Tools"}, {"Cost", "12.5"}, {"Item", "hammer"}, {"Brand", "Acm\xE9"},
                      {"PurchDate", "19940203"}, {"Quantity", "3"}});
  struct Row {
    const char* expr;
    uint16_t length;
    std::string key;
  } rows[] = {
      {"Upper(Left(Category,80))", 20, Pad("TOOLS", 20)},
      {"Upper(Left(Category,40))+STR(Cost,12,2)", 32, Pad("TOOLS", 20) + "       12.50"},
      {"Upper(Left(Item,20))+Upper(Left(Brand,20))+STR(Cost,12,2)+DTOS(PurchDate)", 60,
       Pad("HAMMER", 20) + Pad("ACM\xC9", 20) + "       12.50" + "19940203"},
      {"Upper(Left(Item,26))+STR(Quantity,12,0)+Upper(Left(Brand,26))", 58,
       Pad("HAMMER", 26) + "           3" + Pad("ACM\xC9", 20)},
      {"upper(left(CATEGORY,3))", 3, "TOO"},
      {"LEFT(item,4)+DTOS(WarDate)", 12, "hamm        "},
      {"Category", 20, Pad("Tools", 20)},
      {"( Upper( Category ) )", 20, Pad("TOOLS", 20)},
      {"STR(Cost)", 10, "        13"},
      {"STR(Cost,6,1)", 6, "  12.5"},
  };
  for (const Row& row : rows) {
    KeyExpression e;
    MdxStatus st = KeyExpression::Compile(row.expr, t.fields(), t.recordLength(), e);
    ASSERT_TRUE(st.ok()) << row.expr << ": " << st.message;
    EXPECT_EQ(e.type(), KeyType::kCharacter) << row.expr;
    EXPECT_EQ(e.keyLength(), row.length) << row.expr;
    EXPECT_EQ(Eval(e, t.Record(r)), row.key) << row.expr;
  }
}

TEST(KeyExpression, SingleFieldKeysTakeTheFieldsType) {
  MemTable t = MemTable::Inventory();
  struct Row {
    const char* expr;
    KeyType type;
    uint16_t length;
    int plain;
  } rows[] = {
      {"COST", KeyType::kNumeric, 12, 10},
      {"quantity", KeyType::kNumeric, 12, 8},
      {"PurchDate", KeyType::kDate, 8, 9},
      {"Category", KeyType::kCharacter, 20, 11},
      {"Upper(Category)", KeyType::kCharacter, 20, -1},
  };
  for (const Row& row : rows) {
    KeyExpression e;
    ASSERT_TRUE(KeyExpression::Compile(row.expr, t.fields(), t.recordLength(), e).ok()) << row.expr;
    EXPECT_EQ(e.type(), row.type) << row.expr;
    EXPECT_EQ(e.keyLength(), row.length) << row.expr;
    EXPECT_EQ(e.plainField(), row.plain) << row.expr;
  }
}

TEST(KeyExpression, RejectsWhatCannotBeAKey) {
  MemTable t({{"NAME", 'C', 10, 0}, {"QTY", 'N', 5, 0}, {"OK", 'L', 1, 0}, {"LONG", 'C', 120, 0},
              {"NOTES", 'M', 10, 0}});
  const char* bad[] = {"",           "Nmae",           "Upper(Qty)",      "Name+Qty",   "Long",
                       "Left(Long)", "Left(Name,x)",   "Frob(Name)",      "Name Name",  "Upper(Name",
                       "OK",         "Notes",          "Str(Name,5)",     "DTOS(Name)", "Str(Qty,0)",
                       "Name+",      "Left(Name,999999)"};
  for (const char* expr : bad) {
    KeyExpression e;
    MdxStatus st = KeyExpression::Compile(expr, t.fields(), t.recordLength(), e);
    EXPECT_EQ(st.code, MdxCode::kBadExpression) << "\"" << expr << "\"";
    EXPECT_FALSE(st.message.empty()) << expr;
  }
}

TEST(KeyExpression, StrRoundsAlignsAndOverflowsAsDbaseDoes) {
  struct Row {
    const char* number;
    int len, dec;
    const char* text;
  } rows[] = {
      {"12.345", 12, 2, "       12.35"},  // half rounds away from zero
      {"2.675", 5, 2, " 2.68"},          // on the decimal text, not a binary double
      {"-12.345", 8, 2, "  -12.35"},
      {"-0.001", 6, 2, "  0.00"},        // no negative zero
      {"99.995", 6, 2, "100.00"},
      {"999.995", 6, 2, "1000.0"},       // decimals give way before the number overflows
      {"3.14159", 4, 2, "3.14"},
      {"123456", 5, 0, "*****"},
      {"-1234", 4, 0, "****"},
      {"", 5, 0, "    0"},
      {"   ", 6, 2, "  0.00"},
      {"0.5", 3, 0, "  1"},
      {"7", 10, 0, "         7"},
      {"***", 4, 0, "   0"},
      {"00042.10", 6, 1, "  42.1"},
  };
  for (const Row& row : rows)
    EXPECT_EQ(FormatStr(row.number, row.len, row.dec), row.text)
        << "STR(" << row.number << "," << row.len << "," << row.dec << ")";
}

// A key reads STR of a field as the field's own text when that text is
// already the result; every other text goes through the rounding above.
TEST(KeyExpression, StrOfAFieldAgreesWithTheFormatForEveryText) {
  MemTable t({{"COST", 'N', 8, 2}, {"QTY", 'N', 5, 0}});
  const char* costs[] = {"12.50", "0.00", "-0.00", "-3.25", "0012.50", ".50", "+1.00", "- 1.00", "1.5",
                         "1.500", "1.5x", "12345.67", "-1234.56", "", "***", "0.05", "-0.05", "1..00"};
  const char* quantities[] = {"7", "0", "-0", "-12", "007", "99999", "1.0", "+3", "-"};
  KeyExpression cost, wider, qty;
  ASSERT_TRUE(KeyExpression::Compile("STR(Cost,8,2)", t.fields(), t.recordLength(), cost).ok());
  ASSERT_TRUE(KeyExpression::Compile("STR(Cost,10,1)", t.fields(), t.recordLength(), wider).ok());
  ASSERT_TRUE(KeyExpression::Compile("STR(Qty,5)", t.fields(), t.recordLength(), qty).ok());
  auto eval = [](const KeyExpression& e, const uint8_t* rec) {
    std::string k(e.keyLength(), '\0');
    e.Evaluate(rec, reinterpret_cast<uint8_t*>(k.data()));
    return k;
  };
  for (const char* c : costs) {
    const uint32_t r = t.Add({{"COST", c}});
    const std::string text(reinterpret_cast<const char*>(t.Record(r)) + t.fields()[0].offset, 8);
    EXPECT_EQ(eval(cost, t.Record(r)), FormatStr(text, 8, 2)) << "\"" << text << "\"";
    EXPECT_EQ(eval(wider, t.Record(r)), FormatStr(text, 10, 1)) << "\"" << text << "\"";
  }
  for (const char* q : quantities) {
    const uint32_t r = t.Add({{"QTY", q}});
    const std::string text(reinterpret_cast<const char*>(t.Record(r)) + t.fields()[1].offset, 5);
    EXPECT_EQ(eval(qty, t.Record(r)), FormatStr(text, 5, 0)) << "\"" << text << "\"";
  }
}

TEST(KeyExpression, DtosGivesBlanksForBlankOrInvalidDates) {
  MemTable t({{"WHEN", 'D', 8, 0}});
  KeyExpression e;
  ASSERT_TRUE(KeyExpression::Compile("DTOS(When)", t.fields(), t.recordLength(), e).ok());
  struct Row {
    const char* stored;
    const char* key;
  } rows[] = {{"19940203", "19940203"}, {"", "        "},         {"19941301", "        "},
              {"20230229", "        "}, {"20240229", "20240229"}, {"1994 2 3", "        "}};
  for (const Row& row : rows) {
    uint32_t r = t.Add({{"WHEN", row.stored}});
    EXPECT_EQ(Eval(e, t.Record(r)), row.key) << row.stored;
  }
}

TEST(KeyExpression, NumericKeysOrderByValue) {
  const char* ascending[] = {"-1000000", "-100", "-5.5", "-5.25", "-0.01", "0",   "0.001", "0.01",
                             "0.5",      "3",    "12.5", "100",   "101",   "1e3", "99999999999"};
  // "1e3" reads as 1: the field text stops at the letter.
  std::vector<std::vector<uint8_t>> keys;
  for (const char* v : ascending) {
    std::vector<uint8_t> k(kNumericKeyLength);
    MakeNumericKey(v, k.data());
    keys.push_back(k);
  }
  auto sorted = keys;
  std::stable_sort(sorted.begin(), sorted.end(), [](const auto& a, const auto& b) {
    return CompareKeys(KeyType::kNumeric, a.data(), b.data(), kNumericKeyLength) < 0;
  });
  std::vector<std::string> got;
  for (const auto& k : sorted) got.push_back(ascending[std::find(keys.begin(), keys.end(), k) - keys.begin()]);
  std::vector<std::string> want = {"-1000000", "-100", "-5.5", "-5.25", "-0.01", "0",   "0.001", "0.01",
                                   "0.5",      "1e3",  "3",    "12.5",  "100",   "101", "99999999999"};
  EXPECT_EQ(got, want);

  uint8_t k[kNumericKeyLength];
  MakeNumericKey("123.45", k);
  EXPECT_EQ(std::vector<uint8_t>(k, k + 5), (std::vector<uint8_t>{0x37, 0x15, 0x12, 0x34, 0x50}));
  MakeNumericKey("  ", k);
  EXPECT_EQ(std::vector<uint8_t>(k, k + 3), (std::vector<uint8_t>{0x34, 0x01, 0x00}));
  MakeNumericKey("-0.05", k);
  EXPECT_EQ(std::vector<uint8_t>(k, k + 3), (std::vector<uint8_t>{0x33, 0x85, 0x50}));
  uint8_t blank[kNumericKeyLength], zero[kNumericKeyLength];
  MakeNumericKey("", blank);
  MakeNumericKey("0.00", zero);
  EXPECT_EQ(CompareKeys(KeyType::kNumeric, blank, zero, kNumericKeyLength), 0);
}

TEST(KeyExpression, DateKeysHoldTheJulianDay) {
  EXPECT_EQ(JulianDay(2000, 1, 1), 2451545);
  EXPECT_EQ(JulianDay(1994, 2, 3), 2449387);
  uint8_t a[8], b[8], blank[8];
  MakeDateKey("19991231", a);
  MakeDateKey("20000101", b);
  MakeDateKey("        ", blank);
  EXPECT_LT(CompareKeys(KeyType::kDate, a, b, 8), 0);
  EXPECT_LT(CompareKeys(KeyType::kDate, blank, a, 8), 0);  // no date first
  double v;
  std::memcpy(&v, b, 8);  // little-endian host
  EXPECT_EQ(v, 2451545.0);
}

TEST(KeyExpression, UpperFollowsWindows1252) {
  struct Row {
    uint8_t in, out;
  } rows[] = {{'a', 'A'}, {'z', 'Z'}, {'A', 'A'}, {'1', '1'},   {0xE9, 0xC9}, {0xFF, 0x9F},
              {0x9A, 0x8A}, {0x9C, 0x8C}, {0xDF, 0xDF}, {0xB5, 0xB5}, {0xF7, 0xF7}, {0xE0, 0xC0}};
  for (const Row& row : rows) EXPECT_EQ(Upper1252(row.in), row.out) << int(row.in);
}

// Upper() of a field is the table's upper case of each byte, whatever runs
// of ASCII and other bytes the text holds and wherever they start.
TEST(KeyExpression, UpperOfATextIsTheUpperOfEachByte) {
  MemTable t({{"NAME", 'C', 100, 0}});
  KeyExpression e;
  ASSERT_TRUE(KeyExpression::Compile("Upper(NAME)", t.fields(), t.recordLength(), e).ok());
  std::mt19937 rng(3);
  for (int round = 0; round < 300; ++round) {
    std::string text(100, ' ');
    for (char& c : text) {
      // Mostly ASCII, with letters near the ends of a to z.
      const unsigned k = rng() % 8;
      c = static_cast<char>(k == 0 ? 0x80 + rng() % 0x80 : k == 1 ? "`az{@AZ["[rng() % 8] : 0x20 + rng() % 0x5F);
    }
    const uint32_t r = t.Add({{"NAME", text}});
    const std::string key = Eval(e, t.Record(r));
    for (size_t i = 0; i < text.size(); ++i)
      ASSERT_EQ(static_cast<uint8_t>(key[i]), Upper1252(static_cast<uint8_t>(text[i]))) << round << " at " << i;
  }
}

// The evaluator against a straightforward rendering of the same expression.
TEST(KeyExpression, ConcatenationAgreesWithPiecewiseEvaluation) {
  MemTable t = MemTable::Inventory();
  std::mt19937 rng(7);
  const char* cats[] = {"tools", "Kitchen", "garden", "", "électrique"};
  for (int i = 0; i < 50; ++i)
    t.Add({{"Category", cats[rng() % 5]}, {"Cost", std::to_string(rng() % 100000 / 100.0)}, {"Item", "x"}});
  KeyExpression whole, cat, cost;
  ASSERT_TRUE(KeyExpression::Compile("Upper(Left(Category,40))+STR(Cost,12,2)", t.fields(), t.recordLength(), whole).ok());
  ASSERT_TRUE(KeyExpression::Compile("Upper(Category)", t.fields(), t.recordLength(), cat).ok());
  ASSERT_TRUE(KeyExpression::Compile("STR(Cost,12,2)", t.fields(), t.recordLength(), cost).ok());
  for (uint32_t r = 1; r <= t.RecordCount(); ++r)
    EXPECT_EQ(Eval(whole, t.Record(r)), Eval(cat, t.Record(r)) + Eval(cost, t.Record(r)));
}
