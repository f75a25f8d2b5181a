// Clients and threads. One Client per process that started the library (plus
// the library's own system client, process id -1); one Thread per thread of a
// client, carrying the thread's 4096-byte scratch buffer and the positions of
// the token scanners. All of it is guarded by LibraryLock.
//
// A thread's object is created on the thread's first call that needs it after
// the client exists, and destroyed when the thread ends (or by SL_Exit).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "status.h"

namespace slw {

class CLocale;
struct Library;
struct Client;

inline constexpr uint32_t kScratchSize = 4096;

struct Thread {
  Client* owner = nullptr;
  uint32_t threadId = 0;
  uint32_t tick = 0;
  uint16_t refs = 0;
  uint8_t* scratch = nullptr;
  uint32_t scratchSize = 0;  // 0 when the allocation failed
  uint32_t noClient = 0;
  // Where each family's token scanner goes on (narrow, wide, multi-byte).
  void* tokenPosition[3] = {nullptr, nullptr, nullptr};
};

struct Client {
  int32_t processId = 0;  // -1: the system client
  uint32_t tick = 0;
  uint16_t refs = 0;
  std::string libraryPath;          // path of the current library
  std::vector<Thread*> threads;
  std::vector<CLocale*> locales;
  std::vector<void*> conversions;   // open conversions (owned by the conversion code)
  std::vector<Library*> libraries;  // locale library files in list order
  Library* current = nullptr;       // the current library
  Library* lastFind = nullptr;      // the library of the last successful search
};

uint32_t TickCount();
uint32_t CurrentThreadId();
int32_t CurrentProcessId();

// The client of the calling process, or null. Takes the lock.
Client* FindClient();
// The library's own client (process id -1), or null before the library started.
Client* SystemClient();
// The calling thread's object in `client`'s list, or null; never creates one.
Thread* FindThread(Client* client);
// The calling thread's object, created when the process has a client and the
// thread has none yet; null when the process has no client.
Thread* CallingThread();
// The calling thread's scratch buffer and its size (null and 0 without one).
uint8_t* ScratchBuffer(uint32_t* size);

// The library's system locales (narrow, wide, multi-byte), null before start.
CLocale* SystemLocale(uint8_t family);

// Conversions are closed by their own code; it registers how.
using ConversionCloser = void (*)(void* conversion);
void SetConversionCloser(ConversionCloser closer);

// Locale library list of a new client, and the release of a library entry.
Status BuildLibraryList(Client& client);
void DeleteLibrary(Library* library);

// Adds a locale to a client's locale list / removes it (no release).
void AddLocale(Client& client, CLocale* locale);
void RemoveLocale(Client& client, CLocale* locale);

// Ends the library for the process (process detach).
void ShutdownLibrary();

}  // namespace slw
