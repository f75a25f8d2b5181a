#!/bin/sh
# Every function slw32.h declares is exported by the built library: a C
# program that takes the address of each declaration compiles against the
# header, links against the library and runs.
# Arguments: C compiler, include directory, library, work directory, then any
# flags the program is built with (a sanitized library's runtime).
set -eu
cc=$1 include=$2 library=$3 work=$4
shift 4
mkdir -p "$work"
printf '#include "slw32.h"\n' | "$cc" -E -P -I"$include" -x c - >"$work/header.i"
# A declaration is a statement with the export attribute; its name is the
# identifier right before its first "(" after the attribute.
tr '\n' ' ' <"$work/header.i" | tr ';' '\n' |
  grep 'visibility *( *"default" *) *) *)' |
  sed 's/.*visibility *( *"default" *) *) *)//' |
  sed -E 's/^[^(]*[^A-Za-z0-9_(]([A-Za-z_][A-Za-z0-9_]*)[[:space:]]*\(.*/\1/' | sort -u >"$work/names.txt"
count=$(wc -l <"$work/names.txt")
[ "$count" -gt 300 ] || { echo "only $count declarations found"; exit 1; }
{
  printf '#include <stdio.h>\n#include "slw32.h"\n'
  printf 'typedef void (*Fn)(void);\nstatic const Fn table[] = {\n'
  sed 's/.*/  (Fn)\&&,/' "$work/names.txt"
  printf '};\nint main(void) {\n'
  printf '  for (unsigned i = 0; i < sizeof table / sizeof table[0]; ++i)\n'
  printf '    if (table[i] == 0) return 1;\n'
  printf '  printf("%%u exports\\n", (unsigned)(sizeof table / sizeof table[0]));\n  return 0;\n}\n'
} >"$work/exports.c"
"$cc" -std=c11 -Wall -Werror "$@" -I"$include" -o "$work/exports" "$work/exports.c" "$library" \
  -Wl,--no-undefined -Wl,-rpath,"$(dirname "$library")"
"$work/exports"
