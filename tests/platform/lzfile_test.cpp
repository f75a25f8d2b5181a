#include "platform/lzfile.h"

#include <gtest/gtest.h>

#include "temp_root.h"

using testing_support::TempRoot;

namespace {

std::vector<uint8_t> Bytes(const std::string& s) { return {s.begin(), s.end()}; }

TEST(LzFile, WrittenFilesExpandToTheirData) {
  TempRoot root;
  std::string big;
  for (int i = 0; i < 5000; ++i) big += static_cast<char>(i * 7);
  for (const std::string& data : {std::string(), std::string("A"), std::string("12345678"), big}) {
    const auto file = root.path() / "LOCALE.SL_";
    ASSERT_TRUE(platform::WriteLzFile(file, Bytes(data)));
    EXPECT_TRUE(platform::IsLzCompressed(file));
    std::vector<uint8_t> out;
    ASSERT_EQ(platform::ReadLzFile(file, out), platform::LzStatus::kOk) << data.size();
    EXPECT_EQ(out, Bytes(data));
  }
}

TEST(LzFile, ReadsRealLzssMatches) {
  // "ABCABCABCABC" as COMPRESS writes it: three literals, then a match of
  // nine bytes at window position 4080 (0xFF0): bytes 0xF0, 0xF6.
  std::vector<uint8_t> in = {'S', 'Z', 'D', 'D', 0x88, 0xF0, 0x27, 0x33, 'A', 0, 12, 0, 0, 0,
                             0x07, 'A', 'B', 'C', 0xF0, 0xF6};
  std::vector<uint8_t> out;
  ASSERT_EQ(platform::ExpandLzData(in, out), platform::LzStatus::kOk);
  EXPECT_EQ(out, Bytes("ABCABCABCABC"));
}

TEST(LzFile, PlainFilesPassThrough) {
  TempRoot root;
  const auto file = root.path() / "PLAIN.SLL";
  TempRoot::WriteFile(file, "SZDD is not at the start");
  std::vector<uint8_t> out;
  EXPECT_FALSE(platform::IsLzCompressed(file));
  ASSERT_EQ(platform::ReadLzFile(file, out), platform::LzStatus::kOk);
  EXPECT_EQ(out, Bytes("SZDD is not at the start"));
  EXPECT_EQ(platform::ReadLzFile(root.path() / "missing", out), platform::LzStatus::kNotFound);
  EXPECT_EQ(platform::ReadLzFile(root.path(), out), platform::LzStatus::kReadError);
}

// The prefix is what the whole read gives, cut: of plain files and
// compressed ones, shorter and longer than asked for, and a compressed file
// whose first bytes alone would read as another plain file.
TEST(LzFile, PrefixIsTheStartOfTheWholeRead) {
  TempRoot root;
  std::string big;
  for (int i = 0; i < 70000; ++i) big += static_cast<char>('a' + i % 23);
  const auto file = root.path() / "LOCALE.SLL";
  struct Case {
    const char* what;
    std::string data;
    bool compressed;
    size_t count;
  } cases[] = {
      {"plain, longer", big, false, 42},
      {"plain, shorter", "short", false, 42},
      {"plain, empty", "", false, 42},
      {"plain, the signature only", "SZDD", false, 2},
      {"compressed, longer", big, true, 42},
      {"compressed, shorter", "short", true, 42},
      {"compressed, fewer than the header", big, true, 4},
      {"nothing asked", big, false, 0},
  };
  for (const Case& c : cases) {
    if (c.compressed)
      ASSERT_TRUE(platform::WriteLzFile(file, Bytes(c.data))) << c.what;
    else
      TempRoot::WriteFile(file, c.data);
    std::vector<uint8_t> out = {9};
    ASSERT_EQ(platform::ReadLzFilePrefix(file, c.count, out), platform::LzStatus::kOk) << c.what;
    EXPECT_EQ(out, Bytes(c.data.substr(0, c.count))) << c.what;
  }
  std::vector<uint8_t> out;
  EXPECT_EQ(platform::ReadLzFilePrefix(root.path() / "missing", 42, out), platform::LzStatus::kNotFound);
  EXPECT_EQ(platform::ReadLzFilePrefix(root.path(), 42, out), platform::LzStatus::kReadError);
  ASSERT_TRUE(platform::WriteLzFile(file, Bytes(std::string(100, 'x'))));
  TempRoot::WriteFile(file, TempRoot::ReadFile(file).substr(0, 20));
  EXPECT_EQ(platform::ReadLzFilePrefix(file, 4, out), platform::LzStatus::kBadData);
  EXPECT_TRUE(out.empty());
}

TEST(LzFile, DamagedFilesAreBadData) {
  TempRoot root;
  const auto file = root.path() / "X.SL_";
  ASSERT_TRUE(platform::WriteLzFile(file, Bytes(std::string(100, 'x'))));
  const std::string whole = TempRoot::ReadFile(file);
  struct Case {
    const char* what;
    std::string bytes;
  } cases[] = {
      {"truncated data", whole.substr(0, whole.size() - 5)},
      {"header only", whole.substr(0, 14)},
      {"truncated header", whole.substr(0, 11)},
      {"length far beyond the data", whole.substr(0, 10) + std::string("\xFF\xFF\xFF\x7F", 4) + whole.substr(14)},
  };
  for (const Case& c : cases) {
    TempRoot::WriteFile(file, c.bytes);
    std::vector<uint8_t> out = {1};
    EXPECT_EQ(platform::ReadLzFile(file, out), platform::LzStatus::kBadData) << c.what;
    EXPECT_TRUE(out.empty()) << c.what;
  }
}

}  // namespace
