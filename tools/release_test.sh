#!/usr/bin/env bash
# tools/release.sh signing with a throw-away certificate authority's certificates, made here;
# then the unsigned release, which must be the signed exe without its signature.
set -euo pipefail
cd "$(dirname "$0")/.."
source tools/lib/wine.sh
source tools/lib/sign.sh
need openssl osslsigncode unzip
repo=$PWD
keys=$(mktemp -d /tmp/kestovar-release-test.XXXXXX)
trap 'rm -rf "$keys"' EXIT
out=build/release
fail() { echo "release_test: $*" >&2 && exit 1; }

openssl req -x509 -newkey rsa:2048 -nodes -subj "/CN=Kestovar Test CA" -days 2 \
  -keyout "$keys/ca.key" -out "$keys/ca.pem" 2>/dev/null
printf 'not for real use\n' >"$keys/password"
issue() { # NAME EXTENDED-KEY-USAGE: a certificate of the authority's, with its key in NAME.p12
  openssl req -x509 -newkey rsa:2048 -nodes -subj "/CN=$1" -CA "$keys/ca.pem" -days 2 \
    -CAkey "$keys/ca.key" -addext basicConstraints=CA:FALSE -addext "extendedKeyUsage=$2" \
    -keyout "$keys/$1.key" -out "$keys/$1.pem" 2>/dev/null
  openssl pkcs12 -export -in "$keys/$1.pem" -inkey "$keys/$1.key" \
    -passout "file:$keys/password" -out "$keys/$1.p12"
}
issue maker codeSigning
issue website serverAuth
export KESTOVAR_SIGN_PKCS12=$keys/maker.p12 KESTOVAR_SIGN_CA=$keys/ca.pem
export KESTOVAR_SIGN_PASSWORD_FILE=$keys/password

# The build sees no signing variable: a cmake that finds one in the environment it or any of its
# ancestors started with (/proc/PID/environ, which `unset` does not change) fails it.
mkdir "$keys/bin"
cat >"$keys/bin/cmake" <<'EOF'
#!/bin/sh
p=$$
while [ "$p" -gt 1 ]; do
  ! tr '\0' '\n' <"/proc/$p/environ" 2>/dev/null | grep -o '^KESTOVAR_SIGN_[A-Z0-9_]*' || exit 1
  p=$(awk '/^PPid:/ {print $2}' "/proc/$p/status")
done
EOF
printf 'exec %s "$@"\n' "$(command -v cmake)" >>"$keys/bin/cmake"
chmod +x "$keys/bin/cmake"
PATH=$keys/bin:$PATH tools/release.sh 2>&1 | tee "$keys/release.log"
cp "$out/Brenmira.exe" "$keys/signed.exe"
[ "$(cut -d' ' -f3 "$out/SHA256SUMS" | paste -sd' ')" = "Brenmira.exe $(basename "$out"/*.zip)" ] ||
  fail "SHA256SUMS beside the zip names not the exe and the zip"
unzip -p "$out"/*.zip SHA256SUMS | cmp - <(head -n1 "$out/SHA256SUMS") || fail "the zip's SHA256SUMS"
# Named relative to the folder it is started in, the key and the authority are found there.
(cd "$keys" && env -u KESTOVAR_SIGN_PASSWORD_FILE KESTOVAR_SIGN_PASSWORD="not for real use" \
  KESTOVAR_SIGN_PKCS12=maker.p12 KESTOVAR_SIGN_CA=ca.pem "$repo/tools/release.sh") \
  >>"$keys/release.log" 2>&1 || fail "named from $keys: $(tail -n 2 "$keys/release.log")"
cmp "$out/Brenmira.exe" "$keys/signed.exe" || fail "signed twice, the exe differs"
! grep -q "not for real use" "$keys/release.log" || fail "the password was printed"
osslsigncode verify -CAfile "$keys/ca.pem" -in "$keys/signed.exe" | grep "verification: ok" ||
  fail "the signed exe does not verify against its authority"
tools/check_exe.sh "$keys/signed.exe"

cp "$keys/signed.exe" "$keys/changed.exe"
byte=$(od -An -tu1 -j 4096 -N1 "$keys/changed.exe")
printf "\\$(printf %o $((byte ^ 1)))" |
  dd of="$keys/changed.exe" bs=1 seek=4096 conv=notrunc 2>/dev/null
! osslsigncode verify -CAfile "$keys/ca.pem" -in "$keys/changed.exe" >/dev/null ||
  fail "with one byte changed, the signature still verifies"

# A failed release leaves the last one and a file of the user's as they were; a new one, the file.
printf 'mine\n' >"$out/NOTES.txt"
! KESTOVAR_SIGN_PKCS12=$keys/website.p12 tools/release.sh 2>"$keys/refused.log" ||
  fail "signed with a certificate not made for code signing"
grep -A1 "cannot sign code" "$keys/refused.log" || fail "refused, but not for its extended key usage"
cmp "$out/Brenmira.exe" "$keys/signed.exe" && [ -e "$out/NOTES.txt" ] || fail "refused, it changed $out"

env -u KESTOVAR_SIGN_PKCS12 tools/release.sh
[ -e "$out/NOTES.txt" ] || fail "the release removed a file it did not make"
rm "$out/NOTES.txt"
osslsigncode remove-signature -in "$keys/signed.exe" -out "$keys/unsigned.exe" >/dev/null
cmp "$keys/unsigned.exe" "$out/Brenmira.exe" || fail "the signed exe differs beyond its signature"

# A pass under Wine: the signed exe or, where no 32-bit program runs, the x86-64 build signed so.
wine_pick_arch
exe=$keys/signed.exe
if [ "$WINDOWS_PRESET" = win64 ]; then
  cmake --preset win64 >/dev/null
  cmake --build --preset win64 --target Brenmira >/dev/null
  sign_take_environment "$PWD"
  sign_prepare "$keys/sign"
  exe=$keys/signed64.exe
  sign_exe build/win64/app/Brenmira.exe "$exe" Kestovar
fi
env -u DISPLAY tools/demo.sh --exe "$exe" "$keys/screens"
