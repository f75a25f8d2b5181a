// The Windows profile functions over INI files.
//
// Sections and keys compare without regard to case; a file keeps its order,
// comments and unknown keys through every write; values are trimmed. A write
// goes through a temporary file and a rename, so a failure never loses the
// rest of the file. A bare file name ("KELDRO.INI") lives in the Windows
// directory; anything with a directory part is used as given (MapPath).
// Values are the file's bytes (Windows-1252); callers convert.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace platform {

std::filesystem::path ProfilePath(std::string_view file);

// An INI file held in memory, for callers that read or write many keys at once.
class IniFile {
 public:
  IniFile() = default;
  explicit IniFile(std::filesystem::path path) : path_(std::move(path)) {}

  // A missing file loads as empty and succeeds; an unreadable one fails.
  bool Load();
  bool Load(const std::filesystem::path& path) { path_ = path; return Load(); }
  // Writes through a temporary file and a rename; false on any failure.
  bool Save() const;
  void Parse(std::string_view text);
  std::string Serialize() const;  // CR LF line ends

  const std::filesystem::path& path() const { return path_; }

  std::optional<std::string> Get(std::string_view section, std::string_view key) const;
  void Set(std::string_view section, std::string_view key, std::string_view value);
  bool DeleteKey(std::string_view section, std::string_view key);
  bool DeleteSection(std::string_view section);
  std::vector<std::pair<std::string, std::string>> Section(std::string_view section) const;
  void SetSection(std::string_view section, const std::vector<std::pair<std::string, std::string>>& keys);
  std::vector<std::string> SectionNames() const;
  bool HasSection(std::string_view section) const;

 private:
  struct Line {
    std::string text;      // the line as read, for comments and blank lines
    std::string key;       // empty for a non-key line
    std::string value;
  };
  struct Sec {
    std::string name;
    std::string header;    // the header line as read
    std::vector<Line> lines;
  };
  Sec* FindSection(std::string_view name);
  const Sec* FindSection(std::string_view name) const;

  std::filesystem::path path_;
  std::vector<Line> preamble_;  // lines before the first section
  std::vector<Sec> sections_;
};

// GetPrivateProfileString: the value, or `def` when the key is missing; cut
// to at most maxChars characters (the buffer size less its terminator).
std::string GetProfileString(std::string_view file, std::string_view section, std::string_view key,
                             std::string_view def, size_t maxChars = 4095);
// GetPrivateProfileInt: leading digits of the value, else def.
int GetProfileInt(std::string_view file, std::string_view section, std::string_view key, int def);
// WritePrivateProfileString; false when the file could not be written.
bool WriteProfileString(std::string_view file, std::string_view section, std::string_view key,
                        std::string_view value);
bool DeleteProfileKey(std::string_view file, std::string_view section, std::string_view key);
std::vector<std::pair<std::string, std::string>> GetProfileSection(std::string_view file,
                                                                   std::string_view section);
bool WriteProfileSection(std::string_view file, std::string_view section,
                         const std::vector<std::pair<std::string, std::string>>& keys);

}  // namespace platform
