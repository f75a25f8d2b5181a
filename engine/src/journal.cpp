#include "journal.h"

#include <cctype>
#include <cstring>
#include <string>

#include "crc32.h"
#include "platform/paths.h"
#include "status.h"

namespace orb {
namespace {

constexpr uint8_t kSignature[4] = {'O', 'J', 'N', 'L'};
constexpr uint16_t kVersion = 1;
constexpr size_t kHeadFixed = 28;   // signature to header length
constexpr size_t kEntryFixed = 16;  // file to length

void Put16(uint8_t* p, uint32_t v) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
}
void Put32(uint8_t* p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}
void Put64(uint8_t* p, int64_t v) {
  for (int i = 0; i < 8; ++i) p[i] = static_cast<uint8_t>(static_cast<uint64_t>(v) >> (8 * i));
}
uint32_t Get32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 | static_cast<uint32_t>(p[2]) << 16 |
         static_cast<uint32_t>(p[3]) << 24;
}
int64_t Get64(const uint8_t* p) {
  uint64_t v = 0;
  for (int i = 7; i >= 0; --i) v = v << 8 | p[i];
  return static_cast<int64_t>(v);
}

// A journal never holds more old bytes in one entry than a file can have.
constexpr uint32_t kMaxEntry = 1u << 30;

// Entries gathered in memory before they are written.
constexpr size_t kGather = 256u << 10;

}  // namespace

std::filesystem::path Journal::PathFor(const std::filesystem::path& table) {
  // MASTER.DBF -> MASTER.JNL, master.dbf -> master.jnl; one already there is found in any case.
  const std::string ext = table.extension().string();
  bool lower = false;
  for (char c : ext) lower = lower || std::islower(static_cast<unsigned char>(c));
  return platform::FindFileNoCase(table.parent_path(), table.stem().string() + (lower ? ".jnl" : ".JNL"));
}

bool Journal::Exists(const std::filesystem::path& table) {
  std::error_code ec;
  return std::filesystem::is_regular_file(PathFor(table), ec);
}

OrbResult Journal::Create(const std::filesystem::path& path, int64_t tableLength, int64_t memoLength,
                          const std::vector<uint8_t>& header) {
  unwritten_.clear();
  OrbResult r = file_.Create(path);
  if (r != ORB_OK) return r;
  std::vector<uint8_t> head(kHeadFixed + header.size() + 4, 0);
  std::memcpy(head.data(), kSignature, 4);
  Put16(head.data() + 4, kVersion);
  Put64(head.data() + 8, tableLength);
  Put64(head.data() + 16, memoLength);
  Put32(head.data() + 24, static_cast<uint32_t>(header.size()));
  std::memcpy(head.data() + kHeadFixed, header.data(), header.size());
  Put32(head.data() + kHeadFixed + header.size(), Crc32(0, head.data(), kHeadFixed + header.size()));
  r = file_.WriteAt(0, head.data(), head.size());
  end_ = static_cast<int64_t>(head.size());
  return r;
}

OrbResult Journal::Add(uint8_t file, int64_t offset, const uint8_t* bytes, size_t size) {
  const size_t length = kEntryFixed + size + 4;
  // Gathered up to a bound, then written (unsynced) and the buffer used
  // again: entries written before the sync guard changes not yet made,
  // and putting their old bytes back changes nothing.
  if (!unwritten_.empty() && unwritten_.size() + length > kGather) {
    OrbResult r = WriteGathered();
    if (r != ORB_OK) return r;
  }
  if (unwritten_.capacity() < kGather) unwritten_.reserve(kGather);
  const size_t at = unwritten_.size();
  unwritten_.resize(at + length);
  uint8_t* entry = unwritten_.data() + at;
  entry[0] = file;
  entry[1] = entry[2] = entry[3] = 0;
  Put64(entry + 4, offset);
  Put32(entry + 12, static_cast<uint32_t>(size));
  std::memcpy(entry + kEntryFixed, bytes, size);
  Put32(entry + kEntryFixed + size, Crc32(0, entry, kEntryFixed + size));
  end_ += static_cast<int64_t>(length);
  return ORB_OK;
}

OrbResult Journal::WriteGathered() {
  if (unwritten_.empty()) return ORB_OK;
  const int64_t at = end_ - static_cast<int64_t>(unwritten_.size());
  OrbResult r = file_.WriteAt(at, unwritten_.data(), unwritten_.size());
  if (r == ORB_OK) unwritten_.clear();
  return r;
}

OrbResult Journal::Sync() {
  OrbResult r = WriteGathered();
  return r == ORB_OK ? file_.Sync() : r;
}

OrbResult Journal::Undo(const std::filesystem::path& path, File& table, const std::filesystem::path& memoPath) {
  File in;
  OrbResult r = in.Open(path, false);
  if (r != ORB_OK) return r;
  uint8_t fixed[kHeadFixed];
  size_t got = 0;
  r = in.ReadSome(0, fixed, sizeof fixed, &got);
  if (r != ORB_OK) return r;
  if (got < sizeof fixed || std::memcmp(fixed, kSignature, 4) != 0) return ORB_OK;  // cut off before its head
  const uint32_t headerLength = Get32(fixed + 24);
  if (headerLength > 65535 + 1) return ORB_OK;
  std::vector<uint8_t> head(kHeadFixed + headerLength + 4);
  r = in.ReadSome(0, head.data(), head.size(), &got);
  if (r != ORB_OK) return r;
  if (got < head.size() || Crc32(0, head.data(), kHeadFixed + headerLength) != Get32(head.data() + kHeadFixed + headerLength)) {
    return ORB_OK;
  }
  const int64_t tableLength = Get64(head.data() + 8);
  const int64_t memoLength = Get64(head.data() + 16);
  // A batch that moved the change counter on disk may have changed the
  // index, stamped with that counter: the counter put back is a new one,
  // so such an index shows it is out of step.
  uint8_t* oldHeader = head.data() + kHeadFixed;
  uint8_t now[4];
  if (headerLength >= 20 && table.ReadSome(16, now, sizeof now, &got) == ORB_OK && got == sizeof now &&
      std::memcmp(now, oldHeader + 16, 4) != 0) {
    Put32(oldHeader + 16, Get32(now) + 1);
  }

  File memo;
  std::error_code ec;
  const bool haveMemo = memoLength >= 0 && !memoPath.empty() && std::filesystem::is_regular_file(memoPath, ec);
  if (haveMemo) {
    r = memo.Open(memoPath, true);
    if (r != ORB_OK) return r;
  }
  // The entries up to the first one that is not whole: the one being
  // written when the batch was cut off guarded nothing yet.
  int64_t at = static_cast<int64_t>(head.size());
  std::vector<uint8_t> entry;
  for (;;) {
    uint8_t e[kEntryFixed];
    r = in.ReadSome(at, e, sizeof e, &got);
    if (r != ORB_OK) return r;
    if (got < sizeof e) break;
    const uint32_t size = Get32(e + 12);
    if (size > kMaxEntry || (e[0] != kTable && e[0] != kMemo)) break;
    entry.resize(kEntryFixed + size + 4);
    r = in.ReadSome(at, entry.data(), entry.size(), &got);
    if (r != ORB_OK) return r;
    if (got < entry.size() || Crc32(0, entry.data(), kEntryFixed + size) != Get32(entry.data() + kEntryFixed + size)) break;
    const int64_t offset = Get64(e + 4);
    if (e[0] == kTable) {
      r = table.WriteAt(offset, entry.data() + kEntryFixed, size);
    } else if (haveMemo) {
      r = memo.WriteAt(offset, entry.data() + kEntryFixed, size);
    }
    if (r != ORB_OK) return r;
    at += static_cast<int64_t>(entry.size());
  }
  r = table.Truncate(tableLength);
  if (r == ORB_OK) r = table.WriteAt(0, head.data() + kHeadFixed, headerLength);
  if (r == ORB_OK && haveMemo) r = memo.Truncate(memoLength);
  if (r == ORB_OK && haveMemo) r = memo.Sync();
  if (r == ORB_OK) r = table.Sync();
  return r;
}

}  // namespace orb
