#!/usr/bin/env bash
# Makes the release from a commit (default HEAD):
#   tools/release.sh [COMMIT]
# It exports the committed tree with `git archive` into a fresh temporary folder, so uncommitted
# changes never reach a release, and builds Brenmira.exe there: the win32 preset, MinSizeRel,
# stripped, without the Windows tests (no GoogleTest needed). Into build/release/ go Brenmira.exe,
# Kestovar-VERSION.zip holding it and a SHA256SUMS of it, and beside them the SHA256SUMS to
# publish with the zip, naming both (`sha256sum -c SHA256SUMS` checks it); VERSION is the
# project's version as the version resource shows it. They are made in the temporary folder and
# moved into build/release/ only when all went well, replacing there only the files a release
# writes: a failed release leaves it as it was, and no other file there is touched.
# The same commit gives the same bytes in any folder, at any time: the exe carries no link time
# stamp and no folder name (see CMakeLists.txt), and the zip's two files carry the commit's
# time, in a fixed order and mode, with no extra attributes.
# With KESTOVAR_SIGN_PKCS12 set it signs the stripped exe before the hashes and the zip are made
# (tools/lib/sign.sh says how). The build is the commit's own code: it runs first, and neither it
# nor any other step sees a KESTOVAR_SIGN_* variable; only after it is the key opened and checked,
# so a wrong password is found once the build is done. It stops, shipping nothing, when the
# certificate cannot sign code or the signature does not verify. Signed without a time stamp,
# the same commit and certificate give the same bytes; a time stamp changes only the signature.
# Relative paths in the KESTOVAR_SIGN_* variables are taken from the folder it is run in.
set -euo pipefail
# `unset` leaves a variable in /proc/PID/environ, the environment a process started with, which
# every process of the same user can read, the build's too. So the script starts again without
# the KESTOVAR_SIGN_* variables, and their values come on descriptor 3, into plain shell
# variables, before anything else runs; the folder stays the caller's.
if [ -n "$(compgen -e KESTOVAR_SIGN_)" ]; then
  handed="" without=()
  for name in $(compgen -e KESTOVAR_SIGN_); do
    [[ ${!name} != *$'\n'* ]] || { echo "error: $name holds a line break" >&2; exit 1; }
    handed+="$name=${!name}"$'\n'
    without+=(-u "$name")
  done
  exec env "${without[@]}" KESTOVAR_RELEASE_HANDED=3 "$BASH" "$0" "$@" 3<<<"$handed"
fi
if [ -n "${KESTOVAR_RELEASE_HANDED:-}" ]; then
  unset KESTOVAR_RELEASE_HANDED
  while IFS= read -r line <&3; do
    [[ $line =~ ^(KESTOVAR_SIGN_[A-Za-z0-9_]*)=(.*)$ ]] || continue
    printf -v "${BASH_REMATCH[1]}" '%s' "${BASH_REMATCH[2]}"
  done
  exec 3<&-
fi
caller=$PWD
cd "$(dirname "$0")/.."
source tools/lib/need.sh
source tools/lib/sign.sh
sign_take_environment "$caller" || { echo "error: cannot sign with these files" >&2; exit 1; }
need git cmake make g++-mingw-w64-i686 zip

commit=$(git rev-parse --verify "${1:-HEAD}^{commit}")
epoch=$(git log -1 --format=%ct "$commit")
export SOURCE_DATE_EPOCH=$epoch TZ=UTC LC_ALL=C
umask 022
if [ "${1:-HEAD}" = HEAD ] && [ -n "$(git status --porcelain --untracked-files=no)" ]; then
  echo "Note: the working tree has uncommitted changes; they are not in the release."
fi

out=build/release
work=$(mktemp -d /tmp/kestovar-release.XXXXXX)
tree=$work/tree
# On exit only what this script made goes; $out changes only once the release is whole.
trap 'rm -rf "$work"' EXIT
stage=$work/release
mkdir "$tree" "$stage"
git archive --format=tar "$commit" | tar -x -C "$tree"

echo "Building Brenmira.exe from $(git log -1 --format='%h (%ci)' "$commit")"
if ! (cd "$tree" && cmake --preset win32 -DCMAKE_BUILD_TYPE=MinSizeRel -DKESTOVAR_WINDOWS_TESTS=OFF &&
  cmake --build --preset win32 --target Brenmira) >"$work/build.log" 2>&1; then
  cat "$work/build.log" >&2
  echo "error: the build failed" >&2
  exit 1
fi
built() { sed -n 's/^#define KESTOVAR_'"$1"' "\(.*\)"$/\1/p' "$tree/build/win32/app/version.h"; }
version=$(built VERSION_SHOWN)
product=$(built PRODUCT)
[ -n "$version" ] && [ -n "$product" ] || { echo "error: no version or product name" >&2; exit 1; }
echo "Built $product $version"

exe="$tree/build/win32/app/Brenmira.exe"
if sign_wanted; then
  sign_prepare "$work/sign" || { echo "error: cannot sign with this certificate" >&2; exit 1; }
  sign_exe "$exe" "$work/Brenmira.exe" "$product" ||
    { echo "error: signing failed; nothing was shipped" >&2; exit 1; }
  exe="$work/Brenmira.exe"
fi

zipname="Kestovar-$version.zip"
install -m 0755 "$exe" "$stage/Brenmira.exe"
(cd "$stage" && sha256sum Brenmira.exe >SHA256SUMS && chmod 0644 SHA256SUMS)
touch -d "@$epoch" "$stage/Brenmira.exe" "$stage/SHA256SUMS"
(cd "$stage" && zip -q -X -D "$zipname" Brenmira.exe SHA256SUMS && touch -d "@$epoch" "$zipname")
# The copy beside the zip names the zip too: published with it, it shows a changed zip, whose
# own SHA256SUMS would have been changed with it.
(cd "$stage" && sha256sum "$zipname" >>SHA256SUMS && touch -d "@$epoch" SHA256SUMS)
(cd "$stage" && sha256sum -c --quiet SHA256SUMS)

# Into $out, replacing only what a release writes there: the exe, SHA256SUMS and a zip of any
# version (an older one is not named by the new SHA256SUMS). Any other file there stays.
mkdir -p "$out"
for old in "$out"/Kestovar-*.zip; do
  if [[ ${old##*/} =~ ^Kestovar-[0-9][0-9.]*\.zip$ ]] && [ -f "$old" ]; then
    rm -f "$old"
  fi
done
rm -f "$out/Brenmira.exe" "$out/SHA256SUMS"
mv "$stage/Brenmira.exe" "$stage/SHA256SUMS" "$stage/$zipname" "$out/"

# What a user's Windows sees: the PE header's time stamp (offset 8 after the "PE" signature,
# whose place is at 0x3c) and the DLLs it imports, all of them Windows' own.
exe="$out/Brenmira.exe"
header=$(od -An -tu4 -j 60 -N4 "$exe" | tr -d ' ')
stamp=$(od -An -tu4 -j $((header + 8)) -N4 "$exe" | tr -d ' ')
dlls=$(i686-w64-mingw32-objdump -p "$exe" | awk '/DLL Name:/ {print $3}' | paste -sd' ')
echo "PE time stamp: $stamp; imports: $dlls"
echo "In $out/ (publish SHA256SUMS beside the zip):"
sed 's/^/  /' "$out/SHA256SUMS"
