// Locale library files and the locale manager, with fixture libraries
// written by sllc; each case in a fresh process that loads the library.
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "fresh_process.h"
#include "platform/registry.h"
#include "sllc_writer.h"
#include "temp_root.h"

namespace fs = std::filesystem;
using slw_test::Api;
using slw_test::InFreshProcess;
namespace reg = platform::registry;

namespace {

constexpr const char* kKey = "Software\\Vantrix\\Slw32";

// A narrow locale with data for every category; its LC_CTYPE names three classes.
std::string LocaleSource(const std::string& name, const std::string& extra = "") {
  std::string s = "locale " + name + "\n  description \"Test " + name + "\"\n  family 1\n" + extra;
  const char* masks[] = {"1", "2", "4", "8", "16", "32", "64", "128"};
  for (const char* m : masks) {
    s += std::string("  category ") + m + " " + name + "\n";
    if (std::string(m) == "2") s += "    ctype space,digit,alpha toupper,tolower\n";
    else if (std::string(m) == "1") s += "    zeros 40\n";
    else if (std::string(m) == "4") s += "    time\n";
    else if (std::string(m) == "8") s += "    monetary USD $ . , 3 \"\" - 2 2 1 0 1 0 1 1\n";
    else if (std::string(m) == "16") s += "    numeric . , 3 E ;\n";
    else if (std::string(m) == "32") s += "    messages yY nN POSIX\n";
    else if (std::string(m) == "64") s += "    soundex BFPV 1\n";
    else s += "    body 01 02 03\n";
  }
  return s;
}

fs::path WriteLibrary(const fs::path& file, const std::string& source, bool compressed = false) {
  std::string error;
  EXPECT_TRUE(sllc::Compile(source, file.string(), compressed, error)) << error;
  return file;
}

void SetValue(reg::Hive hive, const std::string& name, const std::string& text) {
  reg::Key key;
  ASSERT_EQ(reg::CreateKey(hive, kKey, key), reg::kSuccess);
  ASSERT_EQ(key.SetString(name, text), reg::kSuccess);
}

std::string LibraryPath(Api& api, uint16_t index) {
  SL_LIBRARYINFO info;
  if (SLW_API(api, SL_GetLibraryInfo)(index, &info) != 0) return "-";
  return info.path;
}

class Library : public ::testing::Test {
 protected:
  testing_support::TempRoot root_;
  fs::path Path(const std::string& name) const { return root_.path() / name; }
};

TEST_F(Library, ListTakesTheUsersValuesThenTheMachinesInFileOrder) {
  fs::path a = WriteLibrary(Path("A.SLL"), "title A\n" + LocaleSource("en_US.WIN1252"));
  fs::path b = WriteLibrary(Path("B.SLL"), "title B\n" + LocaleSource("de_DE.WIN1252") + LocaleSource("fr_FR.WIN1252"));
  SetValue(reg::Hive::LocalMachine, "LOCALE_LIB1", b.string());
  SetValue(reg::Hive::LocalMachine, "LOCALE_LIB2", (root_.path() / "MISSING.SLL").string());
  SetValue(reg::Hive::CurrentUser, "LOCALE_LIB1", a.string());
  SetValue(reg::Hive::CurrentUser, "OTHER", "x");
  InFreshProcess([&](Api& api) {
    CHECK_EQ_CHILD(SLW_API(api, _SL_InitClient)(1, 1, 1), 0);
    CHECK_CHILD(LibraryPath(api, 1) == a.string());
    CHECK_CHILD(LibraryPath(api, 2) == b.string());
    CHECK_CHILD(LibraryPath(api, 3) == "-");  // the missing file is skipped
    SL_CLIENTINFO info;
    CHECK_EQ_CHILD(SLW_API(api, SL_GetClientInfo)(&info), 0);
    CHECK_CHILD(std::string(info.libraryPath) == a.string());
    CHECK_EQ_CHILD(info.localeEntries, 1);
    CHECK_EQ_CHILD(info.lastLibraryIndex, 2);
    // A locale of the second library is found after the current one.
    hlocale h = nullptr;
    CHECK_EQ_CHILD(SLW_API(api, SL_OpenLocale)(&h, 2, "fr_FR.WIN1252"), 0);
    SL_LOCALEINFO li;
    CHECK_EQ_CHILD(SLW_API(api, SL_GetHlocaleInfo)(h, &li), 0);
    CHECK_CHILD(std::string(li.libraryPath) == b.string());
    CHECK_EQ_CHILD(li.position, 2);
    CHECK_CHILD(std::string(li.charsetName) == "WIN1252");
    CHECK_CHILD(std::string(li.fullName) == "fr_FR.WIN1252;POSIX;;POSIX;POSIX;POSIX;POSIX;POSIX;POSIX;");
    CHECK_EQ_CHILD(SLW_API(api, SL_Exit)(), 0);
  });
}

TEST_F(Library, SetLocaleLibraryChecksTheFileFirst) {
  fs::path good = WriteLibrary(Path("GOOD.SLL"), LocaleSource("en_US.WIN1252"));
  fs::path foreign = WriteLibrary(Path("OLD.SLL"), "format 2 0\n" + LocaleSource("en_US.WIN1252"));
  fs::path empty = WriteLibrary(Path("EMPTY.SLL"), "title nothing\n");
  testing_support::TempRoot::WriteFile(Path("SHORT.SLL"), "too short");
  InFreshProcess([&](Api& api) {
    auto set = SLW_API(api, SL_SetLocaleLibrary);
    CHECK_EQ_CHILD(set(good.c_str(), 0), 0x0105);
    CHECK_EQ_CHILD(SLW_API(api, _SL_InitClient)(1, 1, 1), 0);
    struct Case {
      std::string path;
      LocaleStatus status;
    } refused[] = {
        {(fs::path(good).parent_path() / "NONE.SLL").string(), 0x0201},
        {foreign.string(), 0x0206},
        {empty.string(), 0x0305},
        {Path("SHORT.SLL").string(), 0x0204},
        {"/" + std::string(300, 'x'), 0x0201},
        {"", 0x0201},
    };
    for (const Case& c : refused) CHECK_EQ_CHILD(set(c.path.c_str(), 1), c.status);
    SL_CLIENTINFO info;
    SLW_API(api, SL_GetClientInfo)(&info);
    CHECK_EQ_CHILD(info.lastLibraryIndex, 0);  // nothing was added
    CHECK_EQ_CHILD(set(good.c_str(), 0), 0);
    CHECK_EQ_CHILD(set(good.c_str(), 1), 0);  // already listed: unchanged
    SLW_API(api, SL_GetClientInfo)(&info);
    CHECK_EQ_CHILD(info.lastLibraryIndex, 1);
    CHECK_CHILD(std::string(info.libraryPath) == good.string());
    SL_LIBRARYINFO lib;
    CHECK_EQ_CHILD(SLW_API(api, SL_GetLibraryInfo)(1, &lib), 0);
    CHECK_EQ_CHILD(lib.localeEntries, 1);
    CHECK_EQ_CHILD(lib.directoryEntries, 1);
    CHECK_EQ_CHILD(SLW_API(api, SL_Exit)(), 0);
  });
}

TEST_F(Library, FilePathSearchAndDefaultName) {
  fs::path dir = Path("EXTRA");
  fs::create_directories(dir);
  testing_support::TempRoot::WriteFile(dir / "FOUND.DAT", "x");
  SetValue(reg::Hive::LocalMachine, "SLAPIPATH", (root_.path() / "NOPE").string() + ";" + dir.string());
  SetValue(reg::Hive::LocalMachine, "LANG", std::string(400, 'L'));
  SetValue(reg::Hive::LocalMachine, "SLC_TIME", "fr_FR.WIN1252");
  InFreshProcess([&](Api& api) {
    auto path = SLW_API(api, SL_GetFilePath);
    std::string expected = (dir / "FOUND.DAT").string();
    uint16_t size = 1;
    char small[2];
    CHECK_EQ_CHILD(path("found.dat", small, &size), 0x060C);
    CHECK_EQ_CHILD(size, expected.size());
    std::vector<char> buffer(size + 1u);
    CHECK_EQ_CHILD(path("found.dat", buffer.data(), &size), 0);
    CHECK_CHILD(std::string(buffer.data()) == expected);
    CHECK_EQ_CHILD(path("NOWHERE.DAT", buffer.data(), &size), 0x0505);

    char name[SL_FULL_DEFAULT_NAME_SIZE + 16];
    std::memset(name, '#', sizeof name);
    CHECK_EQ_CHILD(SLW_API(api, SL_GetFullDefaultLocaleName)(name), 0);
    CHECK_CHILD(std::string(name) == std::string(31, 'L') + ";;;fr_FR.WIN1252;;;;;;");
    CHECK_CHILD(name[SL_FULL_DEFAULT_NAME_SIZE] == '#');
  });
  SetValue(reg::Hive::LocalMachine, "SLC_ALL", "de_DE");
  InFreshProcess([&](Api& api) {
    char name[SL_FULL_DEFAULT_NAME_SIZE];
    CHECK_EQ_CHILD(SLW_API(api, SL_GetFullDefaultLocaleName)(name), 0);
    CHECK_CHILD(std::string(name).rfind("de_DE;", 0) == 0);
  });
  SetValue(reg::Hive::LocalMachine, "SLC_ALL", "");
  SetValue(reg::Hive::LocalMachine, "LANG", "");
  InFreshProcess([&](Api& api) {
    char name[SL_FULL_DEFAULT_NAME_SIZE];
    CHECK_EQ_CHILD(SLW_API(api, SL_GetFullDefaultLocaleName)(name), 0x0405);
  });
}

// A library of five locales (L1 ... L5), plain or compressed, as the only listed file.
class Manager : public Library {
 protected:
  void Install(bool compressed = false, const std::string& more = "") {
    std::string source = "title Manager\n";
    for (int i = 1; i <= 5; ++i) source += LocaleSource("L" + std::to_string(i) + "_XX.WIN1252");
    source += more;
    fs::path file = WriteLibrary(Path("MANAGER.SLL"), source, compressed);
    SetValue(reg::Hive::CurrentUser, "LOCALE_LIB1", file.string());
  }
};

TEST_F(Manager, OpensByNameSharesCategoriesAndAnswersFromTheFile) {
  Install(true, LocaleSource("de_DE.WIN1252") +
                    "  category 2 de_DE@euro\n    ctype space,digit,upper,lower,punct toupper\n");
  InFreshProcess([&](Api& api) {
    CHECK_EQ_CHILD(SLW_API(api, _SL_InitClient)(1, 1, 1), 0);
    auto open = SLW_API(api, SL_OpenLocale);
    hlocale a = nullptr, b = nullptr, c = nullptr;
    CHECK_EQ_CHILD(open(&a, 255, "L1_XX.WIN1252"), 0);
    CHECK_EQ_CHILD(open(&b, 255, "L1_XX.WIN1252"), 0);
    CHECK_CHILD(a != nullptr && b != nullptr && a != b);
    // One category object serves both opens.
    void* ua = SLW_API(api, SL_GetUserDefLocation)(a);
    CHECK_CHILD(ua != nullptr && ua == SLW_API(api, SL_GetUserDefLocation)(b));
    CHECK_EQ_CHILD(SLW_API(api, SL_GetClassCount)(a), 3);
    CHECK_EQ_CHILD(SLW_API(api, SL_GetClassValue)(a, "alpha"), 4u);
    char text[300];
    CHECK_EQ_CHILD(SLW_API(api, SL_GetFullCategoryName)(a, 64, text), 0);
    CHECK_CHILD(std::string(text) == "L1_XX.WIN1252");
    CHECK_EQ_CHILD(SLW_API(api, SL_GetFullCategoryName)(a, 3, text), 0x0407);
    // The locale part of "de_DE@euro" finds the entry; the modifier picks the category.
    CHECK_EQ_CHILD(open(&c, 2, "de_DE@euro"), 0);
    CHECK_EQ_CHILD(SLW_API(api, SL_GetClassCount)(c), 5);
    CHECK_EQ_CHILD(SLW_API(api, SL_GetFullLocaleName)(c, text), 0);
    CHECK_CHILD(std::string(text) == "de_DE.WIN1252;POSIX;@euro;POSIX;POSIX;POSIX;POSIX;POSIX;POSIX;");
    CHECK_EQ_CHILD(SLW_API(api, SL_GetHlocaleCharacterSetName)(c, text), 0);
    CHECK_CHILD(std::string(text) == "WIN1252");

    SL_LOCALEINFO info;
    CHECK_EQ_CHILD(SLW_API(api, SL_GetNamedLocaleInfo)("L3_XX", &info), 0);
    CHECK_EQ_CHILD(info.position, 3);
    CHECK_EQ_CHILD(info.categoryRecords[1], 1);
    SL_CATEGORYINFO cat;
    CHECK_EQ_CHILD(SLW_API(api, SL_GetCategoryInfo)(&info, 128, 1, &cat), 0);
    CHECK_EQ_CHILD(cat.userdefSize, 3u);
    CHECK_EQ_CHILD(SLW_API(api, SL_GetCategoryInfo)(&info, 128, 2, &cat), 0x0405);
    CHECK_EQ_CHILD(SLW_API(api, SL_GetNamedLocaleInfo)("", &info), 0x0C07);

    struct Refused {
      uint16_t mask;
      const char* name;
      LocaleStatus status;
    } refused[] = {
        {255, nullptr, 0x0C07}, {255, "", 0x0C07}, {0, "L1_XX.WIN1252", 0x0407},
        {255, "x@y;z", 0x0C07}, {255, "zz_ZZ", 0x0305}, {2, "@mod", 0x0305},
        {2, "de_DE@nosuch", 0x0405}, {2, "en_US@platform", 0x0305},  // installed, not in the library
    };
    for (const Refused& r : refused) {
      hlocale h = reinterpret_cast<hlocale>(&text);
      CHECK_EQ_CHILD(open(&h, r.mask, r.name), r.status);
      CHECK_CHILD(h == nullptr);
    }
    CHECK_EQ_CHILD(SLW_API(api, SL_Exit)(), 0);
  });
}

TEST_F(Manager, AForkedChildOpensItsOwnLocaleNotOneItsParentPooled) {
  Install();
  InFreshProcess([&](Api& api) {
    auto open = SLW_API(api, SL_OpenLocale);
    auto close = SLW_API(api, SL_CloseLocale);
    CHECK_EQ_CHILD(SLW_API(api, _SL_InitClient)(1, 1, 1), 0);
    hlocale h = nullptr;
    CHECK_EQ_CHILD(open(&h, 2, "L1_XX.WIN1252"), 0);
    const hlocale pooled = h;
    CHECK_EQ_CHILD(close(&h), 0);
    const pid_t pid = fork();
    if (pid == 0) {
      if (SLW_API(api, _SL_InitClient)(1, 1, 1) != 0) std::_Exit(10);
      hlocale mine = nullptr;
      if (open(&mine, 2, "L1_XX.WIN1252") != 0) std::_Exit(11);
      if (mine == pooled) std::_Exit(12);
      if (SLW_API(api, SL_IsValidHlocale)(mine) != 1) std::_Exit(13);
      std::_Exit(close(&mine) == 0 ? 0 : 14);
    }
    int status = -1;
    CHECK_EQ_CHILD(waitpid(pid, &status, 0), pid);
    CHECK_CHILD(WIFEXITED(status));
    CHECK_EQ_CHILD(WEXITSTATUS(status), 0);
    // The parent still takes its own pooled locale back.
    CHECK_EQ_CHILD(open(&h, 2, "L1_XX.WIN1252"), 0);
    CHECK_CHILD(h == pooled);
    CHECK_EQ_CHILD(SLW_API(api, SL_Exit)(), 0);
  });
}

// A handle the parent's thread used last is not the forked child's: its
// client (or none) does not hold it, however recently the parent checked it.
TEST_F(Manager, AForkedChildTakesNoHandleItsParentUsedLast) {
  Install();
  InFreshProcess([&](Api& api) {
    auto strBcd = SLW_API(api, SLN_StrBCD);
    CHECK_EQ_CHILD(SLW_API(api, _SL_InitClient)(1, 1, 1), 0);
    hlocale h = nullptr;
    CHECK_EQ_CHILD(SLW_API(api, SL_OpenLocale)(&h, 2, "L1_XX.WIN1252"), 0);
    SL_BCD value;
    CHECK_EQ_CHILD(strBcd(h, "12", &value), 0);
    const pid_t pid = fork();
    if (pid == 0) {
      if (strBcd(h, "12", &value) != SL_STATUS_BAD_HANDLE) std::_Exit(10);
      if (SLW_API(api, _SL_InitClient)(1, 1, 1) != 0) std::_Exit(11);
      std::_Exit(strBcd(h, "12", &value) == SL_STATUS_BAD_HANDLE ? 0 : 12);
    }
    int status = -1;
    CHECK_EQ_CHILD(waitpid(pid, &status, 0), pid);
    CHECK_CHILD(WIFEXITED(status));
    CHECK_EQ_CHILD(WEXITSTATUS(status), 0);
    CHECK_EQ_CHILD(strBcd(h, "12", &value), 0);
    CHECK_EQ_CHILD(SLW_API(api, SL_Exit)(), 0);
  });
}

TEST_F(Manager, PoolKeepsFourClosedLocalesAndEvictsTheOldest) {
  Install();
  InFreshProcess([&](Api& api) {
    CHECK_EQ_CHILD(SLW_API(api, _SL_InitClient)(1, 1, 1), 0);
    auto open = SLW_API(api, SL_OpenLocale);
    auto close = SLW_API(api, SL_CloseLocale);
    auto valid = SLW_API(api, SL_IsValidHlocale);
    auto name = [](int i) { return "L" + std::to_string(i) + "_XX.WIN1252"; };
    hlocale h[6] = {};
    for (int i = 1; i <= 5; ++i) CHECK_EQ_CHILD(open(&h[i], 2, name(i).c_str()), 0);
    hlocale kept[6];
    std::memcpy(kept, h, sizeof h);
    for (int i = 1; i <= 5; ++i) {
      CHECK_EQ_CHILD(close(&h[i]), 0);
      CHECK_CHILD(h[i] == nullptr);
    }
    // The fifth close evicted the oldest closed locale.
    CHECK_EQ_CHILD(valid(kept[1]), 0);
    for (int i = 2; i <= 5; ++i) CHECK_EQ_CHILD(valid(kept[i]), 1);
    // Reopening with the same name and mask takes the pooled locale back.
    hlocale again = nullptr;
    CHECK_EQ_CHILD(open(&again, 2, name(3).c_str()), 0);
    CHECK_CHILD(again == kept[3]);
    hlocale other = nullptr;
    CHECK_EQ_CHILD(open(&other, 6, name(3).c_str()), 0);
    CHECK_CHILD(other != kept[3]);
    // Closing a closed handle, a stale one, a foreign one or a system locale does nothing.
    hlocale stale = kept[4];
    CHECK_EQ_CHILD(close(&stale), 0x0307);
    CHECK_CHILD(stale == kept[4]);
    hlocale bogus = reinterpret_cast<hlocale>(&stale);
    CHECK_EQ_CHILD(close(&bogus), 0x0307);
    hlocale none = nullptr;
    CHECK_EQ_CHILD(close(&none), 0x0307);
    hlocale sys = SLW_API(api, SLN_GetSysLocale)();
    CHECK_EQ_CHILD(close(&sys), 0x0307);
    CHECK_EQ_CHILD(valid(kept[4]), 1);

    // With every pooled locale taken again, a fifth close destroys at once.
    hlocale t[6] = {};
    for (int i = 2; i <= 5; ++i) {
      if (i != 3) CHECK_EQ_CHILD(open(&t[i], 2, name(i).c_str()), 0);
    }
    hlocale fifth = nullptr;
    CHECK_EQ_CHILD(open(&fifth, 2, name(1).c_str()), 0);
    hlocale fifthKept = fifth;
    CHECK_EQ_CHILD(close(&fifth), 0);
    CHECK_EQ_CHILD(valid(fifthKept), 0);
    CHECK_EQ_CHILD(SLW_API(api, SL_Exit)(), 0);
    CHECK_EQ_CHILD(close(&again), 0x0105);
  });
}

TEST_F(Manager, HandlesBelongToTheirThreadAndOutliveIt) {
  Install(false, LocaleSource("np_NP.WIN1252", "  byte 68 255\n"));
  InFreshProcess([&](Api& api) {
    CHECK_EQ_CHILD(SLW_API(api, _SL_InitClient)(1, 1, 1), 0);
    auto open = SLW_API(api, SL_OpenLocale);
    auto close = SLW_API(api, SL_CloseLocale);
    auto valid = SLW_API(api, SL_IsValidHlocale);
    hlocale mine = nullptr;
    CHECK_EQ_CHILD(open(&mine, 2, "L1_XX.WIN1252"), 0);
    LocaleStatus fromOther = 0;
    hlocale copy = mine;
    std::thread([&] { fromOther = close(&copy); }).join();
    CHECK_EQ_CHILD(fromOther, 0x0807);
    CHECK_CHILD(copy == mine);
    CHECK_EQ_CHILD(valid(mine), 1);
    // A thread's end frees only its own thread object: its locale stays.
    hlocale made = nullptr;
    std::thread([&] { open(&made, 2, "L2_XX.WIN1252"); }).join();
    CHECK_EQ_CHILD(valid(made), 1);
    // A locale marked never to be pooled is destroyed at its close.
    hlocale np = nullptr;
    CHECK_EQ_CHILD(open(&np, 2, "np_NP.WIN1252"), 0);
    hlocale npKept = np;
    CHECK_EQ_CHILD(close(&np), 0);
    CHECK_EQ_CHILD(valid(npKept), 0);
    CHECK_EQ_CHILD(close(&mine), 0);
    CHECK_EQ_CHILD(SLW_API(api, SL_Exit)(), 0);
  });
}

TEST_F(Manager, UpdateSwapsCategoriesOnlyWhenAllLoad) {
  Install(false, "  category 2 L5_XX@alt\n    ctype a,b toupper\n");
  InFreshProcess([&](Api& api) {
    CHECK_EQ_CHILD(SLW_API(api, _SL_InitClient)(1, 1, 1), 0);
    auto update = SLW_API(api, SL_UpdateLocale);
    hlocale h = nullptr;
    CHECK_EQ_CHILD(SLW_API(api, SL_OpenLocale)(&h, 255, "L5_XX.WIN1252"), 0);
    CHECK_EQ_CHILD(update(&h, 2, nullptr), 0x0C07);
    CHECK_EQ_CHILD(update(&h, 2, "L5_XX@nosuch"), 0x0405);
    CHECK_EQ_CHILD(SLW_API(api, SL_GetClassCount)(h), 3);
    hlocale copy = h;
    LocaleStatus fromOther = 0;
    std::thread([&] { fromOther = update(&copy, 2, "L5_XX@alt"); }).join();
    CHECK_EQ_CHILD(fromOther, 0x0807);
    CHECK_EQ_CHILD(update(&h, 2, "@alt"), 0x0405);  // no "L5_XX.WIN1252@alt" record
    CHECK_EQ_CHILD(update(&h, 2, "L5_XX@alt"), 0);
    CHECK_EQ_CHILD(SLW_API(api, SL_GetClassCount)(h), 2);
    char name[300];
    CHECK_EQ_CHILD(SLW_API(api, SL_GetFullCategoryName)(h, 2, name), 0);
    CHECK_CHILD(std::string(name) == "L5_XX@alt");
    CHECK_EQ_CHILD(SLW_API(api, SL_Exit)(), 0);
  });
}

TEST_F(Library, BadCategoryRecordsAreRefused) {
  // Category records whose length is below the head, or runs past the end.
  std::string base = "locale bad_BB.WIN1252\n  family 1\n  category 2 bad_BB.WIN1252\n    ctype a toupper\n";
  sllc::LibrarySpec spec;
  std::string error;
  ASSERT_TRUE(sllc::Parse(base, spec, error)) << error;
  std::vector<uint8_t> good = sllc::Build(spec);
  uint32_t table = 0;
  std::memcpy(&table, good.data() + 42 + 34, 4);  // locale record offset
  uint32_t ctypeTable = 0;
  std::memcpy(&ctypeTable, good.data() + table + 82 + 4, 4);
  struct Case {
    const char* file;
    uint32_t length;
  } cases[] = {{"SHORTREC.SLL", 10}, {"LONGREC.SLL", 0x7FFFFFF0u}, {"ZEROREC.SLL", 0}};
  for (const Case& c : cases) {
    std::vector<uint8_t> bytes = good;
    std::memcpy(bytes.data() + ctypeTable + 2, &c.length, 4);
    std::ofstream(Path(c.file), std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), bytes.size());
  }
  std::ofstream(Path("GOOD.SLL"), std::ios::binary).write(reinterpret_cast<const char*>(good.data()), good.size());
  std::vector<uint8_t> cut(good.begin(), good.begin() + static_cast<long>(ctypeTable) + 40);
  std::ofstream(Path("CUT.SLL"), std::ios::binary).write(reinterpret_cast<const char*>(cut.data()), cut.size());
  InFreshProcess([&](Api& api) {
    CHECK_EQ_CHILD(SLW_API(api, _SL_InitClient)(1, 1, 1), 0);
    struct Expect {
      const char* file;
      LocaleStatus status;
    } expect[] = {{"GOOD.SLL", 0}, {"SHORTREC.SLL", 0x0404}, {"LONGREC.SLL", 0x0404},
                  {"ZEROREC.SLL", 0x0404}, {"CUT.SLL", 0x0404}};
    for (const Expect& e : expect) {
      // Each file alone in the list, as the current library.
      CHECK_EQ_CHILD(SLW_API(api, SL_Exit)(), 0);
      CHECK_EQ_CHILD(SLW_API(api, _SL_InitClient)(1, 1, 1), 0);
      CHECK_EQ_CHILD(SLW_API(api, SL_SetLocaleLibrary)(Path(e.file).c_str(), 1), 0);
      hlocale h = nullptr;
      CHECK_EQ_CHILD(SLW_API(api, SL_OpenLocale)(&h, 2, "bad_BB.WIN1252"), e.status);
      CHECK_CHILD((h != nullptr) == (e.status == 0));
    }
    CHECK_EQ_CHILD(SLW_API(api, SL_Exit)(), 0);
  });
}

TEST_F(Library, ExtensionLibraryNamedInTheCollationData) {
  auto locale = [](const std::string& name, const std::string& file) {
    return "locale " + name + "\n  family 1\n  category 1 " + name + "\n    extension " + file +
           "\n  category 2 " + name + "\n    ctype space toupper\n";
  };
  fs::path lib = WriteLibrary(Path("EXT.SLL"), locale("ok_OK", "SLEXTEST.DLL") + locale("no_NO", "NOSUCH.DLL") +
                                                   "locale short_SS\n  family 1\n  category 1 short_SS\n    body 01\n");
  SetValue(reg::Hive::CurrentUser, "LOCALE_LIB1", lib.string());
  struct Case {
    const char* env;
    const char* name;
    LocaleStatus status;
  } cases[] = {{nullptr, "ok_OK", 0},
               {nullptr, "no_NO", 0x1005},
               {nullptr, "short_SS", 0x0204},  // shorter than the collation header
               {"SLEXTEST_INIT_FAILS", "ok_OK", 0x1006},
               {"SLEXTEST_NO_COLLATE", "ok_OK", 0x1008}};
  for (const Case& c : cases) {
    InFreshProcess([&](Api& api) {
      if (c.env != nullptr) setenv(c.env, "1", 1);
      CHECK_EQ_CHILD(SLW_API(api, _SL_InitClient)(1, 1, 1), 0);
      hlocale h = nullptr;
      CHECK_EQ_CHILD(SLW_API(api, SL_OpenLocale)(&h, 3, c.name), c.status);
      CHECK_CHILD((h != nullptr) == (c.status == 0));
      if (h == nullptr) return;
      void* ext = dlopen(SLEXTEST_PATH, RTLD_NOW | RTLD_NOLOAD);
      CHECK_CHILD(ext != nullptr);
      if (ext == nullptr) return;
      auto exits = reinterpret_cast<int (*)()>(dlsym(ext, "SLEXTEST_Exits"));
      CHECK_EQ_CHILD(exits(), 0);
      // The extension's compare replaced the locale's (it finds every pair equal).
      CHECK_EQ_CHILD(SLW_API(api, SLN_StrCollate)(h, "a", "b"), 0);
      // A close keeps the locale (and its extension) in the pool; the client's end releases both.
      CHECK_EQ_CHILD(SLW_API(api, SL_CloseLocale)(&h), 0);
      CHECK_EQ_CHILD(exits(), 0);  // pooled, still loaded
      CHECK_EQ_CHILD(SLW_API(api, SL_Exit)(), 0);
      CHECK_EQ_CHILD(exits(), 1);
      dlclose(ext);
    });
  }
}

TEST_F(Library, ForwardMessageRescansOnlyForItsMessages) {
  fs::path a = WriteLibrary(Path("A.SLL"), LocaleSource("aa_AA"));
  fs::path b = WriteLibrary(Path("B.SLL"), LocaleSource("bb_BB"));
  SetValue(reg::Hive::CurrentUser, "LOCALE_LIB1", a.string());
  InFreshProcess([&](Api& api) {
    auto forward = SLW_API(api, SL_ForwardMessage);
    CHECK_EQ_CHILD(forward(0x1A, 0, 0), 0x0105);
    CHECK_EQ_CHILD(SLW_API(api, _SL_InitClient)(1, 1, 1), 0);
    SetValue(reg::Hive::LocalMachine, "LOCALE_LIB1", b.string());
    CHECK_EQ_CHILD(forward(0x219, 0x0007, 0), 0);  // another device event: nothing
    CHECK_CHILD(LibraryPath(api, 2) == "-");
    CHECK_EQ_CHILD(forward(0x219, 0x8000, 0), 0);
    CHECK_CHILD(LibraryPath(api, 2) == b.string());
    // A library whose file went away is no longer reported (but the first).
    fs::remove(b);
    CHECK_EQ_CHILD(forward(0x1A, 0, 0), 0);
    CHECK_CHILD(LibraryPath(api, 2) == "-");
    CHECK_CHILD(LibraryPath(api, 1) == a.string());
    CHECK_EQ_CHILD(SLW_API(api, SL_Exit)(), 0);
  });
}

}  // namespace
