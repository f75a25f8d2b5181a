// An index file written back (as an exclusive open writes it): the same
// changes as one written through, held in memory until a checkpoint, seen
// by every walk at once, undone alone when one fails, kept whole when the
// checkpoint fails, and within the held limit on a long run.
#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <memory>
#include <random>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "fault.h"
#include "mdx/mdx_file.h"
#include "mdx_test_table.h"
#include "temp_root.h"

using namespace orb::mdx;
using mdx_test::MemTable;

namespace {

MdxFile::Options FixedDay() {
  MdxFile::Options o;
  o.today = [] { return Ymd{2026, 5, 17}; };
  return o;
}

// Sets the held limit for one test.
class HeldLimitFor {
 public:
  explicit HeldLimitFor(size_t bytes) : old_(HeldLimit()) { SetHeldLimit(bytes); }
  ~HeldLimitFor() { SetHeldLimit(old_); }

 private:
  size_t old_;
};

using Walk = std::vector<std::pair<std::string, uint32_t>>;

Walk WalkOf(MdxFile& m, int tag) {
  Walk out;
  TagCursor c(m, tag);
  for (MdxStatus st = c.First(); st.ok(); st = c.Next())
    out.emplace_back(std::string(c.key().begin(), c.key().end()), c.recno());
  return out;
}

std::string KeyOf(MdxFile& m, int tag, const uint8_t* rec) {
  std::string k(m.Tag(tag).keyLength, '\0');
  m.EvaluateKey(tag, rec, reinterpret_cast<uint8_t*>(k.data()));
  return k;
}
const uint8_t* Raw(const std::string& s) { return reinterpret_cast<const uint8_t*>(s.data()); }

// A table of 300 records with two tags, as bytes of an index file.
struct Start {
  MemTable table{{"NAME", 'C', 40, 0}, {"COST", 'N', 8, 2}};
  std::string bytes;
  std::mt19937 rng{7};
  std::string Name() {
    static const char* names[] = {"bolt", "Nut", "washer", "screw", "hinge", "latch", "", "z"};
    return std::string(names[rng() % 8]) + std::to_string(rng() % 40);
  }
  std::string Cost() { return std::to_string(rng() % 500) + ".25"; }
  Start() {
    for (int i = 0; i < 300; ++i) table.Add({{"NAME", Name()}, {"COST", Cost()}});
    auto f = std::make_unique<MemoryBlockFile>();
    MemoryBlockFile* raw = f.get();
    std::unique_ptr<MdxFile> m;
    EXPECT_TRUE(MdxFile::Create(std::move(f), "PARTS", table.fields(), table.recordLength(), m, FixedDay()).ok());
    EXPECT_TRUE(m->AddTag("BYNAME", "Upper(NAME)", table).ok());
    EXPECT_TRUE(m->AddTag("BYCOST", "STR(COST,8,2)", table).ok());
    bytes = raw->bytes();
  }
};

struct Opened {
  MemoryBlockFile* raw = nullptr;
  std::unique_ptr<MdxFile> mdx;
};

Opened OpenBytes(const std::string& bytes, MemTable& t, bool writeBack) {
  Opened o;
  auto f = std::make_unique<MemoryBlockFile>(bytes);
  o.raw = f.get();
  EXPECT_TRUE(MdxFile::Open(std::move(f), t.fields(), t.recordLength(), o.mdx, FixedDay()).ok());
  o.mdx->SetWriteBack(writeBack);
  return o;
}

// Inserts, edits and removals of keys in a seeded random order, made on a
// file written through and on one written back, stamped as the engine
// stamps them. Every few steps a record's change fails half way: its name
// tag takes the key, then its cost tag finds the key already there.
class Twins {
 public:
  explicit Twins(bool failures) : failures_(failures) {
    through_ = OpenBytes(start_.bytes, start_.table, false);
    back_ = OpenBytes(start_.bytes, start_.table, true);
    for (uint32_t r = 1; r <= start_.table.RecordCount(); ++r) live_.insert(r);
  }

  // One change, made on both.
  void Step(int step) {
    MemTable& t = start_.table;
    ++counter_;
    const int op = static_cast<int>(start_.rng() % 10);
    if (failures_ && step % 9 == 4) {
      uint32_t r = t.Add({{"NAME", start_.Name()}, {"COST", start_.Cost()}});
      const std::string cost = KeyOf(*back_.mdx, 1, t.Record(r));
      for (MdxFile* m : {through_.mdx.get(), back_.mdx.get()}) {
        m->SetStamp(counter_, r);
        ASSERT_TRUE(m->InsertKey(1, Raw(cost), r).ok());
        m->SetStamp(counter_ + 1, r);
        EXPECT_EQ(m->InsertRecord(t.Record(r), r).code, MdxCode::kMismatch);
        m->SetStamp(counter_ + 2, r);
        ASSERT_TRUE(m->DeleteKey(1, Raw(cost), r).ok());
        m->SetStamp(counter_ + 3, r);
        ASSERT_TRUE(m->InsertRecord(t.Record(r), r).ok());
      }
      counter_ += 3;
      return;
    }
    if (op < 6 || live_.empty()) {
      uint32_t r = t.Add({{"NAME", start_.Name()}, {"COST", start_.Cost()}});
      for (MdxFile* m : {through_.mdx.get(), back_.mdx.get()}) {
        m->SetStamp(counter_, t.RecordCount());
        ASSERT_TRUE(m->InsertRecord(t.Record(r), r).ok()) << step;
      }
      live_.insert(r);
    } else if (op < 9) {
      auto it = live_.begin();
      std::advance(it, start_.rng() % live_.size());
      const uint32_t r = *it;
      const std::vector<uint8_t> before = t.Copy(r);
      t.Set(r, "NAME", start_.Name());
      if (op == 8) t.Set(r, "COST", start_.Cost());
      for (MdxFile* m : {through_.mdx.get(), back_.mdx.get()}) {
        m->SetStamp(counter_, t.RecordCount());
        ASSERT_TRUE(m->UpdateRecord(before.data(), t.Record(r), r).ok()) << step;
      }
    } else {
      auto it = live_.begin();
      std::advance(it, start_.rng() % live_.size());
      for (MdxFile* m : {through_.mdx.get(), back_.mdx.get()}) {
        m->SetStamp(counter_, t.RecordCount());
        ASSERT_TRUE(m->DeleteRecord(t.Record(*it), *it).ok()) << step;
      }
      live_.erase(it);
    }
  }

  void ExpectSameWalks(int step) {
    for (int tag = 0; tag < 2; ++tag) ASSERT_EQ(WalkOf(*back_.mdx, tag), WalkOf(*through_.mdx, tag)) << step;
    ASSERT_EQ(back_.mdx->GetStamp().counter, through_.mdx->GetStamp().counter);
  }

  Start start_;
  Opened through_, back_;
  bool failures_;
  uint32_t counter_ = 1;
  std::set<uint32_t> live_;
};

}  // namespace

// Held changes are read at once, reach the file only at a checkpoint, and
// then leave the bytes the same changes written through leave; with a held
// limit of three blocks the changes reach it on the way, and neither the
// held blocks nor the cache outgrow their bounds.
TEST(MdxWriteBack, HeldChangesEndInTheBytesOfChangesWrittenThrough) {
  for (size_t limit : {size_t(4) << 20, size_t(3 * 1024)}) {
    SCOPED_TRACE("held limit " + std::to_string(limit));
    HeldLimitFor held(limit);
    Twins twins(false);
    const std::string before = twins.back_.raw->bytes();
    for (int step = 0; step < 1500; ++step) {
      twins.Step(step);
      if (HasFatalFailure()) return;
      if (limit < 4096) {
        // A change writes what is held before it adds its own few blocks,
        // and drops what was only read past four times the limit.
        ASSERT_LE(twins.back_.mdx->HeldBytes(), limit + 12 * 1024) << step;
        ASSERT_LE(twins.back_.mdx->CachedBytes(), 4 * limit + 16 * 1024) << step;
      }
      if (step % 50 == 0) twins.ExpectSameWalks(step);
      if (HasFatalFailure()) return;
    }
    twins.ExpectSameWalks(1500);
    if (limit > 4096) {
      EXPECT_EQ(twins.back_.raw->bytes(), before) << "a held change was written before the checkpoint";
    }
    ASSERT_TRUE(twins.back_.mdx->Checkpoint().ok());
    EXPECT_FALSE(twins.back_.mdx->Holding());
    EXPECT_EQ(twins.back_.raw->bytes(), twins.through_.raw->bytes());
  }
}

// A record's change that fails half way (its first tag changed, the second
// refused) takes back only its own part: the changes held before it stay,
// and the walks and the bytes at the checkpoint are those of the file
// written through, which reads its state again from the file.
TEST(MdxWriteBack, AFailedChangeKeepsTheChangesHeldBeforeIt) {
  for (size_t limit : {size_t(4) << 20, size_t(3 * 1024)}) {
    SCOPED_TRACE("held limit " + std::to_string(limit));
    HeldLimitFor held(limit);
    Twins twins(true);
    for (int step = 0; step < 900; ++step) {
      twins.Step(step);
      if (HasFatalFailure()) return;
      if (step % 9 == 4) twins.ExpectSameWalks(step);
      if (HasFatalFailure()) return;
    }
    ASSERT_TRUE(twins.back_.mdx->Checkpoint().ok());
    EXPECT_EQ(twins.back_.raw->bytes(), twins.through_.raw->bytes());
  }
}

// A checkpoint that fails at any of its writes (a full disk) is reported,
// leaves the old stamp on the file (so the engine rebuilds a file cut off
// there), keeps every held change readable, and the next checkpoint writes
// the file whole.
TEST(MdxWriteBack, AFailedCheckpointKeepsEveryHeldChange) {
  testing_support::TempRoot root;
  Start start;
  const std::filesystem::path path = root.path() / "PARTS.MDX";
  // The held changes: 120 appends, stamped as the engine stamps them.
  std::vector<uint32_t> added;
  for (int i = 0; i < 120; ++i) added.push_back(start.table.Add({{"NAME", start.Name()}, {"COST", start.Cost()}}));
  auto run = [&](MdxFile& m) {
    uint32_t counter = 10;
    for (uint32_t r : added) {
      m.SetStamp(++counter, r);
      ASSERT_TRUE(m.InsertRecord(start.table.Record(r), r).ok());
    }
  };
  auto open = [&](bool writeBack) {
    testing_support::TempRoot::WriteFile(path, start.bytes);
    std::unique_ptr<MdxFile> m;
    EXPECT_TRUE(MdxFile::Open(OpenDiskFile(path.string(), false, false), start.table.fields(),
                              start.table.recordLength(), m, FixedDay())
                    .ok());
    m->SetWriteBack(writeBack);
    return m;
  };
  std::string want;
  {
    std::unique_ptr<MdxFile> through = open(false);
    run(*through);
    want = testing_support::TempRoot::ReadFile(path);
  }
  int writes = 0;
  {
    std::unique_ptr<MdxFile> back = open(true);
    run(*back);
    orb::fault::Arm(orb::fault::Plan{0, 0, false, true});
    ASSERT_TRUE(back->Checkpoint().ok());
    writes = orb::fault::Count();
    orb::fault::Disarm();
  }
  ASSERT_EQ(testing_support::TempRoot::ReadFile(path), want);
  ASSERT_GT(writes, 2);
  for (int at = 1; at <= writes; ++at) {
    SCOPED_TRACE("disk full at write " + std::to_string(at) + " of " + std::to_string(writes));
    std::unique_ptr<MdxFile> back = open(true);
    run(*back);
    const Walk names = WalkOf(*back, 0), costs = WalkOf(*back, 1);
    orb::fault::Arm(orb::fault::Plan{at, ENOSPC, false, true});
    const MdxStatus st = back->Checkpoint();
    orb::fault::Disarm();
    EXPECT_EQ(st.code, MdxCode::kDiskFull);
    EXPECT_TRUE(back->Holding());
    EXPECT_EQ(WalkOf(*back, 0), names);
    EXPECT_EQ(WalkOf(*back, 1), costs);
    // The file as the failure left it still names the state before the
    // held changes: the engine's next open finds it out of step.
    {
      std::unique_ptr<MdxFile> left;
      const MdxStatus opened = MdxFile::Open(std::make_unique<MemoryBlockFile>(testing_support::TempRoot::ReadFile(path)),
                                             start.table.fields(), start.table.recordLength(), left, FixedDay());
      if (opened.ok()) {
        EXPECT_NE(left->GetStamp().records, added.back());
      }
    }
    ASSERT_TRUE(back->Checkpoint().ok());
    EXPECT_FALSE(back->Holding());
    EXPECT_EQ(testing_support::TempRoot::ReadFile(path), want);
    if (HasFailure()) return;
  }
}
