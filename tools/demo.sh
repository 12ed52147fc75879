#!/usr/bin/env bash
# The program's main job on a sample disc. Builds Brenmira.exe, makes a throw-away Wine machine
# whose D: is an empty CD-ROM drive and E: a CD-ROM drive holding a generated game disc, and
# runs the program in a fresh game folder, C:\Játékok\Őrült Űrhajó.
#   tools/demo.sh [SCREENSHOT-FOLDER]
# On a desktop ($DISPLAY set) the program opens there and you answer it. Without one it runs on
# a virtual screen, where a stand-in user (tests/e2e/demo_driver.cpp) answers it, and a
# screenshot of every screen it shows goes to SCREENSHOT-FOLDER (default build/demo-screens).
set -euo pipefail
cd "$(dirname "$0")/.."
source tools/need.sh
need cmake make g++-mingw-w64-i686 googletest wine wine32:i386 fonts-wine xvfb xdotool imagemagick

cmake --preset win32 >/dev/null && cmake --build --preset win32 >/dev/null
echo "Built build/win32/app/Brenmira.exe"
desktop=${DISPLAY:-}
shots=$(realpath -m "${1:-build/demo-screens}")
if [ -z "$desktop" ]; then
  cmake -S tests/e2e -B build/e2e --toolchain "$PWD/cmake/mingw-w64-i686.cmake" \
    -DCMAKE_BUILD_TYPE=Release >/dev/null
  cmake --build build/e2e --target demo_driver -j2 >/dev/null
  rm -rf "$shots" && mkdir -p "$shots"
fi

source tools/wine.sh  # removes the machine again on exit
if [ -n "$desktop" ]; then wine_setup_desktop; else wine_setup; fi
wine_scenario demo
disc="$WINEPREFIX/disc"
tools/make_disc.sh "$disc" 16  # about 17 MB, the same every time
chmod a-w "$disc"/*/*
wine_drive d "$WINEPREFIX/no-disc" cdrom
wine_drive e "$disc" cdrom
folder="$WINEPREFIX/drive_c/Játékok/Őrült Űrhajó"
mkdir -p "$folder"
cp build/win32/app/Brenmira.exe "$folder/"

echo "Running Brenmira.exe in C:\\Játékok\\Őrült Űrhajó (D: empty CD-ROM drive, E: the disc)"
code=0
if [ -n "$desktop" ]; then
  wine_run "$folder" 3600 "$folder/Brenmira.exe" || code=$?
else
  cp build/e2e/demo_driver.exe "$WINEPREFIX/drive_c/"
  KESTOVAR_E2E_SHOTS="$shots" wine_run "$WINEPREFIX/drive_c" 150 \
    "$WINEPREFIX/drive_c/demo_driver.exe" &
  driver=$!
  wine_run "$folder" 150 "$folder/Brenmira.exe" || code=$?
  wait "$driver" || { echo "The stand-in user could not answer every screen." >&2; code=1; }
fi
echo "Brenmira.exe ended with exit code $code."

copied=0 same=0
for file in "$folder"/DATA/* "$folder"/FMV/*; do
  [ -f "$file" ] || continue
  name=${file#"$folder"/}
  copied=$((copied + 1))
  if cmp -s "$file" "$disc/$name"; then same=$((same + 1)); fi
  printf '  %-18s %9d bytes\n' "$name" "$(stat -c %s "$file")"
done
echo "Copied $copied of the 32 game files into DATA and FMV; $same identical to the disc."
if [ -z "$desktop" ]; then
  echo "Screenshots of every screen, in $shots:"
  ls -1 "$shots" | sed 's/^/  /'
fi
[ "$code" -eq 0 ] && [ "$same" -eq 32 ]
