#!/usr/bin/env bash
# The shipped Brenmira.exe as Windows XP SP3 will take it, read off the 32-bit build (building it
# needs no 32-bit machine): a 32-bit GUI program whose header asks for no Windows newer than XP
# (5.1), that Windows runs from the swap file when it is started from a disc or a network drive,
# whose every import is on tools/xp-imports.txt, and whose every function looked up at run time is
# on tools/lookups.txt, with the first Windows that has it.
#   tools/check_exe.sh [EXE]
# EXE defaults to the win32 preset's Brenmira.exe, built first; another exe (the release's,
# signed or not) is read as it is.
set -euo pipefail
cd "$(dirname "$0")/.."
source tools/lib/need.sh

need cmake make g++-mingw-w64-i686
exe=${1:-build/win32/app/Brenmira.exe}
if [ $# -eq 0 ]; then
  cmake --preset win32 >/dev/null
  cmake --build --preset win32 --target Brenmira >/dev/null
fi
header=$(i686-w64-mingw32-objdump -p "$exe")
value() { awk -v name="$1" '$1 == name { print $2; exit }' <<<"$header"; }

failed=0
check() { # WHAT CONDITION...
  local what=$1
  shift
  if "$@"; then echo "check_exe: $what"; else echo "check_exe: NOT $what" && failed=1; fi
}
# Both versions the header names, the system's and the subsystem's, at most XP's 5.1.
for_xp() {
  local major
  for major in MajorOSystemVersion MajorSubsystemVersion; do
    local minor=${major/Major/Minor}
    [ "$(value "$major")" -lt 5 ] || { [ "$(value "$major")" -eq 5 ] && [ "$(value "$minor")" -le 1 ]; } ||
      return 1
  done
}

check "a 32-bit program (PE32, i386)" grep -q "file format pei-i386" <<<"$header"
check "a GUI program" [ "$(value Subsystem)" = 00000002 ]
# Started from the disc or a network drive, run from the swap file: a disc changed mid-run takes no
# page of it away (IMAGE_FILE_REMOVABLE_RUN_FROM_SWAP 0x400, IMAGE_FILE_NET_RUN_FROM_SWAP 0x800).
check "run from the swap file when started from a disc or a network drive (characteristics"\
" $(value Characteristics))" [ $(($(value Characteristics) & 0xc00)) -eq $((0xc00)) ]
check "for Windows $(value MajorOSystemVersion).$(value MinorOSystemVersion), subsystem"\
" $(value MajorSubsystemVersion).$(value MinorSubsystemVersion): at most XP's 5.1" for_xp

imports=$(awk '/DLL Name:/ { dll = toupper($3); next } /^$/ { dll = "" }
  dll && /^\t[0-9a-f]+\t +[0-9]+ +[A-Za-z_]/ { print dll, $3 }' <<<"$header" | sort)
unlisted=$(comm -23 <(echo "$imports") <(grep -v '^#' tools/xp-imports.txt | sort))
check "$(wc -l <<<"$imports") imports from $(cut -d' ' -f1 <<<"$imports" | sort -u | paste -sd' '),"\
" each on tools/xp-imports.txt" [ -z "$unlisted" ]
[ -z "$unlisted" ] || echo "check_exe: not on the list: $(paste -sd' ' <<<"$unlisted")"

# What it looks up at run time: the names in it that a system DLL it may load exports, and that it
# does not import. The DLLs: those it imports, those on the list, those it names in UTF-16. Their
# exports: mingw-w64's import library of each, which lists them. (A name put together at run time,
# or a DLL that mingw-w64 has no import library for, would go unseen.)
dlls=$({
  cut -d' ' -f1 <<<"$imports"
  grep -v '^#' tools/lookups.txt | cut -d' ' -f1
  i686-w64-mingw32-strings -a -e l "$exe" | grep -io '[a-z0-9_]*\.dll$'
} | tr '[:upper:]' '[:lower:]' | sort -u)
exports=$(for dll in $dlls; do
  library=/usr/i686-w64-mingw32/lib/lib${dll%.dll}.a
  [ ! -f "$library" ] || i686-w64-mingw32-nm "$library"
done | sed -n 's/^.* I __imp__\{0,1\}\([^@]*\).*/\1/p' | sort -u)
looked_up=$(comm -12 <(i686-w64-mingw32-strings -a -n 4 "$exe" | sort -u) <(echo "$exports") |
  comm -23 - <(cut -d' ' -f2 <<<"$imports" | sort -u))
missing=$(comm -23 <(echo "$looked_up") <(grep -v '^#' tools/lookups.txt | cut -d' ' -f2 | sort -u))
check "$(wc -l <<<"$looked_up") functions looked up at run time, each on tools/lookups.txt" \
  [ -z "$missing" ]
[ -z "$missing" ] || echo "check_exe: looked up, not on tools/lookups.txt: $(paste -sd' ' <<<"$missing")"
exit "$failed"
