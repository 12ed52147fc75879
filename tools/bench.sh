#!/usr/bin/env bash
# The benchmark (not a test: nothing here passes or fails on a figure). Each figure is the median
# of REPS repetitions with its min-max spread, each timing set against a baseline run in the same
# rounds, the order rotating from round to round:
#   1. under Wine, Brenmira.exe against copier.exe, the least a windowed Win32 program does for
#      the same job, twice: as it is, and writing each copy through to the disk (copier.exe
#      /flush, the guarantee Brenmira.exe gives before a rename). Launch to the final box, launch
#      to the first painted window, and how many widths of the progress bar the screen showed;
#   2. natively, the engine's pass on a real file system against cp of the same 32 files;
#   3. peak memory of a pass at three disc sizes, natively and under Wine.
#
#   tools/bench.sh [--reps N] [--native] [--before COMMIT]
#
# --native skips everything under Wine; --before COMMIT builds Brenmira.exe of that commit too
# and adds it to the rounds. The report goes to standard output and build/bench/report.md;
# docs/BENCHMARKS.md says how each figure is taken.
set -euo pipefail
cd "$(dirname "$0")/.."
repo=$PWD
reps=7
native_only=""
before=""
while [ $# -gt 0 ]; do
  case $1 in
    --reps) reps=$2; shift 2 ;;
    --native) native_only=1; shift ;;
    --before) before=$(git rev-parse --short --verify "$2^{commit}"); shift 2 ;;
    *) echo "usage: tools/bench.sh [--reps N] [--native] [--before COMMIT]" >&2; exit 2 ;;
  esac
done

source tools/lib/wine.sh # and need.sh
need cmake make g++ libx11-dev
# Wine and the build this machine runs: the 32-bit one, or its x86-64 stand-in (said aloud).
[ -n "$native_only" ] || wine_pick_arch
log() { echo "bench: $*" >&2; }

log "building"
cmake -S bench -B build/bench -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build/bench -j2 >/dev/null
bench_pass=$repo/build/bench/bench_pass
xwatch=$repo/build/bench/xwatch
if [ -n "$native_only" ]; then
  work=$(mktemp -d /tmp/kestovar-bench.XXXXXX)
  trap 'rm -rf "$work"' EXIT
else
  cmake --preset "$WINDOWS_PRESET" >/dev/null
  cmake --build --preset "$WINDOWS_PRESET" --target Brenmira >/dev/null
  toolchain=$repo/cmake/mingw-w64-x86_64.cmake
  [ "$WINDOWS_PRESET" = win64 ] || toolchain=$repo/cmake/mingw-w64-i686.cmake
  cmake -S bench -B "build/bench-$WINDOWS_PRESET" --toolchain "$toolchain" \
    -DCMAKE_BUILD_TYPE=MinSizeRel >/dev/null
  cmake --build "build/bench-$WINDOWS_PRESET" -j2 >/dev/null
  wine_setup # makes WINE_RUN_DIR, removed (with all below) on exit
  work=$WINE_RUN_DIR
  if [ -n "$before" ]; then
    log "building Brenmira.exe of $before"
    mkdir "$work/before"
    git archive "$before" | tar -x -C "$work/before"
    (cd "$work/before" && cmake --preset "$WINDOWS_PRESET" &&
      cmake --build --preset "$WINDOWS_PRESET" --target Brenmira) >"$work/before.log" 2>&1 ||
      { cat "$work/before.log" >&2; log "the build of $before failed"; exit 1; }
  fi
fi
log "sample discs in $work"
for divisor in 1 2 8; do tools/make_disc.sh "$work/disc$divisor" "$divisor"; done
disc=$work/disc1     # the disc of the runs at hand
install=$work/native # C: of the native pass, holding the installation directory GAME

# Before every timed run: the earlier copy removed, its writes flushed to disk, and the whole
# disc read once, so that every run (ours or a baseline) reads a disc already in the page cache
# and starts with no writeback pending.
prepare() {
  rm -rf "$@"
  sync
  cat "$disc"/DATA/* "$disc"/FMV/* >/dev/null
}
# Whether folder $1 holds DATA and FMV exactly as on the disc.
same_as_disc() { diff -rq "$disc/DATA" "$1/DATA" >/dev/null && diff -rq "$disc/FMV" "$1/FMV" >/dev/null; }
now_us() { local t=$EPOCHREALTIME; echo "${t/./}"; }
# One table cell, "median (min–max)" in the printf format $1, of the numbers after it.
cell() {
  local format=$1
  shift
  printf '%s\n' "$@" | sort -g | awk -v f="$format" '{ v[NR] = $1 } END {
    m = NR % 2 ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2
    printf f " (" f "–" f ")", m, v[1], v[NR] }'
}
div() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.4f", a / b }'; }
field() { awk -v k="$1" '{ for (i = 1; i < NF; i++) if ($i == k) print $(i + 1) }'; }
mb() { du -sm "$1" | cut -f1; }

# --- Natively: the pass against cp, then its peak memory --------------------------------------
load_start=$(cut -d' ' -f1-3 /proc/loadavg)
log "native pass against cp"
declare -a cp_ms pass_ms pass_mbs cp_mbs r_pass
for ((r = 0; r < reps; r++)); do
  for k in 0 1; do # each one first in every other round
    prepare "$install/GAME"
    mkdir -p "$install/GAME"
    t=$(now_us)
    if (((r + k) % 2)); then
      cp -r "$disc/DATA" "$disc/FMV" "$install/GAME/"
      cp_us=$(($(now_us) - t))
    else
      "$bench_pass" --disc "$disc" --install-root "$install" >/dev/null
      pass_us=$(($(now_us) - t))
      same_as_disc "$install/GAME" || { log "the native pass did not copy the disc"; exit 1; }
    fi
  done
  cp_ms+=("$(div "$cp_us" 1000)") pass_ms+=("$(div "$pass_us" 1000)")
  cp_mbs+=("$(div "$(mb "$disc")" "${cp_us}e-6")") pass_mbs+=("$(div "$(mb "$disc")" "${pass_us}e-6")")
  r_pass+=("$(div "$cp_us" "$pass_us")")
done
declare -A native_hwm=() wine_hwm=()
for divisor in 8 2 1; do
  disc=$work/disc$divisor
  for ((r = 0; r < 3; r++)); do
    prepare "$install/GAME"
    mkdir -p "$install/GAME"
    native_hwm[$divisor]+=" $("$bench_pass" --disc "$disc" --install-root "$install" | field hwm_kib)"
  done
done

# --- Under Wine: one prefix, the disc in CD-ROM drive D:, the game folder C:\game -------------
if [ -z "$native_only" ]; then
  log "under Wine: Brenmira.exe${before:+ (now and $before)} against copier.exe"
  wine_scenario bench
  disc=$work/disc1
  wine_drive d "$disc" cdrom
  game=$WINEPREFIX/drive_c/game
  mkdir -p "$game"
  cp "build/$WINDOWS_PRESET/app/Brenmira.exe" "build/bench-$WINDOWS_PRESET/copier.exe" "$game/"
  programs=(now copier flushing)
  if [ -n "$before" ]; then
    cp "$work/before/build/$WINDOWS_PRESET/app/Brenmira.exe" "$game/Brenmira-before.exe"
    programs=(before now copier flushing)
  fi
  wineserver -p # kept running, as on a desktop where Wine is already up

  # One run of a program (now, before, copier or flushing, the copier with /flush) in an emptied
  # game folder, watched by xwatch from launch to its final box; xwatch's lines go to $out.
  run() {
    local exe=Brenmira.exe window="Fájlok másolása a CD-ről" box="Sikeres másolás!" flags=()
    case $1 in
      before) exe=Brenmira-before.exe ;;
      copier) exe=copier.exe window=Copier box=Done ;;
      flushing) exe=copier.exe window=Copier box=Done flags=(/flush) ;;
    esac
    prepare "$game/DATA" "$game/FMV"
    out=$(cd "$game" && "$xwatch" --window "$window" --box "$box" -- "$WINE" "./$exe" "${flags[@]}") ||
      { log "$exe failed: $out"; exit 1; }
    # A timed run's copy is checked by its last file only: reading all 282 MB back between runs
    # has been seen to slow the runs after it by up to twice, unevenly.
    cmp -s "$disc/FMV/MS.RPL" "$game/FMV/MS.RPL" || { log "$exe did not copy the disc"; exit 1; }
  }

  # The first start of each is untimed (the prefix's first start of anything is cold), and its
  # copy is compared with the whole disc.
  for program in "${programs[@]}"; do
    run "$program"
    same_as_disc "$game" || { log "$program did not copy the disc"; exit 1; }
  done
  declare -A shown=() painted=() bars=() r_shown=() r_painted=() f_shown=() f_painted=()
  for ((r = 0; r < reps; r++)); do
    declare -A box_ms=() paint_ms=()
    for ((k = 0; k < ${#programs[@]}; k++)); do # a different one first in every round
      program=${programs[(r + k) % ${#programs[@]}]}
      run "$program"
      box_ms[$program]=$(field shown_ms <<<"$out") paint_ms[$program]=$(field painted_ms <<<"$out")
      shown[$program]+=" ${box_ms[$program]}" painted[$program]+=" ${paint_ms[$program]}"
      bars[$program]+=" $(field bar_widths <<<"$out")"
      [ "$program" != now ] || wine_hwm[1]+=" $(field hwm_kib <<<"$out")"
    done
    for program in "${programs[@]}"; do
      r_shown[$program]+=" $(div "${box_ms[$program]}" "${box_ms[copier]}")"
      r_painted[$program]+=" $(div "${paint_ms[$program]}" "${paint_ms[copier]}")"
      f_shown[$program]+=" $(div "${box_ms[$program]}" "${box_ms[flushing]}")"
      f_painted[$program]+=" $(div "${paint_ms[$program]}" "${paint_ms[flushing]}")"
    done
  done
  for divisor in 8 2; do # peak memory at the other sizes, of the current build
    disc=$work/disc$divisor
    wine_drive d "$disc"
    for ((r = 0; r < 3; r++)); do
      run now
      wine_hwm[$divisor]+=" $(field hwm_kib <<<"$out")"
    done
  done
  disc=$work/disc1
fi

# --- The report ----------------------------------------------------------------------------
log "the report, also in build/bench/report.md:"
exec > >(tee "$repo/build/bench/report.md")
echo "# Kestovar benchmark, $(date -u '+%Y-%m-%d %H:%M UTC')"
echo
echo "- Machine: $(nproc) cores, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2- | sed 's/^ //'),"\
  "$(free -g | awk '/^Mem/ { print $2 }') GiB memory, kernel $(uname -r);"\
  "disk $(findmnt -no SOURCE,FSTYPE -T "$work" | tr -s ' ')"
if [ -z "$native_only" ]; then
  measured="the shipped 32-bit build of Brenmira.exe (win32 preset)"
  stand_in="the x86-64 build (win64 preset), standing in for the 32-bit one (no 32-bit code runs here)"
  [ "$WINDOWS_PRESET" = win32 ] || measured=$stand_in
  echo "- Wine: $("$WINE" --version), $WINEARCH prefix. Measured: $measured"
fi
echo "- Load average $load_start at the start, $(cut -d' ' -f1-3 /proc/loadavg) at the end"
echo "- Sample disc: tools/make_disc.sh divisor 1, $(mb "$disc") MB in 32 files;"\
  "$reps rounds; each cell median (min–max)"
if [ -z "$native_only" ]; then
  echo
  echo "## 1. Brenmira.exe against copier.exe under Wine (the disc in D:, $reps rounds of ${#programs[@]})"
  echo
  echo "| program | launch → box on screen, ms | ÷ copier's (goal ≤ 1.10) | ÷ flushing copier's |"\
    "launch → first painted window, ms | ÷ copier's (goal ≤ 1.2) | ÷ flushing copier's | bar widths seen |"
  echo "|---|---|---|---|---|---|---|---|"
  # shellcheck disable=SC2086 # each entry of shown, painted, bars... is a list of numbers
  for program in "${programs[@]}"; do
    case $program in
      copier) name="copier.exe (baseline)" ;;
      flushing) name="copier.exe /flush (baseline, each copy written through)" ;;
      before) name="Brenmira.exe of $before" ;;
      now) name="Brenmira.exe now (working tree on $(git rev-parse --short HEAD))" ;;
    esac
    bar_cell=$(cell %.0f ${bars[$program]})
    [ "$program" = now ] || [ "$program" = before ] || bar_cell="– (no bar)"
    echo "| $name | $(cell %.1f ${shown[$program]}) | $(cell %.3f ${r_shown[$program]}) |"\
      "$(cell %.3f ${f_shown[$program]}) | $(cell %.1f ${painted[$program]}) |"\
      "$(cell %.3f ${r_painted[$program]}) | $(cell %.3f ${f_painted[$program]}) | $bar_cell |"
  done
fi
echo
echo "## 2. The engine's pass against cp (natively, $reps rounds)"
echo
echo "| run | wall time ms | MB/s | throughput ÷ cp's (goal ≥ 0.95) |"
echo "|---|---|---|---|"
echo "| cp -r (baseline) | $(cell %.1f "${cp_ms[@]}") | $(cell %.0f "${cp_mbs[@]}") | 1 |"
echo "| bench_pass | $(cell %.1f "${pass_ms[@]}") | $(cell %.0f "${pass_mbs[@]}") | $(cell %.3f "${r_pass[@]}") |"
echo
echo "## 3. Peak memory during a pass (VmHWM, KiB; goal: flat in the disc's size)"
echo
echo "| disc | native pass (3 runs) | Brenmira.exe now under Wine, at its success box |"
echo "|---|---|---|"
for divisor in 8 2 1; do
  # shellcheck disable=SC2086
  echo "| divisor $divisor ($(mb "$work/disc$divisor") MB) | $(cell %.0f ${native_hwm[$divisor]}) |"\
    "$(if [ -n "$native_only" ]; then echo –; else cell %.0f ${wine_hwm[$divisor]}; fi) |"
done
