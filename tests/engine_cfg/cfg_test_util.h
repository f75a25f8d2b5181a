// Builders for the parameter rows of the configuration entries.
#pragma once

#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

#include "orbex32_cfg.h"

struct RowBlock {
  std::vector<uint8_t> rows;
  std::vector<char> values;
  uint16_t count = 0;

  RowBlock(std::initializer_list<std::pair<std::string, std::string>> list) {
    std::vector<std::pair<std::string, std::string>> params(list);
    count = static_cast<uint16_t>(params.size());
    rows.assign(params.size() * ORB_CFG_ROW_BYTES, 0);
    values.assign(params.size() * ORB_CFG_VALUE_BYTES, 0);
    for (size_t i = 0; i < params.size(); ++i) {
      uint8_t* r = rows.data() + i * ORB_CFG_ROW_BYTES;
      r[0] = static_cast<uint8_t>(i);
      std::memcpy(r + ORB_ROW_NAME, params[i].first.data(), std::min<size_t>(params[i].first.size(), 31));
      r[ORB_ROW_TYPE] = 1;
      uint16_t off = static_cast<uint16_t>(i * ORB_CFG_VALUE_BYTES);
      r[ORB_ROW_OFFSET] = static_cast<uint8_t>(off & 0xFF);
      r[ORB_ROW_OFFSET + 1] = static_cast<uint8_t>(off >> 8);
      r[ORB_ROW_LENGTH] = ORB_CFG_VALUE_BYTES;
      std::memcpy(values.data() + off, params[i].second.data(), std::min<size_t>(params[i].second.size(), 127));
    }
  }
};

// The parameters of a node as (name, value) pairs; empty on failure.
inline std::vector<std::pair<std::string, std::string>> ReadNode(uint32_t h, const std::string& path,
                                                                 uint16_t* rc = nullptr) {
  std::vector<std::pair<std::string, std::string>> out;
  uint16_t count = 0;
  uint16_t r = EngineGetConfigRecord(h, path.c_str(), &count, nullptr, nullptr);
  if (rc) *rc = r;
  if (r != 0 || count == 0) return out;
  std::vector<uint8_t> rows(count * ORB_CFG_ROW_BYTES);
  std::vector<char> values(count * ORB_CFG_VALUE_BYTES);
  r = EngineGetConfigRecord(h, path.c_str(), &count, rows.data(), values.data());
  if (rc) *rc = r;
  for (uint16_t i = 0; i < count; ++i)
    out.emplace_back(std::string(reinterpret_cast<char*>(rows.data() + i * ORB_CFG_ROW_BYTES + ORB_ROW_NAME)),
                     std::string(values.data() + i * ORB_CFG_VALUE_BYTES));
  return out;
}

inline std::vector<std::string> Children(uint32_t h, const std::string& path, uint16_t* last = nullptr) {
  std::vector<std::string> out;
  if (EngineSetConfigNode(h, path.c_str()) != 0) return out;
  char name[ORB_CFG_NAME_BYTES];
  uint16_t rc;
  while ((rc = EngineNextConfigChild(h, name)) == 0) out.emplace_back(name);
  if (last) *last = rc;
  return out;
}

inline std::string Value(uint32_t h, const std::string& path, const std::string& name) {
  for (auto& [n, v] : ReadNode(h, path))
    if (n == name) return v;
  return "<missing>";
}
