#!/bin/sh
# Makes a delay-load import library for one system DLL from mingw-w64's ordinary import library:
#   make-delay-import-lib.sh <import library> <dll name> <output>
# Only functions can be bound late: they are the symbols with a thunk ("T"); data exports have
# none and stay with the ordinary import library.
set -eu
library=$1 dll=$2 output=$3
def="$output.def"
{
    printf 'LIBRARY %s\nEXPORTS\n' "$dll"
    x86_64-w64-mingw32-nm "$library" | awk '$2 == "T" { print $3 }' | sort -u
} >"$def"
x86_64-w64-mingw32-dlltool --input-def "$def" --dllname "$dll" --output-delaylib "$output"
