// TixMemoStream: a memo field's text read straight from the engine, for the
// grid's memo cells; and the memo attributes the memo dialog and the grid
// share.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "framework/db.h"

namespace grid {

// mDisableDialog: the grid never opens the memo dialog.
enum TMemoAttribute : unsigned { mSizeable = 1, mWordWrap = 2, mViewOnly = 4, mGridShow = 8, mDisableDialog = 16 };
using TMemoAttributes = unsigned;
inline constexpr TMemoAttributes kDefaultMemoAttributes = mSizeable | mWordWrap;

class TixMemoStream {
 public:
  // Reads the current record of the field's dataset (a table or query on
  // the engine) and opens its memo; EDatabaseError when the engine refuses.
  explicit TixMemoStream(framework::TField& field);
  ~TixMemoStream();
  TixMemoStream(const TixMemoStream&) = delete;
  TixMemoStream& operator=(const TixMemoStream&) = delete;

  // Up to `count` bytes from where the last read ended; 0 at the end.
  size_t Read(char* buffer, size_t count);
  // The engine reads made so far.
  int EngineReads() const { return engineReads_; }

 private:
  uint32_t cursor_ = 0;
  uint16_t fieldNumber_ = 0;
  std::vector<uint8_t> record_;
  uint32_t bytesRead_ = 0;
  bool open_ = false;
  bool ended_ = false;
  int engineReads_ = 0;
};

// A memo cell reads no more than this of a memo, however long its first line.
inline constexpr size_t kMemoCellBytes = 255;
// The first line (cut at the first CR or LF) of the next kMemoCellBytes the
// stream holds; only those are read.
std::string MemoFirstLine(TixMemoStream& stream);

// What a grid cell shows for a memo field: with mGridShow the memo's first
// line, else (and when the memo cannot be read) "(Memo)".
std::string MemoCellText(framework::TField& field, TMemoAttributes attributes);

}  // namespace grid
