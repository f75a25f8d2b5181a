#include "engine_link.h"

#include <mutex>
#include <string>

#include "framework/dbtables.h"
#include "platform/dynlib.h"

namespace grid::detail {

namespace {

template <typename Fn>
void Bind(platform::dynlib::Module module, uint16_t ordinal, Fn& slot, std::string& missing) {
  slot = reinterpret_cast<Fn>(platform::dynlib::EntryByOrdinal(module, ordinal));
  if (!slot) missing += (missing.empty() ? "" : ", ") + std::to_string(ordinal);
}

}  // namespace

EngineLink& Engine() {
  static std::mutex lock;
  static EngineLink* link = nullptr;
  std::lock_guard<std::mutex> guard(lock);
  if (link) return *link;
  uint32_t error = 0;
  platform::dynlib::Module module =
      platform::dynlib::Load("ORBEX32.DLL", framework::TSession::Default().LibraryDirs, &error);
  if (!module)
    throw framework::EDatabaseError("Unable to load the database engine ORBEX32.DLL (error " +
                                    std::to_string(error) + ")");
  auto bound = new EngineLink;
  std::string missing;
  Bind(module, 840, bound->AddFilter, missing);
  Bind(module, 841, bound->DeactivateFilter, missing);
  Bind(module, 842, bound->ActivateFilter, missing);
  Bind(module, 843, bound->DropFilter, missing);
  Bind(module, 207, bound->GetField, missing);
  Bind(module, 16, bound->GetNextRecord, missing);
  Bind(module, 6, bound->GetTableInfo, missing);
  Bind(module, 18, bound->GetRecord, missing);
  Bind(module, 100, bound->OpenBlob, missing);
  Bind(module, 102, bound->GetBlob, missing);
  Bind(module, 105, bound->FreeBlob, missing);
  if (!missing.empty()) {
    delete bound;
    platform::dynlib::Free(module);
    throw framework::EDatabaseError("The database engine ORBEX32.DLL lacks the entries " + missing);
  }
  // Like the framework's binding, the engine stays loaded for the process.
  link = bound;
  return *link;
}

}  // namespace grid::detail
