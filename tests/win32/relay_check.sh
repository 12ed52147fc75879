#!/usr/bin/env bash
# What a row's relay trace of Brenmira.exe shows, where Windows is stricter than Wine or where
# only the calls can tell (tools/e2e.sh runs it on each row's trace):
#   tests/win32/relay_check.sh RELAY-LOG
# ELEVATIONS and RETRIES say what the row allows (none unless told). docs/WINDOWS_TESTS.md
# ("Relay checks") says what each check reads, and why. A line sums up the trace; each check
# that fails prints a line naming it, and the exit code is non-zero.
set -euo pipefail
awk 'function called(name) { return index(tolower($0), ":call " tolower(name) "(") }
  function verdict(passed, check) {
    if (passed) return
    print "relay: failed: " check
    failed = 1
  }
  # The paths a call names, in upper case with one backslash between names.
  function paths(path,   rest, n) {
    for (rest = $0; match(rest, /L"[^"]*"/); rest = substr(rest, RSTART + RLENGTH)) {
      path[++n] = toupper(substr(rest, RSTART + 2, RLENGTH - 3))
      gsub(/\\+/, "\\", path[n])
    }
    return n
  }
  { thread = substr($0, 1, index($0, ":") - 1) }
  called("kernel32.SetErrorMode") {
    split($0, call, /[()]/)
    mode[thread] = call[2]
  }
  called("kernel32.GetLogicalDriveStringsA") {
    if (!asked) first = mode[thread]
    asked = program[thread] = 1
  }
  called("comctl32.InitCommonControlsEx") && !(thread in controls) { controls[thread] = NR }
  called("user32.DisableProcessWindowsGhosting") && !(thread in unghosted) {
    unghosted[thread] = NR
  }
  (called("user32.CreateWindowExW") || called("user32.MessageBoxW")) && !(thread in made) {
    made[thread] = NR
  }
  called("kernel32.GetFileAttributesExW") || called("kernel32.FindFirstFileExW") {
    listings++
    newer += $0 !~ /"(\.\.\.)?,0+,/
  }
  /:Ret  user32\.CreateWindowExW\(/ && match($0, /retval=[0-9a-f]+/) {
    own[thread, substr($0, RSTART + 7, RLENGTH - 7)] = 1
  }
  called("user32.SetForegroundWindow") {
    split($0, call, /[()]/)
    in_front[thread] = (thread, call[2]) in own
  }
  called("shell32.ShellExecuteExW") {
    elevations++
    fronted += in_front[thread]
    asking[thread] = allowing[thread] = 1
  }
  called("user32.AllowSetForegroundWindow") && allowing[thread] && !/\(0+\)/ {
    allowed++
    delete allowing[thread]
  }
  called("kernel32.SetCurrentDirectoryW") && asking[thread] && paths(path) == 1 {
    folders = folders " " path[1]
    in_folder++
    delete asking[thread]
  }
  called("user32.InvalidateRect") {
    split($0, call, /[(,]/)
    unpainted_since[toupper(call[2])] = 1
  }
  called("user32.SetWindowTextW") && /%"\)/ {
    split($0, call, /[(,]/)
    percentages++
    unpainted += unpainted_since[parent[toupper(call[2])]]
  }
  /:Call window proc .*msg=WM_CTLCOLORSTATIC,/ && match($0, /hwnd=[0-9A-Fa-f]+/) {
    window = toupper(substr($0, RSTART + 5, RLENGTH - 5))
    match($0, /lp=[0-9A-Fa-f]+/)
    parent[toupper(substr($0, RSTART + 3, RLENGTH - 3))] = window
  }
  /:Call window proc .*msg=WM_PAINT,/ && match($0, /hwnd=[0-9A-Fa-f]+/) {
    delete unpainted_since[toupper(substr($0, RSTART + 5, RLENGTH - 5))]
  }
  called("kernel32.CreateFileW") && paths(path) == 1 { opening[thread] = path[1] }
  index(tolower($0), ":ret  kernel32.createfilew(") && match($0, /retval=[0-9a-f]+/) {
    opened[substr($0, RSTART + 7, RLENGTH - 7)] = opening[thread]
  }
  called("kernel32.FlushFileBuffers") {
    split($0, call, /[()]/)
    flushed[opened[call[2]]] = 1
  }
  called("kernel32.CopyFileExW") && paths(path) == 2 { delete flushed[path[2]] }
  called("kernel32.MoveFileExW") && paths(path) == 2 {
    unflushed += path[1] ~ /\.~[0-9A-F][0-9A-F]$/ && !(path[1] in flushed)
    retried += renaming[thread] == path[1] && !index($0, "\"...,")  # not shown cut short
    renaming[thread] = path[1]
  }
  END {
    for (thread in program) {
      windowed += thread in made
      early += thread in made && !(thread in controls && controls[thread] < made[thread])
      ghosted += thread in made && !(thread in unghosted && unghosted[thread] < made[thread])
    }
    printf "relay: error mode \"%s\" before the first drive query; %d listings, %d at a level" \
      " newer than XP; %d of %d windowed threads made a window before common controls, %d with" \
      " ghosting on; %d elevated starts asked (of %d), %d in a" \
      " folder:%s, %d from a window in front, %d let come to the front after; %d percentages, %d" \
      " shown before the last step was painted; %d renames tried again (at most %d); %d renames" \
      " of a copy not written through\n", first, listings, newer, early, windowed, ghosted,
      elevations, expected, in_folder, folders, fronted, allowed, percentages, unpainted,
      retried, retries, unflushed
    verdict(!asked || first ~ /[13579bdf]$/, "critical-error boxes off before the drive query")
    verdict(!newer, "every listing at the information level XP has")
    verdict(!early, "common controls set up before the first window or message box")
    verdict(!ghosted, "window ghosting off before the first window or message box")
    verdict(elevations == expected, "elevated starts asked as often as the row says (ELEVATIONS)")
    verdict(in_folder == elevations, "each elevated start asked with a working folder")
    verdict(fronted == elevations, "each elevated start asked from a window of its own in front")
    verdict(allowed == elevations, "each elevated process let come to the front")
    verdict(!unpainted, "each progress step painted before the next")
    verdict(retried <= retries, "held files tried again no more than the row allows (RETRIES)")
    verdict(!unflushed, "each temporary copy written through to the disk before its rename")
    exit failed
  }' expected="${ELEVATIONS:-0}" retries="${RETRIES:-0}" "$1"
