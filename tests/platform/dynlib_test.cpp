#include "platform/dynlib.h"

#include <gtest/gtest.h>

#include "platform/paths.h"
#include "temp_root.h"

using testing_support::TempRoot;
namespace dl = platform::dynlib;
namespace fs = std::filesystem;

namespace {

// The test library is built beside this program.
fs::path BuiltLibrary() {
  std::error_code ec;
  return fs::read_symlink("/proc/self/exe", ec).parent_path() / "libDYNTEST.so";
}

using Fn = int (*)();

TEST(Dynlib, WindowsNamesBecomeLinuxNames) {
  struct Case {
    const char* windows;
    const char* linux;
  } cases[] = {{"ORBEX32.DLL", "libORBEX32.so"}, {"orbex32.dll", "liborbex32.so"}, {"SLW32", "libSLW32.so"},
               {"libodbc.so.2", "libodbc.so.2"}, {"C:\\X\\ODBC32.DLL", "libODBC32.so"}};
  for (const Case& c : cases) EXPECT_EQ(dl::LinuxLibraryName(c.windows), c.linux) << c.windows;
}

TEST(Dynlib, ResolvesByNameAndOrdinal) {
  TempRoot root;
  const fs::path dir = root.path() / "LIBS";
  fs::create_directories(dir);
  fs::copy_file(BuiltLibrary(), dir / "libDYNTEST.so");
  EXPECT_EQ(dl::LoadedModule("DYNTEST.DLL"), nullptr);

  uint32_t error = 99;
  dl::Module m = dl::Load("dyntest.dll", {dir}, &error);  // found without regard to case
  ASSERT_NE(m, nullptr);
  EXPECT_EQ(error, dl::kOk);
  auto answer = reinterpret_cast<Fn>(dl::Entry(m, "DynTestAnswer"));
  ASSERT_NE(answer, nullptr);
  EXPECT_EQ(answer(), 42);
  EXPECT_EQ(dl::EntryByOrdinal(m, 1), reinterpret_cast<void*>(answer));
  auto seven = reinterpret_cast<Fn>(dl::EntryByOrdinal(m, 7));
  ASSERT_NE(seven, nullptr);
  EXPECT_EQ(seven(), 7);
  EXPECT_EQ(dl::EntryByOrdinal(m, 2), nullptr);
  EXPECT_EQ(dl::Entry(m, "NoSuchEntry"), nullptr);
  EXPECT_EQ(dl::LoadedModule((dir / "DYNTEST.DLL").string()), m);
  dl::Free(m);
  EXPECT_EQ(dl::LoadedModule((dir / "DYNTEST.DLL").string()), nullptr);

  // The program directory is searched after the caller's directories.
  fs::copy_file(BuiltLibrary(), root.programDir() / "libDYNTEST.so");
  m = dl::Load("DYNTEST.DLL", {}, &error);
  ASSERT_NE(m, nullptr);
  EXPECT_EQ(dl::LoadedModule("DYNTEST.DLL"), m);
  dl::Free(m);
}

TEST(Dynlib, FailuresGiveTheWindowsCodes) {
  TempRoot root;
  TempRoot::WriteFile(root.programDir() / "libBROKEN.so", "not a library");
  // The current directory is never searched.
  fs::path old = fs::current_path();
  fs::create_directories(root.path() / "cwd");
  fs::copy_file(BuiltLibrary(), root.path() / "cwd" / "libCWDONLY.so");
  fs::current_path(root.path() / "cwd");
  struct Case {
    const char* name;
    uint32_t code;
  } cases[] = {{"NOSUCH.DLL", dl::kModNotFound}, {"BROKEN.DLL", dl::kOther}, {"CWDONLY.DLL", dl::kModNotFound}};
  for (const Case& c : cases) {
    uint32_t error = 0;
    EXPECT_EQ(dl::Load(c.name, {}, &error), nullptr) << c.name;
    EXPECT_EQ(error, c.code) << c.name;
  }
  fs::current_path(old);
  uint32_t error = 0;
  EXPECT_EQ(dl::LoadFile(root.path() / "nodir" / "libX.so", &error), nullptr);
  EXPECT_EQ(error, dl::kPathNotFound);
  EXPECT_EQ(dl::EntryByOrdinal(nullptr, 1), nullptr);
  EXPECT_EQ(dl::Entry(nullptr, "x"), nullptr);
}

}  // namespace
