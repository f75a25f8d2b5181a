#include "memo.h"

#include <algorithm>
#include <cstring>

#include "status.h"

namespace orb {
namespace {

uint32_t Get32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
         static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
}
void Put32(uint8_t* p, uint32_t v) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
  p[2] = static_cast<uint8_t>(v >> 16);
  p[3] = static_cast<uint8_t>(v >> 24);
}

constexpr uint32_t kMaxMemoBytes = 64u << 20;  // beyond any text a user keeps in a memo

}  // namespace

OrbResult MemoFile::Open(const std::filesystem::path& path, Style style, bool needWrite) {
  style_ = style;
  OrbResult r = file_.Open(path, needWrite);
  if (r == ORB_ERR_NO_SUCH_TABLE) return Fail(ORB_ERR_MEMO_MISSING, path.string() + " is missing");
  if (r != ORB_OK) return r;
  return ReadHeader();
}

OrbResult MemoFile::ReadHeader() {
  uint8_t head[32] = {};
  size_t got = 0;
  OrbResult r = file_.ReadSome(0, head, sizeof head, &got);
  if (r != ORB_OK) return r;
  if (got < 24 && got != 0) return Fail(ORB_ERR_MEMO_CORRUPT, file_.Path().string() + ": header cut short");
  blockSize_ = 512;
  if (style_ == Style::kDbase4 && got >= 22) {
    uint32_t bs = static_cast<uint32_t>(head[20]) | static_cast<uint32_t>(head[21]) << 8;
    if (bs != 0) {
      if (bs < 32 || bs % 32 != 0) {
        return Fail(ORB_ERR_MEMO_CORRUPT, file_.Path().string() + ": block size " + std::to_string(bs));
      }
      blockSize_ = bs;
    }
  }
  return ORB_OK;
}

OrbResult MemoFile::Create(const std::filesystem::path& path, const std::string& tableName, bool durable) {
  File f;
  OrbResult r = f.Create(path);
  if (r != ORB_OK) return r;
  std::vector<uint8_t> block(512, 0);
  Put32(block.data(), 1);
  for (size_t i = 0; i < 8 && i < tableName.size(); ++i) block[8 + i] = static_cast<uint8_t>(tableName[i]);
  block[16] = 0;
  block[20] = 0x00;  // 512 = 0x0200
  block[21] = 0x02;
  r = f.WriteAt(0, block.data(), block.size());
  if (r == ORB_OK && durable) r = f.Sync();
  return r;
}

OrbResult MemoFile::Read(uint32_t block, std::vector<uint8_t>* text) {
  text->clear();
  if (block == 0) return ORB_OK;
  int64_t size = 0;
  OrbResult r = file_.Size(&size);
  if (r != ORB_OK) return r;
  const int64_t start = static_cast<int64_t>(block) * blockSize_;
  if (start >= size) {
    return Fail(ORB_ERR_MEMO_CORRUPT, file_.Path().string() + ": block " + std::to_string(block) +
                                          " is beyond the end of the file");
  }
  uint8_t head[8] = {};
  size_t got = 0;
  r = file_.ReadSome(start, head, sizeof head, &got);
  if (r != ORB_OK) return r;
  if (got == 8 && head[0] == 0xFF && head[1] == 0xFF && head[2] == 0x08 && head[3] == 0x00) {
    uint32_t length = Get32(head + 4);
    if (length < 8 || start + length > size || length - 8 > kMaxMemoBytes) {
      return Fail(ORB_ERR_MEMO_CORRUPT, file_.Path().string() + ": memo at block " +
                                            std::to_string(block) + " has length " + std::to_string(length));
    }
    text->resize(length - 8);
    return file_.ReadAt(start + 8, text->data(), text->size());
  }
  // dBASE III: the text runs to 1A 1A (a lone 1A also ends it in files
  // from some tools), or to the end of the file.
  const int64_t limit = std::min<int64_t>(size - start, kMaxMemoBytes);
  std::vector<uint8_t> chunk(4096);
  int64_t pos = 0;
  while (pos < limit) {
    size_t want = static_cast<size_t>(std::min<int64_t>(static_cast<int64_t>(chunk.size()), limit - pos));
    r = file_.ReadSome(start + pos, chunk.data(), want, &got);
    if (r != ORB_OK) return r;
    if (got == 0) break;
    const uint8_t* end = static_cast<const uint8_t*>(std::memchr(chunk.data(), 0x1A, got));
    if (end != nullptr) {
      text->insert(text->end(), static_cast<const uint8_t*>(chunk.data()), end);
      return ORB_OK;
    }
    text->insert(text->end(), chunk.data(), chunk.data() + got);
    pos += static_cast<int64_t>(got);
  }
  return ORB_OK;
}

OrbResult MemoFile::StoredBlocks(uint32_t block, uint32_t* blocks) {
  *blocks = 0;
  if (block == 0 || style_ != Style::kDbase4) return ORB_OK;
  int64_t size = 0;
  OrbResult r = file_.Size(&size);
  if (r != ORB_OK) return r;
  const int64_t start = static_cast<int64_t>(block) * blockSize_;
  uint8_t head[8] = {};
  size_t got = 0;
  r = file_.ReadSome(start, head, sizeof head, &got);
  if (r != ORB_OK) return r;
  if (got != 8 || head[0] != 0xFF || head[1] != 0xFF || head[2] != 0x08 || head[3] != 0x00) return ORB_OK;
  uint32_t length = Get32(head + 4);
  if (length < 8 || start + length > size) return ORB_OK;
  *blocks = (length + blockSize_ - 1) / blockSize_;
  return ORB_OK;
}

OrbResult MemoFile::Write(uint32_t oldBlock, const std::vector<uint8_t>& text, uint32_t* newBlock) {
  *newBlock = 0;
  if (text.empty()) return ORB_OK;
  if (text.size() > kMaxMemoBytes) return Fail(ORB_ERR_VALUE_RANGE, "memo text too long");
  std::vector<uint8_t> stored;
  if (style_ == Style::kDbase4) {
    stored.resize(8 + text.size());
    stored[0] = 0xFF;
    stored[1] = 0xFF;
    stored[2] = 0x08;
    stored[3] = 0x00;
    Put32(stored.data() + 4, static_cast<uint32_t>(stored.size()));
    std::memcpy(stored.data() + 8, text.data(), text.size());
  } else {
    stored = text;
    stored.push_back(0x1A);
    stored.push_back(0x1A);
  }
  const uint32_t needBlocks = static_cast<uint32_t>((stored.size() + blockSize_ - 1) / blockSize_);

  uint32_t haveBlocks = 0;
  OrbResult r = StoredBlocks(oldBlock, &haveBlocks);
  if (r != ORB_OK) return r;
  if (haveBlocks >= needBlocks) {
    r = file_.WriteAt(static_cast<int64_t>(oldBlock) * blockSize_, stored.data(), stored.size());
    if (r == ORB_OK) *newBlock = oldBlock;
    return r;
  }

  uint8_t head[4] = {};
  r = file_.ReadAt(0, head, sizeof head);
  if (r != ORB_OK) return Fail(ORB_ERR_MEMO_CORRUPT, file_.Path().string() + ": no header");
  uint32_t next = Get32(head);
  int64_t size = 0;
  r = file_.Size(&size);
  if (r != ORB_OK) return r;
  // Never trust a next-free pointer that would overwrite memos at the end.
  uint32_t endBlock = static_cast<uint32_t>((size + blockSize_ - 1) / blockSize_);
  if (next < endBlock) next = endBlock;
  if (next == 0) next = 1;
  // Whole blocks, so the next memo starts on a boundary.
  stored.resize(static_cast<size_t>(needBlocks) * blockSize_, 0);
  r = file_.WriteAt(static_cast<int64_t>(next) * blockSize_, stored.data(), stored.size());
  if (r != ORB_OK) return r;
  uint8_t nextFree[4];
  Put32(nextFree, next + needBlocks);
  r = file_.WriteAt(0, nextFree, sizeof nextFree);
  if (r != ORB_OK) return r;
  *newBlock = next;
  return ORB_OK;
}

}  // namespace orb
