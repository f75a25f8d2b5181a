// A test engine in place of the bound entry table: an in-memory tree that
// logs every call that changes something.
#pragma once

#include <map>
#include <string>
#include <utility>
#include <vector>

#include "core/engine_binding.h"

struct FakeNode {
  std::vector<std::string> children;                        // names, in order
  std::vector<std::pair<std::string, std::string>> params;  // OEM text
  std::string help;
};

struct FakeCall {
  std::string op;  // "open", "close", "modify", "add", "delete", "merge"
  std::string path;
  std::vector<std::pair<std::string, std::string>> rows;
  int save = 0, registry = 0, format = 0, mode = 0;
  uint32_t handle = 0;
};

struct FakeEngine {
  std::map<std::string, FakeNode> nodes;  // by path, e.g. "\" "\DRIVERS"
  std::vector<FakeCall> calls;
  std::map<std::string, uint16_t> failOpen;  // file -> code of its open
  uint16_t failOpenForWriting = 0;
  uint16_t failModify = 0;
  uint16_t failMerge = 0;
  uint16_t failRecordAt = 0;  // the n-th record read fails (1-based), 0 never
  int recordReads = 0;
  std::vector<std::pair<std::string, std::string>> langDrivers;  // name, description
  std::vector<int16_t> langValueB;
  size_t ldNext = 0;
  uint32_t nextHandle = 1;
  std::string position;
  size_t nextChild = 0;

  FakeEngine();
  ~FakeEngine();
  // Adds a leaf with parameters, creating its parents.
  void Leaf(const std::string& path, const std::vector<std::pair<std::string, std::string>>& params);
  void Branch(const std::string& path);
  std::vector<FakeCall> Changes() const;  // modify, add, delete calls
  const FakeCall* LastClose() const;
};
