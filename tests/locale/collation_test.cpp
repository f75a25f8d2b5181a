// Collation: the collation data of the three families, the weighted compare,
// the fast path, sort keys, the dBASE-order and code-order compares and the
// collation settings, on the system locales and on fixture libraries.
#include <algorithm>
#include <cstring>
#include <filesystem>
#include <functional>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "categories.h"
#include "collation/collation_table.h"
#include "locale_object.h"
#include "slw32.h"
#include "sllc_writer.h"
#include "temp_root.h"

namespace {

int Sign(int v) { return v < 0 ? -1 : v > 0 ? 1 : 0; }

// The exports of one family over byte strings (a wide string has one unit
// per byte, as the fixture sources write them).
struct Family {
  int family;

  std::u16string Wide(const std::string& s) const {
    std::u16string w;
    for (char c : s) w.push_back(static_cast<uint8_t>(c));
    return w;
  }
  int16_t Collate(hlocale h, const std::string& a, const std::string& b) const {
    if (family == 1) return SLN_StrCollate(h, a.c_str(), b.c_str());
    if (family == 2) return SLW_StrCollate(h, Wide(a).c_str(), Wide(b).c_str());
    return SLM_StrCollate(h, a.c_str(), b.c_str());
  }
  int16_t NCollate(hlocale h, const std::string& a, uint16_t na, const std::string& b, uint16_t nb) const {
    if (family == 1) return SLN_StrnCollate(h, a.c_str(), na, b.c_str(), nb);
    if (family == 2) return SLW_StrnCollate(h, Wide(a).c_str(), na, Wide(b).c_str(), nb);
    return SLM_StrnCollate(h, a.c_str(), na, b.c_str(), nb);
  }
  int16_t Dbase(hlocale h, const std::string& a, const std::string& b, bool exact) const {
    auto na = static_cast<uint16_t>(a.size()), nb = static_cast<uint16_t>(b.size());
    if (family == 1) return SLN_StrDbaseCompare(h, a.c_str(), na, b.c_str(), nb, exact ? 1 : 0);
    if (family == 2) return SLW_StrDbaseCompare(h, Wide(a).c_str(), na, Wide(b).c_str(), nb, exact ? 1 : 0);
    return SLM_StrDbaseCompare(h, a.c_str(), na, b.c_str(), nb, exact ? 1 : 0);
  }
  // The key's units (narrow bytes, else 16-bit units) and the result.
  std::vector<uint16_t> Key(hlocale h, const std::string& s, uint16_t size, uint16_t* result = nullptr,
                            int bounded = -1) const {
    std::vector<uint16_t> out;
    uint16_t r = 0;
    if (family == 1) {
      std::vector<char> k(size + 1u, '\x7F');
      r = bounded < 0 ? SLN_StrTransform(h, k.data(), s.c_str(), size)
                      : SLN_StrnTransform(h, k.data(), s.c_str(), static_cast<uint16_t>(bounded), size);
      for (uint16_t i = 0; i < r && i < size; ++i) out.push_back(static_cast<uint8_t>(k[i]));
      EXPECT_EQ(k[size], '\x7F') << "written past the destination";
    } else {
      std::vector<SL_WCHAR> k(size + 1u, 0x7F7F);
      std::u16string w = Wide(s);
      if (family == 2)
        r = bounded < 0 ? SLW_StrTransform(h, k.data(), w.c_str(), size)
                        : SLW_StrnTransform(h, k.data(), w.c_str(), static_cast<uint16_t>(bounded), size);
      else
        r = bounded < 0 ? SLM_StrTransform(h, k.data(), s.c_str(), size)
                        : SLM_StrnTransform(h, k.data(), s.c_str(), static_cast<uint16_t>(bounded), size);
      for (uint16_t i = 0; i < r && i < size; ++i) out.push_back(k[i]);
      EXPECT_EQ(k[size], 0x7F7F) << "written past the destination";
    }
    if (result != nullptr) *result = r;
    return out;
  }
};

class Collation : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(_SL_InitClient(1, 1, 1), 0); }
  void TearDown() override { SL_Exit(); }

  void Use(const std::string& source) {
    std::string error;
    std::filesystem::path file = root_.path() / ("C" + std::to_string(files_++) + ".SLL");
    ASSERT_TRUE(sllc::Compile(source, file.string(), false, error)) << error;
    ASSERT_EQ(SL_SetLocaleLibrary(file.c_str(), 1), 0);
  }
  hlocale Open(const std::string& name) {
    hlocale h = nullptr;
    EXPECT_EQ(SL_OpenLocale(&h, SL_LC_COLLATE, name.c_str()), 0) << name;
    return h;
  }
  static SL_COLLATIONSETTINGS Settings(hlocale h, uint16_t request = 2) {
    SL_COLLATIONSETTINGS s{};
    EXPECT_EQ(SL_CollationInfo(h, request, &s), 0);
    return s;
  }
  static void SetFlags(hlocale h, uint16_t flags) {
    SL_COLLATIONSETTINGS s{0, flags, 0, 0};
    ASSERT_EQ(SL_CollationInfo(h, 1, &s), 0);
  }

  testing_support::TempRoot root_;
  int files_ = 0;
};

// A weighted table: letters by primary (a 0x20, b 0x22 ... z 0x52; capitals
// share the primary), "ch" a contraction between c and d, "\xE6" an
// expansion to a e, the hyphen ignorable on level 0, blanks, and the codes
// 0x7E and 0x7F undefined and ignorable. Level 1 carries 4 for a plain
// letter, 5 a capital, 6 an accent (\xE0 is a with an accent), 3 the hyphen.
std::string Weighted(const std::string& name, int family, const std::string& attributes) {
  std::string s = "locale " + name + "\n  family " + std::to_string(family) + "\n";
  s += "  defined ff ff ff ff ff ff ff ff ff ff ff ff ff ff ff 3f\n";
  s += "  category 1 " + name + "\n    collate " + attributes + "\n";
  for (int i = 0; i < 26; ++i) {
    s += "    weight " + std::to_string('a' + i) + " " + std::to_string(0x20 + 2 * i) + " 4\n";
    s += "    weight " + std::to_string('A' + i) + " " + std::to_string(0x20 + 2 * i) + " 5\n";
  }
  s += "    weight 0x20 0x11 4\n    weight 0x2D 0 3\n    weight 0xE0 0x20 6\n";
  s += "    contraction 0x63 ch 0x25 4\n    single 0x63 0x24 4\n";
  s += "    contraction 0xE6 \\xE6 0x20,0x28 4,4\n";
  return s;
}

const Family kFamilies[] = {{1}, {2}, {3}};

TEST_F(Collation, SystemLocalesCompareByCodeWithThePosixSettings) {
  for (const Family& f : kFamilies) {
    SCOPED_TRACE(f.family);
    hlocale h = f.family == 1 ? SLN_GetSysLocale() : f.family == 2 ? SLW_GetSysLocale() : SLM_GetSysLocale();
    SL_COLLATIONSETTINGS s = Settings(h);
    EXPECT_EQ(s.levels, 1);
    EXPECT_EQ(s.compareFlags, 5);
    EXPECT_EQ(s.mode, 1);
    uint16_t low = 9, high = 9;
    ASSERT_EQ(SL_CollationChars(h, &low, &high), 0);
    EXPECT_EQ(low, 0);
    EXPECT_EQ(high, f.family == 1 ? 255 : 0xFFFF);
    EXPECT_EQ(f.Collate(h, "", ""), 0);
    EXPECT_EQ(f.Collate(h, "", "a"), -1);
    EXPECT_EQ(f.Collate(h, "B", "a"), -1);
    EXPECT_EQ(f.Collate(h, "ab", "a"), 1);
    // Bounded: counts 0 and 3; equal over the smaller count.
    EXPECT_EQ(f.NCollate(h, "abc", 0, "abc", 3), -1);
    EXPECT_EQ(f.NCollate(h, "abX", 2, "abY", 2), 0);
    EXPECT_EQ(f.NCollate(h, "abX", 3, "abY", 3), -1);
    if (f.family != 3) {
      EXPECT_EQ(f.Key(h, "abc", 10), (std::vector<uint16_t>{'a', 'b', 'c'}));
    }
    // The mode-1 dBASE compare.
    EXPECT_EQ(f.Dbase(h, "SMITHSON", "SMITH", false), 0);
    EXPECT_LT(f.Dbase(h, "SMITH", "SMITHSON", false), 0);
    EXPECT_EQ(f.Dbase(h, "SMITH  ", "SMITH", true), 0);
    EXPECT_GT(f.Dbase(h, "SMITHSON", "SMITH", true), 0);
    EXPECT_EQ(f.Dbase(h, "A", "", false), 0);
    EXPECT_EQ(f.Dbase(h, "A", "", true), 1);
    EXPECT_EQ(f.Dbase(h, "", "", true), 0);
    EXPECT_EQ(f.Dbase(h, "", "A", false), -1);
    // The front step changes no setting.
    EXPECT_EQ(Settings(h).compareFlags, 5);
  }
  EXPECT_EQ(SL_IsCharDefined(SLN_GetSysLocale(), 'a'), 1);
  EXPECT_EQ(SL_IsCharDefined(SLW_GetSysLocale(), 0xFF), 1);
  EXPECT_EQ(SL_IsCharDefined(SLW_GetSysLocale(), 0x100), 0);
}

TEST_F(Collation, CodeOrderTrimsOnlyWithTheTrimFlagAlone) {
  Use(Weighted("co_N", 1, "0") + Weighted("co_W", 2, "0") + Weighted("co_M", 3, "0"));
  for (const char* name : {"co_N", "co_W", "co_M"}) {
    hlocale h = Open(name);
    const Family f{slw::FromHandle(h)->family()};
    SCOPED_TRACE(f.family);
    SL_COLLATIONSETTINGS code{0, 2, 1, 0};
    ASSERT_EQ(SL_CollationInfo(h, 1, &code), 0);
    EXPECT_EQ(f.Collate(h, "ab ", "ab"), f.family == 3 ? 1 : 0);  // the multi-byte form does not trim
    EXPECT_EQ(f.NCollate(h, "ab  x", 4, "ab", 2), f.family == 3 ? 1 : 0);
    EXPECT_EQ(f.Collate(h, "ab", "ab c"), -1);
    static_cast<slw::TLocale*>(slw::FromHandle(h))->collation.flags = 3;
    EXPECT_EQ(f.Collate(h, "ab ", "ab"), 1);
  }
}

TEST_F(Collation, WeightedCompareOfTheThreeFamilies) {
  Use(Weighted("w_N", 1, "0 0") + Weighted("w_W", 2, "0 0") + Weighted("w_M", 3, "0 0"));
  struct Case {
    const char* a;
    const char* b;
    int16_t expect;
  } cases[] = {
      {"", "", 0},
      {"", "a", -1},
      {"-", "", 2},             // ignorable on level 0 only: level 1 still sees it
      {"a-b", "ab", -2},        // equal on level 0, the hyphen's 3 decides on level 1
      {"ab", "a", 1},
      {"abc", "ABC", -2},
      {"ABC", "abd", -1},
      {"\xE0", "a", 2},
      {"cha", "cz", 1},         // ch sorts between c and d
      {"cha", "da", -1},
      {"cha", "ci", 1},
      {"ca", "cb", -1},         // a c alone takes the closing record's weight
      {"ch", "c", 1},
      {"\xE6", "ae", 0},        // the expansion compares like its two letters
      {"\xE6z", "aez", 0},
      {"\xE6", "af", -1},
      {"a\x7E", "a\x7F", -3},   // all levels tie: the undefined characters decide
      {"a\x7E", "a", 3},
      {"a\x7E" "b", "ab\x7E", 0},
  };
  for (const char* name : {"w_N", "w_W", "w_M"}) {
    hlocale h = Open(name);
    const Family f{slw::FromHandle(h)->family()};
    SCOPED_TRACE(f.family);
    SL_COLLATIONSETTINGS s = Settings(h);
    EXPECT_EQ(s.levels, 2);
    EXPECT_EQ(s.compareFlags, 5);
    EXPECT_EQ(s.mode, 2);
    for (const Case& c : cases) {
      EXPECT_EQ(f.Collate(h, c.a, c.b), c.expect) << c.a << " / " << c.b;
      EXPECT_EQ(f.Collate(h, c.b, c.a), -c.expect) << c.b << " / " << c.a;
    }
    // One level: the accent and case no longer count.
    SL_COLLATIONSETTINGS one{1, 0, 0, 0};
    ASSERT_EQ(SL_CollationInfo(h, 1, &one), 0);
    EXPECT_EQ(f.Collate(h, "abc", "ABC"), 0);
    // Trim: trailing blanks go; blanks only become empty.
    SL_COLLATIONSETTINGS trim{2, 2, 0, 0};
    ASSERT_EQ(SL_CollationInfo(h, 1, &trim), 0);
    EXPECT_EQ(f.Collate(h, "abc  ", "abc"), 0);
    EXPECT_EQ(f.Collate(h, "   ", ""), 0);
    EXPECT_EQ(f.Collate(h, "a b", "ab"), -1);
    // Bounded and buffer forms end at their counts.
    EXPECT_EQ(f.NCollate(h, "abz", 2, "aby", 2), 0);
    EXPECT_EQ(f.NCollate(h, "chx", 1, "ci", 1), 0);  // the contraction does not fit the count
    std::string a = "abz", b = std::string("ab\0q", 4);
    if (f.family == 1) {
      EXPECT_EQ(SLN_BufferCollate(h, a.data(), 2, b.data(), 4), 0);
      EXPECT_EQ(SLN_BufferCollate(h, a.data(), 3, b.data(), 4), 1);
    } else if (f.family == 2) {
      std::u16string wa = f.Wide(a), wb = f.Wide(b);
      EXPECT_EQ(SLW_BufferCollate(h, wa.data(), 4, wb.data(), 8), 0);
      EXPECT_EQ(SLW_BufferCollate(h, wa.data(), 6, wb.data(), 8), 1);
    } else {
      EXPECT_EQ(SLM_BufferCollate(h, a.data(), 2, b.data(), 4), 0);
      EXPECT_EQ(SLM_BufferCollate(h, a.data(), 3, b.data(), 4), 1);
    }
    uint16_t low = 0, high = 0;
    ASSERT_EQ(SL_CollationChars(h, &low, &high), 0);
    EXPECT_EQ(high, f.family == 1 ? 255 : 0xFFFF);
    EXPECT_EQ(SL_IsCharDefined(h, 0x7E), 0);
    EXPECT_EQ(SL_IsCharDefined(h, 0x7D), 1);
    ASSERT_EQ(SL_CloseLocale(&h), 0);
  }
}

TEST_F(Collation, MultiByteBufferEndingInALeadByteComparesAsTheStringOfItsBytes) {
  std::string source = Weighted("lb_M", 3, "0");
  source.insert(source.find("  category"), "  leadbytes 0x81\n");
  Use(source);
  hlocale h = Open("lb_M");
  // A lead byte in a buffer's last counted byte is a character of its own,
  // as before a terminator, and no byte past the count is read (the
  // buffer is a block of its own size).
  const std::vector<char> lead = {'b', '\x81'};
  EXPECT_EQ(SLM_BufferCollate(h, lead.data(), 2, "b\x81", 2), 0);
  EXPECT_EQ(_SLM_BufferCharCompare(h, lead.data(), 2, "b\x81", 2), 0);
  EXPECT_EQ(_SLM_BufferCharCompare(h, lead.data(), 2, "b", 1), 1);  // code 0x81 after the end
  EXPECT_EQ(_SLM_StrCharCompare(h, "b\x81", "b"), 1);
  // A buffer longer than the compare's own room for a copy.
  std::vector<char> longer(3000, 'b');
  longer.back() = '\x81';
  const std::string longerText(longer.begin(), longer.end());
  EXPECT_EQ(_SLM_BufferCharCompare(h, longer.data(), 3000, longerText.c_str(), 3000), 0);
  EXPECT_EQ(_SLM_BufferCharCompare(h, longer.data(), 3000, longerText.c_str(), 2999), 1);
  // Whole, it is the undefined (and ignorable) character 0x8171: the
  // undefined-character pass decides.
  const char a[] = "b\x81q";
  EXPECT_EQ(SLM_BufferCollate(h, a, 3, "b", 1), 2);
  EXPECT_EQ(SLM_StrCollate(h, "\x81" "a", "\x81" "b"), -2);  // 0x8161 against 0x8162, not a against b
  // The blank before it is no trailing blank, in a buffer as in a string.
  SetFlags(h, 2);
  const std::vector<char> blank = {' ', '\x81'};
  EXPECT_EQ(SLM_BufferCollate(h, blank.data(), 2, " \x81", 2), 0);
  EXPECT_EQ(SLM_BufferCollate(h, blank.data(), 2, " ", 1), 1);
  EXPECT_EQ(SLM_StrCollate(h, " \x81", " "), 1);
}

TEST_F(Collation, BackwardAndPositionLevels) {
  Use(Weighted("b_N", 1, "0 2") + Weighted("b_W", 2, "0 2") + Weighted("p_N", 1, "0 0x10") +
      Weighted("p_M", 3, "0 0x10") + Weighted("bp_W", 2, "0 0x12"));
  for (const char* name : {"b_N", "b_W"}) {
    hlocale h = Open(name);
    const Family f{slw::FromHandle(h)->family()};
    // Differences at the first and the last character: the last decides.
    EXPECT_EQ(f.Collate(h, "\xE0" "ba", "ab\xE0"), -2);
    EXPECT_EQ(f.Collate(h, "ab\xE0", "\xE0" "ba"), 2);
    // The string that ends first is smaller even with a pending difference.
    EXPECT_EQ(f.Collate(h, "a-", "\xE0"), 2);
    // Keys: the level's weights reversed.
    EXPECT_EQ(f.Key(h, "abcde", 40), (std::vector<uint16_t>{0x20, 0x22, 0x24, 0x26, 0x28, 4, 4, 4, 4, 4}));
    EXPECT_EQ(f.Key(h, "\xE0" "Bcdef", 40),
              (std::vector<uint16_t>{0x20, 0x22, 0x24, 0x26, 0x28, 0x2A, 4, 4, 4, 4, 5, 6}));
  }
  for (const char* name : {"p_N", "p_M"}) {
    hlocale h = Open(name);
    const Family f{slw::FromHandle(h)->family()};
    SCOPED_TRACE(f.family);
    // The later position sorts after; equal positions compare the weights.
    EXPECT_EQ(f.Collate(h, "Ab", "aB"), 2);
    EXPECT_EQ(f.Collate(h, "a-b", "-ab"), 2);
    EXPECT_EQ(f.Collate(h, "ab", "a-b"), 2);
    std::vector<uint16_t> key = f.Key(h, "a-b", 40);
    if (f.family == 1)
      EXPECT_EQ(key, (std::vector<uint16_t>{0x20, 0x22, 2, 0x02, 0x01, 4, 0x03, 0x01, 3, 0x04, 0x01, 4}));
    else
      EXPECT_EQ(key, (std::vector<uint16_t>{0x20, 0x22, 2, 0x0102, 4, 0x0103, 3, 0x0104, 4}));
    // A contraction counts all its characters; its weights carry the last one's position.
    key = f.Key(h, "chA", 40);
    if (f.family == 1) {
      EXPECT_EQ(key, (std::vector<uint16_t>{0x25, 0x20, 2, 0x03, 0x01, 4, 0x04, 0x01, 5}));
    }
  }
  // Backward and position together: entries reversed whole behind the marker.
  hlocale h = Open("bp_W");
  const Family f{2};
  EXPECT_EQ(f.Key(h, "aB", 40), (std::vector<uint16_t>{0x20, 0x22, 2, 0x0103, 5, 0x0102, 4}));
  int16_t r = f.Collate(h, "aB", "Ab");
  EXPECT_TRUE(r == 2 || r == -2);
}

TEST_F(Collation, SortKeysOfTheWeightedModes) {
  Use(Weighted("k_N", 1, "0") + Weighted("k_W", 2, "0") + Weighted("k_M", 3, "0"));
  for (const char* name : {"k_N", "k_W", "k_M"}) {
    hlocale h = Open(name);
    const Family f{slw::FromHandle(h)->family()};
    SCOPED_TRACE(f.family);
    uint16_t r = 9;
    EXPECT_EQ(f.Key(h, "", 10, &r), std::vector<uint16_t>{});
    EXPECT_EQ(r, 0);
    EXPECT_EQ(f.Key(h, "abc", 10, &r), (std::vector<uint16_t>{0x20, 0x22, 0x24}));
    EXPECT_EQ(r, 3);
    EXPECT_EQ(f.Key(h, "\xE6" "ch", 10), (std::vector<uint16_t>{0x20, 0x28, 0x25}));
    // Exactly the key's length: the size is the result and the key is cut to end inside.
    f.Key(h, "abc", 3, &r);
    EXPECT_EQ(r, 3);
    f.Key(h, "abc", 0, &r);  // nothing written (checked by the guard unit)
    EXPECT_EQ(r, 0);
    EXPECT_EQ(f.Key(h, "abcdef", 10, &r, 2), (std::vector<uint16_t>{0x20, 0x22}));
    // Trim: the same key with and without trailing blanks; the source stays.
    SetFlags(h, 2);
    std::string source = "ab  ";
    EXPECT_EQ(f.Key(h, source, 10), f.Key(h, "ab", 10));
    EXPECT_EQ(source, "ab  ");
  }
  // The bytes of a cut narrow key end inside the buffer.
  hlocale h = Open("k_N");
  char out[3] = {'x', 'x', 'x'};
  EXPECT_EQ(SLN_StrTransform(h, out, "abc", 3), 3);
  EXPECT_EQ(out[2], '\0');
  EXPECT_EQ(out[0], '\x20');
}

TEST_F(Collation, CodeOrderKeysAreTheSourceAndAlwaysTerminatedWhereRoomRemains) {
  hlocale n = SLN_GetSysLocale();
  char out[8];
  std::memset(out, 'x', sizeof out);
  EXPECT_EQ(SLN_StrnTransform(n, out, "abcdef", 3, 8), 3);
  EXPECT_STREQ(out, "abc");
  std::memset(out, 'x', sizeof out);
  EXPECT_EQ(SLN_StrTransform(n, out, "abcdef", 4), 4);  // too small: the size, unterminated as copied
  EXPECT_EQ(std::string(out, 5), "abcdx");
  EXPECT_EQ(SLN_StrTransform(n, out, "ab", 0), 0);
  SL_WCHAR w[4] = {9, 9, 9, 9};
  EXPECT_EQ(SLW_StrnTransform(SLW_GetSysLocale(), w, u"xyz", 2, 4), 2);
  EXPECT_EQ(w[2], 0);
  SL_WCHAR m[2] = {0x7F7F, 0x7F7F};
  EXPECT_EQ(SLM_StrTransform(SLM_GetSysLocale(), m, "abcdef", 2), 3);  // three bytes and the terminator
  EXPECT_EQ(std::memcmp(m, "abc", 4), 0);
}

TEST_F(Collation, WeightedDbaseCompare) {
  Use(Weighted("d_N", 1, "0 0") + Weighted("d_W", 2, "0 2") + Weighted("d_M", 3, "0 0"));
  for (const char* name : {"d_N", "d_W", "d_M"}) {
    hlocale h = Open(name);
    const Family f{slw::FromHandle(h)->family()};
    SCOPED_TRACE(f.family);
    EXPECT_EQ(f.Dbase(h, "SMITHSON", "SMITH", false), 0);
    EXPECT_LT(f.Dbase(h, "SMITH", "SMITHSON", false), 0);
    EXPECT_EQ(f.Dbase(h, "SMITH  ", "SMITH", true), 0);
    EXPECT_GT(f.Dbase(h, "SMITHSON", "SMITH", true), 0);
    EXPECT_LT(f.Dbase(h, "SMITH", "SMITH  ", false), 0);  // blanks count when not exact
    EXPECT_EQ(f.Dbase(h, "SMITH", "smith", false), 0);     // after it from the second level on
    EXPECT_EQ(f.Dbase(h, "smith", "SMITH", false), -2);    // before it: unchanged
    EXPECT_EQ(f.Dbase(h, "X", "", false), 0);
    EXPECT_EQ(f.Dbase(h, "X", "", true), 1);
    EXPECT_EQ(f.Dbase(h, "a\x7E", "a", true), 0);          // no undefined-character pass
    SL_COLLATIONSETTINGS s = Settings(h);
    EXPECT_EQ(s.compareFlags, 5);
    EXPECT_EQ(s.mode, 2);
  }
}

// A table the fast path serves: every level 0x21, every defined character a
// non-zero weight below 256, 0x7F a single-character contraction.
std::string FastLocale(const std::string& name) {
  std::string s = "locale " + name + "\n  family 1\n  defined ff ff ff ff ff ff ff ff ff ff ff ff ff ff ff 7f\n";
  s += "  category 1 " + name + "\n    collate 0x21 0x21\n";
  for (int c = 1; c < 256; ++c) {
    int lower = c >= 'A' && c <= 'Z' ? c + 32 : c;
    s += "    weight " + std::to_string(c) + " " + std::to_string(lower) + " " + std::to_string(c == lower ? 1 : 2) + "\n";
  }
  s += "    contraction 0x7F \\x7F 0x60 1\n    single 0x7F 0x60 1\n";
  return s;
}

TEST_F(Collation, FastPathGivesTheWeightedResultsAndNeverReadsPastAString) {
  Use(FastLocale("f_N") + Weighted("nf_N", 1, "0x21 0x23"));
  hlocale h = Open("f_N");
  EXPECT_EQ(Settings(h).mode, 4);
  EXPECT_EQ(Settings(h, 3).mode, 4);
  hlocale other = Open("nf_N");
  EXPECT_EQ(Settings(other).mode, 2);  // a backward level: no fast path
  std::mt19937 random(7);
  const std::string alphabet = "abcABC\x7F xyz";
  auto word = [&] {
    std::string w(random() % 9, 'a');
    for (char& c : w) c = alphabet[random() % alphabet.size()];
    return w;
  };
  std::vector<std::pair<std::string, std::string>> pairs;
  for (int i = 0; i < 3000; ++i) pairs.emplace_back(word(), word());
  std::vector<int16_t> fast, bounded;
  for (const auto& [a, b] : pairs) {
    // Exact-size heap copies: a read past either end is a sanitizer error.
    std::vector<char> ca(a.c_str(), a.c_str() + a.size() + 1), cb(b.c_str(), b.c_str() + b.size() + 1);
    fast.push_back(SLN_StrCollate(h, ca.data(), cb.data()));
    std::vector<char> xa(a.begin(), a.end()), xb(b.begin(), b.end());
    bounded.push_back(SLN_StrnCollate(h, xa.data(), static_cast<uint16_t>(xa.size()), xb.data(),
                                      static_cast<uint16_t>(xb.size())));
  }
  SL_COLLATIONSETTINGS weighted{0, 0, 2, 0};
  ASSERT_EQ(SL_CollationInfo(h, 1, &weighted), 0);
  EXPECT_EQ(Settings(h).mode, 2);
  for (std::size_t i = 0; i < pairs.size(); ++i) {
    const auto& [a, b] = pairs[i];
    EXPECT_EQ(fast[i], SLN_StrCollate(h, a.c_str(), b.c_str())) << a << " / " << b;
    EXPECT_EQ(bounded[i], fast[i]) << a << " / " << b;
  }
}

TEST_F(Collation, KeysOrderAsTheCompareOverRandomPairs) {
  Use(Weighted("r_N", 1, "0 0x10") + Weighted("r_W", 2, "0 0x10") + Weighted("r_M", 3, "0 0x10") +
      Weighted("s_N", 1, "0 0") + Weighted("s_W", 2, "0 0"));
  const std::string alphabet = "abcAChz-\xE0\xE6 ";
  for (const char* name : {"r_N", "r_W", "r_M", "s_N", "s_W"}) {
    hlocale h = Open(name);
    const Family f{slw::FromHandle(h)->family()};
    SCOPED_TRACE(name);
    std::mt19937 random(11);
    int mismatches = 0;
    for (int i = 0; i < 100000 && mismatches < 5; ++i) {
      std::string a(random() % 7, 'a'), b(random() % 7, 'a');
      for (char& c : a) c = alphabet[random() % alphabet.size()];
      for (char& c : b) c = alphabet[random() % alphabet.size()];
      std::vector<uint16_t> ka = f.Key(h, a, 64), kb = f.Key(h, b, 64);
      int byKey = Sign(ka < kb ? -1 : ka > kb ? 1 : 0);
      if (byKey != Sign(f.Collate(h, a, b))) {
        ++mismatches;
        ADD_FAILURE() << a << " / " << b;
      }
    }
  }
}

TEST_F(Collation, SettingsAreCheckedAndOnlyTheOwnerChangesThem) {
  Use(Weighted("c_N", 1, "0 0"));
  hlocale h = Open("c_N");
  struct Bad {
    uint16_t levels, flags, mode;
  } bad[] = {{0, 3, 0}, {9, 0, 0}, {3, 0, 0}, {0, 0, 3}, {0, 16, 0}};
  for (const Bad& b : bad) {
    SL_COLLATIONSETTINGS s{b.levels, b.flags, b.mode, 77};
    EXPECT_EQ(SL_CollationInfo(h, 1, &s), 0x0C07);
    EXPECT_EQ(s.levels, 2);
    EXPECT_EQ(s.compareFlags, 5);
    EXPECT_EQ(s.mode, 2);
    EXPECT_EQ(s.cleared, 0u);
  }
  // 0 leaves a setting as it is.
  SL_COLLATIONSETTINGS s{1, 0, 0, 5};
  ASSERT_EQ(SL_CollationInfo(h, 1, &s), 0);
  EXPECT_EQ(s.cleared, 0u);
  SL_COLLATIONSETTINGS now = Settings(h);
  EXPECT_EQ(now.levels, 1);
  EXPECT_EQ(now.compareFlags, 5);
  EXPECT_EQ(Settings(h, 3).levels, 2);
  // Another thread reads but cannot change or restore.
  std::thread([&] {
    SL_COLLATIONSETTINGS t{2, 0, 0, 0};
    EXPECT_EQ(SL_CollationInfo(h, 1, &t), 0x0807);
    EXPECT_EQ(SL_CollationInfo(h, 0, &t), 0x0807);
    EXPECT_EQ(SL_CollationInfo(h, 2, &t), 0);
    EXPECT_EQ(t.levels, 1);
  }).join();
  SL_COLLATIONSETTINGS unknown{};
  EXPECT_EQ(SL_CollationInfo(h, 7, &unknown), 0);
  EXPECT_EQ(SL_CollationInfo(nullptr, 2, &unknown), 0x0307);
  EXPECT_EQ(SL_CollationChars(nullptr, nullptr, nullptr), 0x0307);
  // Mode 2 is taken as 1 where the data has no weights.
  SL_COLLATIONSETTINGS two{0, 0, 2, 0};
  ASSERT_EQ(SL_CollationInfo(SLN_GetSysLocale(), 1, &two), 0);
  EXPECT_EQ(Settings(SLN_GetSysLocale()).mode, 1);
}

int16_t Reversed(hlocale, const void* a, const void* b) {
  return static_cast<int16_t>(-std::strcmp(static_cast<const char*>(a), static_cast<const char*>(b)));
}

TEST_F(Collation, InstalledFunctionsStayUntilTheModeChangesOrTheDefaultsReturn) {
  Use(Weighted("i_N", 1, "0 0"));
  hlocale h = Open("i_N");
  EXPECT_EQ(SLN_SetCollationFn(h, nullptr), 0x0607);
  EXPECT_EQ(SLN_StrCollate(h, "a", "b"), -1);
  ASSERT_EQ(SLN_SetCollationFn(h, &Reversed), 0);
  EXPECT_EQ(SLN_StrCollate(h, "a", "b"), 1);
  Settings(h);
  Settings(h, 3);
  SetFlags(h, 2);  // the same mode: no rebinding
  EXPECT_EQ(SLN_StrCollate(h, "a", "b"), 1);
  SL_COLLATIONSETTINGS code{0, 0, 1, 0};
  ASSERT_EQ(SL_CollationInfo(h, 1, &code), 0);
  EXPECT_EQ(SLN_StrCollate(h, "B", "a"), -1);  // code order now
  SL_COLLATIONSETTINGS restore{};
  ASSERT_EQ(SL_CollationInfo(h, 0, &restore), 0);
  EXPECT_EQ(restore.mode, 2);
  EXPECT_EQ(SLN_StrCollate(h, "B", "a"), 1);
  EXPECT_EQ(SLN_BufferTransform(h, nullptr, "a", 1, 4), 0);
  EXPECT_EQ(SLW_SetCollationFn(h, &Reversed), 0x0307);  // not a wide locale
}

// A well-formed narrow and wide body, then one field changed.
TEST_F(Collation, MalformedCollationDataIsRefused) {
  auto body = [](int family) {
    sllc::LibrarySpec spec;
    std::string error;
    EXPECT_TRUE(sllc::Parse(Weighted("m", family, "0 0"), spec, error)) << error;
    return sllc::CollateBody(static_cast<uint8_t>(family), spec.locales[0].categories[0].collate);
  };
  auto put16 = [](std::vector<uint8_t>& b, std::size_t at, uint16_t v) {
    b[at] = static_cast<uint8_t>(v);
    b[at + 1] = static_cast<uint8_t>(v >> 8);
  };
  for (int family : {1, 2}) {
    SCOPED_TRACE(family);
    const std::vector<uint8_t> good = body(family);
    slw::CollationTable ok(static_cast<uint8_t>(family));
    ASSERT_EQ(ok.Parse(good.data(), good.size()), 0);
    const std::size_t records = good.size() - (good[34] | good[35] << 8);
    const uint16_t recordSize = static_cast<uint16_t>(good[38] | good[39] << 8);
    struct Case {
      const char* what;
      std::function<void(std::vector<uint8_t>&)> damage;
      uint16_t status;
    } cases[] = {
        {"short header", [](std::vector<uint8_t>& b) { b.resize(39); }, 0x0204},
        {"nine levels", [&](std::vector<uint8_t>& b) { put16(b, 2, 9); }, 0x0404},
        {"short weights", [](std::vector<uint8_t>& b) { b.resize(300); }, 0x0404},
        {"record size 0", [&](std::vector<uint8_t>& b) { put16(b, 38, 0); }, 0x0404},
        {"record below its slots", [&](std::vector<uint8_t>& b) { put16(b, 38, static_cast<uint16_t>(recordSize - 1)); }, 0x0404},
        {"sequence above C", [&](std::vector<uint8_t>& b) { b[records] = 9; }, 0x0404},
        {"count above W", [&](std::vector<uint8_t>& b) { b[records + 1] = 9; }, 0x0404},
        {"group without its closing record",
         [&](std::vector<uint8_t>& b) {
           b.resize(b.size() - recordSize);
           put16(b, 34, static_cast<uint16_t>(b.size() - records));
         },
         0x0404},
        {"table past the body",
         [&](std::vector<uint8_t>& b) { put16(b, 34, static_cast<uint16_t>(b.size() - records + 2 * recordSize)); },
         0x0404},
        {"contraction table over 0xFFFF", [&](std::vector<uint8_t>& b) { b[36] = 1; }, static_cast<uint16_t>(family == 1 ? 0x0404 : 0x0601)},
    };
    for (const Case& c : cases) {
      std::vector<uint8_t> b = good;
      c.damage(b);
      slw::CollationTable t(static_cast<uint8_t>(family));
      EXPECT_EQ(t.Parse(b.data(), b.size()), c.status) << c.what;
      EXPECT_TRUE(t.builtIn()) << c.what;
    }
    // An index past the table.
    std::vector<uint8_t> b = good;
    if (family == 1) {
      put16(b, 40 + 2 * 'q', 0x8000 | 40);
    } else {
      std::size_t pages = 40 + 34 * 2;
      put16(b, pages + 2 * 'q', 0x8000 | 40);
    }
    slw::CollationTable t(static_cast<uint8_t>(family));
    EXPECT_EQ(t.Parse(b.data(), b.size()), 0x0404);
  }
  // A wide plane whose page count disagrees with its map.
  std::vector<uint8_t> b = body(2);
  put16(b, 40, 2);
  slw::CollationTable t(2);
  EXPECT_EQ(t.Parse(b.data(), b.size()), 0x0404);
  // Through the open: the locale is refused and nothing stays half made.
  std::string source = "locale bad_N\n  family 1\n  category 1 bad_N\n    body 00 00 09 00\n    zeros 36\n";
  Use(source);
  hlocale h = nullptr;
  EXPECT_EQ(SL_OpenLocale(&h, SL_LC_ALL, "bad_N"), 0x0404);
  EXPECT_EQ(h, nullptr);
}

}  // namespace
