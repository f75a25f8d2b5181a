// A fresh installation root for one test: a temporary folder that becomes
// $STASHWELL_ROOT (and the program directory under it) for the test's life.
#pragma once

#include <filesystem>
#include <string>

namespace testing_support {

class TempRoot {
 public:
  TempRoot();
  ~TempRoot();
  TempRoot(const TempRoot&) = delete;
  TempRoot& operator=(const TempRoot&) = delete;

  const std::filesystem::path& path() const { return root_; }
  std::filesystem::path programDir() const { return root_ / "PROGRAM"; }

  static void WriteFile(const std::filesystem::path& file, const std::string& bytes);
  static std::string ReadFile(const std::filesystem::path& file);

 private:
  std::filesystem::path root_;
  std::string oldRoot_;
  bool hadRoot_ = false;
};

}  // namespace testing_support
