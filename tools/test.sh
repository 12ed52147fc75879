#!/usr/bin/env bash
# Builds everything and runs every test. Installs what it needs first.
set -euo pipefail
cd "$(dirname "$0")/.."
source tools/need.sh

need cmake make g++ libgtest-dev libgmock-dev
cmake --preset native
cmake --build --preset native
ctest --preset native

# The benchmark's native programs are built, not run: it stays in step with the engine.
need libx11-dev
cmake -S bench -B build/bench -DCMAKE_BUILD_TYPE=Release
cmake --build build/bench -j2

# The Windows program and its Win32 tests, cross-built and run under Wine.
need g++-mingw-w64-i686 googletest wine wine32:i386 xvfb
cmake --preset win32
cmake --build --preset win32
tools/win32_service_tests.sh build/win32/tests/win32/win32_service_tests.exe

# Brenmira.exe end to end: the real exe under Wine and Xvfb, driven as a user drives it.
need xdotool imagemagick fonts-wine
tools/e2e.sh
