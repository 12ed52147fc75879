#!/usr/bin/env bash
# The program's main job. Until the Windows program exists: the copy engine's whole passes,
# run on the simulated machine of the tests.
set -euo pipefail
cd "$(dirname "$0")/.."
exec tools/test.sh
