#!/usr/bin/env bash
# Builds the programs (no tests, fuzzers or benchmarks), installs them with the
# first set-up and starts keldro. The full build log is kept in build/release/build.log.
#
#   STASHWELL_ROOT    the root of settings, registry and the program folder
#                     (default ${XDG_DATA_HOME:-~/.local/share}/stashwell)
#   STASHWELL_PREFIX  where the library, header and desktop entries go
#                     (default ~/.local, or the root when STASHWELL_ROOT is given)
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/deps.sh

if [ -n "${STASHWELL_ROOT:-}" ]; then
  ROOT=$STASHWELL_ROOT
  PREFIX=${STASHWELL_PREFIX:-$ROOT}
else
  ROOT=${XDG_DATA_HOME:-$HOME/.local/share}/stashwell
  PREFIX=${STASHWELL_PREFIX:-$HOME/.local}
fi
mkdir -p "$ROOT"
ROOT=$(cd "$ROOT" && pwd)
BUILD=build/release
LOG=$BUILD/build.log
mkdir -p "$BUILD"

# Configure once; again only when the program folder moves. The sources of
# each library compile in a few combined units (STASHWELL_UNITY), which takes
# a fraction of the time of one unit per file.
if ! grep -qxF "STASHWELL_PROGRAM_DIR:STRING=$ROOT/PROGRAM" "$BUILD/CMakeCache.txt" 2>/dev/null ||
   ! grep -qxF "STASHWELL_UNITY:BOOL=ON" "$BUILD/CMakeCache.txt"; then
  echo "Configuring Stashwell Inventory 95..."
  if ! cmake -S . -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=Release -DSTASHWELL_TESTS=OFF \
         -DSTASHWELL_BENCH=OFF -DSTASHWELL_UNITY=ON "-DSTASHWELL_PROGRAM_DIR=$ROOT/PROGRAM" >"$LOG" 2>&1; then
    tail -n 30 "$LOG"; echo "Configuration failed; the whole log is in $LOG" >&2; exit 1
  fi
fi

# One progress line instead of the build log.
start=$SECONDS
set +e
cmake --build "$BUILD" -j "$(nproc)" 2>&1 | tee -a "$LOG" | while IFS= read -r line; do
  if [[ $line =~ ^\[([0-9]+)/([0-9]+)\] ]]; then
    printf '\rBuilding Stashwell Inventory 95: %3d%%' $((BASH_REMATCH[1] * 100 / BASH_REMATCH[2]))
  fi
done
rc=${PIPESTATUS[0]}
set -e
if [ "$rc" -ne 0 ]; then
  echo; grep -E 'error|FAILED' "$LOG" | tail -n 20
  echo "The build failed; the whole log is in $LOG" >&2; exit 1
fi
[ $((SECONDS - start)) -gt 1 ] && printf '\rBuilding Stashwell Inventory 95: done in %ds\n' $((SECONDS - start))

if ! cmake --install "$BUILD" --prefix "$PREFIX" >"$BUILD/install.log" 2>&1; then
  cat "$BUILD/install.log"; echo "The install failed" >&2; exit 1
fi
grep -E '^-- (Engine|[0-9]+ locale)' "$BUILD/install.log" || true

export STASHWELL_ROOT=$ROOT
exec "$ROOT/PROGRAM/keldro" "$@"
