#include "client.h"

#include <sys/syscall.h>
#include <unistd.h>

#include <pthread.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstring>
#include <new>

#include "locale_object.h"
#include "lock.h"
#include "memory.h"
#include "pool.h"

namespace slw {

std::recursive_mutex& LibraryLock() {
  // Never destroyed: the library's own end still takes it.
  static auto* lock = new std::recursive_mutex();
  return *lock;
}

namespace {

// The global client list; never destroyed, as the library's end walks it.
std::vector<Client*>& g_clients = *new std::vector<Client*>();
CLocale* g_system[3] = {nullptr, nullptr, nullptr};
ConversionCloser g_closeConversion = nullptr;

// Destroys the thread's object when the thread ends: Linux has no
// thread-detach call into a library.
struct ThreadEndGuard {
  bool armed = false;
  ~ThreadEndGuard();
};
thread_local ThreadEndGuard t_guard;

Client* FindClientById(int32_t pid) {
  for (Client* c : g_clients)
    if (c->processId == pid) return c;
  return nullptr;
}

void FreeThread(Thread* t) {
  Free(t->scratch);
  t->scratch = nullptr;
  t->scratchSize = 0;
  delete t;
}

// Releases one reference of a thread's object; at 0 it leaves its client's
// list and its scratch buffer is freed. Locales and conversions stay: they
// belong to the client.
void ReleaseThread(Thread* t) {
  if (t->refs > 1) {
    --t->refs;
    return;
  }
  if (t->owner != nullptr) {
    auto& list = t->owner->threads;
    list.erase(std::remove(list.begin(), list.end(), t), list.end());
  }
  FreeThread(t);
}

Thread* CreateThread(Client* client) {
  Thread* t = new (std::nothrow) Thread();
  if (t == nullptr) return nullptr;
  t->threadId = CurrentThreadId();
  if (client == nullptr) {
    t->noClient = 1;
    delete t;
    return nullptr;
  }
  t->tick = TickCount();
  client->threads.push_back(t);
  t->owner = client;
  t->refs = 1;
  t->scratch = static_cast<uint8_t*>(Allocate(kScratchSize));
  t->scratchSize = t->scratch != nullptr ? kScratchSize : 0;
  t_guard.armed = true;
  return t;
}

// 0 when the calling thread had no object.
int DestroyCallingThread() {
  LockHold hold;
  Client* client = FindClientById(CurrentProcessId());
  if (client == nullptr) return 0;
  Thread* t = FindThread(client);
  if (t == nullptr) return 0;
  ReleaseThread(t);
  return 1;
}

ThreadEndGuard::~ThreadEndGuard() {
  if (armed) DestroyCallingThread();
}

Client* NewClient(int32_t pid) {
  Client* c = new (std::nothrow) Client();
  if (c == nullptr) return nullptr;
  c->processId = pid;
  LockHold hold;
  c->tick = TickCount();
  g_clients.push_back(c);
  if (pid != -1) BuildLibraryList(*c);
  c->refs = 1;
  return c;
}

void ReleaseClient(Client* c) {
  LockHold hold;
  if (c->refs > 1) {
    --c->refs;
    return;
  }
  if (c->processId != -1) DeletePool();
  while (!c->locales.empty()) {
    CLocale* l = c->locales.back();
    l->refs = 1;
    ReleaseLocale(l);  // removes it from the list
    if (!c->locales.empty() && c->locales.back() == l) c->locales.pop_back();
  }
  for (void* conv : c->conversions)
    if (g_closeConversion != nullptr) g_closeConversion(conv);
  c->conversions.clear();
  for (Library* lib : c->libraries) DeleteLibrary(lib);
  c->libraries.clear();
  for (Thread* t : c->threads) FreeThread(t);
  c->threads.clear();
  g_clients.erase(std::remove(g_clients.begin(), g_clients.end(), c), g_clients.end());
  if (c->processId == -1)
    for (CLocale*& l : g_system) l = nullptr;
  delete c;
}

CLocale* NewSystemLocale(uint8_t family) {
  CLocale* l = NewLocale(family);
  if (l == nullptr) return nullptr;
  static const char* const kDescriptions[] = {"Narrow System Locale", "Wide System Locale",
                                              "Multibyte System Locale"};
  l->SetRecordText(0, "POSIX", 32);
  l->record[32] = 1;
  l->record[33] = 1;
  l->record[34] = 1;
  l->record[35] = '1';
  l->SetRecordText(36, kDescriptions[family - 1], 32);
  l->record[68] = 0;
  l->record[74] = family == SL_FAMILY_WIDE ? 2 : 1;
  l->record[75] = family == SL_FAMILY_NARROW ? 1 : 2;
  WriteU16(l->record.data() + 76, 6);
  WriteU16(l->record.data() + 80, 63);
  l->openName = "POSIX";
  l->kind = SL_LC_ALL;
  return l;
}

// Starts the library: the system client, the pool, the three system locales
// with their eight "POSIX" categories.
Status StartLibrary() {
  LockHold hold;
  Client* system = NewClient(-1);
  if (system == nullptr) return kNoMemory;
  CreatePool();
  CLocale* made[3] = {NewSystemLocale(SL_FAMILY_NARROW), NewSystemLocale(SL_FAMILY_WIDE),
                      NewSystemLocale(SL_FAMILY_MULTI)};
  bool ok = HasPool() && made[0] && made[1] && made[2];
  for (int slot = 0; ok && slot < kCategorySlots; ++slot)
    for (CLocale* l : made) {
      l->categories[slot] = CreateCategory(slot, l->family(), "POSIX");
      if (l->categories[slot] == nullptr) ok = false;
    }
  if (!ok) {
    for (CLocale* l : made)
      if (l != nullptr) ReleaseLocale(l);
    DeletePool();
    ReleaseClient(system);
    return kNoMemory;
  }
  for (int i = 0; i < 3; ++i) {
    made[i]->owner = system;
    // The system locales belong to the thread that started the library.
    made[i]->ownerThread = CurrentThreadId();
    made[i]->BuildFullName();
    AddLocale(*system, made[i]);
    g_system[i] = made[i];
  }
  return kOk;
}

}  // namespace

uint32_t TickCount() {
  using namespace std::chrono;
  return static_cast<uint32_t>(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

// Every call looks up its client and thread by these ids, so they are asked
// of the system once per thread (and process); a forked child's one thread
// forgets them and asks again, and checks its handles again.
namespace {
thread_local uint32_t t_threadId = 0;
std::atomic<int32_t> g_processId{0};
void ForgetIds() {
  t_threadId = 0;
  g_processId.store(0, std::memory_order_relaxed);
  ForgetFoundLocales();
}
}  // namespace

uint32_t CurrentThreadId() {
  static const int registered = pthread_atfork(nullptr, nullptr, ForgetIds);
  (void)registered;
  if (t_threadId == 0) t_threadId = static_cast<uint32_t>(syscall(SYS_gettid));
  return t_threadId;
}
int32_t CurrentProcessId() {
  int32_t id = g_processId.load(std::memory_order_relaxed);
  if (id == 0) {
    (void)CurrentThreadId();  // registers the fork handler
    id = static_cast<int32_t>(getpid());
    g_processId.store(id, std::memory_order_relaxed);
  }
  return id;
}

Client* FindClient() {
  LockHold hold;
  return FindClientById(CurrentProcessId());
}

Client* SystemClient() {
  LockHold hold;
  return FindClientById(-1);
}

Thread* FindThread(Client* client) {
  if (client == nullptr) return nullptr;
  LockHold hold;
  uint32_t id = CurrentThreadId();
  for (Thread* t : client->threads)
    if (t->threadId == id) return t;
  return nullptr;
}

Thread* CallingThread() {
  LockHold hold;
  Client* client = FindClient();
  if (client == nullptr) return nullptr;
  Thread* t = FindThread(client);
  return t != nullptr ? t : CreateThread(client);
}

uint8_t* ScratchBuffer(uint32_t* size) {
  Thread* t = CallingThread();
  if (size != nullptr) *size = t != nullptr ? t->scratchSize : 0;
  return t != nullptr ? t->scratch : nullptr;
}

CLocale* SystemLocale(uint8_t family) {
  LockHold hold;
  return family >= 1 && family <= 3 ? g_system[family - 1] : nullptr;
}

void SetConversionCloser(ConversionCloser closer) {
  LockHold hold;
  g_closeConversion = closer;
}

void AddLocale(Client& client, CLocale* locale) {
  LockHold hold;
  locale->owner = &client;
  client.locales.push_back(locale);
}

void RemoveLocale(Client& client, CLocale* locale) {
  LockHold hold;
  auto& list = client.locales;
  list.erase(std::remove(list.begin(), list.end(), locale), list.end());
}

void ShutdownLibrary() {
  LockHold hold;
  if (Client* c = FindClient()) ReleaseClient(c);
  DeletePool();
  if (Client* s = SystemClient()) ReleaseClient(s);
  for (Client* c : std::vector<Client*>(g_clients)) ReleaseClient(c);
}

}  // namespace slw

using namespace slw;

namespace {
// Process attach and detach.
__attribute__((constructor)) void LibraryAttach() { (void)LibraryLock(); }
__attribute__((destructor)) void LibraryDetach() { ShutdownLibrary(); }
}  // namespace

SL_EXPORT LocaleStatus _SL_InitClient(uint16_t major, uint16_t minor, uint16_t release) {
  LockHold hold;
  if (SystemClient() == nullptr && StartLibrary() != kOk) return kNoMemory;
  if (FindClient() != nullptr) return kOk;
  if (major != 1 || minor != 1 || release != 1) return kBadVersion;
  CreatePool();
  Client* c = NewClient(CurrentProcessId());
  if (c == nullptr) return kNoMemory;
  if (CreateThread(c) == nullptr) return kNoThread;
  return kOk;
}

SL_EXPORT int32_t SL_Exit(void) {
  LockHold hold;
  Client* c = FindClient();
  if (c == nullptr) return -1;
  Thread* t = FindThread(c);
  if (t == nullptr) return 0;
  ReleaseThread(t);
  ReleaseClient(c);  // the pool goes with the client
  return 0;
}

SL_EXPORT int WEP(int) { return 1; }
