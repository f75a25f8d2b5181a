#include "mdx_test_table.h"

#include <cstring>
#include <stdexcept>
#include <strings.h>

namespace mdx_test {

MemTable::MemTable(std::initializer_list<FieldSpec> specs) {
  for (const FieldSpec& s : specs) {
    orb::mdx::FieldDesc f;
    f.name = s.name;
    f.type = s.type;
    f.offset = recordLength_;
    f.width = static_cast<uint16_t>(s.width);
    f.decimals = static_cast<uint8_t>(s.decimals);
    recordLength_ += f.width;
    fields_.push_back(f);
  }
}

MemTable MemTable::Inventory() {
  return MemTable({{"ITEM", 'C', 40, 0},       {"BRAND", 'C', 20, 0},     {"MODEL", 'C', 20, 0},
                   {"SERIAL", 'C', 20, 0},     {"LOCATION", 'C', 30, 0},  {"DESCRIPTIO", 'C', 110, 0},
                   {"BOUGHTFROM", 'C', 40, 0}, {"IDMARKS", 'C', 60, 0},   {"QUANTITY", 'N', 11, 0},
                   {"PURCHDATE", 'D', 8, 0},   {"COST", 'N', 12, 2},      {"CATEGORY", 'C', 20, 0},
                   {"REPCOST", 'N', 12, 2},    {"WARRANTY", 'C', 3, 0},   {"WARDATE", 'D', 8, 0},
                   {"WARNOTES", 'C', 30, 0},   {"OWNER", 'C', 30, 0},     {"VALUE", 'N', 12, 2},
                   {"USERDEF1", 'C', 40, 0},   {"USERDEF2", 'C', 40, 0},  {"USERDEF3", 'C', 40, 0},
                   {"USERDEF4", 'C', 40, 0}});
}

uint32_t MemTable::Add(std::initializer_list<std::pair<const char*, std::string>> values) {
  records_.emplace_back(recordLength_, ' ');
  uint32_t recno = RecordCount();
  for (const auto& [name, value] : values) Set(recno, name, value);
  return recno;
}

void MemTable::Set(uint32_t recno, const std::string& field, const std::string& value) {
  for (const auto& f : fields_) {
    if (strcasecmp(f.name.c_str(), field.c_str()) != 0) continue;
    uint8_t* p = records_.at(recno - 1).data() + f.offset;
    std::memset(p, ' ', f.width);
    size_t n = std::min<size_t>(value.size(), f.width);
    if (f.type == 'N' || f.type == 'F')
      std::memcpy(p + f.width - n, value.data(), n);  // numbers right-aligned
    else
      std::memcpy(p, value.data(), n);
    return;
  }
  throw std::runtime_error("no field " + field);
}

std::vector<uint8_t> Bytes(const std::string& s) { return std::vector<uint8_t>(s.begin(), s.end()); }

}  // namespace mdx_test
