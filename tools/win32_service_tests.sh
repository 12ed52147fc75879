#!/usr/bin/env bash
# Runs the Win32 service tests under Wine on a machine mapped for them: C: a fixed disk,
# D: a CD-ROM drive holding a (read-only) disc, E: a CD-ROM drive with no disc.
#   tools/win32_service_tests.sh path/to/win32_service_tests.exe
set -euo pipefail
exe=$(realpath "$1")
cd "$(dirname "$0")/.."
source tools/wine.sh

wine_setup
started=$SECONDS
wine_scenario services
disc="$WINE_RUN_DIR/disc"
mkdir -p "$disc/DATA" "$disc/FMV"
echo "title" >"$disc/DATA/TITLE.TR2"
head -c 3M /dev/zero >"$disc/FMV/BIG.RPL"  # bigger than the file size limit below
chmod a-w "$disc/DATA/TITLE.TR2" "$disc/FMV/BIG.RPL"
wine_drive d "$disc" cdrom
wine_drive e "$WINE_RUN_DIR/no-disc" cdrom
tests="$WINEPREFIX/drive_c/tests"
mkdir -p "$tests"
cp "$exe" "$tests/"

export KESTOVAR_TEST_DRIVES="C:3 D:5 E:5"
export KESTOVAR_TEST_DISC_FILE='D:\DATA\TITLE.TR2'
export KESTOVAR_TEST_NO_DISC=E
export KESTOVAR_TEST_BIG_DISC_FILE='D:\FMV\BIG.RPL'

run=("$tests/win32_service_tests.exe" --gtest_color=no)
wine_run "$tests" 300 "${run[@]}" --gtest_filter='-*UnderFileSizeLimit*'
# Only the test that wants it runs under the limit; it must really have run.
output=$(wine_run_file_limited 1024 "$tests" 120 "${run[@]}" --gtest_filter='*UnderFileSizeLimit*') ||
  { echo "$output"; exit 1; }
echo "$output"
grep -q "PASSED.*1 test" <<<"$output" || { echo "the file size limit test did not run" >&2; exit 1; }
wine_log "Win32 service tests: $((SECONDS - started)) s after the template"
