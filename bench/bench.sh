#!/usr/bin/env bash
# bench.sh [BUILD_DIR] [WINDOWS_BUILD_DIR]   (defaults build/native, build/windows)
# Prints the figures tarvik's speed and size are judged by: callgrind instructions per
# UTF-16 unit of the fold and per byte of each ASCII-run kernel; tarvik-id's
# instructions per address, per byte of a long line and for an empty input (its
# start-up); the wall time of tarvik-id over a list of 1,000,000 addresses as a ratio
# to md5sum over the same file; the stripped size of native tarvik-id, and the sizes
# of the Windows programs if they are built. Run by hand on a quiet machine; needs
# valgrind, python3, strip and md5sum.
#   cmake --preset native && cmake --build --preset native --target tarvik-id fold_driver
#   bench/bench.sh
set -euo pipefail
build=${1:-build/native}
windows=${2:-build/windows}
tool=$build/cli/tarvik-id
driver=$build/bench/fold_driver
# The function whose instructions are the fold's, inclusive of what it calls.
fold_function=${FOLD_FUNCTION:-'tarvik::IdFold::Add*'}
for program in "$tool" "$driver"; do
  [ -x "$program" ] || { echo "bench: $program is missing; build it first" >&2; exit 1; }
done
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# Instructions callgrind counts for a command, standard input from $1.
instructions() {
  local input=$1
  shift
  valgrind --tool=callgrind --callgrind-out-file="$work/callgrind.out" "$@" <"$input" >/dev/null 2>"$work/valgrind.log"
  sed -n 's/.*Collected : \([0-9]*\).*/\1/p' "$work/valgrind.log"
}

# A fixed list of plausible addresses: names, separators, digits and domains drawn
# from a seeded generator, in mixed case, about 24 bytes each.
python3 - "$work" <<'PYTHON'
import random, sys
work = sys.argv[1]
rng = random.Random(20240601)
first = "anna ben carla david emma felix greta hans ida jonas kim lena max nina oskar paula quentin rosa sven tina ulrich vera walter xenia yusuf zoe".split()
last = "meyer schmidt novak rossi garcia smith jones martin bernard dubois kowalski nielsen jensen silva santos tanaka chen kim olsen berg".split()
domains = "gmail.com hotmail.com outlook.com yahoo.de web.de gmx.net mail.ru example.org uni-bonn.de posteo.de".split()
def case(word):
    r = rng.random()
    return word.capitalize() if r < 0.5 else word.upper() if r < 0.6 else word
def address():
    name = case(rng.choice(first)) + rng.choice(["", ".", "_", "-"]) + case(rng.choice(last))
    if rng.random() < 0.4:
        name += str(rng.randrange(1, 2000))
    return name + "@" + case(rng.choice(domains))
with open(f"{work}/list", "w", newline="") as f:
    for _ in range(1_000_000):
        f.write(address() + "\n")
with open(f"{work}/line", "w", newline="") as f:
    text = "Firstname.Lastname7@Ex.COM"
    f.write((text * (2**20 // len(text) + 1))[: 2**20] + "\n")
PYTHON
head -n 100000 "$work/list" >"$work/sample"
: >"$work/empty"
list_bytes=$(stat -c %s "$work/list")

fold_small=$(instructions "$work/empty" --toggle-collect="$fold_function" "$driver" 1048576)
# Each kernel this processor runs, on 1 MiB of ASCII in one run.
kernels=""
for kernel in bytewise sse2 avx2; do
  count=$(instructions "$work/empty" --toggle-collect='tarvik::detail::FoldAsciiRun*' "$driver" 1048576 "$kernel" || true)
  [ -n "$count" ] && kernels+=$(awk -v kernel="$kernel" -v count="$count" 'BEGIN { printf "%s %.3f, ", kernel, count / 1048576 }')
done
strip -o "$work/tarvik-id.stripped" "$tool"
stripped=$(stat -c %s "$work/tarvik-id.stripped")
base=$(instructions "$work/empty" "$tool")
sample=$(instructions "$work/sample" "$tool")
line=$(instructions "$work/line" "$tool")

# Alternated runs, so that a change in the machine's load hits both alike.
ratio=$(python3 - "$tool" "$work/list" <<'PYTHON'
import statistics, subprocess, sys, time
tool, path = sys.argv[1], sys.argv[2]
def timed(command, stdin=None):
    start = time.perf_counter()
    subprocess.run(command, stdin=stdin, stdout=subprocess.DEVNULL, check=True)
    return time.perf_counter() - start
ratios = []
for _ in range(7):
    with open(path, "rb") as f:
        tarvik = timed([tool], stdin=f)
    ratios.append(tarvik / timed(["md5sum", path]))
print(f"{statistics.median(ratios):.2f} (pairs: {' '.join(f'{r:.2f}' for r in ratios)})")
PYTHON
)

awk -v fold="$fold_small" -v base="$base" -v sample="$sample" -v line="$line" -v bytes="$list_bytes" \
    -v ratio="$ratio" -v kernels="${kernels%, }" -v stripped="$stripped" 'BEGIN {
  printf "fold of a 1 MiB text (IdFold::Add):  %8.2f instructions per UTF-16 unit\n", fold / 1048576
  printf "ASCII-run kernels, 1 MiB:            %s instructions per byte\n", kernels
  printf "tarvik-id, 100,000 typical addresses: %7.1f instructions per address (goal <= 250)\n", (sample - base) / 100000
  printf "tarvik-id, one 1 MiB line:           %8.2f instructions per byte (goal <= 1.5)\n", (line - base) / 1048577
  printf "tarvik-id, empty input (start-up):   %8d instructions (goal <= 300,000)\n", base
  printf "tarvik-id, stripped:                 %8d bytes (goal <= 65,536)\n", stripped
  printf "tarvik-id < list / md5sum list:      %s, median of 7 alternated pairs (goal <= 1.5)\n", ratio
  printf "  (list: 1,000,000 addresses, %d bytes)\n", bytes
}'
for program in app/tarvik.exe:36864 cli/tarvik-id.exe:40960; do
  file=$windows/${program%:*}
  [ -f "$file" ] && printf '%-37s%8d bytes (goal <= %d)\n' "windows ${file##*/}:" "$(stat -c %s "$file")" "${program#*:}"
done
exit 0
