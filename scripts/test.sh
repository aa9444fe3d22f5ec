#!/usr/bin/env bash
# Sets up the machine, builds every configuration and runs every test: native, native
# under AddressSanitizer and UndefinedBehaviorSanitizer, and 32-bit Windows under Wine;
# then builds the packages and tests them as installed.
set -euo pipefail
cd "$(dirname "$0")/.."

# Unprivileged, the set-up only checks: it names what is missing, or passes.
if [ "$(id -u)" -eq 0 ]; then bash scripts/setup.sh
elif command -v sudo >/dev/null; then sudo bash scripts/setup.sh
else bash scripts/setup.sh
fi

for preset in native sanitize windows; do
  echo "== $preset"
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset"
  ctest --preset "$preset" -j2
done

echo "== packages"
scripts/package.sh
bash tests/packages.sh build/packages/*.deb build/packages/*.zip
