// What the pieces of MdxFile share and nobody else sees: the layout's
// constants, the little-endian readers and writers, the failure every
// piece throws, the tags' and blocks' decoded state, and the wrappers that
// turn a failure into a status. The layout itself is in mdx_format.md.
#pragma once

#include <algorithm>
#include <cctype>
#include <cstring>
#include <new>
#include <string>
#include <string_view>
#include <vector>

#include "mdx/mdx_file.h"

namespace orb::mdx {

inline constexpr uint32_t kPageSize = 512;
inline constexpr uint32_t kHeaderPages = 4;        // header and tag table
inline constexpr uint32_t kTagTableOffset = 544;
inline constexpr uint32_t kTagEntryLength = 32;
inline constexpr int kMaxDepth = 24;
inline constexpr uint32_t kMaxPages = 0x7FFFFFFF / kPageSize * 8;  // keeps offsets in 64-bit range

struct Failure {
  MdxCode code;
  std::string message;
};

[[noreturn]] inline void Fail(MdxCode code, std::string message) { throw Failure{code, std::move(message)}; }
[[noreturn]] inline void Damaged(std::string message) { Fail(MdxCode::kCorrupt, std::move(message)); }

inline uint16_t Get16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
inline uint32_t Get32(const uint8_t* p) {
  return uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24);
}
inline void Put16(uint8_t* p, uint32_t v) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
}
inline void Put32(uint8_t* p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}

inline std::string UpperName(std::string_view s) {
  std::string r(s);
  for (char& c : r) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return r;
}

inline bool ValidTagName(std::string_view n) {
  if (n.empty() || n.size() > kMaxTagName) return false;
  if (!std::isalpha(static_cast<unsigned char>(n[0]))) return false;
  return std::all_of(n.begin(), n.end(),
                     [](char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '_'; });
}

struct MdxFile::TagState {
  std::string name;
  uint32_t headerPage = 0;
  uint32_t root = 0;
  uint32_t sizePages = 0;
  uint8_t keyFormat = 0x10;
  KeyType type = KeyType::kCharacter;
  uint16_t keyLength = 0;
  uint16_t maxKeys = 0;     // keys per block
  uint16_t itemLength = 0;  // bytes of one pointer and key
  uint8_t serial = 0;
  uint32_t leftLink = 0, rightLink = 0;
  KeyExpression expr;
  uint64_t changes = 1;     // counted up on every change (cursors re-find their entry)
  uint8_t links[3] = {};
};

// A decoded tree block: a leaf holds count record numbers, an interior
// block count + 1 child pages.
struct MdxFile::Node {
  bool leaf = true;
  std::vector<uint32_t> ptr;
  std::vector<uint8_t> keys;  // count x key length
  uint32_t count(uint16_t keyLength) const { return static_cast<uint32_t>(keys.size() / keyLength); }
};

// Runs f; a failure (or running out of memory) is answered as a status,
// after `undo` has dealt with what f left.
template <typename F, typename U>
MdxStatus MdxFile::Attempt(F&& f, U&& undo) {
  try {
    f();
    return MdxStatus::Ok();
  } catch (const Failure& e) {
    undo();
    return MdxStatus::Make(e.code, e.message);
  } catch (const std::bad_alloc&) {
    undo();
    return MdxStatus::Make(MdxCode::kIoError, "out of memory");
  }
}

template <typename F>
MdxStatus MdxFile::Guard(F&& f) {
  if (writeBack_ && Holding()) {
    // A change with the whole file in view starts from a file that holds
    // every change made before it.
    MdxStatus st = Checkpoint();
    if (!st.ok()) {
      stampPending_ = false;
      return st;
    }
  }
  return Attempt(
      [&] {
        TakeStamp();
        f();
        Flush();
      },
      [&] { Reload(); });
}

// Without write-back as Guard (a read flushes nothing; a failure reads the
// header again). Held changes are not in the file: a failure keeps them.
template <typename F>
MdxStatus MdxFile::Read(F&& f) {
  return Attempt(
      [&] {
        if (writeBack_) TrimCache();
        f();
        if (!writeBack_) Flush();
      },
      [&] {
        if (!writeBack_) Reload();
      });
}

}  // namespace orb::mdx
