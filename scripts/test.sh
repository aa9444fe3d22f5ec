#!/usr/bin/env bash
# Sets up the machine, builds every configuration and runs every test: native, native
# under AddressSanitizer and UndefinedBehaviorSanitizer, and 32-bit Windows under Wine.
set -euo pipefail
cd "$(dirname "$0")/.."

if [ "$(id -u)" -eq 0 ]; then bash scripts/setup.sh; else sudo bash scripts/setup.sh; fi

for preset in native sanitize windows; do
  echo "== $preset"
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset"
  ctest --preset "$preset" -j2
done
