// The message library: a separate library per language holding the texts of
// the status codes, named after this library ("SLW32" padded with "_" to
// eight characters, the last three replaced by the primary language in three
// hexadecimal digits: "SLW32009" for 0x0409) and found along the library's
// file search. It exports
//   extern "C" int SLMSG_LoadString(unsigned id, char* buffer, int size);
// which copies the text numbered `id` (a status code) like LoadStringA.
#include <dlfcn.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>

#include "client.h"
#include "lock.h"
#include "platform/dynlib.h"
#include "registry_values.h"

using namespace slw;

namespace {

using LoadStringFn = int (*)(unsigned, char*, int);

void* g_messages = nullptr;
LoadStringFn g_loadString = nullptr;

// The library's own base name ("SLW32" for libSLW32.so).
std::string OwnName() {
  Dl_info info{};
  std::string name = "SLW32";
  if (dladdr(reinterpret_cast<void*>(&OwnName), &info) != 0 && info.dli_fname != nullptr) {
    std::string file = std::filesystem::path(info.dli_fname).filename().string();
    if (file.rfind("lib", 0) == 0) file = file.substr(3);
    std::size_t dot = file.find('.');
    if (dot != std::string::npos) file.resize(dot);
    // The static build in tests has no library file of its own.
    if (!file.empty() && file.find_first_not_of("ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789_") == std::string::npos)
      name = file;
  }
  return name;
}

}  // namespace

SL_EXPORT LocaleStatus SL_InitErrorMessages(uint16_t langid) {
  std::string base = OwnName();
  if (base.size() < 8) base.append(8 - base.size(), '_');
  base.resize(8);
  char digits[8];
  std::snprintf(digits, sizeof digits, "%03X", static_cast<unsigned>(langid & 0x3FF));
  base.replace(5, 3, digits);
  std::string file = platform::dynlib::LinuxLibraryName(base + ".DLL");
  // First ask for the length, then fetch the path into a buffer of that size.
  uint16_t size = 1;
  char probe[2];
  LocaleStatus s = SL_GetFilePath(file.c_str(), probe, &size);
  if (s != kOk && s != kBufferSmall) return kNoMessages;
  std::string path(size + 1u, '\0');
  uint16_t room = size;
  if (SL_GetFilePath(file.c_str(), path.data(), &room) != kOk) return kNoMessages;
  path.resize(std::strlen(path.c_str()));
  void* module = platform::dynlib::LoadFile(path);
  if (module == nullptr) return kNoMessages;
  auto fn = reinterpret_cast<LoadStringFn>(platform::dynlib::Entry(module, "SLMSG_LoadString"));
  if (fn == nullptr) {
    platform::dynlib::Free(module);
    return kNoMessages;
  }
  LockHold hold;
  if (g_messages != nullptr) platform::dynlib::Free(g_messages);
  g_messages = module;
  g_loadString = fn;
  return kOk;
}

SL_EXPORT void SL_GetErrorMessage(LocaleStatus code, char* buffer, uint16_t size) {
  LockHold hold;
  if (g_loadString == nullptr || buffer == nullptr || size == 0) return;
  g_loadString(code, buffer, size);
}

SL_EXPORT void SL_UnInitErrorMessages(void) {
  LockHold hold;
  if (g_messages != nullptr) platform::dynlib::Free(g_messages);
  g_messages = nullptr;
  g_loadString = nullptr;
}
