#!/usr/bin/env bash
# Builds the package, installs the programs into the program folder under the
# root (so the inventory lives apart from any build folder) and starts keldro.
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/deps.sh
ROOT=${STASHWELL_ROOT:-${XDG_DATA_HOME:-$HOME/.local/share}/stashwell}
cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=Release -DSTASHWELL_BENCH=OFF >/dev/null
cmake --build build/release -j "$(nproc)"
# Programs and their libraries side by side, as they look for each other in their own folder.
cmake --install build/release --prefix "$ROOT/PROGRAM" >/dev/null
exec "$ROOT/PROGRAM/keldro" "$@"
