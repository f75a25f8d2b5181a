// The folder of TMPDIR a bench program makes its files in ("<name>-<pid>"),
// removed with everything in it when the program ends, also after a figure
// was skipped.
#pragma once

#include <unistd.h>

#include <filesystem>
#include <string>
#include <system_error>

namespace bench {

inline const std::filesystem::path& BenchFolder(const std::string& name) {
  struct Folder {
    std::filesystem::path path;
    explicit Folder(const std::string& n)
        : path(std::filesystem::temp_directory_path() / (n + "-" + std::to_string(getpid()))) {
      std::filesystem::create_directories(path);
    }
    ~Folder() {
      std::error_code ec;
      std::filesystem::remove_all(path, ec);
    }
  };
  static Folder folder(name);
  return folder.path;
}

}  // namespace bench
