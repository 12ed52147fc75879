#!/usr/bin/env bash
# The program's main job on a sample disc. Builds Brenmira.exe, makes a throw-away Wine machine
# whose D: is an empty CD-ROM drive and E: a CD-ROM drive holding a generated game disc, and
# runs the program in a fresh game folder, C:\Játékok\Őrült Űrhajó.
#   tools/demo.sh [--exe EXE] [SCREENSHOT-FOLDER]
# With --exe it runs EXE (for one, the signed release) instead of building Brenmira.exe.
# On a desktop ($DISPLAY set) the program opens there and you answer it. Without one it runs on
# a virtual screen, where a stand-in user takes a screenshot of every screen the program shows
# and answers its message boxes with Enter; should the list of missing files come up, it ends
# the program there. The screenshots go into SCREENSHOT-FOLDER (default build/demo-screens)
# when it is empty or does not exist yet, else into a new folder inside it: nothing already
# there is touched. Relative names are taken from the folder the demo is started in.
set -euo pipefail
caller=$PWD
cd "$(dirname "$0")/.."
source tools/lib/wine.sh  # removes the machine again on exit
wine_pick_arch
exe=build/$WINDOWS_PRESET/app/Brenmira.exe
if [ "${1:-}" = --exe ]; then
  exe=$(cd "$caller" && realpath -e -- "$2")
  shift 2
else
  cmake --preset "$WINDOWS_PRESET" >/dev/null
  cmake --build --preset "$WINDOWS_PRESET" --target Brenmira >/dev/null
  echo "Built $exe"
fi
desktop=${DISPLAY:-}
shots=$PWD/build/demo-screens
[ $# -eq 0 ] || shots=$(cd "$caller" && realpath -m -- "$1")
if [ -n "$desktop" ]; then wine_setup_desktop; else wine_setup; fi

wine_scenario demo
disc="$WINEPREFIX/disc"
tools/make_disc.sh "$disc" 16  # about 17 MB, the same every time
chmod a-w "$disc"/*/*
wine_drive d "$WINEPREFIX/no-disc" cdrom
wine_drive e "$disc" cdrom
folder="$WINEPREFIX/drive_c/Játékok/Őrült Űrhajó"
mkdir -p "$folder"
cp "$exe" "$folder/Brenmira.exe"

# The stand-in user, until the program has ended: a screenshot of each screen once it has shown
# a moment; Enter on a message box, again every second until it is gone (a key sent too early
# can be lost).
stand_in_user() {
  local -A shot=()
  local window title count=0 ours='^(Sikeres másolás!|Kilépés|Hiba történt)$'
  while [ ! -e "$WINE_RUN_DIR/done" ]; do
    for window in $(xdotool search --onlyvisible --name "$ours"); do
      title=$(xdotool getwindowname "$window") || continue
      if [ -z "${shot[$window]:-}" ]; then
        shot[$window]=1 count=$((count + 1))
        sleep 0.5
        import -window root "$shots/$count-$title.png"
      fi
      case $title in
        "Hiba történt") wineserver -k && return ;;
        *) xdotool windowfocus "$window" key Return || true ;;
      esac
    done 2>/dev/null
    sleep 1
  done
}

echo "Running Brenmira.exe in C:\\Játékok\\Őrült Űrhajó (D: empty CD-ROM drive, E: the disc)"
code=0
if [ -n "$desktop" ]; then
  wine_run "$folder" 3600 "$folder/Brenmira.exe" || code=$?
else
  if [ -n "$(ls -A "$shots" 2>/dev/null)" ]; then
    shots=$(mktemp -d "$shots/demo-screens.XXXXXX")
  fi
  mkdir -p "$shots"
  echo "Screenshots go to $shots"
  stand_in_user &
  user=$!
  wine_run "$folder" 150 "$folder/Brenmira.exe" || code=$?
  touch "$WINE_RUN_DIR/done" && wait "$user"
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
