// The frame's internals: threads and their scratch buffers, allocation
// failures.
#include <atomic>
#include <cstring>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "client.h"
#include "locale_object.h"
#include "lock.h"
#include "memory.h"
#include "slw32.h"
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
  for (int i = 0; i < kThreads; ++i) {
    threads.emplace_back([&, i] {
      uint32_t size = 0;
      uint8_t* buffer = slw::ScratchBuffer(&size);
      buffers[i] = buffer;
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
