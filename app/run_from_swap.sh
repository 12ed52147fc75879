#!/bin/sh
# Marks a linked exe to be run from the swap file when it is started from a removable or a
# network drive: IMAGE_FILE_REMOVABLE_RUN_FROM_SWAP and IMAGE_FILE_NET_RUN_FROM_SWAP in its PE
# file header, what the /SWAPRUN:CD and /SWAPRUN:NET link switches ask for (GNU ld has none).
# Started from the game's disc, the program is then read whole before it runs: a page not yet
# loaded is never asked of a disc that the player has taken out. The header's checksum is then
# brought up to date, as the linker left it: signing computes it again, and a signature removed
# must give back these very bytes. The same exe always gives the same bytes.
#   app/run_from_swap.sh EXE
# Plain sh, od, awk and dd: the build machine needs nothing more.
set -eu
exe=$1

# The unsigned little-endian number of $2 bytes at offset $1.
number() { od -An -tu"$2" -j "$1" -N "$2" --endian=little "$exe" | tr -d ' '; }
# Writes the number $2 as $3 little-endian bytes at offset $1.
put() {
  at=$1 value=$2 left=$3 bytes=""
  while [ "$left" -gt 0 ]; do
    bytes="$bytes\\$(printf %o $((value % 256)))"
    value=$((value / 256))
    left=$((left - 1))
  done
  printf "$bytes" | dd of="$exe" bs=1 seek="$at" conv=notrunc 2>/dev/null
}

pe=$(number 60 4)                  # where the "PE\0\0" signature is
if [ "$(od -An -c -j "$pe" -N 2 "$exe" | tr -d ' ')" != PE ]; then
  echo "$exe: no PE header" >&2
  exit 1
fi
characteristics=$((pe + 4 + 18))   # the file header's last field
checksum=$((pe + 4 + 20 + 64))     # in the optional header, at the same place in PE32 and PE32+
put "$characteristics" $(($(number "$characteristics" 2) | 0x0400 | 0x0800)) 2

# The checksum Windows' ImageHlp computes: the file's 16-bit words, the checksum's own two read
# as 0, added with their carries folded back in, plus the file's length.
sum=$(od -An -v -tu2 --endian=little "$exe" | awk -v skip=$((checksum / 2)) '
  { for (i = 1; i <= NF; i++) { if (n != skip && n != skip + 1) sum += $i; n++ } }
  END { while (sum > 65535) sum = sum % 65536 + int(sum / 65536); print sum }')
put "$checksum" $((sum + $(wc -c <"$exe"))) 4
