#!/usr/bin/env bash
# Builds everything and runs every test. Installs what it needs first.
set -euo pipefail
cd "$(dirname "$0")/.."
source tools/need.sh

need cmake make g++ libgtest-dev libgmock-dev
cmake --preset native
cmake --build --preset native
ctest --preset native
