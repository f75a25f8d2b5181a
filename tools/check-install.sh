#!/usr/bin/env bash
# Installs a release build into a temporary prefix the way a user would, then
# builds and runs the README's SLW32 example against it with pkg-config.
#   tools/check-install.sh BUILD-DIR
set -euo pipefail
cd "$(dirname "$0")/.."
build=$1
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT

cmake --install "$build" --prefix "$prefix" >"$prefix.install.log" 2>&1 || { cat "$prefix.install.log"; exit 1; }
rm -f "$prefix.install.log"
for f in lib/libSLW32.so lib/libSLW32009.so include/slw32.h lib/pkgconfig/slw32.pc \
         share/stashwell/PROGRAM/keldro share/stashwell/PROGRAM/vtxcfg32 share/stashwell/PROGRAM/libORBEX32.so \
         share/applications/stashwell-keldro.desktop share/applications/stashwell-vtxcfg32.desktop \
         share/stashwell/WINDOWS/SYSTEM/ORBEX.CFG share/stashwell/REGISTRY/HKLM.reg lib/LOCALE.SLL lib/USA.SLL; do
  [ -e "$prefix/$f" ] || { echo "install check: $f is missing"; exit 1; }
done
[ "$(readlink "$prefix/lib/libSLW32.so")" != "" ] || { echo "install check: libSLW32.so is no soname link"; exit 1; }

# The example is the one README.md shows, between its "slw32-example" markers.
example="$prefix/app.c"
sed -n '/<!-- slw32-example -->/,/<!-- \/slw32-example -->/p' README.md | sed '1,2d;$d' | sed '$d' >"$example"
[ -s "$example" ] || { echo "install check: no example in README.md"; exit 1; }
(cd "$prefix" && PKG_CONFIG_PATH="$prefix/lib/pkgconfig" cc app.c $(PKG_CONFIG_PATH="$prefix/lib/pkgconfig" pkg-config --cflags --libs slw32) -o app)
output=$(STASHWELL_ROOT="$prefix/share/stashwell" "$prefix/app")
echo "$output"
grep -q "apple < Banana in en_US.WIN1252, > by byte codes" <<<"$output" || { echo "install check: the example printed something else"; exit 1; }

# A second install changes nothing a user has.
before=$(cd "$prefix/share/stashwell" && find WINDOWS REGISTRY -type f -exec md5sum {} + | sort)
cmake --install "$build" --prefix "$prefix" >/dev/null
after=$(cd "$prefix/share/stashwell" && find WINDOWS REGISTRY -type f -exec md5sum {} + | sort)
[ "$before" = "$after" ] || { echo "install check: a second install changed the root"; exit 1; }
echo "install check: passed"
