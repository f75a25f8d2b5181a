#include "grid/ix_memo_stream.h"

#include <algorithm>
#include <cstdio>

#include "engine_link.h"
#include "framework/dbtables.h"

namespace grid {

namespace {

// The engine's "stop reading" answer.
constexpr OrbResult kReadStopped = 9998;

[[noreturn]] void Fail(const char* what, OrbResult result) {
  char code[8];
  std::snprintf(code, sizeof code, "%04X", result);
  throw framework::EDatabaseError(std::string(what) + " (engine error $" + code + ")", result);
}

}  // namespace

TixMemoStream::TixMemoStream(framework::TField& field) {
  auto* dataSet = dynamic_cast<framework::TDBDataSet*>(field.DataSet());
  if (!dataSet || !dataSet->Active() || field.FieldNo() <= 0)
    throw framework::EDatabaseError("Field '" + field.FieldName() + "' has no memo to read");
  detail::EngineLink& engine = detail::Engine();
  const framework::TDataSetState state = dataSet->State();
  if (state == framework::dsBrowse || state == framework::dsEdit || state == framework::dsInsert)
    dataSet->UpdateCursorPos();
  cursor_ = dataSet->Handle();
  fieldNumber_ = static_cast<uint16_t>(field.FieldNo());
  OrbTableInfo info{};
  if (OrbResult r = engine.GetTableInfo(cursor_, &info); r != ORB_OK) Fail("Cannot read the table", r);
  record_.assign(info.recordSize, 0);
  if (engine.GetRecord(cursor_, record_.data(), info.recordSize, nullptr) != ORB_OK) return;  // nothing to read
  if (OrbResult r = engine.OpenBlob(cursor_, record_.data(), fieldNumber_, ORB_BLOB_READ_ONLY); r != ORB_OK)
    Fail("Cannot open the memo", r);
  open_ = true;
}

TixMemoStream::~TixMemoStream() {
  if (open_) detail::Engine().FreeBlob(cursor_, record_.data(), fieldNumber_);
}

size_t TixMemoStream::Read(char* buffer, size_t count) {
  if (!open_ || ended_ || !buffer) return 0;
  detail::EngineLink& engine = detail::Engine();
  size_t done = 0;
  while (done < count) {
    const uint32_t chunk = static_cast<uint32_t>(std::min<size_t>(count - done, ORB_MAX_BLOB_CHUNK));
    uint32_t got = 0;
    ++engineReads_;
    const OrbResult r = engine.GetBlob(cursor_, record_.data(), fieldNumber_, bytesRead_, chunk,
                                       reinterpret_cast<uint8_t*>(buffer + done), &got);
    if (r == ORB_OK || r == ORB_ERR_BLOB_END) {
      got = std::min(got, chunk);
      done += got;
      bytesRead_ += got;
    } else if (r != kReadStopped) {
      Fail("Cannot read the memo", r);
    }
    // The end of the memo (or a stop) ends the read.
    if (r != ORB_OK) {
      ended_ = true;
      break;
    }
  }
  return done;
}

std::string MemoFirstLine(TixMemoStream& stream) {
  char buffer[kMemoCellBytes];
  const std::string_view read(buffer, stream.Read(buffer, sizeof buffer));
  return std::string(read.substr(0, read.find_first_of("\r\n")));
}

std::string MemoCellText(framework::TField& field, TMemoAttributes attributes) {
  static const std::string kMemo = "(Memo)";
  if (!(attributes & mGridShow)) return kMemo;
  try {
    TixMemoStream stream(field);
    return MemoFirstLine(stream);
  } catch (const framework::Exception&) {
    return kMemo;
  }
}

}  // namespace grid
