// An ordinary call of the exports makes no system call once the process's
// client, the thread and the handle have been seen: a forked child starts
// the library, makes the calls once, then makes them again under seccomp's
// strict mode, in which any system call other than read, write, exit and
// sigreturn kills it at once (a getpid or gettid per call, a lock that
// sleeps, a file read, a fresh mapping of memory).
#include <linux/seccomp.h>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstring>

#include <gtest/gtest.h>

#include "slw32.h"

namespace {

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr bool kSanitized = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
constexpr bool kSanitized = true;
#else
constexpr bool kSanitized = false;
#endif
#else
constexpr bool kSanitized = false;
#endif

constexpr int kNoStrictMode = 77;

struct Handles {
  hlocale narrow = nullptr, wide = nullptr, multi = nullptr;
};

// The calls; 0 when every one answered as it should, else the number of the
// first that did not.
int Calls(const Handles& h) {
  SL_BCD bcd;
  if (SLN_StrBCD(h.narrow, "  -1,234.50", &bcd) != 0 || bcd.precision != 6 || bcd.signScale != 0x82 ||
      bcd.digits[0] != 0x12 || bcd.digits[1] != 0x34 || bcd.digits[2] != 0x50)
    return 1;
  if (SLW_StrBCD(h.wide, u"$12.5", &bcd) != 0 || bcd.precision != 3 || bcd.signScale != 0x01) return 2;
  if (SLM_StrBCD(h.multi, "(7)", &bcd) != 0 || bcd.precision != 1 || bcd.signScale != 0x80) return 3;
  if (SLN_StrCollate(h.narrow, "apple", "Banana") >= 0 || SLN_StrCollate(h.narrow, "cote", "c\xF4te") >= 0) return 4;
  if (SLW_StrCollate(h.wide, u"c\u00F4te", u"Zebra") >= 0) return 5;
  if (SLM_StrCollate(h.multi, "\x82\xA0", "\x82\xA2") >= 0) return 6;
  char word[] = "caf\xE9 au lait";
  if (std::strcmp(SLN_StrUpper(h.narrow, word), "CAF\xC9 AU LAIT") != 0) return 7;
  if (SLN_ToLower(h.narrow, 'Q') != 'q') return 8;
  char out[64];
  if (_SLN_FmtStrPrint(h.narrow, out, "%'.2f|%d", 1234567.891, -42) <= 0 ||
      std::strcmp(out, "1,234,567.89|-42") != 0)
    return 9;
  return 0;
}

[[noreturn]] void ExitThread(int code) {
  // exit_group, the call behind _exit, is not allowed in strict mode.
  syscall(SYS_exit, code);
  __builtin_unreachable();
}

[[noreturn]] void Child() {
  Handles h;
  if (_SL_InitClient(1, 1, 1) != 0 || SL_SetLocaleLibrary(SLW32_LOCALE_DIR "/LOCALE.SLL", 1) != 0 ||
      SL_SetLocaleLibrary(SLW32_LOCALE_DIR "/USA.SLL", 0) != 0 ||
      SL_OpenLocale(&h.narrow, SL_LC_ALL, "en_US.WIN1252") != 0 ||
      SL_OpenLocale(&h.wide, SL_LC_ALL, "en_US.Unicode") != 0 ||
      SL_OpenLocale(&h.multi, SL_LC_ALL, "ja_JP.WIN932") != 0)
    _exit(100);
  if (int failed = Calls(h); failed != 0) _exit(100 + failed);
  if (prctl(PR_SET_SECCOMP, SECCOMP_MODE_STRICT) != 0) _exit(kNoStrictMode);
  ExitThread(Calls(h));
}

TEST(Slw32Calls, AnOrdinaryCallMakesNoSystemCall) {
  // The sanitizers' run-time maps memory and reads files of its own on calls
  // that make none in the plain build.
  if (kSanitized) GTEST_SKIP() << "not under the sanitizers";
  const pid_t pid = fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) Child();
  int status = 0;
  ASSERT_EQ(waitpid(pid, &status, 0), pid);
  if (WIFEXITED(status) && WEXITSTATUS(status) == kNoStrictMode) GTEST_SKIP() << "no seccomp strict mode here";
  ASSERT_FALSE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL) << "a call made a system call";
  ASSERT_TRUE(WIFEXITED(status)) << "signal " << WTERMSIG(status);
  EXPECT_EQ(WEXITSTATUS(status), 0) << "above 100: call " << WEXITSTATUS(status) - 100
                                    << " failed before strict mode; else the call that failed in it";
}

}  // namespace
