// The registry: HKEY_LOCAL_MACHINE and HKEY_CURRENT_USER as two REGEDIT4
// text files under RegistryDir() ("HKLM.reg", "HKCU.reg").
//
// File form: first line "REGEDIT4"; key lines such as
// "[HKEY_LOCAL_MACHINE\Software\Vantrix\Slw32]"; values "name"="text" (\\ and
// \" escaped), "name"=dword:0000012c, "name"=hex:00,01,... and @ for the
// key's default value. Key names compare without regard to case; values are
// enumerated in file order. Every change locks the hive, re-reads it, applies
// the change and writes it through a temporary file and a rename, so two
// processes never lose each other's values. Results are Win32 error codes.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace platform::registry {

enum class Hive { LocalMachine, CurrentUser };

// Win32 error codes, as the registry functions return them.
enum Status : long {
  kSuccess = 0,
  kFileNotFound = 2,      // no such key or value
  kAccessDenied = 5,      // key opened read-only, or the hive cannot be written
  kInvalidParameter = 87,
  kMoreData = 234,        // the caller's buffer is too small
  kNoMoreItems = 259,     // enumeration index past the end
  kWriteFault = 29,       // the hive file could not be written
};

enum class ValueType : uint32_t { String = 1, Binary = 3, Dword = 4 };

struct Value {
  std::string name;            // "" is the default value (@)
  ValueType type = ValueType::String;
  std::string text;            // String (Windows-1252 bytes, no terminator)
  uint32_t dword = 0;          // Dword
  std::vector<uint8_t> bytes;  // Binary
};

class Key {
 public:
  Key() = default;
  bool IsOpen() const { return open_; }
  Hive hive() const { return hive_; }
  const std::string& path() const { return path_; }
  bool writable() const { return writable_; }

  Status QueryValue(std::string_view name, Value& out) const;
  Status QueryString(std::string_view name, std::string& out) const;
  Status QueryDword(std::string_view name, uint32_t& out) const;
  Status QueryBinary(std::string_view name, std::vector<uint8_t>& out) const;
  Status SetString(std::string_view name, std::string_view text);
  Status SetDword(std::string_view name, uint32_t value);
  Status SetBinary(std::string_view name, const std::vector<uint8_t>& bytes);
  Status DeleteValue(std::string_view name);
  // Values in file order; kNoMoreItems past the end.
  Status EnumValue(uint32_t index, Value& out) const;
  // Immediate subkeys' names in file order; kNoMoreItems past the end.
  Status EnumKey(uint32_t index, std::string& out) const;
  void Close() { open_ = false; }

 private:
  friend Status OpenKey(Hive, std::string_view, bool, Key&);
  friend Status CreateKey(Hive, std::string_view, Key&);
  Hive hive_ = Hive::LocalMachine;
  std::string path_;   // subkey path below the hive, "\"-separated
  bool writable_ = false;
  bool open_ = false;
};

// Opens an existing key; kFileNotFound when it does not exist.
Status OpenKey(Hive hive, std::string_view subkey, bool writable, Key& out);
// Opens a key for writing, creating it and its parents when missing.
Status CreateKey(Hive hive, std::string_view subkey, Key& out);
// Deletes a key and its subtree.
Status DeleteKey(Hive hive, std::string_view subkey);

// Marks a hive as not writable (tests of the failure paths); persists until reset.
void SetHiveReadOnlyForTesting(Hive hive, bool readOnly);

}  // namespace platform::registry
