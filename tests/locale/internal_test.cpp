// The frame's internals: threads and their scratch buffers, allocation
// failures.
#include <algorithm>
#include <atomic>
#include <cstdio>
#include <filesystem>
#include <latch>
#include <string>
#include <cstring>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "client.h"
#include "library_file.h"
#include "locale_object.h"
#include "lock.h"
#include "memory.h"
#include "platform/lzfile.h"
#include "slw32.h"
#include "sllc_writer.h"
#include "temp_root.h"

namespace {

class Frame : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(_SL_InitClient(1, 1, 1), 0); }
  void TearDown() override { SL_Exit(); }
  testing_support::TempRoot root_;
};

std::size_t ThreadCount() {
  slw::LockHold hold;
  slw::Client* c = slw::FindClient();
  return c != nullptr ? c->threads.size() : 0;
}

TEST_F(Frame, EveryThreadGetsItsOwnScratchBufferAndLosesItAtItsEnd) {
  EXPECT_EQ(ThreadCount(), 1u);
  constexpr int kThreads = 12;
  std::atomic<int> good{0};
  std::vector<uint8_t*> buffers(kThreads);
  std::vector<std::thread> threads;
  hlocale sys = SLN_GetSysLocale();
  // All threads hold their buffers at once, so no address is reused.
  std::latch together(kThreads);
  for (int i = 0; i < kThreads; ++i) {
    threads.emplace_back([&, i] {
      uint32_t size = 0;
      uint8_t* buffer = slw::ScratchBuffer(&size);
      buffers[i] = buffer;
      together.arrive_and_wait();
      if (buffer == nullptr || size != slw::kScratchSize) return;
      std::memset(buffer, i, size);
      bool ok = true;
      for (int round = 0; round < 200 && ok; ++round) {
        SL_CLASSINFO info;
        ok = SL_GetClassInfo(sys, 3, &info) == 0 && info.mask == 4;
        uint32_t again = 0;
        ok = ok && slw::ScratchBuffer(&again) == buffer && buffer[round] == i;
      }
      if (ok) ++good;
    });
  }
  for (auto& t : threads) t.join();
  EXPECT_EQ(good.load(), kThreads);
  for (int i = 0; i < kThreads; ++i)
    for (int j = i + 1; j < kThreads; ++j) EXPECT_NE(buffers[i], buffers[j]);
  // Each thread's end freed its thread object and nothing else.
  EXPECT_EQ(ThreadCount(), 1u);
  EXPECT_EQ(SL_GetClientInfo(nullptr), 0x0C07);
}

TEST_F(Frame, ThreadEndLeavesTheClientsLocalesAlone) {
  slw::Client* client = slw::FindClient();
  ASSERT_NE(client, nullptr);
  std::size_t before = client->locales.size();
  slw::CLocale* made = nullptr;
  std::thread([&] {
    slw::CallingThread();
    made = slw::NewLocale(SL_FAMILY_NARROW);
    made->ownerThread = slw::CurrentThreadId();
    made->poolState = slw::kDestroying;
    slw::AddLocale(*client, made);
  }).join();
  EXPECT_EQ(client->locales.size(), before + 1);
  EXPECT_EQ(slw::FindLocale(slw::ToHandle(made)), made);
}

TEST_F(Frame, AThreadWithoutClientGetsNoThreadObject) {
  SL_Exit();
  EXPECT_EQ(slw::CallingThread(), nullptr);
  uint32_t size = 7;
  EXPECT_EQ(slw::ScratchBuffer(&size), nullptr);
  EXPECT_EQ(size, 0u);
  ASSERT_EQ(_SL_InitClient(1, 1, 1), 0);
}

TEST(Memory, FailedReallocationKeepsTheCallersBlock) {
  void* block = nullptr;
  ASSERT_EQ(_SL_AllocMemory(16, &block), 0);
  std::memcpy(block, "keep", 5);
  slw::SetAllocationLimitForTesting(1024);
  void* same = block;
  EXPECT_EQ(_SL_ReallocMemory(4096, &block), 0x0601);
  EXPECT_EQ(block, same);
  EXPECT_STREQ(static_cast<char*>(block), "keep");
  void* none = reinterpret_cast<void*>(1);
  EXPECT_EQ(_SL_AllocMemory(2048, &none), 0x0601);
  EXPECT_EQ(none, nullptr);
  slw::SetAllocationLimitForTesting(0);
  EXPECT_EQ(_SL_FreeMemory(block), 0);
}

}  // namespace

namespace {

std::vector<uint8_t> CharsetLibrary(const std::string& body) {
  sllc::LibrarySpec spec;
  std::string error;
  EXPECT_TRUE(sllc::Parse("charset SET\n  body " + body + "\n", spec, error)) << error;
  return sllc::Build(spec);
}

std::string Hex16(uint16_t v) {
  char text[16];
  std::snprintf(text, sizeof text, "%02x %02x", v & 0xFF, v >> 8);
  return text;
}

TEST(LibraryFileReader, CharacterSetRecordsThatDoNotFitAreRefused) {
  // Body after the 44-byte head: the 256 page indexes (or code values), then pages.
  std::string singleByte;
  for (int i = 0; i < 256; ++i) singleByte += " 41 00";
  std::string pageZero;  // one page right after the indexes, at unit 278 (byte 556)
  for (int i = 0; i < 256; ++i) pageZero += " 41 00";
  auto doubleByte = [&](uint16_t index, bool withPage) {
    std::string indexes;
    for (int i = 0; i < 256; ++i) indexes += " " + Hex16(i == 0x81 ? index : 0);
    return indexes + (withPage ? pageZero : "");
  };
  struct Case {
    const char* what;
    std::vector<uint8_t> file;
    bool doubleByteFlag;
    slw::Status status;
  } cases[] = {
      {"single-byte", CharsetLibrary(singleByte), false, slw::kOk},
      {"page inside", CharsetLibrary(doubleByte(278, true)), true, slw::kOk},
      {"page past the end", CharsetLibrary(doubleByte(278, false)), true, slw::kCategoryRead},
      {"page inside the head", CharsetLibrary(doubleByte(4, true)), true, slw::kCategoryRead},
  };
  for (Case& c : cases) {
    // Byte 42 of the record (after its u32 length) marks a double-byte table.
    std::vector<uint8_t>& f = c.file;
    uint32_t at = slw::ReadU32(f.data() + 42 + 34);
    if (c.doubleByteFlag) f[at + 4 + 42] = 1;
    slw::LibraryFile file;
    ASSERT_EQ(file.OpenBytes(f), slw::kOk) << c.what;
    std::vector<slw::DirectoryEntry> sets = file.Entries(slw::kCharsetEntry);
    ASSERT_EQ(sets.size(), 1u) << c.what;
    const uint8_t* record = nullptr;
    uint16_t length = 0;
    EXPECT_EQ(file.CharsetRecord(sets[0], record, length), c.status) << c.what;
  }
  // A record length beyond the file or above 65535.
  std::vector<uint8_t> f = CharsetLibrary(singleByte);
  uint32_t at = slw::ReadU32(f.data() + 42 + 34);
  for (uint32_t length : {0u, 43u, 70000u, static_cast<uint32_t>(f.size())}) {
    slw::WriteU32(f.data() + at, length);
    slw::LibraryFile file;
    ASSERT_EQ(file.OpenBytes(f), slw::kOk);
    const uint8_t* record = nullptr;
    uint16_t got = 0;
    EXPECT_EQ(file.CharsetRecord(file.Entries(slw::kCharsetEntry)[0], record, got), slw::kCategoryRead) << length;
  }
}

// A file on disk, plain or compressed, reads as its bytes in memory do:
// the same entries and records, the same refusals past its end, reads that
// overlap ones made before; a file cut short after it was opened refuses
// what now lies past its end rather than answering from nothing.
TEST(LibraryFileReader, AFileReadsAsItsBytesInMemory) {
  std::string body;
  for (int i = 0; i < 256; ++i) body += " 41 00";
  const std::vector<uint8_t> bytes = CharsetLibrary(body);
  testing_support::TempRoot root;
  const std::filesystem::path plain = root.path() / "PLAIN.SLL", packed = root.path() / "PACKED.SLL";
  testing_support::TempRoot::WriteFile(plain, std::string(bytes.begin(), bytes.end()));
  ASSERT_TRUE(platform::WriteLzFile(packed, bytes));
  const uint64_t size = bytes.size();
  for (const std::filesystem::path& path : {plain, packed}) {
    SCOPED_TRACE(path.filename().string());
    slw::LibraryFile file;
    ASSERT_EQ(file.Open(path.string()), slw::kOk);
    EXPECT_TRUE(std::equal(file.header(), file.header() + slw::kLibraryHeaderSize, bytes.begin()));
    const std::vector<slw::DirectoryEntry> sets = file.Entries(slw::kCharsetEntry);
    ASSERT_EQ(sets.size(), 1u);
    EXPECT_EQ(sets[0].name, "SET");
    const uint8_t* record = nullptr;
    uint16_t length = 0;
    ASSERT_EQ(file.CharsetRecord(sets[0], record, length), slw::kOk);
    ASSERT_EQ(length, 44u + 512u);
    EXPECT_TRUE(std::equal(record, record + length, bytes.begin() + sets[0].offset + 4));
    struct Range {
      uint64_t offset;
      std::size_t count;
      bool inside;
    } ranges[] = {{0, 8, true},           {size - 1, 1, true}, {size, 0, true},   {size, 1, false},
                  {size - 4, 8, false},   {size + 1, 0, false}, {3, size - 3, true}, {10, 20, true}};
    for (const Range& r : ranges) {
      const uint8_t* at = nullptr;
      ASSERT_EQ(file.Read(r.offset, r.count, at), r.inside) << r.offset << " " << r.count;
      if (r.inside) {
        EXPECT_TRUE(std::equal(at, at + r.count, bytes.begin() + static_cast<std::ptrdiff_t>(r.offset)));
      }
    }
  }
  slw::LibraryFile file;
  ASSERT_EQ(file.Open(plain.string()), slw::kOk);
  const std::vector<slw::DirectoryEntry> sets = file.Entries(slw::kCharsetEntry);
  ASSERT_EQ(sets.size(), 1u);
  std::filesystem::resize_file(plain, sets[0].offset + 10);
  const uint8_t* record = nullptr;
  uint16_t length = 0;
  EXPECT_EQ(file.CharsetRecord(sets[0], record, length), slw::kCategoryRead);
  EXPECT_EQ(slw::LibraryFile().Open((root.path() / "MISSING.SLL").string()), slw::kLibOpen);
  EXPECT_EQ(slw::LibraryFile().Open(root.path().string()), slw::kLibOpen);
}

TEST_F(Frame, ManyThreadsOpenAndCloseLocalesAtOnce) {
  std::string source;
  for (int i = 0; i < 3; ++i)
    source += "locale T" + std::to_string(i) + "\n  family 1\n  category 2 T" + std::to_string(i) +
              "\n    ctype space,digit toupper\n";
  std::string error;
  std::filesystem::path file = root_.path() / "THREADS.SLL";
  ASSERT_TRUE(sllc::Compile(source, file.string(), false, error)) << error;
  ASSERT_EQ(SL_SetLocaleLibrary(file.c_str(), 1), 0);
  std::atomic<int> failures{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < 8; ++t) {
    threads.emplace_back([&, t] {
      for (int round = 0; round < 50; ++round) {
        std::string name = "T" + std::to_string((t + round) % 3);
        hlocale h = nullptr;
        if (SL_OpenLocale(&h, 2, name.c_str()) != 0 || SL_GetClassCount(h) != 2) ++failures;
        uint32_t size = 0;
        uint8_t* scratch = slw::ScratchBuffer(&size);
        if (scratch == nullptr) ++failures;
        else std::memset(scratch, t, size);
        if (SL_CloseLocale(&h) != 0) ++failures;
      }
    });
  }
  for (auto& t : threads) t.join();
  EXPECT_EQ(failures.load(), 0);
  EXPECT_EQ(ThreadCount(), 1u);
}

}  // namespace
