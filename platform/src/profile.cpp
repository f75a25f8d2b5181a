// INI files as the Windows profile functions read and write them.
//
// Form: lines end with CR LF (LF alone is accepted); "[name]" opens a
// section; "key=value" lines belong to the section above them; lines
// starting with ';' are comments. Lines before the first section, comments,
// blank lines and lines this code does not understand are kept verbatim
// through every write. Names compare without regard to case (Windows-1252);
// the first of duplicate sections or keys wins, as in Windows. Values are
// trimmed of blanks and tabs, and one pair of enclosing double quotes is
// removed on reading (and added on writing to a value that has its own).
#include "platform/profile.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <functional>

#include "platform/file_io.h"
#include "platform/paths.h"
#include "platform/text.h"
#include "name_text.h"

namespace fs = std::filesystem;

namespace platform {
namespace {

using internal::SameName;
constexpr auto Trim = internal::TrimLine;

// A name or value that would break the line structure of the file: line
// breaks become blanks, so one key can never turn into several.
std::string OneLine(std::string_view s) {
  std::string out(s);
  for (char& c : out)
    if (c == '\r' || c == '\n') c = ' ';
  return out;
}

// A value as it goes into the file: one that has enclosing quotes of its own
// is put inside another pair, since reading removes one.
std::string Stored(std::string_view v) {
  if (v.size() >= 2 && v.front() == '"' && v.back() == '"') return std::string("\"").append(v).append("\"");
  return std::string(v);
}

std::string Unquote(std::string_view v) {
  if (v.size() >= 2 && v.front() == '"' && v.back() == '"') return std::string(v.substr(1, v.size() - 2));
  return std::string(v);
}

// Two programs writing keys of one file at the same moment must not lose
// each other's keys: the read-change-write runs under an exclusive flock on
// a hidden lock file beside the INI file (the INI file itself is replaced by
// every write, so it cannot carry the lock).
bool LockedUpdate(const fs::path& path, const std::function<bool(IniFile&)>& change) {
  fs::path lockPath = path.parent_path() / std::string(".").append(path.filename().string()).append(".lock");
  int fd = ::open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
  if (fd < 0) return false;
  while (::flock(fd, LOCK_EX) != 0) {
    if (errno != EINTR) {
      ::close(fd);
      return false;
    }
  }
  IniFile ini(path);
  // An unreadable file is never replaced by a file holding only the change.
  bool ok = ini.Load();
  if (ok && change(ini)) ok = ini.Save();
  ::flock(fd, LOCK_UN);
  ::close(fd);
  return ok;
}

}  // namespace

fs::path ProfilePath(std::string_view file) {
  if (file.find('/') == std::string_view::npos && file.find('\\') == std::string_view::npos &&
      file.find(':') == std::string_view::npos)
    return FindFileNoCase(WindowsDir(), file);
  return MapPath(file);
}

bool IniFile::Load() {
  std::string text;
  switch (ReadWholeFile(path_, text)) {
    case ReadStatus::kOk: Parse(text); return true;
    case ReadStatus::kNotFound: Parse({}); return true;
    case ReadStatus::kError: Parse({}); return false;
  }
  return false;
}

bool IniFile::Save() const {
  if (path_.empty()) return false;
  return WriteFileAtomic(path_, Serialize());
}

void IniFile::Parse(std::string_view text) {
  preamble_.clear();
  sections_.clear();
  size_t pos = 0;
  while (pos < text.size()) {
    size_t end = text.find('\n', pos);
    if (end == std::string_view::npos) end = text.size();
    std::string_view raw = text.substr(pos, end - pos);
    pos = end + 1;
    if (!raw.empty() && raw.back() == '\r') raw.remove_suffix(1);
    std::string_view t = Trim(raw);
    if (!t.empty() && t.front() == '[') {
      size_t close = t.find(']');
      std::string_view name = close == std::string_view::npos ? t.substr(1) : t.substr(1, close - 1);
      sections_.push_back(Sec{std::string(Trim(name)), std::string(raw), {}});
      continue;
    }
    Line line;
    line.text = std::string(raw);
    if (!t.empty() && t.front() != ';') {
      size_t eq = t.find('=');
      if (eq != std::string_view::npos && eq > 0) {
        line.key = std::string(Trim(t.substr(0, eq)));
        line.value = std::string(Trim(t.substr(eq + 1)));
      }
    }
    (sections_.empty() ? preamble_ : sections_.back().lines).push_back(std::move(line));
  }
}

std::string IniFile::Serialize() const {
  std::string out;
  for (const Line& l : preamble_) out += l.text + "\r\n";
  for (const Sec& s : sections_) {
    out += s.header + "\r\n";
    for (const Line& l : s.lines) out += l.text + "\r\n";
  }
  return out;
}

IniFile::Sec* IniFile::FindSection(std::string_view name) {
  std::string_view n = Trim(name);
  for (Sec& s : sections_)
    if (SameName(s.name, n)) return &s;
  return nullptr;
}

const IniFile::Sec* IniFile::FindSection(std::string_view name) const {
  return const_cast<IniFile*>(this)->FindSection(name);
}

std::optional<std::string> IniFile::Get(std::string_view section, std::string_view key) const {
  const Sec* s = FindSection(section);
  if (!s) return std::nullopt;
  std::string_view k = Trim(key);
  for (const Line& l : s->lines)
    if (!l.key.empty() && SameName(l.key, k)) return Unquote(l.value);
  return std::nullopt;
}

void IniFile::Set(std::string_view section, std::string_view key, std::string_view value) {
  std::string k = OneLine(Trim(key));
  std::string v = Stored(OneLine(Trim(value)));
  if (k.empty()) return;
  Sec* s = FindSection(section);
  if (!s) {
    // A new section goes at the end, after a blank line when the file has text.
    bool hasText = !sections_.empty() || !preamble_.empty();
    auto& last = sections_.empty() ? preamble_ : sections_.back().lines;
    if (hasText && (last.empty() || !Trim(last.back().text).empty())) last.push_back(Line{});
    std::string name = OneLine(Trim(section));
    sections_.push_back(Sec{name, "[" + name + "]", {}});
    s = &sections_.back();
  }
  for (Line& l : s->lines) {
    if (!l.key.empty() && SameName(l.key, k)) {
      // The key keeps the file's spelling.
      l.value = v;
      l.text = l.key + "=" + v;
      return;
    }
  }
  // New keys follow the section's last non-blank line, so the blank lines
  // that separate it from the next section stay where they are.
  size_t at = s->lines.size();
  while (at > 0 && Trim(s->lines[at - 1].text).empty()) --at;
  s->lines.insert(s->lines.begin() + static_cast<std::ptrdiff_t>(at), Line{k + "=" + v, k, v});
}

bool IniFile::DeleteKey(std::string_view section, std::string_view key) {
  Sec* s = FindSection(section);
  if (!s) return false;
  // Every duplicate goes: the next one would otherwise read as the key.
  std::string_view k = Trim(key);
  return std::erase_if(s->lines, [&](const Line& l) { return !l.key.empty() && SameName(l.key, k); }) > 0;
}

bool IniFile::DeleteSection(std::string_view section) {
  std::string_view n = Trim(section);
  return std::erase_if(sections_, [&](const Sec& s) { return SameName(s.name, n); }) > 0;
}

std::vector<std::pair<std::string, std::string>> IniFile::Section(std::string_view section) const {
  std::vector<std::pair<std::string, std::string>> out;
  if (const Sec* s = FindSection(section))
    for (const Line& l : s->lines)
      if (!l.key.empty()) out.emplace_back(l.key, Unquote(l.value));
  return out;
}

void IniFile::SetSection(std::string_view section,
                         const std::vector<std::pair<std::string, std::string>>& keys) {
  // The keys are replaced as a whole; comments and blank lines stay.
  if (Sec* s = FindSection(section)) {
    std::erase_if(s->lines, [](const Line& l) { return !l.key.empty(); });
    size_t at = s->lines.size();
    while (at > 0 && Trim(s->lines[at - 1].text).empty()) --at;
    std::vector<Line> fresh;
    for (const auto& [key, value] : keys) {
      std::string k = OneLine(Trim(key)), v = Stored(OneLine(Trim(value)));
      if (!k.empty()) fresh.push_back(Line{k + "=" + v, k, v});
    }
    s->lines.insert(s->lines.begin() + static_cast<std::ptrdiff_t>(at), fresh.begin(), fresh.end());
    return;
  }
  if (keys.empty()) {
    bool hasText = !sections_.empty() || !preamble_.empty();
    auto& last = sections_.empty() ? preamble_ : sections_.back().lines;
    if (hasText && (last.empty() || !Trim(last.back().text).empty())) last.push_back(Line{});
    std::string name = OneLine(Trim(section));
    sections_.push_back(Sec{name, "[" + name + "]", {}});
    return;
  }
  for (const auto& [key, value] : keys) Set(section, key, value);
}

std::vector<std::string> IniFile::SectionNames() const {
  std::vector<std::string> out;
  for (const Sec& s : sections_) out.push_back(s.name);
  return out;
}

bool IniFile::HasSection(std::string_view section) const { return FindSection(section) != nullptr; }

std::string GetProfileString(std::string_view file, std::string_view section, std::string_view key,
                             std::string_view def, size_t maxChars) {
  IniFile ini(ProfilePath(file));
  ini.Load();
  std::string v = ini.Get(section, key).value_or(std::string(def));
  if (v.size() > maxChars) v.resize(maxChars);
  return v;
}

int GetProfileInt(std::string_view file, std::string_view section, std::string_view key, int def) {
  IniFile ini(ProfilePath(file));
  ini.Load();
  std::optional<std::string> v = ini.Get(section, key);
  if (!v) return def;
  std::string_view s = *v;
  bool negative = false;
  size_t i = 0;
  if (i < s.size() && (s[i] == '-' || s[i] == '+')) negative = s[i++] == '-';
  if (i >= s.size() || s[i] < '0' || s[i] > '9') return def;
  long long n = 0;
  for (; i < s.size() && s[i] >= '0' && s[i] <= '9'; ++i) {
    n = n * 10 + (s[i] - '0');
    if (n > static_cast<long long>(INT_MAX) + 1) n = static_cast<long long>(INT_MAX) + 1;
  }
  if (negative) n = -n;
  if (n > INT_MAX) n = INT_MAX;
  return static_cast<int>(n);
}

bool WriteProfileString(std::string_view file, std::string_view section, std::string_view key,
                        std::string_view value) {
  return LockedUpdate(ProfilePath(file), [&](IniFile& ini) {
    ini.Set(section, key, value);
    return true;
  });
}

bool DeleteProfileKey(std::string_view file, std::string_view section, std::string_view key) {
  return LockedUpdate(ProfilePath(file), [&](IniFile& ini) { return ini.DeleteKey(section, key); });
}

std::vector<std::pair<std::string, std::string>> GetProfileSection(std::string_view file,
                                                                   std::string_view section) {
  IniFile ini(ProfilePath(file));
  ini.Load();
  return ini.Section(section);
}

bool WriteProfileSection(std::string_view file, std::string_view section,
                         const std::vector<std::pair<std::string, std::string>>& keys) {
  return LockedUpdate(ProfilePath(file), [&](IniFile& ini) {
    ini.SetSection(section, keys);
    return true;
  });
}

}  // namespace platform
