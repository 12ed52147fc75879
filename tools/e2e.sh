#!/usr/bin/env bash
# The Windows tests under Wine and Xvfb: the platform services on a real (Wine) file system, and
# Brenmira.exe end to end, driven as a user drives it. Each row below runs its tests of
# tests/win32/ in a fresh prefix with the drives it maps. Screenshots stay in
# build/e2e-artifacts/<row>/.
#   tools/e2e.sh [PATTERN]    only the rows whose tests match PATTERN (grep -E)
set -euo pipefail
cd "$(dirname "$0")/.."
source tools/wine.sh
pattern=${1:-.}
artifacts=$PWD/build/e2e-artifacts

wine_pick_arch
cmake --preset "$WINDOWS_PRESET" >/dev/null
cmake --build --preset "$WINDOWS_PRESET" >/dev/null
build=build/$WINDOWS_PRESET

started=$SECONDS
wine_setup
rm -rf "$artifacts"
# The game's disc, small enough to copy in a blink; read-only like a real one.
spare="$WINE_RUN_DIR/spare"
tools/make_disc.sh "$spare" 64
chmod a-w "$spare"/*/*
passed=0 failed=()

# row TESTS DRIVE...   DRIVE is LETTER=WHAT:TYPE, TYPE cdrom, hd, floppy or network, and WHAT
#   disc   the game's disc (a copy per row; the test may change it)
#   big    the same, with one video bigger than the file size limit of every row
#   other  another game's disc        wrong  our file names with other content
#   none   no disc, no medium         empty  an empty folder
row() {
  local tests=$1 drive letter what type dir disc=""
  shift
  grep -qE "$pattern" <<<"$tests" || return 0
  local begun=$SECONDS
  wine_scenario row
  for drive in "$@"; do
    letter=${drive%%=*} what=${drive#*=}
    type=${what#*:} what=${what%%:*}
    dir="$WINEPREFIX/drives/$letter"
    mkdir -p "$WINEPREFIX/drives"
    case $what in
      disc | big) cp -a "$spare" "$dir" && disc=$letter ;;&
      big) head -c 6M /dev/zero >"$dir/FMV/CRASH.RPL.big" && mv -f "$dir/FMV/CRASH.RPL"{.big,} ;;
      other) mkdir -p "$dir/AUDIO" && echo "track 1" >"$dir/AUDIO/TRACK01.CDA" ;;
      wrong) cp -a "$spare" "$dir" && chmod -R u+w "$dir" &&
        for file in "$dir"/*/*; do echo "another edition" >"$file"; done ;;
      none) dir="$WINEPREFIX/drives/$letter-missing" ;;
      empty) mkdir -p "$dir" ;;
    esac
    wine_drive "$letter" "$dir" "$type"
  done
  local here="$WINEPREFIX/drive_c/tests" shots="$artifacts/${tests%.\*}"
  mkdir -p "$here" "$shots"
  cp "$build/app/Brenmira.exe" "$build/tests/win32/windows_tests.exe" "$here/"
  local code=0 result=passed
  KESTOVAR_DISC="${disc^^}:\\" KESTOVAR_DISC_FOLDER="$WINEPREFIX/drives/$disc" \
    KESTOVAR_SPARE="$spare" KESTOVAR_SHOTS="$shots" \
    wine_run_file_limited 4096 "$here" 240 "$here/windows_tests.exe" --gtest_filter="$tests" \
    --gtest_color=no || code=$?
  wine_end_scenario
  if [ "$code" -eq 0 ]; then passed=$((passed + 1)); else failed+=("$tests") result="FAILED ($code)"; fi
  echo "e2e: $tests: $result in $((SECONDS - begun)) s"
}

# Every drive letter: floppies without a disk, fixed and network disks (one with our file names),
# empty CD-ROM drives and another game's disc before ours, a wrong one after it.
every_letter=(a=none:floppy b=none:floppy d=wrong:hd {e..l}=empty:hd {m..q}=none:cdrom
  r=other:cdrom {s..x}=empty:network y=disc:cdrom z=wrong:cdrom)

# (C: is always there: the system drive, where the installation folders are made.)
row 'Services.*'
row DiscFound.AmongEveryKindOfDrive "${every_letter[@]}"
row InstallFolder.AtADriveRootOverADamagedCopy d=disc:cdrom g=empty:hd
row InstallFolder.AtThePathLengthLimit d=disc:cdrom
row InstallFolder.WithFilesInTheWay d=big:cdrom
row MainWindow.LaidOutAsDesignedAndWorkedByKeyboard d=disc:cdrom
row Retry.EachPassListsWhatIsStillMissingUntilTheLastOneEnds d=disc:cdrom
row Closing.TheProgramEndsWhenItsLastWindowCloses d=disc:cdrom

wine_log "Windows tests: $((SECONDS - started)) s; screenshots in $artifacts"
[ ${#failed[@]} -eq 0 ] || echo "e2e: failed: ${failed[*]}"
echo "e2e: $passed passed, ${#failed[@]} failed"
[ ${#failed[@]} -eq 0 ]
