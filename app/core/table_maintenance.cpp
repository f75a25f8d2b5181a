#include "core/table_maintenance.h"

#include <mutex>

#include "framework/dbtables.h"
#include "orbex32.h"
#include "platform/dynlib.h"

namespace keldro {

namespace {

struct WorkEntries {
  decltype(&EnginePack) pack = nullptr;
  decltype(&EngineRegenIndexes) regenIndexes = nullptr;
  decltype(&EngineSetProgressCallback) setProgress = nullptr;
  decltype(&EngineGetErrorText) errorText = nullptr;
  decltype(&EngineGetErrorContext) errorContext = nullptr;
};

// Bound once; the engine stays loaded for the process, as the framework's
// own binding does.
const WorkEntries& Entries() {
  static std::mutex lock;
  static WorkEntries entries;
  static bool bound = false;
  std::lock_guard<std::mutex> guard(lock);
  if (bound) return entries;
  uint32_t error = 0;
  platform::dynlib::Module module =
      platform::dynlib::Load("ORBEX32.DLL", framework::TSession::Default().LibraryDirs, &error);
  if (!module)
    throw framework::EDatabaseError("Unable to load the database engine ORBEX32.DLL (error " +
                                    std::to_string(error) + ")");
  WorkEntries e;
  auto bind = [module](uint16_t ordinal, auto& slot) {
    slot = reinterpret_cast<std::remove_reference_t<decltype(slot)>>(platform::dynlib::EntryByOrdinal(module, ordinal));
    if (!slot)
      throw framework::EDatabaseError("The database engine ORBEX32.DLL lacks the entry " + std::to_string(ordinal));
  };
  bind(246, e.pack);
  bind(249, e.regenIndexes);
  bind(250, e.setProgress);
  bind(60, e.errorText);
  bind(61, e.errorContext);
  entries = e;
  bound = true;
  return entries;
}

std::string EngineMessage(const WorkEntries& e, OrbResult code) {
  char context[512] = {0};
  const bool haveContext = e.errorContext(context, sizeof context) == ORB_OK && context[0] != 0;
  char text[256] = {0};
  e.errorText(code, text, sizeof text);
  std::string message = text;
  if (haveContext) message.append("\n").append(context);
  return message;
}

void HearProgress(void* user, uint32_t done, uint32_t total) {
  (*static_cast<const std::function<void(uint32_t, uint32_t)>*>(user))(done, total);
}

// Another program (or another table object) holds the file.
bool IsSharingRefusal(uint16_t code) {
  return code == ORB_ERR_TABLE_IN_USE || code == ORB_ERR_LOCKED || code == ORB_ERR_NEED_EXCLUSIVE;
}

}  // namespace

std::string_view TableWorkQuestion(TableWork work) {
  return work == TableWork::Pack ? kPackQuestion : kRebuildQuestion;
}

std::string_view TableWorkRefusal(TableWork work) {
  return work == TableWork::Pack ? kPackRefused : kRebuildRefused;
}

TableWorkResult RunTableWork(framework::TTable& table, TableWork work, const std::string& databasePath,
                             const std::function<void(uint32_t, uint32_t)>& progress,
                             const std::function<void()>& started) {
  TableWorkResult result;
  auto openShared = [&table, &result] {
    try {
      table.Close();
      table.SetExclusive(false);
      table.Open();
      return true;
    } catch (const framework::Exception& e) {
      table.SetExclusive(false);
      result.outcome = TableWorkResult::Failed;
      if (result.message.empty()) result.message = e.Message();
      return false;
    }
  };

  try {
    table.Close();
    table.SetExclusive(true);
    table.Open();
  } catch (const framework::EDatabaseError& e) {
    result.outcome = IsSharingRefusal(e.ErrorCode()) ? TableWorkResult::NotExclusive : TableWorkResult::Failed;
    if (result.outcome == TableWorkResult::Failed) result.message = e.Message();
    result.tableOpen = openShared();
    return result;
  } catch (const framework::Exception& e) {
    result.outcome = TableWorkResult::Failed;
    result.message = e.Message();
    result.tableOpen = openShared();
    return result;
  }

  try {
    const WorkEntries& e = Entries();
    if (started) started();
    if (progress) e.setProgress(&HearProgress, const_cast<void*>(static_cast<const void*>(&progress)));
    const OrbResult code = work == TableWork::Pack
                               ? e.pack(table.DBHandle(), table.Handle(), databasePath.c_str(), "DBASE", 1)
                               : e.regenIndexes(table.Handle());
    e.setProgress(nullptr, nullptr);
    if (code != ORB_OK) {
      result.outcome = TableWorkResult::Failed;
      result.message = EngineMessage(e, code);
    }
  } catch (const framework::Exception& ex) {
    result.outcome = TableWorkResult::Failed;
    result.message = ex.Message();
  }
  result.tableOpen = openShared();
  return result;
}

}  // namespace keldro
