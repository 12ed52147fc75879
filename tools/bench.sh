#!/usr/bin/env bash
# The benchmark (not a test: nothing here passes or fails on a figure). In one run on this
# machine, each figure the median of REPS repetitions with its min-max spread, and each timing
# set against a baseline measured in the same run, interleaved with it:
#   1. copy throughput of a whole pass against cp of the same 32 files: natively through the
#      engine on a real file system (atomic and direct copies), and Brenmira.exe under Wine;
#   2. what the pass costs besides copying, over 1, 6, 13 and 26 drives (time and instructions);
#   3. peak memory of a pass at three disc sizes;
#   4. launch of Brenmira.exe to its first painted progress window, against a one-window exe.
#
#   tools/bench.sh [--reps N] [--native]     (--native: skip everything under Wine)
#
# The report goes to standard output and to build/bench/report.md. docs/BENCHMARKS.md says
# how each figure is taken.
set -euo pipefail
cd "$(dirname "$0")/.."
repo=$PWD
reps=7
native_only=""
while [ $# -gt 0 ]; do
  case $1 in
    --reps) reps=$2; shift 2 ;;
    --native) native_only=1; shift ;;
    *) echo "usage: tools/bench.sh [--reps N] [--native]" >&2; exit 2 ;;
  esac
done

source tools/need.sh
need cmake make g++ libx11-dev valgrind
[ -n "$native_only" ] || need g++-mingw-w64-i686 wine wine32:i386 xvfb

log() { echo "bench: $*" >&2; }

# --- Build -------------------------------------------------------------------------------
log "building"
cmake -S bench -B build/bench -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build/bench -j2 >/dev/null
bench_pass=$repo/build/bench/bench_pass
xwatch=$repo/build/bench/xwatch
if [ -z "$native_only" ]; then
  cmake --preset win32 >/dev/null
  cmake --build --preset win32 --target Brenmira >/dev/null
  cmake -S bench -B build/bench-win32 --toolchain "$repo/cmake/mingw-w64-i686.cmake" \
    -DCMAKE_BUILD_TYPE=MinSizeRel >/dev/null
  cmake --build build/bench-win32 -j2 >/dev/null
fi

# --- Scratch space: everything below lives in one temporary folder, removed on exit ----------
source tools/wine.sh
if [ -z "$native_only" ]; then
  wine_setup # makes WINE_RUN_DIR and removes it (with all below) on exit
  work=$WINE_RUN_DIR
else
  work=$(mktemp -d /tmp/kestovar-bench.XXXXXX)
  trap 'rm -rf "$work"' EXIT
fi
log "sample discs in $work"
for divisor in 1 2 8 1024; do tools/make_disc.sh "$work/disc$divisor" "$divisor"; done
mkdir -p "$work/other"
disc=$work/disc1
install=$work/native # C:, holding the installation directory GAME

# --- Helpers -----------------------------------------------------------------------------
# Before every timed run: earlier copies removed, their writes flushed to disk, and the whole
# disc read once, so that every run (ours or cp) reads a disc already in the page cache and
# starts with no writeback pending.
prepare() {
  local source=$1
  shift
  rm -rf "$@"
  sync
  cat "$source"/DATA/* "$source"/FMV/* >/dev/null
}
# The same for a native run, which wants an empty installation directory C:\GAME.
fresh_install() {
  prepare "${1:-$disc}" "$install/GAME"
  mkdir -p "$install/GAME"
}
now_us() { local t=$EPOCHREALTIME; echo "${t/./}"; }

# "median min max" of the numbers given.
stats() {
  printf '%s\n' "$@" | sort -g | awk '{ v[NR] = $1 } END {
    m = NR % 2 ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2
    printf "%g %g %g\n", m, v[1], v[NR] }'
}
# One table cell: "median (min-max)" with the given printf format.
cell() {
  local format=$1
  shift
  stats "$@" | awk -v f="$format" '{ printf f " (" f "–" f ")", $1, $2, $3 }'
}
div() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.4f", a / b }'; }
field() { awk -v k="$1" '{ for (i = 1; i < NF; i++) if ($i == k) print $(i + 1) }'; }

report=$repo/build/bench/report.md
exec > >(tee "$report")

echo "# Kestovar benchmark, $(date -u '+%Y-%m-%d %H:%M UTC')"
echo
echo "- Machine: $(nproc) cores, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2- | sed 's/^ //'),"\
  "$(free -g | awk '/^Mem/ { print $2 }') GiB memory, kernel $(uname -r)"
echo "- Disk: $(findmnt -no SOURCE,FSTYPE -T "$work" | tr -s ' ') ($(df -h --output=size "$work" | tail -1 | tr -d ' '))"
[ -n "$native_only" ] || echo "- Wine: $(wine --version)"
echo "- Load average at the start: $(cut -d' ' -f1-3 /proc/loadavg)"
echo "- Sample disc: tools/make_disc.sh divisor 1, $(du -sm "$disc" | cut -f1) MB in 32 files;"\
  "$reps repetitions; each cell median (min–max)"
echo

# --- 1a. Native pass against cp -------------------------------------------------------------
log "1a: native pass against cp"
declare -a cp_us atomic_us direct_us r_atomic r_direct atomic_cost rename_share
for ((r = 0; r < reps; r++)); do
  declare -A took=()
  for k in 0 1 2; do # a different one first in every repetition
    case $(((r + k) % 3)) in
      0) fresh_install; t=$(now_us); cp -r "$disc/DATA" "$disc/FMV" "$install/GAME/"
         took[cp]=$(($(now_us) - t)) ;;
      1) fresh_install; t=$(now_us)
         line=$("$bench_pass" --disc "$disc" --install-root "$install" --copy atomic)
         took[atomic]=$(($(now_us) - t)) ;;
      2) fresh_install; t=$(now_us)
         "$bench_pass" --disc "$disc" --install-root "$install" --copy direct >/dev/null
         took[direct]=$(($(now_us) - t)) ;;
    esac
  done
  cmp -s "$disc/FMV/MS.RPL" "$install/GAME/FMV/MS.RPL" || { log "copy differs"; exit 1; }
  cp_us+=("${took[cp]}") atomic_us+=("${took[atomic]}") direct_us+=("${took[direct]}")
  r_atomic+=("$(div "${took[cp]}" "${took[atomic]}")")
  r_direct+=("$(div "${took[cp]}" "${took[direct]}")")
  rename_share+=("$(awk -v r="$(field rename_us <<<"$line")" -v c="$(field copy_us <<<"$line")" 'BEGIN { printf "%.3f", r / c * 100 }')")
  atomic_cost+=("$(awk -v a="${took[atomic]}" -v d="${took[direct]}" 'BEGIN { printf "%.2f", (a / d - 1) * 100 }')")
done
mb=$(du -sm "$disc" | cut -f1)
echo "## 1. Copy throughput against cp (same files, same file system)"
echo
echo "| run | wall time ms | MB/s | throughput ÷ cp's (goal ≥ 0.95) |"
echo "|---|---|---|---|"
ms() { for v in "$@"; do awk -v v="$v" 'BEGIN { print v / 1000 }'; done; }
mbs() { for v in "$@"; do awk -v v="$v" -v mb="$mb" 'BEGIN { print mb / (v / 1e6) }'; done; }
echo "| cp -r (baseline, native) | $(cell %.1f $(ms "${cp_us[@]}")) | $(cell %.0f $(mbs "${cp_us[@]}")) | 1 |"
echo "| engine pass, atomic copy (native) | $(cell %.1f $(ms "${atomic_us[@]}")) | $(cell %.0f $(mbs "${atomic_us[@]}")) | $(cell %.3f "${r_atomic[@]}") |"
echo "| engine pass, direct copy (native) | $(cell %.1f $(ms "${direct_us[@]}")) | $(cell %.0f $(mbs "${direct_us[@]}")) | $(cell %.3f "${r_direct[@]}") |"
echo
echo "Cost of the atomic copy (temporary name, then rename) over the direct one, paired per"\
  "repetition: $(cell %.2f "${atomic_cost[@]}") % (goal: a few %). Measured inside the atomic"\
  "copies themselves, the 32 renames take $(cell %.3f "${rename_share[@]}") % of the copying time."

echo

# --- 2. Everything but the copy, over 1, 6, 13 and 26 drives -----------------------------------
log "2: the pass's own cost over 1-26 drives"
echo "## 2. What the pass costs besides copying (native, disc in the last drive)"
echo
echo "Other drives: C: the fixed disk holding the installation, every other letter a CD-ROM"\
  "drive holding a disc without the game's files (each costs the full 32 entry steps)."
echo
echo "| drives | CD-ROM drives without the game | pass ms | copying ms | rest ms | rest ÷ copying (goal ≤ 2 % at 26) | instructions outside the copy (callgrind) | of which the engine's own |"
echo "|---|---|---|---|---|---|---|---|"
declare -A ir_rest=()
for drives in 1 6 13 26; do
  declare -a pass=() copying=() rest=() share=()
  for ((r = 0; r < reps; r++)); do
    fresh_install
    line=$("$bench_pass" --disc "$disc" --install-root "$install" --drives "$drives" --other "$work/other")
    p=$(field pass_us <<<"$line") c=$(field copy_us <<<"$line")
    pass+=("$(awk -v v="$p" 'BEGIN { print v / 1000 }')") copying+=("$(awk -v v="$c" 'BEGIN { print v / 1000 }')")
    rest+=("$(awk -v p="$p" -v c="$c" 'BEGIN { print (p - c) / 1000 }')")
    share+=("$(awk -v p="$p" -v c="$c" 'BEGIN { printf "%.2f", (p - c) / c * 100 }')")
  done
  # Instructions are repeatable where times are not: the pass alone (Masol), less the copy's
  # own, on the small disc (the copy itself happens in the kernel either way).
  fresh_install "$work/disc1024"
  valgrind --tool=callgrind --toggle-collect='kestovar::CopyEngine::Masol()' \
    --callgrind-out-file="$work/callgrind.$drives" "$bench_pass" --disc "$work/disc1024" \
    --install-root "$install" --drives "$drives" --other "$work/other" >/dev/null 2>&1
  read -r ir ir_engine < <(callgrind_annotate --inclusive=yes "$work/callgrind.$drives" 2>/dev/null |
    awk '{ n = $1; gsub(",", "", n) }
         /PROGRAM TOTALS/ { total = n }
         /DiskMachine::FileCopy/ { copy = n }
         /DiskMachine::(Dir|MakeDirectory|GetLogicalDriveStringsA|GetDriveTypeA)\(/ { platform += n }
         END { print total - copy, total - copy - platform }')
  ir_rest[$drives]=$ir
  cds=$((drives == 1 ? 0 : drives >= 4 ? drives - 2 : drives - 1))
  echo "| $drives | $cds | $(cell %.1f "${pass[@]}") | $(cell %.1f "${copying[@]}") | $(cell %.2f "${rest[@]}") | $(cell %.2f "${share[@]}") % | $ir | $ir_engine |"
done
echo
per_drive_13=$(((ir_rest[13] - ir_rest[6]) / 7))
per_drive_26=$(((ir_rest[26] - ir_rest[13]) / 13))
echo "Instructions per added CD-ROM drive: $per_drive_13 from 6 to 13 drives,"\
  "$per_drive_26 from 13 to 26 drives (linear when these agree;"\
  "from 1 to 6 the fixed disk C: joins, which costs only a completeness test)."
echo

# --- 3. Peak memory -------------------------------------------------------------------------
log "3: peak memory"
declare -A native_hwm=()
for divisor in 8 2 1; do
  declare -a hwm=()
  for ((r = 0; r < 3; r++)); do
    fresh_install "$work/disc$divisor"
    hwm+=("$("$bench_pass" --disc "$work/disc$divisor" --install-root "$install" | field hwm_kib)")
  done
  native_hwm[$divisor]=$(cell %.0f "${hwm[@]}")
done

if [ -n "$native_only" ]; then
  echo "## 3. Peak memory (VmHWM, KiB, 3 runs each)"
  echo
  echo "| disc | native pass |"
  echo "|---|---|"
  for divisor in 8 2 1; do
    echo "| divisor $divisor ($(du -sm "$work/disc$divisor" | cut -f1) MB) | ${native_hwm[$divisor]} |"
  done
  exit 0
fi

# --- Under Wine: one prefix, the disc as CD-ROM drive D:, the game in C:\game ----------------
log "1b, 3, 4: under Wine"
wine_scenario bench
wine_drive d "$disc" cdrom
game=$WINEPREFIX/drive_c/game
mkdir -p "$game"
cp build/win32/app/Brenmira.exe build/bench-win32/one_window.exe build/bench-win32/wine_costs.exe "$game/"
# A running server for the whole scenario, as on a desktop where Wine is already up.
wineserver -p
progress_title="Fájlok másolása a CD-ről"
success_title="Sikeres másolás!"

# Brenmira.exe from launch until its success box: prints painted_ms (progress window on
# screen with its content), file_ms DATA (the pass made the folder, its first step after
# showing the progress window), file_ms FMV/MS.RPL (the last catalogue file in place under its
# own name), shown_ms (success box on screen) and hwm_kib.
brenmira() {
  (cd "$game" && "$xwatch" --painted "$progress_title" --file DATA --file FMV/MS.RPL \
    --shown "$success_title" --timeout 120 -- wine ./Brenmira.exe)
}
# Milliseconds from the pass making DATA to the last file in place.
copying_ms() {
  awk '$1 == "file_ms" && $2 == "DATA" { a = $3 } $1 == "file_ms" && $2 == "FMV/MS.RPL" { b = $3 }
       END { print b - a }' <<<"$1"
}
one_window() { (cd "$game" && "$xwatch" --painted "One window" --timeout 60 -- wine ./one_window.exe); }
clear_game() { prepare "${1:-$disc}" "$game/DATA" "$game/FMV" "$game/cp" "$game/dd"; }

# The first start of a prefix is cold; neither program's figures include it.
clear_game; brenmira >/dev/null || true
clear_game; one_window >/dev/null || true

# 64 KiB at a time through user space, the way Wine's CopyFileExW copies (read, write, repeat).
chunked_copy() {
  mkdir -p "$game/dd/DATA" "$game/dd/FMV"
  for file in "$disc"/DATA/* "$disc"/FMV/*; do
    dd if="$file" of="$game/dd/${file#"$disc"/}" bs=64k status=none
  done
}

declare -a wcp_us dd_us r_dd b_copy b_success b_hwm r_copy r_success
for ((r = 0; r < reps; r++)); do
  for k in 0 1 2; do
    case $(((r + k) % 3)) in
      0) clear_game; mkdir -p "$game/cp"; t=$(now_us); cp -r "$disc/DATA" "$disc/FMV" "$game/cp/"
         wcp=$(($(now_us) - t))
         cmp -s "$disc/FMV/MS.RPL" "$game/cp/FMV/MS.RPL" || { log "cp into the prefix differs"; exit 1; } ;;
      1) clear_game; out=$(brenmira) || { log "Brenmira.exe run failed: $out"; exit 1; } ;;
      2) clear_game; t=$(now_us); chunked_copy; dd=$(($(now_us) - t)) ;;
    esac
  done
  copying=$(copying_ms "$out") shown=$(field shown_ms <<<"$out")
  wcp_us+=("$wcp") dd_us+=("$dd") r_dd+=("$(div "$wcp" "$dd")") b_hwm+=("$(field hwm_kib <<<"$out")")
  b_copy+=("$copying")
  b_success+=("$shown")
  r_copy+=("$(awk -v c="$wcp" -v b="$copying" 'BEGIN { printf "%.4f", c / 1000 / b }')")
  r_success+=("$(awk -v c="$wcp" -v s="$shown" 'BEGIN { printf "%.4f", c / 1000 / s }')")
done

# The same pass on a disc of 1/1024 the size: what the pass costs under Wine besides copying.
wine_drive d "$work/disc1024"
declare -a small_copy
for ((r = 0; r < reps; r++)); do
  clear_game "$work/disc1024"
  out=$(brenmira) || { log "Brenmira.exe run failed: $out"; exit 1; }
  small_copy+=("$(copying_ms "$out")")
done

# Each kind of call a pass makes, timed inside one process, a pass's worth at a time.
clear_game "$work/disc1024"
costs=$(cd "$game" && timeout 120 wine ./wine_costs.exe "$reps")
column() { awk -v k="$1" '{ for (i = 1; i < NF; i++) if ($i == k) print $(i + 1) }' <<<"$costs"; }

# Launches, three times as many as the other runs (each is short and the spread is wide): the
# two programs in turn, each first in every other pair; Brenmira.exe stopped once painted.
declare -a b_launch o_launch r_launch
for ((r = 0; r < 3 * reps; r++)); do
  for k in 0 1; do
    clear_game "$work/disc1024"
    if (((r + k) % 2)); then
      one=$(one_window | field painted_ms)
    else
      painted=$( (cd "$game" && "$xwatch" --painted "$progress_title" --timeout 60 -- wine ./Brenmira.exe) |
        field painted_ms)
    fi
  done
  b_launch+=("$painted") o_launch+=("$one") r_launch+=("$(div "$painted" "$one")")
done

# Peak memory at the other sizes.
declare -A wine_hwm=([1]=$(cell %.0f "${b_hwm[@]}"))
for divisor in 8 2; do
  wine_drive d "$work/disc$divisor"
  declare -a hwm=()
  for ((r = 0; r < 3; r++)); do
    clear_game "$work/disc$divisor"
    hwm+=("$(brenmira | field hwm_kib)")
  done
  wine_hwm[$divisor]=$(cell %.0f "${hwm[@]}")
done

mbs_ms() { for v in "$@"; do awk -v v="$v" -v mb="$mb" 'BEGIN { print mb / (v / 1000) }'; done; }
echo "### Brenmira.exe under Wine"
echo
echo "Timed from outside by build/bench/xwatch, which starts the program and polls the X display"\
  "and the file system every 2 ms. Copying runs from the moment the pass makes the DATA folder"\
  "(its first step after showing the progress window) to the moment FMV\\MS.RPL, the last file,"\
  "is in place under its own name (every copy is renamed into place whole)."
echo
echo "| run | ms | MB/s | throughput ÷ cp's (goal ≥ 0.95) |"
echo "|---|---|---|---|"
echo "| cp -r into the prefix's C:\\\\game (baseline) | $(cell %.1f $(ms "${wcp_us[@]}")) | $(cell %.0f $(mbs "${wcp_us[@]}")) | 1 |"
echo "| dd bs=64k, file by file, into the prefix (how Wine's CopyFileExW copies) | $(cell %.1f $(ms "${dd_us[@]}")) | $(cell %.0f $(mbs "${dd_us[@]}")) | $(cell %.3f "${r_dd[@]}") |"
echo "| Brenmira.exe: DATA made → last file in place | $(cell %.1f "${b_copy[@]}") | $(cell %.0f $(mbs_ms "${b_copy[@]}")) | $(cell %.3f "${r_copy[@]}") |"
echo "| Brenmira.exe: launch → success box on screen | $(cell %.1f "${b_success[@]}") | – | $(cell %.3f "${r_success[@]}") |"
echo "| Brenmira.exe on a 1/1024 disc ($(du -sk "$work/disc1024" | cut -f1) KiB): DATA made → last file | $(cell %.1f "${small_copy[@]}") | – | – |"
echo
echo "One pass's worth of each kind of call under Wine, timed inside one process by"\
  "build/bench-win32/wine_costs.exe (the product's services and progress window) on the"\
  "1/1024 disc, $reps rounds: existence probes and listings of the 32 entry steps"\
  "$(cell %.1f $(column probes_ms)) ms; 32 file copies $(cell %.1f $(column copies_ms)) ms;"\
  "completeness test and report (62 probes) $(cell %.1f $(column checks_ms)) ms;"\
  "33 progress steps (text, bar, synchronous repaint) $(cell %.1f $(column repaints_ms)) ms."
echo
echo "## 3. Peak memory during a pass (VmHWM, KiB)"
echo
echo "| disc | native pass (3 runs) | Brenmira.exe under Wine, at its success box |"
echo "|---|---|---|"
for divisor in 8 2 1; do
  echo "| divisor $divisor ($(du -sm "$work/disc$divisor" | cut -f1) MB) | ${native_hwm[$divisor]} | ${wine_hwm[$divisor]} ($([ "$divisor" = 1 ] && echo "$reps" || echo 3) runs) |"
done
echo
echo "## 4. Launch to first painted window under Wine (warm prefix, $((3 * reps)) pairs)"
echo
echo "| program | ms | ÷ one_window's (goal ≤ 1.2) |"
echo "|---|---|---|"
echo "| one_window.exe (baseline) | $(cell %.1f "${o_launch[@]}") | 1 |"
echo "| Brenmira.exe, progress window | $(cell %.1f "${b_launch[@]}") | $(cell %.3f "${r_launch[@]}") |"
echo
echo "Load average at the end: $(cut -d' ' -f1-3 /proc/loadavg) (other work on the machine widens the spread)."
log "report written to build/bench/report.md"
