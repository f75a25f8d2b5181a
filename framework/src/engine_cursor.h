// The cursor over an engine table.
#pragma once

#include <exception>
#include <memory>

#include "cursor.h"
#include "engine_api.h"

namespace framework::detail {

class EngineCursor : public Cursor {
 public:
  explicit EngineCursor(OrbCursor handle);
  ~EngineCursor() override;

  std::vector<FieldDesc> Fields() override { return fields_; }
  bool CanModify() override { return openMode_ != ORB_OPEN_READ_ONLY; }
  void SetToBegin() override;
  void SetToEnd() override;
  FetchResult Get(Fetch mode, RecordData& record) override;
  void SetToBookmark(const TBookmark& bookmark) override;
  bool BookmarkValid(const TBookmark& bookmark) override;
  int CompareBookmarks(const TBookmark& a, const TBookmark& b) override;
  int RecordCount() override;
  int RecordCountWithoutFilter() override;
  int SequenceNumber() override;
  void Refresh() override;
  RecordData NewRecord() override;
  void Insert(RecordData& record) override;
  void Modify(RecordData& record) override;
  void Delete() override;
  void SetFilter(std::function<bool(const std::vector<FieldValue>&)> accept) override;
  const FieldValue* FilterValue(size_t index) override;

  std::vector<IndexInfo> Indexes() override;
  void SwitchToIndex(const std::string& name) override;
  void AddIndex(const IndexInfo& index) override;
  void DeleteIndex(const std::string& name) override;
  bool FindKey(const KeySearch& key) override;
  void SetRange(const std::vector<FieldValue>* low, const std::vector<FieldValue>* high) override;
  void CancelRange() override;
  uint32_t Handle() const override { return handle_; }

  static TFieldType TypeOf(const OrbFieldDesc& d);

 private:
  // What decoding a field needs, packed (read for every field of every record).
  struct Slot {
    uint32_t offset;  // in the record
    uint16_t index;   // in descs_
    uint16_t number;
    uint16_t width;
    char type;
    bool integer;    // a whole number read as an integer
    bool blankable;  // its stored bytes read here (a known type within the record)
  };

  static int FilterTrampoline(void* context, const uint8_t* record, uint32_t recordNumber);
  void Decode(const uint8_t* record, bool withMemos, std::vector<FieldValue>& values);
  void DecodeField(const Slot& f, const uint8_t* record, bool withMemos, FieldValue& out);
  std::string ReadMemo(const OrbFieldDesc& d, const uint8_t* record);
  std::string Encode(RecordData& record);
  void EncodeInto(const RecordData& record, uint8_t* buf, std::vector<uint16_t>& openMemos);
  void Call(OrbResult result);  // rethrows a filter's exception, then checks
  void DropFilter();

  EngineApi& e_;
  OrbCursor handle_;
  uint16_t openMode_ = ORB_OPEN_SHARED;
  uint32_t recordSize_ = 0;
  std::vector<OrbFieldDesc> descs_;
  std::vector<FieldDesc> fields_;
  std::vector<Slot> slots_;        // by field index
  std::vector<Slot> decodeOrder_;  // the same, grouped by type
  OrbFilter filter_ = 0;
  std::function<bool(const std::vector<FieldValue>&)> accept_;
  std::exception_ptr pending_;
  // The record under filter test and its fields decoded so far.
  const uint8_t* filterRecord_ = nullptr;
  std::vector<FieldValue> filterValues_;
  std::vector<char> filterDecoded_;
  // The text of a character field holding a NUL, as the engine writes it.
  char text_[256];
  // A record read beside the one a fetch reads over.
  std::string read_;
};

}  // namespace framework::detail
