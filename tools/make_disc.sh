#!/usr/bin/env bash
# Writes a sample game disc: the 32 catalogue files in DATA and FMV, with deterministic content
# and sizes in the proportions of the real thing (data files 1-8 MB, videos 10-40 MB).
#   tools/make_disc.sh DIR [DIVISOR] [LEAVE-OUT...]
# DIVISOR scales every size down (1: about 280 MB in all; 64: about 4.5 MB, copied in a blink).
# LEAVE-OUT names disc paths not to write, e.g. 'FMV/*' or DATA/TITLE.TR2.
set -euo pipefail
dir=$1 divisor=${2:-1}
shift $(($# < 2 ? $# : 2))
here=$(dirname "$0")

# The file names come from the engine's catalogue, the one place they are written down.
mapfile -t files < <(grep -o 'u"\(DATA\|FMV\)\\\\[A-Z0-9]*\.[A-Z0-9]*"' "$here/../engine/catalogue.h" |
  sed 's/^u"//; s/"$//; s/\\\\/\//')
[ "${#files[@]}" -eq 32 ] || { echo "make_disc.sh: expected 32 catalogue files" >&2; exit 1; }

mkdir -p "$dir/DATA" "$dir/FMV"
index=0
for file in "${files[@]}"; do
  index=$((index + 1))
  skip=""
  for pattern in "$@"; do
    # shellcheck disable=SC2053  # the pattern is meant to match
    [[ $file == $pattern ]] && skip=1
  done
  [ -z "$skip" ] || continue
  if [[ $file == FMV/* ]]; then
    kib=$(((10 + index * 37 % 31) * 1024))  # 10-40 MB
  else
    kib=$(((1 + index * 5 % 8) * 1024 - index * 13))  # 1-8 MB
  fi
  # (yes ends on a broken pipe; only head's status counts)
  { yes "Kestovar sample disc: $file" || true; } | head -c $((kib * 1024 / divisor)) >"$dir/$file"
done
