#!/usr/bin/env bash
# The product as it is released: Pelvane.exe a PE32 program for i386 and the
# Windows GUI subsystem that needs no MinGW DLL, with dat\, sounds\ and pics\
# beside it.
#   check_product.sh BIN   (the folder of the PE32 build's executables)
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/.." && pwd)
bin=$1 exe=$1/Pelvane.exe
fail() { echo "FAIL: $*"; exit 1; }
[ -f "$exe" ] || fail "no $exe"

headers=$(i686-w64-mingw32-objdump -f -p "$exe")
grep -q 'file format pei-i386' <<<"$headers" || fail "not a PE32 file: $(grep -m1 'file format' <<<"$headers")"
grep -q '^architecture: i386,' <<<"$headers" || fail "not for i386: $(grep -m1 '^architecture' <<<"$headers")"
grep -qE '^Magic[[:space:]]+010b' <<<"$headers" || fail "no PE32 optional header: $(grep -m1 '^Magic' <<<"$headers")"
grep -qE '^Subsystem[[:space:]]+00000002' <<<"$headers" || fail "not a GUI program: $(grep -m1 '^Subsystem' <<<"$headers")"
dlls=$(sed -n 's/^[[:space:]]*DLL Name: //p' <<<"$headers" | sort -fu)
[ -n "$dlls" ] || fail "no imported DLL found"
if mingw=$(grep -iE '^(libgcc|libstdc|libwinpthread|mingw)' <<<"$dlls"); then
  fail "imports MinGW DLLs: $mingw"
fi

for code in en sp pt ch ro; do
  [ -s "$bin/dat/$code.dat" ] || fail "no dat\\$code.dat beside it"
done
for f in "$ROOT"/resources/sounds/*; do
  cmp -s "$f" "$bin/sounds/$(basename "$f")" || fail "sounds\\$(basename "$f") is not the one in resources/sounds"
done
cmp -s "$ROOT/resources/art/logo.jpg" "$bin/pics/logo.jpg" || fail "pics\\logo.jpg is not resources/art/logo.jpg"
echo "Pelvane.exe: PE32, i386, GUI, imports $(paste -sd' ' <<<"$dlls"); dat\\ sounds\\ pics\\ beside it"
