// Start-up, clients, version, memory, messages and the LC_CTYPE information
// of the system locales, each case in a fresh process.
#include <cstring>
#include <cstdio>
#include <utility>
#include <string>
#include <thread>

#include "fresh_process.h"
#include "temp_root.h"

using slw_test::Api;
using slw_test::InFreshProcess;

namespace {

TEST(Slw32Start, ClientLifecycleFromAFreshLibrary) {
  testing_support::TempRoot root;
  InFreshProcess([](Api& api) {
    SL_CLIENTINFO info;
    CHECK_EQ_CHILD(SLW_API(api, SL_GetClientInfo)(&info), 0x0105);
    CHECK_EQ_CHILD(SLW_API(api, SL_Exit)(), -1);
    // A wrong version is refused, but only after the library itself started.
    CHECK_EQ_CHILD(SLW_API(api, _SL_InitClient)(1, 1, 2), 0x0106);
    CHECK_CHILD(SLW_API(api, SLN_GetSysLocale)() != nullptr);
    CHECK_EQ_CHILD(SLW_API(api, SL_GetClientInfo)(&info), 0x0105);
    CHECK_EQ_CHILD(SLW_API(api, _SL_InitClient)(1, 1, 1), 0);
    // A second init of the same process succeeds whatever the version.
    CHECK_EQ_CHILD(SLW_API(api, _SL_InitClient)(1, 1, 1), 0);
    CHECK_EQ_CHILD(SLW_API(api, _SL_InitClient)(7, 0, 2), 0);

    std::memset(&info, 0xAB, sizeof info);
    CHECK_EQ_CHILD(SLW_API(api, SL_GetClientInfo)(&info), 0);
    CHECK_CHILD(std::memcmp(info.version, "\x01\x01\x01" "1", 4) == 0);
    CHECK_CHILD(info.libraryPath != nullptr && info.libraryPath[0] == '\0');
    CHECK_EQ_CHILD(info.localeEntries, 0);
    CHECK_EQ_CHILD(info.openLocales, 0);
    CHECK_EQ_CHILD(info.openConversions, 0);
    CHECK_EQ_CHILD(info.lastLibraryIndex, 0);
    CHECK_EQ_CHILD(info.reserved1 + info.reserved2, 0);

    CHECK_EQ_CHILD(SLW_API(api, SL_Exit)(), 0);
    CHECK_EQ_CHILD(SLW_API(api, SL_GetClientInfo)(&info), 0x0105);
    CHECK_EQ_CHILD(SLW_API(api, SL_Exit)(), -1);
    // The system locales live on; a new client can start again.
    CHECK_CHILD(SLW_API(api, SLW_GetSysLocale)() != nullptr);
    CHECK_EQ_CHILD(SLW_API(api, _SL_InitClient)(1, 1, 1), 0);
    CHECK_EQ_CHILD(SLW_API(api, SL_GetClientInfo)(&info), 0);
    CHECK_EQ_CHILD(SLW_API(api, SL_Exit)(), 0);
  });
}

TEST(Slw32Start, ExitFromAThreadWithoutThreadObjectKeepsTheClient) {
  testing_support::TempRoot root;
  InFreshProcess([](Api& api) {
    CHECK_EQ_CHILD(SLW_API(api, _SL_InitClient)(1, 1, 1), 0);
    auto exitFn = SLW_API(api, SL_Exit);
    int32_t fromOther = 99;
    std::thread([&] { fromOther = exitFn(); }).join();
    CHECK_EQ_CHILD(fromOther, 0);
    SL_CLIENTINFO info;
    CHECK_EQ_CHILD(SLW_API(api, SL_GetClientInfo)(&info), 0);
    CHECK_EQ_CHILD(SLW_API(api, SL_Exit)(), 0);
    CHECK_EQ_CHILD(SLW_API(api, SL_GetClientInfo)(&info), 0x0105);
  });
}

TEST(Slw32Start, VersionDateAndTimeTexts) {
  InFreshProcess([](Api& api) {
    CHECK_CHILD(std::memcmp(SLW_API(api, _SL_GetAPIVersion)(), "\x01\x01\x01" "1", 4) == 0);
    CHECK_CHILD(std::string(SLW_API(api, _SL_GetAPIDate)()) == "Nov 20 1995");
    CHECK_CHILD(std::string(SLW_API(api, _SL_GetAPITime)()) == "10:48:13");
    CHECK_EQ_CHILD(SLW_API(api, WEP)(0), 1);
  });
}

TEST(Slw32Memory, AllocateReallocateCopyFree) {
  InFreshProcess([](Api& api) {
    void* block = nullptr;
    CHECK_EQ_CHILD(SLW_API(api, _SL_AllocMemory)(300, &block), 0);
    CHECK_CHILD(block != nullptr);
    const uint8_t* bytes = static_cast<const uint8_t*>(block);
    bool zero = true;
    for (int i = 0; i < 300; ++i) zero = zero && bytes[i] == 0;
    CHECK_CHILD(zero);
    CHECK_EQ_CHILD(SLW_API(api, _SL_MemoryCopy)(block, "stash", 6), 0);
    CHECK_EQ_CHILD(SLW_API(api, _SL_ReallocMemory)(5000, &block), 0);
    CHECK_CHILD(std::strcmp(static_cast<char*>(block), "stash") == 0);
    char copy[8] = {};
    CHECK_EQ_CHILD(SLW_API(api, _SL_HMemoryCopy)(copy, block, 6), 0);
    CHECK_CHILD(std::strcmp(copy, "stash") == 0);
    CHECK_EQ_CHILD(SLW_API(api, _SL_FreeMemory)(block), 0);
    CHECK_EQ_CHILD(SLW_API(api, _SL_AllocMemory)(10, nullptr), 0x0C07);
  });
}

TEST(Slw32Messages, TextsOnlyWhileTheMessageLibraryIsLoaded) {
  testing_support::TempRoot root;
  InFreshProcess([](Api& api) {
    auto get = SLW_API(api, SL_GetErrorMessage);
    char buffer[64];
    std::memset(buffer, 'x', sizeof buffer);
    get(0x0601, buffer, sizeof buffer);
    CHECK_CHILD(buffer[0] == 'x' && buffer[63] == 'x');
    // Primary language 7 has no message library; 0x0409 finds "SLW32009"
    // beside the library.
    CHECK_EQ_CHILD(SLW_API(api, SL_InitErrorMessages)(0x0407), 0x0E05);
    CHECK_EQ_CHILD(SLW_API(api, SL_InitErrorMessages)(0x0409), 0);
    get(0x0601, buffer, sizeof buffer);
    CHECK_CHILD(std::string(buffer) == "Out of memory.");
    get(0x0C07, buffer, 8);
    CHECK_CHILD(std::string(buffer) == "Invalid");
    SLW_API(api, SL_UnInitErrorMessages)();
    std::memset(buffer, 'x', sizeof buffer);
    get(0x0601, buffer, sizeof buffer);
    CHECK_CHILD(buffer[0] == 'x');
  });
}

TEST(Slw32Ctype, ClassesAndTranslationsOfTheSystemLocales) {
  testing_support::TempRoot root;
  InFreshProcess([](Api& api) {
    CHECK_EQ_CHILD(SLW_API(api, _SL_InitClient)(1, 1, 1), 0);
    for (const char* which : {"SLN_GetSysLocale", "SLW_GetSysLocale", "SLM_GetSysLocale"}) {
      hlocale h = api.get<hlocale()>(which)();
      CHECK_CHILD(h != nullptr);
      uint16_t count = SLW_API(api, SL_GetClassCount)(h);
      CHECK_EQ_CHILD(count, 8);
      SL_CLASSINFO info;
      CHECK_EQ_CHILD(SLW_API(api, SL_GetClassInfo)(h, 0, &info), 0x0C07);
      CHECK_EQ_CHILD(SLW_API(api, SL_GetClassInfo)(h, static_cast<uint16_t>(count + 1), &info), 0x0C07);
      CHECK_EQ_CHILD(SLW_API(api, SL_GetClassInfo)(h, count, &info), 0);
      CHECK_CHILD(std::string(info.name) == "blank");
      CHECK_EQ_CHILD(info.mask, 128u);
      CHECK_EQ_CHILD(SLW_API(api, SL_GetClassValue)(h, "digit"), 2u);
      CHECK_EQ_CHILD(SLW_API(api, SL_GetClassValue)(h, "nosuch"), 0u);
      CHECK_EQ_CHILD(SLW_API(api, SL_IsValidClassName)(h, "upper"), 1);
      CHECK_EQ_CHILD(SLW_API(api, SL_IsValidClassName)(h, "Upper"), 0);

      CHECK_EQ_CHILD(SLW_API(api, SL_GetTranslationCount)(h), 2);
      SL_TRANSLATIONINFO t;
      CHECK_EQ_CHILD(SLW_API(api, SL_GetTranslationInfo)(h, 2, &t), 0);
      CHECK_CHILD(std::string(t.name) == "tolower");
      CHECK_EQ_CHILD(t.index, 1);
      CHECK_EQ_CHILD(SLW_API(api, SL_GetTranslationInfo)(h, 3, &t), 0x0C07);
      CHECK_EQ_CHILD(SLW_API(api, SL_GetTranslationIndex)(h, "tolower"), 1);
      CHECK_EQ_CHILD(SLW_API(api, SL_IsValidTranslationName)(h, "toupper"), 1);
    }
    // Anything that is not a locale of the process is refused unread.
    int notALocale = 0;
    hlocale bogus = reinterpret_cast<hlocale>(&notALocale);
    SL_CLASSINFO info;
    CHECK_EQ_CHILD(SLW_API(api, SL_GetClassInfo)(bogus, 1, &info), 0x0307);
    CHECK_EQ_CHILD(SLW_API(api, SL_GetClassCount)(nullptr), 0x0307);
    CHECK_EQ_CHILD(SLW_API(api, SL_Exit)(), 0);
  });
}

TEST(Slw32Ctype, MultiByteClassTrimAndScan) {
  testing_support::TempRoot root;
  InFreshProcess([](Api& api) {
    CHECK_EQ_CHILD(SLW_API(api, _SL_InitClient)(1, 1, 1), 0);
    hlocale h = SLW_API(api, SLM_GetSysLocale)();
    auto trimEnd = SLW_API(api, SLM_StrTrimClassEnd);
    auto trimEndStr = SLW_API(api, SLM_StrTrimClassEndStr);
    struct Case {
      const char* in;
      const char* end;
      const char* start;
    } cases[] = {
        {"  a  ", "  a", "a  "},
        {"", "", ""},          // an empty string stays as it is
        {"   ", " ", ""},      // the first character always stays at the end trim
        {"abc", "abc", "abc"},
    };
    for (const Case& c : cases) {
      // Guard bytes around the string show any write outside it.
      char buffer[16];
      std::memset(buffer, '#', sizeof buffer);
      std::strcpy(buffer + 4, c.in);
      trimEnd(h, buffer + 4, 1);
      CHECK_CHILD(std::string(buffer + 4) == c.end);
      CHECK_CHILD(buffer[3] == '#');
      char out[16];
      trimEndStr(h, out, c.in, 1);
      CHECK_CHILD(std::string(out) == c.end);
      std::strcpy(buffer + 4, c.in);
      SLW_API(api, SLM_StrTrimClassStart)(h, buffer + 4, 1);
      CHECK_CHILD(std::string(buffer + 4) == c.start);
    }
    const char* text = "  x1";
    CHECK_CHILD(SLW_API(api, SLM_StrScanForClass)(h, text, 1, 1) == text + 2);
    CHECK_CHILD(SLW_API(api, SLM_StrScanForClass)(h, "   ", 1, 1) == nullptr);
    CHECK_CHILD(SLW_API(api, SLM_StrnScanForClass)(h, text, 1, 1, 2) == nullptr);
    CHECK_CHILD(SLW_API(api, SLM_StrnScanForClass)(h, text, 1, 1, 3) == text + 2);
    CHECK_EQ_CHILD(SLW_API(api, SL_Exit)(), 0);
  });
}

// The byte-order names of the code-order operations, as the interface
// lists them, resolve by name in every family and answer as the operation
// they name a second time (the system locales compare by code).
template <typename CH, typename KEY>
void ExpectByteNamesAnswerAsCharNames(Api& api, hlocale h, const std::string& p, const CH* a, const CH* b) {
  using Compare = int16_t (*)(hlocale, const CH*, const CH*);
  using NCompare = int16_t (*)(hlocale, const CH*, uint16_t, const CH*, uint16_t);
  using Dbase = int16_t (*)(hlocale, const CH*, uint16_t, const CH*, uint16_t, uint8_t);
  using Transform = uint16_t (*)(hlocale, KEY*, const CH*, uint16_t);
  using NTransform = uint16_t (*)(hlocale, KEY*, const CH*, uint16_t, uint16_t);
  auto fn = [&](const std::string& name) {
    void* f = dlsym(api.module(), name.c_str());
    if (f == nullptr) std::fprintf(stderr, "missing export %s\n", name.c_str());
    CHECK_CHILD(f != nullptr);
    return f;
  };
  void* byteCompare = fn("_" + p + "StrByteCompare");
  void* byteNCompare = fn("_" + p + "StrnByteCompare");
  void* byteDbase = fn("__" + p + "StrDbaseByteCompare");
  void* byteTransform = fn("_" + p + "StrByteTransform");
  void* byteNTransform = fn("_" + p + "StrnByteTransform");
  if (!byteCompare || !byteNCompare || !byteDbase || !byteTransform || !byteNTransform) return;
  auto charCompare = reinterpret_cast<Compare>(fn("_" + p + "StrCharCompare"));
  auto charNCompare = reinterpret_cast<NCompare>(fn("_" + p + "StrnCharCompare"));
  auto charDbase = reinterpret_cast<Dbase>(fn("__" + p + "StrDbaseCharCompare"));
  auto charTransform = reinterpret_cast<Transform>(fn("_" + p + "StrCharTransform"));
  auto charNTransform = reinterpret_cast<NTransform>(fn("_" + p + "StrnCharTransform"));
  for (auto [x, y] : {std::pair{a, b}, std::pair{b, a}, std::pair{a, a}}) {
    CHECK_EQ_CHILD(reinterpret_cast<Compare>(byteCompare)(h, x, y), charCompare(h, x, y));
    for (uint16_t n : {0, 2, 3, 9}) {
      CHECK_EQ_CHILD(reinterpret_cast<NCompare>(byteNCompare)(h, x, n, y, 9), charNCompare(h, x, n, y, 9));
      for (uint8_t exact : {0, 1})
        CHECK_EQ_CHILD(reinterpret_cast<Dbase>(byteDbase)(h, x, n, y, 3, exact), charDbase(h, x, n, y, 3, exact));
    }
  }
  CHECK_CHILD(charCompare(h, a, b) != 0);
  for (uint16_t size : {2, 16}) {
    KEY byKey[16] = {}, byChar[16] = {};
    CHECK_EQ_CHILD(reinterpret_cast<Transform>(byteTransform)(h, byKey, a, size), charTransform(h, byChar, a, size));
    CHECK_CHILD(std::memcmp(byKey, byChar, sizeof byKey) == 0);
    KEY nKey[16] = {}, nChar[16] = {};
    CHECK_EQ_CHILD(reinterpret_cast<NTransform>(byteNTransform)(h, nKey, a, 2, size),
                   charNTransform(h, nChar, a, 2, size));
    CHECK_CHILD(std::memcmp(nKey, nChar, sizeof nKey) == 0);
  }
}

TEST(Slw32Exports, ByteOrderNamesAnswerAsTheCodeOrderOperations) {
  InFreshProcess([](Api& api) {
    CHECK_EQ_CHILD(SLW_API(api, _SL_InitClient)(1, 1, 1), 0);
    ExpectByteNamesAnswerAsCharNames<char, char>(api, SLW_API(api, SLN_GetSysLocale)(), "SLN_", "abc ", "abd");
    ExpectByteNamesAnswerAsCharNames<SL_WCHAR, SL_WCHAR>(api, SLW_API(api, SLW_GetSysLocale)(), "SLW_", u"abc ",
                                                         u"ab\u00E9");
    ExpectByteNamesAnswerAsCharNames<char, SL_WCHAR>(api, SLW_API(api, SLM_GetSysLocale)(), "SLM_", "abc ", "abd");
    CHECK_EQ_CHILD(SLW_API(api, SL_Exit)(), 0);
  });
}

}  // namespace
