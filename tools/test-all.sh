#!/usr/bin/env bash
# Builds every configuration and runs every test:
#   build/check        g++, warnings as errors, all tests
#   build/sanitize     g++ with AddressSanitizer and UndefinedBehaviorSanitizer, all tests
#   build/tsan         g++ with ThreadSanitizer, the SLW32 threading tests
#   build/fuzz         clang with libFuzzer, each fuzz target for a bounded time
#   build/install      the programs as the run command builds them (combined units), installed into a
#                      temporary prefix, with the README's SLW32 example built against it
# A build that prints a compiler warning fails the run, in every configuration.
set -uo pipefail
cd "$(dirname "$0")/.."
bash tools/deps.sh || exit 1

JOBS=${JOBS:-$(nproc)}
FUZZ_SECONDS=${FUZZ_SECONDS:-20}
export STASHWELL_ROOT_BASE=${TMPDIR:-/tmp}
failed=0
passed_total=0
failed_total=0

run_ctest() {  # dir, extra args
  local dir=$1; shift
  local log
  log=$(mktemp)
  # A test that waits on a window nobody answers fails instead of holding CI.
  ( cd "$dir" && ctest --output-on-failure --timeout 600 -j "$JOBS" "$@" ) 2>&1 | tee "$log"
  local rc=${PIPESTATUS[0]}
  local line
  line=$(grep -E 'tests passed, [0-9]+ tests failed out of [0-9]+' "$log" | tail -1)
  if [ -n "$line" ]; then
    local f t
    f=$(echo "$line" | sed -E 's/.* ([0-9]+) tests failed out of ([0-9]+).*/\1/')
    t=$(echo "$line" | sed -E 's/.* ([0-9]+) tests failed out of ([0-9]+).*/\2/')
    passed_total=$((passed_total + t - f))
    failed_total=$((failed_total + f))
  fi
  rm -f "$log"
  return "$rc"
}

# Builds and keeps the log; any "warning:" line in it fails the run.
build_logged() {  # dir, build args...
  local dir=$1; shift
  mkdir -p "$dir"
  cmake --build "$dir" -j "$JOBS" "$@" 2>&1 | tee "$dir/build.log" | grep -E '^(FAILED|ninja: build stopped)|error:|warning:' || true
  local rc=${PIPESTATUS[0]}
  if grep -q 'warning:' "$dir/build.log"; then
    echo "$dir: the build printed compiler warnings (see $dir/build.log)"
    failed=1
  fi
  return "$rc"
}

configure_build() {  # dir, cmake args...
  local dir=$1; shift
  cmake -S . -B "$dir" -G Ninja "$@" >/dev/null || return 1
  build_logged "$dir" || return 1
}

echo "== check build"
if configure_build build/check -DCMAKE_BUILD_TYPE=RelWithDebInfo -DSTASHWELL_WERROR=ON; then
  run_ctest build/check || failed=1
else
  echo "check build failed"; failed=1
fi

echo "== sanitizer build"
if configure_build build/sanitize -DCMAKE_BUILD_TYPE=Debug -DSTASHWELL_SANITIZE=ON -DSTASHWELL_BENCH=OFF; then
  run_ctest build/sanitize -LE bench || failed=1
else
  echo "sanitizer build failed"; failed=1
fi

echo "== thread sanitizer build (SLW32 serves many threads at once)"
TSAN_TESTS=(slw32_internal_tests slw32_library_tests slw32_frame_tests)
if cmake -S . -B build/tsan -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DSTASHWELL_TSAN=ON \
       -DSTASHWELL_BENCH=OFF >/dev/null &&
   build_logged build/tsan --target "${TSAN_TESTS[@]}" SLW32 SLW32009 SLEXTEST; then
  for t in "${TSAN_TESTS[@]}"; do
    if TSAN_OPTIONS=halt_on_error=1 "build/tsan/bin/$t" --gtest_brief=1; then
      passed_total=$((passed_total + 1))
    else
      echo "$t failed under ThreadSanitizer"; failed_total=$((failed_total + 1)); failed=1
    fi
  done
else
  echo "thread sanitizer build failed"; failed=1
fi

echo "== fuzz build"
if configure_build build/fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DSTASHWELL_FUZZ=ON -DSTASHWELL_GUI=OFF \
     -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ -DSTASHWELL_FUZZ_SECONDS="$FUZZ_SECONDS"; then
  if [ -n "$(cd build/fuzz && ctest -N -L fuzz | grep 'Test *#')" ]; then
    run_ctest build/fuzz -L fuzz || failed=1
  fi
else
  echo "fuzz build failed"; failed=1
fi

echo "== release build and install"
if configure_build build/install -DCMAKE_BUILD_TYPE=Release -DSTASHWELL_TESTS=OFF -DSTASHWELL_BENCH=OFF \
     -DSTASHWELL_UNITY=ON -DSTASHWELL_PROGRAM_DIR=share/stashwell/PROGRAM; then
  if bash tools/check-install.sh build/install; then
    passed_total=$((passed_total + 1))
  else
    failed_total=$((failed_total + 1)); failed=1
  fi
else
  echo "release build failed"; failed=1
fi

echo "all configurations: ${passed_total} passed, ${failed_total} failed"
exit $failed
