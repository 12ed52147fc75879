#!/usr/bin/env bash
# The Windows tests under Wine and Xvfb: the platform services on a real (Wine) file system, and
# Brenmira.exe end to end, driven as a user drives it. Each row below runs its tests of
# tests/win32/ in a fresh prefix with the drives it maps. Screenshots and the row's relay trace
# stay in build/e2e-artifacts/<row>/.
#   tools/e2e.sh [PATTERN]    only the rows whose filter matches PATTERN (grep -E)
set -euo pipefail
cd "$(dirname "$0")/.."
source tools/lib/wine.sh
pattern=${1:-.}
artifacts=$PWD/build/e2e-artifacts

wine_pick_arch
need fonts-open-sans e2fsprogs googletest
cmake --preset "$WINDOWS_PRESET" -DKESTOVAR_WINDOWS_TESTS=ON >/dev/null
cmake --build --preset "$WINDOWS_PRESET" >/dev/null
build=build/$WINDOWS_PRESET

# Open Sans 9 pt as a LOGFONTW, the registry's way: height -12, weight 400, the face's name.
open_sans_9=f4,ff,ff,ff$(printf ',00%.0s' {1..12}),90,01,00,00,00,00,00,01,00,00,00,00
open_sans_9+=,4f,00,70,00,65,00,6e,00,20,00,53,00,61,00,6e,00,73$(printf ',00%.0s' {1..47})

started=$SECONDS
wine_setup
# Every row's Windows looks like today's where it matters to our windows: the message font is
# wider than the dialog font the layout was drawn for (Open Sans 9 pt standing in for Segoe UI),
# and menus have a colour of their own, as on XP's default theme, so the instruction's shows.
printf '\n[Control Panel\\\\Desktop\\\\WindowMetrics]\n"MessageFont"=hex:%s\n' "$open_sans_9" \
  >>"$WINE_TEMPLATE/user.reg"
printf '\n[Control Panel\\\\Colors]\n"Menu"="255 251 230"\n' >>"$WINE_TEMPLATE/user.reg"
# Wine's relay trace, which every row writes, names only the calls tests/win32/relay_check.sh reads.
printf '\n[Software\\\\Wine\\\\Debug]\n"RelayInclude"="%s"\n' \
  "kernel32.SetErrorMode;kernel32.GetLogicalDriveStringsA;kernel32.GetFileAttributesExW;"\
"kernel32.FindFirstFileExW;comctl32.InitCommonControlsEx;user32.CreateWindowExW;"\
"user32.MessageBoxW;kernel32.MoveFileExW;shell32.ShellExecuteExW;"\
"kernel32.SetCurrentDirectoryW;user32.SetWindowTextW;user32.InvalidateRect;kernel32.CreateFileW;"\
"kernel32.FlushFileBuffers;kernel32.CopyFileExW;user32.DisableProcessWindowsGhosting;"\
"user32.SetForegroundWindow;user32.AllowSetForegroundWindow" \
  >>"$WINE_TEMPLATE/user.reg"
rm -rf "$artifacts"
# The game's disc, small enough to copy in a blink; read-only like a real one.
spare="$WINE_RUN_DIR/spare"
tools/make_disc.sh "$spare" 64
chmod a-w "$spare"/*/*
passed=0 failed=()

# row FILTER DRIVE...  runs the tests that the GoogleTest FILTER names ("A.*:B.C"), in one prefix
#   (tests/win32/windows_test.cpp's Fresh gives each the row's drives as they came). DRIVE is
#   LETTER=WHAT:TYPE, TYPE cdrom, hd, floppy or network, and WHAT
#   disc   the game's disc (a copy per row; tests may change it)
#   big    the same, with one video bigger than the file size limit of every row
#   other  another game's disc        wrong  our file names with other content
#   none   no disc, no medium         empty  an empty folder
# With DPI=N the row's screen has N dots per inch. With WINDOWS=xp, vista7 or 10 the program runs
# as that Windows generation (tests/win32/generation.cpp), and Wine says it is that Windows.
row() {
  local tests=$1 drive letter what type dir disc=""
  shift
  grep -qE "$pattern" <<<"$tests" || return 0
  # Named by its filter, "A.*:B.C" as "A+B.C"; its artifacts' folder too, with "-144dpi" or "-xp".
  local base=${tests//.\*/}
  base=${base//:/+}
  local begun=$SECONDS name=$base${DPI:+ at $DPI DPI}${WINDOWS:+ as $WINDOWS}
  wine_scenario row
  if [ -n "${DPI:-}" ]; then
    printf '\n[Control Panel\\\\Desktop]\n"LogPixels"=dword:%08x\n' "$DPI" >>"$WINEPREFIX/user.reg"
  fi
  if [ -n "${WINDOWS:-}" ]; then
    local -A versions=([xp]=winxp [vista7]=vista [10]=win10)
    local version=${versions[$WINDOWS]}
    [ "$version$WINEARCH" != winxpwin64 ] || version=winxp64  # Wine's name for 64-bit XP
    printf '\n[Software\\\\Wine]\n"Version"="%s"\n' "$version" >>"$WINEPREFIX/user.reg"
  fi
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
  local here="$WINEPREFIX/drive_c/tests"
  local shots="$artifacts/$base${DPI:+-${DPI}dpi}${WINDOWS:+-$WINDOWS}"
  mkdir -p "$here" "$shots"
  cp "$build/app/Brenmira.exe" "$build/tests/win32/windows_tests.exe" \
    "$build/tests/win32/refuse_windows.dll" "$build/tests/win32/planted_uxtheme.dll" \
    "$build/tests/win32/generation.dll" "$here/"
  local code=0 result=passed
  # The trace (standard error) goes through a pipe to a writer of its own: the file size limit is
  # the programs', and would cut it short. The writer ends once the prefix's last process has.
  KESTOVAR_DISC="${disc^^}:\\" KESTOVAR_DISC_FOLDER="$WINEPREFIX/drives/$disc" \
    KESTOVAR_SPARE="$spare" KESTOVAR_SHOTS="$shots" KESTOVAR_WINDOWS="${WINDOWS:-}" \
    WINEDEBUG=-all,+relay \
    wine_run_file_limited 4096 "$here" 240 "$here/windows_tests.exe" --gtest_filter="$tests" \
    --gtest_color=no 2> >(cat >"$shots/relay.log") || code=$?
  local tracer=$!
  # A test cut short may leave its folder immutable (chattr), where nothing could remove it.
  chattr -R -i "$WINEPREFIX/drive_c/Játékok" 2>/dev/null || true
  wine_end_scenario
  wait "$tracer"
  [ "$code" -ne 0 ] || tests/win32/relay_check.sh "$shots/relay.log" || code=$?
  if [ "$code" -eq 0 ]; then passed=$((passed + 1)); else failed+=("$name") result="FAILED ($code)"; fi
  echo "e2e: $name: $result in $((SECONDS - begun)) s"
}

# Every drive letter: floppies without a disk, fixed and network disks (one with our file names),
# empty CD-ROM drives and another game's disc before ours, a wrong one after it.
every_letter=(a=none:floppy b=none:floppy d=wrong:hd {e..l}=empty:hd {m..q}=none:cdrom
  r=other:cdrom {s..x}=empty:network y=disc:cdrom z=wrong:cdrom)

# The tests of a folder that refuses every write (three elevated starts where Windows has UAC).
refusing='Elevation.*:AdministratorsPass.*:PlayersPass.*:ElevatedInstance.*'
# (C: is always there: the system drive, where the installation folders are made.)
ELEVATIONS=3 row "Services.*:LongFolder.*:Leftovers.*:$refusing:MainWindow.*:Retry.*:Closing.*" \
  d=disc:cdrom
# A DLL of the system's name beside the exe taken before Wine's own, as players set for games.
every_kind='DiscFound.*:StartInAWindowsFolder.*:PlantedDll.*'
WINEDLLOVERRIDES="$WINEDLLOVERRIDES;uxtheme=n,b" row "$every_kind" "${every_letter[@]}"
RETRIES=150 row InstallFolder.WithFilesInTheWay d=big:cdrom
# As today's Windows, which refuses to rename over a read-only file as Wine does not, and with
# UAC, where an elevated token is an administrator's ("Run as administrator").
WINDOWS=10 ELEVATIONS=3 row "DamagedCopy.*:DriveRoot.*:$refusing" d=disc:cdrom g=empty:hd
DPI=144 row MainWindow.* d=disc:cdrom
# The branches that older Windows take, where Wine has every function the program looks up
# (docs/WINDOWS_TESTS.md says which row runs which).
for windows in xp vista7; do
  WINDOWS=$windows WINEDLLOVERRIDES="$WINEDLLOVERRIDES;uxtheme=n,b" \
    row "$every_kind" "${every_letter[@]}"
done
WINDOWS=xp row "$refusing:MainWindow.*" d=disc:cdrom

wine_log "Windows tests: $((SECONDS - started)) s; screenshots in $artifacts"
[ ${#failed[@]} -eq 0 ] || echo "e2e: failed: ${failed[*]}"
echo "e2e: $passed passed, ${#failed[@]} failed"
[ ${#failed[@]} -eq 0 ]
