// LibraryLock: the one process-wide, re-entrant lock that guards every list
// and shared object of the library (clients, their lists, the category lists,
// the pool of closed locales, the locale manager's work area).
#pragma once

#include <mutex>

namespace slw {

std::recursive_mutex& LibraryLock();

class LockHold {
 public:
  LockHold() : hold_(LibraryLock()) {}
 private:
  std::lock_guard<std::recursive_mutex> hold_;
};

}  // namespace slw
