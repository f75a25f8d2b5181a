// Opens arbitrary bytes as a production index, walks every tag both ways,
// seeks, checks against a small table, changes it and regenerates it; and
// rebuilds what a damaged file still names.
//
// The first input byte picks the mode: even, the rest of the input is the
// file itself; odd, it is a list of (offset, byte) patches over a sound
// index of two tags with a three-level tree, so the fuzzer reaches the tree
// code rather than stopping at the header checks.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "key_order.h"
#include "mdx/mdx_file.h"
#include "temp_root.h"

using namespace orb::mdx;

namespace {

struct Table : RecordSource {
  std::vector<FieldDesc> fields;
  uint32_t length = 1;
  std::vector<std::string> rows;
  Table() {
    fields.push_back({"NAME", 'C', 1, 60, 0});
    fields.push_back({"COST", 'N', 61, 8, 2});
    fields.push_back({"WHEN", 'D', 69, 8, 0});
    length = 77;
    for (int i = 0; i < 150; ++i) {
      std::string r(length, ' ');
      std::string name = "item" + std::to_string(i * 37 % 101);
      std::memcpy(&r[1], name.data(), name.size());
      std::string cost = std::to_string(i % 50) + ".25";
      std::memcpy(&r[61 + 8 - cost.size()], cost.data(), cost.size());
      std::memcpy(&r[69], "19990101", 8);
      rows.push_back(r);
    }
  }
  uint32_t RecordCount() override { return static_cast<uint32_t>(rows.size()); }
  const uint8_t* Record(uint32_t recno) override {
    return recno >= 1 && recno <= rows.size() ? reinterpret_cast<const uint8_t*>(rows[recno - 1].data()) : nullptr;
  }
};

// Character keys in the order of language driver 0x57, through SLW32 and
// the shipped locale files.
MdxFile::Options DriverOrder() {
  static testing_support::TempRoot root;
  static const bool registered = (root.RegisterShippedLocales(), true);
  (void)registered;
  MdxFile::Options options;
  options.order = orb::KeyOrder::ForDriver(0x57);
  if (!options.order->collates()) __builtin_trap();  // SLW32 or the locale files are missing
  return options;
}

Table& TheTable() {
  static Table t;
  return t;
}

const std::string& SoundFile() {
  static const std::string bytes = [] {
    auto file = std::make_unique<MemoryBlockFile>();
    MemoryBlockFile* raw = file.get();
    std::unique_ptr<MdxFile> m;
    Table& t = TheTable();
    MdxFile::Create(std::move(file), "FUZZ", t.fields, t.length, m, DriverOrder());
    m->AddTag("NAME", "Upper(Name)+DTOS(When)", t);
    m->AddTag("COST", "COST", t);
    return raw->bytes();
  }();
  return bytes;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  std::string bytes;
  if (data[0] % 2 == 0) {
    bytes.assign(reinterpret_cast<const char*>(data + 1), size - 1);
  } else {
    bytes = SoundFile();
    for (size_t i = 1; i + 2 < size; i += 3) {
      size_t offset = (size_t(data[i]) | size_t(data[i + 1]) << 8) % bytes.size();
      bytes[offset] = static_cast<char>(data[i + 2]);
    }
  }
  Table& t = TheTable();
  {
    // What a damaged file still names must make a new index.
    MemoryBlockFile damaged(bytes);
    const std::vector<TagInfo> salvaged = MdxFile::Salvage(damaged, t.fields, t.length);
    std::unique_ptr<MdxFile> fresh;
    if (!salvaged.empty() &&
        !MdxFile::Create(std::make_unique<MemoryBlockFile>(), "FUZZ", t.fields, t.length, fresh).ok())
      __builtin_trap();
    for (const TagInfo& tag : salvaged)
      if (!fresh->AddTag(tag.name, tag.expression, t).ok()) __builtin_trap();
  }
  std::unique_ptr<MdxFile> m;
  if (!MdxFile::Open(std::make_unique<MemoryBlockFile>(bytes), t.fields, t.length, m, DriverOrder()).ok()) return 0;
  for (int tag = 0; tag < m->TagCount(); ++tag) {
    TagCursor c(*m, tag);
    int steps = 0;
    for (MdxStatus st = c.First(); st.ok() && steps < 4000; st = c.Next()) ++steps;
    steps = 0;
    for (MdxStatus st = c.Last(); st.ok() && steps < 4000; st = c.Prior()) ++steps;
    std::vector<uint8_t> key(m->Tag(tag).keyLength, ' ');
    m->EvaluateKey(tag, t.Record(5), key.data());
    c.SeekExact(key);
    c.SeekNearest(std::vector<uint8_t>(key.begin(), key.begin() + key.size() / 2));
    c.Next();
    m->Check(tag, t);
  }
  m->InsertRecord(t.Record(7), 151);
  m->DeleteRecord(t.Record(7), 7);
  m->UpdateRecord(t.Record(8), t.Record(9), 8);
  if (m->RegenerateAll(t).ok() && !m->CheckAll(t).ok()) __builtin_trap();  // regenerate must mend
  return 0;
}
