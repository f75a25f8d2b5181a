// The registry over two REGEDIT4 text files.
//
// HKLM.reg and HKCU.reg in RegistryDir():
//   REGEDIT4
//   <blank>
//   [HKEY_LOCAL_MACHINE\Software\Vantrix\Slw32]
//   "LOCALE_LIB1"="C:\\SL\\LOCALE.SLL"      text; \\ and \" escaped (\r, \n too)
//   "Count"=dword:0000012c                  8 hex digits
//   "Blob"=hex:00,01,ff                     bytes; lines may continue with "\"
//   @="text"                                the key's default value
//   <blank>
// Lines end with CR LF when written; LF is accepted. A key exists when its
// line exists or a deeper key's does. Lines this code cannot read (comments,
// other value types, keys of the other hive) are kept verbatim and ignored,
// so a hand-edited file loses nothing when the program writes it.
//
// Every change takes an exclusive flock on "<hive>.reg.lock", re-reads the
// file, applies the change and replaces the file atomically; reads re-read
// the file and need no lock, since a rename is seen whole or not at all.
#include "platform/registry.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <functional>

#include "platform/detail/registry_file.h"
#include "platform/file_io.h"
#include "platform/paths.h"
#include "platform/text.h"
#include "name_text.h"

namespace fs = std::filesystem;

namespace platform::registry {
namespace detail {
namespace {

using internal::SameName;
constexpr auto Trim = internal::TrimLine;

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Reads a quoted, escaped text starting at s[pos] == '"'; pos ends after the
// closing quote. False when the quote is not closed.
bool ReadQuoted(std::string_view s, size_t& pos, std::string& out) {
  out.clear();
  ++pos;
  while (pos < s.size()) {
    char c = s[pos++];
    if (c == '"') return true;
    if (c == '\\' && pos < s.size()) {
      char n = s[pos++];
      if (n == 'n') out += '\n';
      else if (n == 'r') out += '\r';
      else if (n == '\\' || n == '"') out += n;
      else { out += '\\'; out += n; }
      continue;
    }
    out += c;
  }
  return false;
}

std::string Quote(std::string_view s) {
  std::string out = "\"";
  for (char c : s) {
    switch (c) {
      case '\\': out += "\\\\"; break;
      case '"': out += "\\\""; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      default: out += c;
    }
  }
  return out + "\"";
}

bool ParseValueLine(std::string_view line, Value& v) {
  size_t pos = 0;
  if (line.empty()) return false;
  if (line[0] == '@') {
    v.name.clear();
    pos = 1;
  } else if (line[0] == '"') {
    if (!ReadQuoted(line, pos, v.name)) return false;
  } else {
    return false;
  }
  while (pos < line.size() && (line[pos] == ' ' || line[pos] == '\t')) ++pos;
  if (pos >= line.size() || line[pos] != '=') return false;
  ++pos;
  std::string_view data = Trim(line.substr(pos));
  if (!data.empty() && data[0] == '"') {
    size_t p = 0;
    if (!ReadQuoted(data, p, v.text) || !Trim(data.substr(p)).empty()) return false;
    v.type = ValueType::String;
    return true;
  }
  if (data.size() > 6 && (data.substr(0, 6) == "dword:" || data.substr(0, 6) == "DWORD:")) {
    std::string_view digits = Trim(data.substr(6));
    if (digits.empty() || digits.size() > 8) return false;
    uint32_t n = 0;
    for (char c : digits) {
      int d = HexDigit(c);
      if (d < 0) return false;
      n = (n << 4) | static_cast<uint32_t>(d);
    }
    v.type = ValueType::Dword;
    v.dword = n;
    return true;
  }
  if (data.size() >= 4 && (data.substr(0, 4) == "hex:" || data.substr(0, 4) == "HEX:")) {
    v.type = ValueType::Binary;
    v.bytes.clear();
    std::string_view list = data.substr(4);
    size_t p = 0;
    while (p < list.size()) {
      size_t comma = list.find(',', p);
      if (comma == std::string_view::npos) comma = list.size();
      std::string_view item = Trim(list.substr(p, comma - p));
      p = comma + 1;
      if (item.empty()) {
        if (comma == list.size()) break;  // "hex:" with no bytes, or a trailing comma
        return false;
      }
      if (item.size() > 2) return false;
      int value = 0;
      for (char c : item) {
        int d = HexDigit(c);
        if (d < 0) return false;
        value = value * 16 + d;
      }
      v.bytes.push_back(static_cast<uint8_t>(value));
    }
    return true;
  }
  return false;
}

std::string FormatValue(const Value& v) {
  std::string out = v.name.empty() ? std::string("@") : Quote(v.name);
  out += '=';
  char buf[16];
  switch (v.type) {
    case ValueType::String: out += Quote(v.text); break;
    case ValueType::Dword:
      std::snprintf(buf, sizeof buf, "dword:%08x", v.dword);
      out += buf;
      break;
    case ValueType::Binary:
      out += "hex:";
      for (size_t i = 0; i < v.bytes.size(); ++i) {
        std::snprintf(buf, sizeof buf, i ? ",%02x" : "%02x", v.bytes[i]);
        out += buf;
      }
      break;
  }
  return out;
}

bool IsHexContinued(std::string_view t) {
  size_t eq = t.find("=hex");
  if (eq == std::string_view::npos) eq = t.find("=HEX");
  // Only a value line continues; anything else stays one line.
  return eq != std::string_view::npos && (t.front() == '"' || t.front() == '@') && t.back() == '\\';
}

}  // namespace

const char* HiveRootName(Hive hive) {
  return hive == Hive::LocalMachine ? "HKEY_LOCAL_MACHINE" : "HKEY_CURRENT_USER";
}

std::string NormalizeKeyPath(std::string_view path) {
  std::string out;
  size_t pos = 0;
  while (pos <= path.size()) {
    size_t next = path.find('\\', pos);
    if (next == std::string_view::npos) next = path.size();
    std::string_view part = Trim(path.substr(pos, next - pos));
    if (!part.empty()) {
      if (!out.empty()) out += '\\';
      out += part;
    }
    pos = next + 1;
  }
  return out;
}

HiveFile ParseHive(Hive hive, std::string_view text) {
  HiveFile file;
  std::vector<std::string_view> lines;
  for (size_t pos = 0; pos < text.size();) {
    size_t end = text.find('\n', pos);
    if (end == std::string_view::npos) end = text.size();
    std::string_view l = text.substr(pos, end - pos);
    if (!l.empty() && l.back() == '\r') l.remove_suffix(1);
    lines.push_back(l);
    pos = end + 1;
  }
  const std::string_view root = HiveRootName(hive);
  const std::string_view shortRoot = hive == Hive::LocalMachine ? "HKLM" : "HKCU";
  for (size_t i = 0; i < lines.size(); ++i) {
    std::string_view raw = lines[i];
    if (i == 0 && raw.substr(0, 3) == "\xEF\xBB\xBF") raw.remove_prefix(3);
    std::string_view t = Trim(raw);
    if (i == 0 && t == "REGEDIT4") continue;
    if (t.empty()) continue;
    if (t.front() == '[' && t.back() == ']') {
      KeyBlock block;
      block.header = std::string(t);
      std::string_view inner = t.substr(1, t.size() - 2);
      size_t slash = inner.find('\\');
      std::string_view first = inner.substr(0, slash);
      if (!inner.empty() && inner[0] != '-' && (SameName(first, root) || SameName(first, shortRoot))) {
        block.path = NormalizeKeyPath(slash == std::string_view::npos ? std::string_view() : inner.substr(slash));
      } else {
        block.foreign = true;
      }
      file.keys.push_back(std::move(block));
      continue;
    }
    // Long binary values continue on the next lines after a trailing "\".
    std::string joined(t);
    // A continuation never swallows the next key's line; a "\" with nothing
    // to continue is dropped.
    while (IsHexContinued(joined)) {
      bool more = i + 1 < lines.size() && Trim(lines[i + 1]).substr(0, 1) != "[";
      if (!more) {
        while (!joined.empty() && (joined.back() == '\\' || joined.back() == ' ' || joined.back() == '\t' ||
                                   joined.back() == '\r'))
          joined.pop_back();
        break;
      }
      joined.pop_back();
      joined = std::string(Trim(joined)) + std::string(Trim(lines[++i]));
    }
    if (file.keys.empty()) {
      file.preamble.push_back(joined);
      continue;
    }
    Entry e;
    e.raw = joined;
    KeyBlock& block = file.keys.back();
    e.parsed = !block.foreign && ParseValueLine(joined, e.value);
    block.entries.push_back(std::move(e));
  }
  return file;
}

std::string SerializeHive(Hive hive, const HiveFile& file) {
  std::string out = "REGEDIT4\r\n";
  for (const std::string& l : file.preamble) out += l + "\r\n";
  out += "\r\n";
  for (const KeyBlock& k : file.keys) {
    if (k.foreign || !k.header.empty()) {
      out += k.header;
    } else {
      out += "[";
      out += HiveRootName(hive);
      if (!k.path.empty()) out += "\\" + k.path;
      out += "]";
    }
    out += "\r\n";
    for (const Entry& e : k.entries) out += (e.parsed ? FormatValue(e.value) : e.raw) + "\r\n";
    out += "\r\n";
  }
  return out;
}

}  // namespace detail

namespace {

using detail::Entry;
using detail::HiveFile;
using detail::KeyBlock;

std::atomic<bool> g_readOnly[2];

bool ReadOnly(Hive hive) { return g_readOnly[hive == Hive::LocalMachine ? 0 : 1].load(); }

bool SameName(std::string_view a, std::string_view b) {
  return a.size() == b.size() && AnsiCompareNoCase(a, b) == 0;
}

// True when `path` is `prefix` itself or lies below it.
bool IsAtOrBelow(std::string_view path, std::string_view prefix) {
  if (prefix.empty()) return true;
  if (path.size() < prefix.size() || AnsiCompareNoCase(path.substr(0, prefix.size()), prefix) != 0) return false;
  return path.size() == prefix.size() || path[prefix.size()] == '\\';
}

fs::path HivePath(Hive hive) {
  return RegistryDir() / (hive == Hive::LocalMachine ? "HKLM.reg" : "HKCU.reg");
}

HiveFile LoadHive(Hive hive) {
  std::string text;
  ReadWholeFile(HivePath(hive), text);
  return detail::ParseHive(hive, text);
}

KeyBlock* FindBlock(HiveFile& file, std::string_view path) {
  for (KeyBlock& k : file.keys)
    if (!k.foreign && SameName(k.path, path)) return &k;
  return nullptr;
}

bool KeyExists(const HiveFile& file, std::string_view path) {
  if (path.empty()) return true;
  for (const KeyBlock& k : file.keys)
    if (!k.foreign && IsAtOrBelow(k.path, path)) return true;
  return false;
}

KeyBlock& EnsureBlock(HiveFile& file, const std::string& path) {
  if (KeyBlock* k = FindBlock(file, path)) return *k;
  file.keys.push_back(KeyBlock{{}, path, false, {}});
  return file.keys.back();
}

const Value* FindValue(const KeyBlock& k, std::string_view name) {
  for (const Entry& e : k.entries)
    if (e.parsed && SameName(e.value.name, name)) return &e.value;
  return nullptr;
}

// A key's line may appear more than once (a snippet appended by hand); its
// values are those under every such line, the first of a name winning.
std::vector<KeyBlock*> Blocks(HiveFile& file, std::string_view path) {
  std::vector<KeyBlock*> out;
  for (KeyBlock& k : file.keys)
    if (!k.foreign && SameName(k.path, path)) out.push_back(&k);
  return out;
}

const Value* FindValue(HiveFile& file, std::string_view path, std::string_view name) {
  for (const KeyBlock* k : Blocks(file, path))
    if (const Value* v = FindValue(*k, name)) return v;
  return nullptr;
}

// Runs `change` on the freshly read hive under the hive's lock and writes the
// result when `change` says it changed something.
Status Modify(Hive hive, const std::function<Status(HiveFile&, bool& changed)>& change) {
  if (ReadOnly(hive)) return kAccessDenied;
  fs::path file = HivePath(hive);
  fs::path lockPath = file;
  lockPath += ".lock";
  int lockFd = ::open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
  if (lockFd < 0) return errno == EACCES || errno == EPERM || errno == EROFS ? kAccessDenied : kWriteFault;
  while (::flock(lockFd, LOCK_EX) != 0) {
    if (errno != EINTR) {
      ::close(lockFd);
      return kWriteFault;
    }
  }
  Status status = kSuccess;
  std::string text;
  ReadStatus rs = ReadWholeFile(file, text);
  if (rs == ReadStatus::kError) {
    // Never replace a hive we could not read with one holding only this change.
    status = kAccessDenied;
  } else {
    HiveFile hiveFile = detail::ParseHive(hive, text);
    bool changed = false;
    status = change(hiveFile, changed);
    if (status == kSuccess && changed) {
      int err = 0;
      if (!WriteFileAtomic(file, detail::SerializeHive(hive, hiveFile), &err))
        status = err == EACCES || err == EPERM || err == EROFS ? kAccessDenied : kWriteFault;
    }
  }
  ::flock(lockFd, LOCK_UN);
  ::close(lockFd);
  return status;
}

bool BadName(std::string_view s) { return s.find_first_of("\r\n") != std::string_view::npos; }

Status SetValue(Hive hive, const std::string& path, bool open, bool writable, Value v) {
  if (!open) return kInvalidParameter;
  if (!writable) return kAccessDenied;
  return Modify(hive, [&](HiveFile& file, bool& changed) {
    // A key deleted meanwhile by someone else comes back with the value.
    changed = true;
    for (KeyBlock* block : Blocks(file, path)) {
      for (Entry& e : block->entries) {
        if (e.parsed && SameName(e.value.name, v.name)) {
          v.name = e.value.name;  // the stored spelling stays
          e.value = v;
          return kSuccess;
        }
      }
    }
    KeyBlock& k = EnsureBlock(file, path);
    Entry e;
    e.parsed = true;
    e.value = v;
    k.entries.push_back(std::move(e));
    return kSuccess;
  });
}

}  // namespace

Status Key::QueryValue(std::string_view name, Value& out) const {
  if (!open_) return kInvalidParameter;
  HiveFile file = LoadHive(hive_);
  const Value* v = FindValue(file, path_, name);
  if (!v) return kFileNotFound;
  out = *v;
  return kSuccess;
}

Status Key::QueryString(std::string_view name, std::string& out) const {
  Value v;
  Status s = QueryValue(name, v);
  if (s != kSuccess) return s;
  if (v.type == ValueType::String) {
    out = v.text;
  } else if (v.type == ValueType::Binary) {
    // Text stored as bytes reads up to its terminator.
    out.assign(v.bytes.begin(), v.bytes.end());
    if (size_t nul = out.find('\0'); nul != std::string::npos) out.resize(nul);
  } else {
    return kInvalidParameter;
  }
  return kSuccess;
}

Status Key::QueryDword(std::string_view name, uint32_t& out) const {
  Value v;
  Status s = QueryValue(name, v);
  if (s != kSuccess) return s;
  if (v.type == ValueType::Dword) {
    out = v.dword;
  } else if (v.type == ValueType::Binary && v.bytes.size() == 4) {
    out = static_cast<uint32_t>(v.bytes[0]) | static_cast<uint32_t>(v.bytes[1]) << 8 |
          static_cast<uint32_t>(v.bytes[2]) << 16 | static_cast<uint32_t>(v.bytes[3]) << 24;
  } else {
    return kInvalidParameter;
  }
  return kSuccess;
}

Status Key::QueryBinary(std::string_view name, std::vector<uint8_t>& out) const {
  Value v;
  Status s = QueryValue(name, v);
  if (s != kSuccess) return s;
  switch (v.type) {
    case ValueType::Binary: out = v.bytes; break;
    case ValueType::Dword:
      out = {static_cast<uint8_t>(v.dword), static_cast<uint8_t>(v.dword >> 8),
             static_cast<uint8_t>(v.dword >> 16), static_cast<uint8_t>(v.dword >> 24)};
      break;
    case ValueType::String:
      // As Windows hands out a text's data: with its terminator.
      out.assign(v.text.begin(), v.text.end());
      out.push_back(0);
      break;
  }
  return kSuccess;
}

Status Key::SetString(std::string_view name, std::string_view text) {
  Value v;
  v.name = name;
  v.type = ValueType::String;
  v.text = text;
  return SetValue(hive_, path_, open_, writable_, std::move(v));
}

Status Key::SetDword(std::string_view name, uint32_t value) {
  Value v;
  v.name = name;
  v.type = ValueType::Dword;
  v.dword = value;
  return SetValue(hive_, path_, open_, writable_, std::move(v));
}

Status Key::SetBinary(std::string_view name, const std::vector<uint8_t>& bytes) {
  Value v;
  v.name = name;
  v.type = ValueType::Binary;
  v.bytes = bytes;
  return SetValue(hive_, path_, open_, writable_, std::move(v));
}

Status Key::DeleteValue(std::string_view name) {
  if (!open_) return kInvalidParameter;
  if (!writable_) return kAccessDenied;
  return Modify(hive_, [&](HiveFile& file, bool& changed) {
    // Every duplicate goes: the next one would otherwise read as the value.
    for (KeyBlock* k : Blocks(file, path_))
      if (std::erase_if(k->entries, [&](const Entry& e) { return e.parsed && SameName(e.value.name, name); }) > 0)
        changed = true;
    return changed ? kSuccess : kFileNotFound;
  });
}

Status Key::EnumValue(uint32_t index, Value& out) const {
  if (!open_) return kInvalidParameter;
  HiveFile file = LoadHive(hive_);
  std::vector<KeyBlock*> blocks = Blocks(file, path_);
  if (blocks.empty()) return KeyExists(file, path_) ? kNoMoreItems : kFileNotFound;
  // Each name once, as it reads: a shadowed duplicate is not listed.
  std::vector<const Value*> seen;
  for (const KeyBlock* k : blocks) {
    for (const Entry& e : k->entries) {
      if (!e.parsed) continue;
      bool dup = false;
      for (const Value* s : seen) dup = dup || SameName(s->name, e.value.name);
      if (dup) continue;
      if (seen.size() == index) {
        out = e.value;
        return kSuccess;
      }
      seen.push_back(&e.value);
    }
  }
  return kNoMoreItems;
}

Status Key::EnumKey(uint32_t index, std::string& out) const {
  if (!open_) return kInvalidParameter;
  HiveFile file = LoadHive(hive_);
  if (!KeyExists(file, path_)) return kFileNotFound;
  std::vector<std::string> names;
  for (const KeyBlock& k : file.keys) {
    if (k.foreign || k.path.size() <= path_.size() || !IsAtOrBelow(k.path, path_)) continue;
    std::string_view rest = std::string_view(k.path).substr(path_.empty() ? 0 : path_.size() + 1);
    std::string_view child = rest.substr(0, rest.find('\\'));
    bool seen = false;
    for (const std::string& n : names) seen = seen || SameName(n, child);
    if (!seen) names.emplace_back(child);
  }
  if (index >= names.size()) return kNoMoreItems;
  out = names[index];
  return kSuccess;
}

Status OpenKey(Hive hive, std::string_view subkey, bool writable, Key& out) {
  out = Key();
  if (BadName(subkey)) return kInvalidParameter;
  std::string path = detail::NormalizeKeyPath(subkey);
  HiveFile file = LoadHive(hive);
  if (!KeyExists(file, path)) return kFileNotFound;
  if (writable && ReadOnly(hive)) return kAccessDenied;
  out.hive_ = hive;
  out.path_ = path;
  out.writable_ = writable;
  out.open_ = true;
  return kSuccess;
}

Status CreateKey(Hive hive, std::string_view subkey, Key& out) {
  out = Key();
  if (BadName(subkey)) return kInvalidParameter;
  std::string path = detail::NormalizeKeyPath(subkey);
  Status s = Modify(hive, [&](HiveFile& file, bool& changed) {
    if (!path.empty() && !FindBlock(file, path)) {
      EnsureBlock(file, path);
      changed = true;
    }
    return kSuccess;
  });
  if (s != kSuccess) return s;
  out.hive_ = hive;
  out.path_ = path;
  out.writable_ = true;
  out.open_ = true;
  return kSuccess;
}

Status DeleteKey(Hive hive, std::string_view subkey) {
  std::string path = detail::NormalizeKeyPath(subkey);
  if (path.empty() || BadName(subkey)) return kAccessDenied;  // the hive's root stays
  return Modify(hive, [&](HiveFile& file, bool& changed) {
    size_t before = file.keys.size();
    std::erase_if(file.keys, [&](const KeyBlock& k) { return !k.foreign && IsAtOrBelow(k.path, path); });
    changed = file.keys.size() != before;
    return changed ? kSuccess : kFileNotFound;
  });
}

void SetHiveReadOnlyForTesting(Hive hive, bool readOnly) {
  g_readOnly[hive == Hive::LocalMachine ? 0 : 1].store(readOnly);
}

}  // namespace platform::registry
