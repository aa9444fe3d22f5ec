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

# The line reader of tarvik-id under libFuzzer, for a minute, from the committed corpus.
echo "== fuzz"
CXX=clang++ cmake -S fuzz -B build/fuzz -G Ninja >/dev/null
cmake --build build/fuzz --target id_tool_fuzz
mkdir -p build/fuzz/corpus
build/fuzz/id_tool_fuzz -max_total_time=60 -artifact_prefix=build/fuzz/ build/fuzz/corpus fuzz/corpus \
  >build/fuzz/fuzz.log 2>&1 || { tail -n 40 build/fuzz/fuzz.log; exit 1; }
tail -n 1 build/fuzz/fuzz.log

echo "== packages"
scripts/package.sh
bash tests/packages.sh build/packages/*.deb build/packages/*.zip
