#!/usr/bin/env bash
# Brenmira.exe end to end under Wine and Xvfb. Each scenario is one test of
# tests/e2e/e2e_test.cpp, run in a fresh prefix whose drives its row below maps; the test
# starts the real exe there and drives it as a user would. Screenshots of every scenario stay
# in build/e2e-artifacts/<test>/.
#   tools/e2e.sh [PATTERN]    only the scenarios whose test name matches PATTERN (grep -E)
# Tests build/win32/app/Brenmira.exe (cmake --preset win32 && cmake --build --preset win32), or
# the exe that $BRENMIRA_EXE names. E2E_WINEDEBUG sets Wine's debug channels (e.g. +event).
set -euo pipefail
cd "$(dirname "$0")/.."
source tools/wine.sh
pattern=${1:-.}
program=${BRENMIRA_EXE:-build/win32/app/Brenmira.exe}
artifacts=$PWD/build/e2e-artifacts
[ -f "$program" ] || { echo "e2e.sh: no $program: build the win32 preset first" >&2; exit 1; }

# The drivers: a project of their own that links nothing of the program.
cmake -S tests/e2e -B build/e2e --toolchain "$PWD/cmake/mingw-w64-i686.cmake" \
  -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build/e2e -j2 >/dev/null

started=$SECONDS
wine_setup
rm -rf "$artifacts"
# The game's disc, small enough to copy in a blink; read-only like a real one.
spare="$WINE_RUN_DIR/spare"
tools/make_disc.sh "$spare" 64
chmod a-w "$spare"/*/*

passed=0 failed=()

# scenario TEST DRIVE...   DRIVE is LETTER=WHAT:TYPE, TYPE cdrom, hd, floppy or network, and WHAT
#   disc   the game's disc (a copy per scenario; the test may change it)
#   other  another game's disc        wrong  our file names with other content
#   none   no disc, no medium         empty  an empty folder
scenario() {
  local test=$1 drive letter what type dir disc=""
  shift
  grep -qE "$pattern" <<<"$test" || return 0
  local begun=$SECONDS
  wine_scenario "scenario"
  for drive in "$@"; do
    letter=${drive%%=*} what=${drive#*=}
    type=${what#*:} what=${what%%:*}
    dir="$WINEPREFIX/drives/$letter"
    mkdir -p "$WINEPREFIX/drives"
    case $what in
      disc) cp -a "$spare" "$dir" && disc=$letter ;;
      other) mkdir -p "$dir/AUDIO" && echo "track 1" >"$dir/AUDIO/TRACK01.CDA" ;;
      wrong) cp -a "$spare" "$dir" && chmod -R u+w "$dir" &&
        for file in "$dir"/*/*; do echo "another edition" >"$file"; done ;;
      none) dir="$WINEPREFIX/drives/$letter-missing" ;;
      empty) mkdir -p "$dir" ;;
    esac
    wine_drive "$letter" "$dir" "$type"
  done
  local here="$WINEPREFIX/drive_c/e2e"
  mkdir -p "$here" "$artifacts/$test"
  cp "$program" "$here/Brenmira.exe"
  cp build/e2e/e2e_tests.exe "$here/"
  local code=0 result=passed
  KESTOVAR_E2E_DISC="${disc^^}:\\" KESTOVAR_E2E_DISC_FOLDER="$WINEPREFIX/drives/$disc" \
    KESTOVAR_E2E_SPARE="$spare" KESTOVAR_E2E_SHOTS="$artifacts/$test" \
    WINEDEBUG=${E2E_WINEDEBUG:--all} \
    wine_run "$here" 240 "$here/e2e_tests.exe" --gtest_filter="$test" --gtest_color=no ||
    code=$?
  wine_end_scenario
  if [ "$code" -eq 0 ]; then passed=$((passed + 1)); else failed+=("$test") result="FAILED ($code)"; fi
  echo "e2e: $test: $result in $((SECONDS - begun)) s"
}

# A machine with every drive letter: floppies without a disk, fixed and network disks,
# empty CD-ROM drives, and the disc in Z:.
every_letter=(a=none:floppy b=none:floppy)
for letter in d e f g h i j k l; do every_letter+=("$letter=empty:hd"); done
for letter in m n o p q r; do every_letter+=("$letter=none:cdrom"); done
for letter in s t u v w x y; do every_letter+=("$letter=empty:network"); done
every_letter+=(z=disc:cdrom)

# (C: is always there: the system drive, where the installation folders are made.)
scenario DiscFound.InTheOnlyCdromDrive d=disc:cdrom
scenario DiscFound.InTheSecondCdromDriveNotTheThird d=other:cdrom e=disc:cdrom f=wrong:cdrom
scenario DiscFound.BehindAnEmptyCdromDrive d=none:cdrom e=disc:cdrom
scenario DiscFound.InTheLastOf26Drives "${every_letter[@]}"
scenario InstallFolder.AtADriveRoot d=disc:cdrom g=empty:hd
scenario InstallFolder.LongerThan200Characters d=disc:cdrom
scenario Copy.EverythingInstalledBeforeEndsWithSuccessAndCopiesNothing d=disc:cdrom
scenario Copy.WithoutACdromDriveNothingIsCopiedAndEverythingListed d=disc:hd e=none:floppy
scenario Report.DiscWithoutVideosListsThemInWindowsLaidOutAsDesigned d=disc:cdrom
scenario Retry.EachPassListsWhatIsStillMissingAndTheLastOneEnds d=disc:cdrom
scenario ProgressWindow.ClosedByTheUserAndReopenedByRetryAsNew d=disc:cdrom
scenario Closing.TheProgramEndsWhenItsLastWindowCloses d=disc:cdrom
scenario ExitButton.WarnsThenClosesBothWindowsAndEndsWithRetryHeldOff d=disc:cdrom
scenario SuccessBox.HoldsOffRetryUntilAnswered d=disc:cdrom

wine_log "end to end: $((SECONDS - started)) s; screenshots in $artifacts"
[ ${#failed[@]} -eq 0 ] || echo "e2e: failed: ${failed[*]}"
echo "e2e: $passed passed, ${#failed[@]} failed"
[ ${#failed[@]} -eq 0 ]
