// Runs a check in a fresh child process that loads the built libSLW32.so
// with dlopen, so every case starts from a library that was never started.
#pragma once

#include <dlfcn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>

#include <gtest/gtest.h>

#include "slw32.h"

namespace slw_test {

// The library's exports, looked up by name.
class Api {
 public:
  explicit Api(void* module) : module_(module) {}
  template <typename Fn>
  Fn* get(const char* name) const {
    void* p = dlsym(module_, name);
    if (p == nullptr) {
      std::fprintf(stderr, "missing export %s\n", name);
      std::_Exit(3);
    }
    return reinterpret_cast<Fn*>(p);
  }
  void* module() const { return module_; }

 private:
  void* module_;
};

#define SLW_API(api, name) (api).get<decltype(name)>(#name)

// Failures inside the child: reported on stderr and through the exit code.
inline int& ChildFailures() {
  static int failures = 0;
  return failures;
}
#define CHECK_EQ_CHILD(a, b)                                                              \
  do {                                                                                    \
    auto va_ = (a);                                                                       \
    auto vb_ = (b);                                                                       \
    if (!(va_ == vb_)) {                                                                  \
      std::fprintf(stderr, "%s:%d: %s == %s failed (%lld vs %lld)\n", __FILE__, __LINE__, \
                   #a, #b, static_cast<long long>(va_), static_cast<long long>(vb_));     \
      ++slw_test::ChildFailures();                                                        \
    }                                                                                     \
  } while (0)
#define CHECK_CHILD(c)                                                          \
  do {                                                                          \
    if (!(c)) {                                                                 \
      std::fprintf(stderr, "%s:%d: %s failed\n", __FILE__, __LINE__, #c);       \
      ++slw_test::ChildFailures();                                              \
    }                                                                           \
  } while (0)

inline void InFreshProcess(const std::function<void(Api&)>& body) {
  std::fflush(nullptr);
  pid_t pid = fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    void* module = dlopen(SLW32_LIBRARY_PATH, RTLD_NOW | RTLD_LOCAL);
    if (module == nullptr) {
      std::fprintf(stderr, "dlopen: %s\n", dlerror());
      std::_Exit(2);
    }
    Api api(module);
    body(api);
    std::fflush(nullptr);
    std::_Exit(ChildFailures() == 0 ? 0 : 1);
  }
  int status = 0;
  ASSERT_EQ(waitpid(pid, &status, 0), pid);
  ASSERT_TRUE(WIFEXITED(status)) << "child ended by signal " << WTERMSIG(status);
  EXPECT_EQ(WEXITSTATUS(status), 0) << "see the child's messages above";
}

}  // namespace slw_test
