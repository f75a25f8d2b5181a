// An in-memory dBASE table for the index tests: fields laid out as a DBF
// record lays them out, values written as the table layer writes them.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

#include "mdx/mdx_file.h"

namespace mdx_test {

struct FieldSpec {
  const char* name;
  char type;
  int width;
  int decimals;
};

class MemTable : public orb::mdx::RecordSource {
 public:
  explicit MemTable(std::initializer_list<FieldSpec> specs);
  static MemTable Inventory();  // the 22 inventory fields

  // Appends a record; values by field name, others blank. Returns its number.
  uint32_t Add(std::initializer_list<std::pair<const char*, std::string>> values);
  void Set(uint32_t recno, const std::string& field, const std::string& value);
  std::vector<uint8_t> Copy(uint32_t recno) const { return records_[recno - 1]; }
  void Remove(uint32_t recno) { records_.erase(records_.begin() + (recno - 1)); }

  uint32_t RecordCount() override { return static_cast<uint32_t>(records_.size()); }
  const uint8_t* Record(uint32_t recno) override {
    return recno >= 1 && recno <= records_.size() ? records_[recno - 1].data() : nullptr;
  }

  const std::vector<orb::mdx::FieldDesc>& fields() const { return fields_; }
  uint32_t recordLength() const { return recordLength_; }

 private:
  std::vector<orb::mdx::FieldDesc> fields_;
  uint32_t recordLength_ = 1;
  std::vector<std::vector<uint8_t>> records_;
};

std::vector<uint8_t> Bytes(const std::string& s);

}  // namespace mdx_test
