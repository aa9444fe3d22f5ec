#!/usr/bin/env bash
# Sets up the machine, builds every configuration and runs every test: native, native
# under AddressSanitizer and UndefinedBehaviorSanitizer, 32-bit Windows under Wine, and
# the web page in Chromium; then builds the packages, tests them as installed, and builds
# them again to compare.
# Ctrl+C stops it at once.
set -euo pipefail
. "$(dirname "$0")/lib.sh"
cd "$tarvik_root"
tarvik_interruptible test
tarvik_setup

# The web preset's test compares the page with the native build's tarvik-id.
for preset in native sanitize windows web; do
  echo "== $preset"
  tarvik_step cmake --preset "$preset" >/dev/null
  tarvik_step cmake --build --preset "$preset"
  tarvik_step ctest --preset "$preset" -j2
done

# The line reader of tarvik-id under libFuzzer, for a minute, from the committed corpus.
echo "== fuzz"
CXX=clang++ tarvik_step cmake -S fuzz -B build/fuzz -G Ninja >/dev/null
tarvik_step cmake --build build/fuzz --target id_tool_fuzz
mkdir -p build/fuzz/corpus
tarvik_step build/fuzz/id_tool_fuzz -max_total_time=60 -artifact_prefix=build/fuzz/ build/fuzz/corpus fuzz/corpus \
  >build/fuzz/fuzz.log 2>&1 || { tail -n 40 build/fuzz/fuzz.log; exit 1; }
tail -n 1 build/fuzz/fuzz.log

echo "== packages"
tarvik_step scripts/package.sh
tarvik_step bash tests/packages.sh build/packages/*.deb build/packages/*.zip

# Two more package builds, compared to the byte, and a release signed with a throw-away certificate.
echo "== release"
tarvik_step bash tests/release.sh
