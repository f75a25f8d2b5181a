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
  // Registers the locale library files the build ships ("LOCALE.SLL" and
  // "USA.SLL") in this root, as the set-up does for an installation: SLW32
  // reads the registration when its client starts.
  void RegisterShippedLocales() const;

 private:
  std::filesystem::path root_;
  std::string oldRoot_;
  bool hadRoot_ = false;
};

}  // namespace testing_support
