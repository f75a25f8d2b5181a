// The file sets of backup and restore, the identical-file test and the
// free-space test, on plain files.
#include "core/backup_restore.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "core/utilities.h"
#include "temp_root.h"

namespace keldro {
namespace {

namespace fs = std::filesystem;
using testing_support::TempRoot;

TEST(BackupRestore, DirectoryNamesDropTheRootsSeparator) {
  struct Case {
    const char* dir;
    const char* want;
  } cases[] = {{"/", "/"}, {"/media/usb/", "/media/usb"}, {"/media/usb", "/media/usb"}, {"A:\\", "A:"},
               {"C:\\BACKUP\\", "C:\\BACKUP"}};
  for (const Case& c : cases) {
    EXPECT_EQ(BackupDirName(c.dir), c.want) << c.dir;
    EXPECT_EQ(RestoreDirName(c.dir), c.want) << c.dir;
  }
}

TEST(BackupRestore, BackupTargetsAreInTheChosenFolder) {
  const fs::path program = "/opt/stash";
  const std::vector<FileCopy> db = BackupFiles(FileSet::Database, program, "/home/u/MY.VIVO.dbf", "/media/usb/");
  ASSERT_EQ(db.size(), 1u);
  EXPECT_EQ(db[0].source, "/home/u/MY.VIVO.dbf");
  // The table name is the file name without its final extension.
  EXPECT_EQ(db[0].target, "/media/usb/MY.VIVO.DBF");
  EXPECT_EQ(BackupFiles(FileSet::Database, program, "/home/u/HOME.DBF", "/")[0].target, "/HOME.DBF");

  const std::vector<FileCopy> lists = BackupFiles(FileSet::PickLists, program, "/x/HOME.DBF", "/b");
  ASSERT_EQ(lists.size(), 5u);
  const char* names[] = {"BRAND.LST", "LOCATION.LST", "BOUGHT.LST", "CATEGORY.LST", "OWNER.LST"};
  for (size_t i = 0; i < 5; ++i) {
    EXPECT_EQ(lists[i].source, program / names[i]);
    EXPECT_EQ(lists[i].target, fs::path("/b") / names[i]);
  }
  const std::vector<FileCopy> urp = BackupFiles(FileSet::ReportDefinitions, program, "/x/HOME.DBF", "/b");
  ASSERT_EQ(urp.size(), 1u);
  EXPECT_EQ(urp[0].source, program / "KELDRO.URP");
  EXPECT_EQ(urp[0].target, "/b/KELDRO.URP");
}

TEST(BackupRestore, RestoreSourcesAreBesideThePickedFileAndFoundWithoutRegardToCase) {
  TempRoot root;
  const fs::path from = root.path() / "usb";
  const fs::path program = root.programDir();
  fs::create_directories(from);
  fs::create_directories(program);
  TempRoot::WriteFile(from / "brand.lst", "A\r\n");
  TempRoot::WriteFile(from / "Keldro.Urp", "x");
  TempRoot::WriteFile(program / "Owner.lst", "B\r\n");

  const std::vector<FileCopy> db = RestoreFiles(FileSet::Database, program, from / "OTHER.DBF");
  ASSERT_EQ(db.size(), 1u);
  EXPECT_EQ(db[0].source, from / "OTHER.DBF");
  EXPECT_EQ(db[0].target, program / "OTHER.DBF");

  const std::vector<FileCopy> lists = RestoreFiles(FileSet::PickLists, program, from / "brand.lst");
  ASSERT_EQ(lists.size(), 5u);
  EXPECT_EQ(lists[0].source, from / "brand.lst");
  EXPECT_EQ(lists[0].target, program / "BRAND.LST");
  EXPECT_EQ(lists[4].source, from / "OWNER.LST");
  EXPECT_EQ(lists[4].target, program / "Owner.lst");  // the one already there is replaced

  const std::vector<FileCopy> urp = RestoreFiles(FileSet::ReportDefinitions, program, from / "Keldro.Urp");
  EXPECT_EQ(urp[0].source, from / "Keldro.Urp");
  EXPECT_EQ(urp[0].target, program / "KELDRO.URP");
}

TEST(BackupRestore, SameFileComparesFilesNotTexts) {
  TempRoot root;
  const fs::path dir = root.path() / "d";
  fs::create_directories(dir / "sub");
  TempRoot::WriteFile(dir / "A.DBF", "a");
  TempRoot::WriteFile(dir / "a.dbf", "b");
  fs::create_hard_link(dir / "A.DBF", dir / "LINK.DBF");
  fs::create_directory_symlink(dir, root.path() / "alias");

  EXPECT_TRUE(SameFile(dir / "A.DBF", dir / "A.DBF"));
  EXPECT_TRUE(SameFile(dir / "A.DBF", dir / "sub" / ".." / "A.DBF"));
  EXPECT_TRUE(SameFile(dir / "A.DBF", root.path() / "alias" / "A.DBF"));
  EXPECT_TRUE(SameFile(dir / "A.DBF", dir / "LINK.DBF"));
  // Two files whose names differ only in case are two files here.
  EXPECT_FALSE(SameFile(dir / "A.DBF", dir / "a.dbf"));
  // A target not there yet: by its canonical path.
  EXPECT_TRUE(SameFile(dir / "NEW.DBF", root.path() / "alias" / "NEW.DBF"));
  EXPECT_FALSE(SameFile(dir / "A.DBF", dir / "sub" / "A.DBF"));
}

TEST(BackupRestore, FreeSpaceTestNeedsRoomForTheWholeCopyBesideTheOldTarget) {
  TempRoot root;
  const fs::path source = root.path() / "S.DBF";
  const fs::path target = root.path() / "t" / "S.DBF";
  fs::create_directories(target.parent_path());
  TempRoot::WriteFile(source, std::string(5000, 'x'));
  TempRoot::WriteFile(target, std::string(4000, 'y'));  // freed only when the copy is renamed in
  fs::path asked;
  uint64_t free = 0;
  SetFreeSpaceProbe([&](const fs::path& dir) -> std::optional<uint64_t> {
    asked = dir;
    return free;
  });
  struct Case {
    uint64_t free;
    RoomCheck want;
  } cases[] = {{0, RoomCheck::NotEnough}, {4999, RoomCheck::NotEnough}, {5000, RoomCheck::Enough},
               {1u << 30, RoomCheck::Enough}};
  for (const Case& c : cases) {
    free = c.free;
    EXPECT_EQ(EnoughRoom(source, target), c.want) << c.free;
  }
  EXPECT_EQ(asked, target.parent_path());
  // A source that cannot be measured, or a file system that cannot be asked.
  EXPECT_EQ(EnoughRoom(root.path() / "MISSING.DBF", target), RoomCheck::Unknown);
  SetFreeSpaceProbe([](const fs::path&) { return std::optional<uint64_t>{}; });
  EXPECT_EQ(EnoughRoom(source, target), RoomCheck::Unknown);
  // The real file system of a temporary folder has room for 5000 bytes.
  SetFreeSpaceProbe(nullptr);
  EXPECT_EQ(EnoughRoom(source, target), RoomCheck::Enough);
  EXPECT_GT(FreeBytes(root.path()).value_or(0), 5000u);
}

TEST(BackupRestore, MessagesOfAMissingListFile) {
  EXPECT_EQ(ListFileMissingMessage("OWNER.LST"),
            "The following file \"OWNER.LST\" could not be located on the specified source drive.");
}

}  // namespace
}  // namespace keldro

namespace keldro {
namespace {

TEST(BackupRestore, OnlyTheLeftoversOfOurOwnWritesAreRemoved) {
  TempRoot root;
  const fs::path dir = root.path() / "data";
  fs::create_directories(dir);
  const std::vector<std::string> ours = {
      "~EXP.EXPORTING.DBF", "~my.exporting.dbf", "~EXP.EXPORTING.JNL", ".restore-OTHER.DBF", "..restore-OTHER.DBF.copy-Ab12Cd",
      ".BRAND.LST.copy-x9Y8z7", ".KELDRO.URP.a1B2c3", ".OUT.TXT.QwErTy"};
  const std::vector<std::string> theirs = {
      "EXP.DBF", "~EXP.DBF", "~EXPORTING.DBF", ".bashrc.backup", ".profile", ".restore-", ".notes.copy-abc", ".KELDRO.URP.a1-2c3",
      "restore-X.DBF", ".config.lst"};
  for (const auto& names : {ours, theirs})
    for (const std::string& name : names) TempRoot::WriteFile(dir / name, "x");
  // A folder of that form is never removed.
  fs::create_directories(dir / ".restore-DIR.DBF");
  for (const std::string& name : ours) EXPECT_TRUE(IsInterruptedWrite(name)) << name;
  for (const std::string& name : theirs) EXPECT_FALSE(IsInterruptedWrite(name)) << name;

  // The same folder twice, and one that is not there, are harmless.
  const std::vector<fs::path> removed = RemoveInterruptedWrites({dir, dir / ".", root.path() / "none", {}});
  EXPECT_EQ(removed.size(), ours.size());
  for (const std::string& name : ours) EXPECT_FALSE(fs::exists(dir / name)) << name;
  for (const std::string& name : theirs) EXPECT_TRUE(fs::exists(dir / name)) << name;
  EXPECT_TRUE(fs::is_directory(dir / ".restore-DIR.DBF"));
}

TEST(BackupRestore, TheRestoreBoxNamesTheRestoredDatabase) {
  EXPECT_EQ(RestoredDatabaseMessage("/opt/stash/PROGRAM/OTHER.DBF"),
            "Restore completed successfully.  The restored database is /opt/stash/PROGRAM/OTHER.DBF and is now open.");
  EXPECT_EQ(ExportBuildName("/tmp/x/EXP.DBF"), fs::path("/tmp/x/~EXP.EXPORTING.DBF"));
  EXPECT_EQ(RestoreStageName("/p/OTHER.DBF"), fs::path("/p/.restore-OTHER.DBF"));
}

}  // namespace
}  // namespace keldro
