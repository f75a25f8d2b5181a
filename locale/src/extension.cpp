// Extension libraries named in a locale's LC_COLLATE data.
#include "locale_object.h"
#include "platform/dynlib.h"

namespace slw {

using ExitFn = int (*)(void);

void UnloadExtension(CLocale& locale) {
  if (locale.extensionModule == nullptr) return;
  if (locale.extensionExit != nullptr) reinterpret_cast<ExitFn>(locale.extensionExit)();
  platform::dynlib::Free(locale.extensionModule);
  locale.extensionModule = nullptr;
  locale.extensionExit = nullptr;
  locale.extensionOps = {};
}

}  // namespace slw
