#!/usr/bin/env bash
# Times what a new user waits for: from a fresh clone of this checkout's HEAD,
# the README's run command until keldro's window is on the screen, then a
# second start on the same root. Runs under a virtual X server (Xvfb) and finds
# the window with xdotool; both are installed from Debian's packages if missing.
#   tools/time-first-start.sh        goals: first start < 60 s, second < 2 s
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
need=()
command -v Xvfb >/dev/null || need+=(xvfb)
command -v xdotool >/dev/null || need+=(xdotool)
if [ ${#need[@]} -gt 0 ]; then
  SUDO=""; [ "$(id -u)" -eq 0 ] || SUDO=sudo
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${need[@]}" >/dev/null
fi
bash "$here/tools/deps.sh"

work=$(mktemp -d)
display=:$((90 + RANDOM % 100))
Xvfb "$display" -screen 0 1280x1024x24 >/dev/null 2>&1 &
xvfb=$!
cleanup() { kill "$xvfb" 2>/dev/null || true; rm -rf "$work"; }
trap cleanup EXIT
git clone -q "$here" "$work/src"

# Starts the run command and prints the seconds until the main window shows.
time_start() {
  local t0 t1 pid
  t0=$(date +%s.%N)
  (cd "$work/src" && STASHWELL_ROOT="$work/root" DISPLAY=$display bash tools/run-keldro.sh >"$work/run.log" 2>&1) &
  pid=$!
  until DISPLAY=$display xdotool search --onlyvisible --name '^Stashwell Inventory 95' >/dev/null 2>&1; do
    if ! kill -0 "$pid" 2>/dev/null; then cat "$work/run.log" >&2; echo "keldro did not start" >&2; exit 1; fi
    sleep 0.05
  done
  t1=$(date +%s.%N)
  pkill -f "$work/root/PROGRAM/keldro" >/dev/null 2>&1 || true
  wait "$pid" >/dev/null 2>&1 || true
  awk -v a="$t0" -v b="$t1" 'BEGIN { print b - a }'
}

first=$(time_start)
second=$(time_start)
printf 'first start from a fresh clone: %.1f s (goal: under 60 s)\n' "$first"
printf 'second start:                   %.1f s (goal: under 2 s)\n' "$second"
