# Sourced by the scripts that run our Windows programs under Wine: one template prefix and one
# Xvfb per run, a throw-away copy of the template per scenario, drive letters mapped to folders.
#
#   wine_pick_arch                  installs Wine, CMake and the cross compiler; sets WINDOWS_PRESET
#   wine_setup                      template prefix and display; removed again on exit
#   wine_setup_desktop              the template only, for the desktop on $DISPLAY (its own
#                                   window manager frames Wine's windows)
#   wine_scenario NAME              fresh prefix copied from the template (only C: mapped)
#   wine_drive LETTER DIR [TYPE]    maps LETTER: to DIR; TYPE cdrom, hd, floppy or network.
#                                   A CD-ROM letter on a missing DIR is a drive with no disc.
#   wine_run DIR SECONDS EXE [ARG]  runs EXE (a host path inside a mapped drive) with the host
#                                   folder DIR as current directory; its exit code, 124 on time out
#   wine_run_file_limited KIB DIR SECONDS EXE [ARG]
#                                   the same, with no file written beyond KIB kibibytes: a real
#                                   write failure half-way through a file
#   wine_end_scenario               stops the scenario's wineserver and removes its prefix
#   wine_teardown                   everything above, at once (installed as the EXIT trap)
#
# Every wait is bounded. Nothing here touches ~/.wine or any prefix it did not make.

WINE_RUN_DIR=""
WINE_TEMPLATE=""
WINE_XVFB_PID=""

export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="  # no Mono or Gecko prompts

source "$(dirname "${BASH_SOURCE[0]}")/need.sh"

wine_log() { echo "wine.sh: $*" >&2; }

# Brenmira.exe is a 32-bit program and is tested as one, in 32-bit Wine. A machine whose kernel
# runs no 32-bit code (its 32-bit emulation switched off) has only 64-bit Wine to offer: there the
# same sources are built for x86-64 (the win64 preset) and tested in a 64-bit prefix, said aloud.
# WINDOWS_PRESET=win64 in the environment takes that path on any machine, to try it.
wine_pick_arch() {
  need cmake make g++-mingw-w64-i686 wine wine32:i386 fonts-wine xvfb xdotool imagemagick
  if [ "${WINDOWS_PRESET:-}" != win64 ] && /usr/lib/wine/wine --version >/dev/null 2>&1; then
    export WINEARCH=win32 WINE=/usr/lib/wine/wine WINDOWS_PRESET=win32
  else
    need g++-mingw-w64-x86-64 wine64
    export WINEARCH=win64 WINE=/usr/lib/wine/wine64 WINELOADER=/usr/lib/wine/wine64
    export WINDOWS_PRESET=win64
    wine_log "no 32-bit programs here (or WINDOWS_PRESET=win64): the x86-64 build in 64-bit Wine stands in"
  fi
}

wine_setup() {
  wine_make_template || return 1
  # No window manager on the display: Wine draws the frames and title bars itself.
  printf '\n[Software\\\\Wine\\\\X11 Driver]\n"Decorated"="N"\n"Managed"="N"\n' \
    >>"$WINE_TEMPLATE/user.reg"
  wine_start_display
}

wine_setup_desktop() { wine_make_template; }

wine_make_template() {
  [ -n "${WINE:-}" ] || wine_pick_arch
  local started=$SECONDS
  WINE_RUN_DIR=$(mktemp -d /tmp/kestovar-wine.XXXXXX)
  trap wine_teardown EXIT
  WINE_TEMPLATE="$WINE_RUN_DIR/template"
  # Making a prefix has been seen to fail once while other prefixes kept the machine busy: its
  # own words are shown, and it is tried once more from scratch before giving up.
  local attempt
  for attempt in 1 2; do
    rm -rf "$WINE_TEMPLATE"
    WINEPREFIX="$WINE_TEMPLATE" timeout -k 5 180 env -u DISPLAY "$WINE" wineboot -i \
      >"$WINE_RUN_DIR/wineboot.log" 2>&1 && break
    wine_log "wineboot failed (attempt $attempt of 2), saying:"
    tail -n 20 "$WINE_RUN_DIR/wineboot.log" >&2
    WINEPREFIX="$WINE_TEMPLATE" timeout 30 wineserver -k 2>/dev/null || true
    wine_stop_leftovers "$WINE_TEMPLATE"
    [ "$attempt" -lt 2 ] || { wine_log "could not make a Wine prefix"; return 1; }
    wine_log "trying once more"
  done
  WINEPREFIX="$WINE_TEMPLATE" timeout 30 wineserver -k 2>/dev/null || true
  WINEPREFIX="$WINE_TEMPLATE" timeout 30 wineserver -w 2>/dev/null || true
  wine_stop_leftovers "$WINE_TEMPLATE"
  # Wine's own fonts (fonts-wine): Debian's Wine does not look for them where the package puts
  # them. Without Marlett the title bar buttons show as letters; Tahoma is the dialog font.
  if [ -d /usr/share/wine/fonts ]; then
    ln -sf /usr/share/wine/fonts/* "$WINE_TEMPLATE/drive_c/windows/Fonts/"
  fi
  wine_log "template prefix ready in $((SECONDS - started)) s"
}

# One Xvfb for the whole run, on a free display number, never outliving the run by much.
wine_start_display() {
  local fd_file="$WINE_RUN_DIR/display"
  timeout -k 5 3600 Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp \
    3>"$fd_file" >/dev/null 2>&1 &
  WINE_XVFB_PID=$!
  local waited=0
  while [ ! -s "$fd_file" ]; do
    ((waited++ < 100)) || { wine_log "Xvfb did not start"; return 1; }
    kill -0 "$WINE_XVFB_PID" 2>/dev/null || { wine_log "Xvfb failed"; return 1; }
    sleep 0.1
  done
  export DISPLAY=":$(head -n1 "$fd_file")"
}

wine_scenario() {
  local name=$1
  [ -n "$WINE_TEMPLATE" ] || { wine_log "wine_setup first"; return 1; }
  export WINEPREFIX="$WINE_RUN_DIR/$name"
  rm -rf "$WINEPREFIX"
  cp -a "$WINE_TEMPLATE" "$WINEPREFIX"
  # The drive list is exactly what the scenario maps: C: stays, for Windows itself.
  find "$WINEPREFIX/dosdevices" -mindepth 1 -maxdepth 1 ! -name 'c:' -exec rm -f {} +
}

wine_drive() {
  local letter=${1,,} dir=$2 type=${3:-}
  ln -sfn "$dir" "$WINEPREFIX/dosdevices/$letter:"
  if [ -n "$type" ]; then
    # Wine reads drive types when its server starts, so the server must be down now.
    timeout 30 wineserver -k 2>/dev/null || true
    printf '\n[Software\\\\Wine\\\\Drives]\n"%s:"="%s"\n' "$letter" "$type" \
      >>"$WINEPREFIX/system.reg"
  fi
}

wine_run() {
  local dir=$1 seconds=$2
  shift 2
  local code=0
  (cd "$dir" && timeout -k 5 "$seconds" "$WINE" "$@") || code=$?
  [ "$code" -ne 124 ] || wine_log "timed out after $seconds s: $*"
  return "$code"
}

wine_run_file_limited() {
  local kib=$1
  shift
  # The Wine server writes the registry: start it first, without the limit.
  timeout 30 wineserver -k 2>/dev/null || true
  timeout 30 wineserver -w 2>/dev/null || true
  timeout 30 wineserver -p60 || { wine_log "could not start the Wine server"; return 1; }
  # Past the limit a write fails instead of the process being killed.
  (
    trap '' XFSZ
    ulimit -f "$kib"
    wine_run "$@"
  )
}

# Wine processes of our prefixes that outlived their server (a service wineboot started late
# has been seen to): found by their WINEPREFIX, stopped by their process id.
wine_stop_leftovers() {
  local prefix=$1 pids=() environ pid
  for environ in /proc/[0-9]*/environ; do
    pid=${environ#/proc/}
    pid=${pid%/environ}
    [ "$pid" != "$$" ] && [ "$pid" != "$BASHPID" ] || continue
    { tr '\0' '\n' <"$environ"; } 2>/dev/null | grep -qF "WINEPREFIX=$prefix" && pids+=("$pid")
  done
  [ ${#pids[@]} -gt 0 ] || return 0
  wine_log "stopping leftover Wine processes ${pids[*]}"
  kill "${pids[@]}" 2>/dev/null || true
  sleep 0.5
  kill -KILL "${pids[@]}" 2>/dev/null || true
}

wine_end_scenario() {
  [ -n "${WINEPREFIX:-}" ] && [ -d "$WINEPREFIX" ] || return 0
  timeout 30 wineserver -k 2>/dev/null || true
  timeout 30 wineserver -w 2>/dev/null || true
  wine_stop_leftovers "$WINEPREFIX"
  case "$WINEPREFIX" in "$WINE_RUN_DIR"/*) rm -rf "$WINEPREFIX" ;; esac
  unset WINEPREFIX
}

wine_teardown() {
  wine_end_scenario
  if [ -n "$WINE_XVFB_PID" ]; then
    kill "$WINE_XVFB_PID" 2>/dev/null || true
    wait "$WINE_XVFB_PID" 2>/dev/null || true
    WINE_XVFB_PID=""
  fi
  if [ -n "$WINE_RUN_DIR" ]; then
    wine_stop_leftovers "$WINE_RUN_DIR/"
    rm -rf "$WINE_RUN_DIR"
    WINE_RUN_DIR=""
  fi
}
