// Helpers for the engine's tests: files made byte by byte (standing for
// what other dBASE tools write) and a folder of tables per test.
#pragma once

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "orbex32.h"
#include "temp_root.h"

namespace engine_test {

struct FieldSpec {
  std::string name;
  char type;
  uint8_t width;
  uint8_t decimals;
};

// A DBF as bytes. `records` are the record texts after the flag byte; a
// leading "*" in a record's entry marks it deleted (the rest follows).
struct DbfBytes {
  uint8_t version = 0x03;
  std::vector<FieldSpec> fields;
  std::vector<std::string> records;
  int64_t countOverride = -1;  // header count when not the real one
  bool endMarker = true;
  uint8_t languageDriver = 0x57;
  uint8_t productionFlag = 0;
  std::string Build() const;
};

// A dBASE IV memo file with the given texts in blocks 1, 2, ... (each
// memo in its own run of 512-byte blocks); *blocks gets the first block of each.
std::string Dbase4Memo(const std::vector<std::string>& texts, std::vector<uint32_t>* blocks);
// A dBASE III memo file: texts ended by 1A 1A, in 512-byte blocks.
std::string Dbase3Memo(const std::vector<std::string>& texts, std::vector<uint32_t>* blocks);

// The inventory's 22 fields.
std::vector<OrbFieldDesc> InventoryFields();
OrbFieldDesc Field(const char* name, char type, uint16_t width, uint8_t decimals = 0);

class EngineTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;
  std::filesystem::path Dir() const { return root_.path() / "DATA"; }
  void Write(const std::string& name, const std::string& bytes);
  std::string Read(const std::string& name);
  OrbCursor Open(const char* table, uint16_t mode = ORB_OPEN_SHARED);
  // Creates a table of fields and fills it through the engine.
  void MakeTable(const char* table, const std::vector<OrbFieldDesc>& fields);
  std::string Text(OrbCursor c, uint16_t field, const uint8_t* record);
  double Number(OrbCursor c, uint16_t field, const uint8_t* record);
  std::vector<uint8_t> Buffer(OrbCursor c);
  // The record numbers a full scan visits.
  std::vector<uint32_t> Scan(OrbCursor c);
  // Runs `child` in a forked process (its exit status is its answer) while
  // this process holds whatever it holds.
  template <typename F>
  int InChild(F child) {
    pid_t pid = fork();
    if (pid == 0) _exit(child());
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }
  // Runs `f` here while a forked process holds `table` open in `mode`;
  // false when that process could not open it (then `f` does not run).
  template <typename F>
  bool WhileAnotherProcessHolds(const char* table, uint16_t mode, F f) {
    int ready[2], done[2];
    if (pipe(ready) != 0) return false;
    if (pipe(done) != 0) {
      close(ready[0]);
      close(ready[1]);
      return false;
    }
    const pid_t pid = fork();
    if (pid == 0) {
      OrbCursor c = 0;
      char b = EngineOpenTable(db_, table, mode, &c) == ORB_OK ? 'y' : 'n';
      if (write(ready[1], &b, 1) != 1 || read(done[0], &b, 1) != 1) _exit(2);
      _exit(0);
    }
    char b = 0;
    const bool held = read(ready[0], &b, 1) == 1 && b == 'y';
    if (held) f();
    const bool released = write(done[1], "x", 1) == 1;
    int status = 0;
    waitpid(pid, &status, 0);
    for (int fd : {ready[0], ready[1], done[0], done[1]}) close(fd);
    return held && released;
  }

  testing_support::TempRoot root_;
  OrbDatabase db_ = 0;
  std::vector<OrbCursor> open_;
};

}  // namespace engine_test
