#!/usr/bin/env bash
# Installs what a Debian machine lacks to build, run and test tarvik, and makes 32-bit
# Windows programs runnable under Wine. It changes only what its checks find missing,
# so on a ready machine it needs no root and says only that it is ready.
#
#   setup.sh            check, and set up what is missing (that part as root)
#   setup.sh --check    only check: exit 0 when ready, 1 naming what is missing
#   setup.sh --dry-run  print what setting up would change, and change nothing
set -euo pipefail

packages=(
  cmake ninja-build g++ git python3
  googletest libgtest-dev libbenchmark-dev
  clang libclang-rt-dev valgrind
  g++-mingw-w64-i686 binutils-mingw-w64-i686
  wine wine32:i386 wine64 fonts-wine
  xvfb x11-apps x11-utils imagemagick
  locales
  dpkg-dev file lintian desktop-file-utils man-db unzip osslsigncode openssl
  lld wasi-libc libc++-14-dev-wasm32 libc++abi-14-dev-wasm32 libclang-rt-14-dev-wasm32
  fonts-liberation  # a sans-serif of common widths, in which the page's labels fit as the window's do
)
# The page's test needs these programs, from wherever they come: Node may be from
# elsewhere than Debian. Each is installed from Debian when it is missing.
programs=(node:nodejs npm:npm chromium:chromium)
web_tests=tests/web

mode=${1:-}
case $mode in
  ''|--check|--dry-run) ;;
  *) echo "usage: setup.sh [--check | --dry-run]" >&2; exit 2 ;;
esac
dry() { [ "$mode" = --dry-run ]; }
# Every change goes through here, so that a dry run shows it instead.
change() { if dry; then echo "+ $*"; else "$@"; fi; }
# write [-a] FILE: standard input into FILE (-a: appended to it)
write() {
  local to='>'
  [ "$1" != -a ] || { to='>>'; shift; }
  if dry; then echo "+ write $to $1:"; sed 's/^/    /'; elif [ "$to" = '>' ]; then cat >"$1"; else cat >>"$1"; fi
}

native_arch=$(dpkg --print-architecture)
missing_packages() {
  dpkg-query -W -f='${Package}:${Architecture} ${db:Status-Abbrev}\n' "${packages[@]}" 2>/dev/null |
    awk -v native="$native_arch" '
      $2 == "ii" { split($1, p, ":"); ok[$1]; if (p[2] == native || p[2] == "all") ok[p[1]] }
      END { n = split(want, w, " "); for (i = 1; i <= n; i++) if (!(w[i] in ok)) print w[i] }' \
      want="${packages[*]}"
}
missing_programs() {
  local entry
  for entry in "${programs[@]}"; do command -v "${entry%%:*}" >/dev/null || echo "${entry#*:}"; done
}
source_root=$(cd "$(dirname "$0")/.." && pwd)
has_node_modules() { [ -d "$source_root/$web_tests/node_modules" ]; }
has_i386_arch() { dpkg --print-foreign-architectures | grep -qx i386; }
has_locale() { locale -a 2>/dev/null | grep -qix 'ja_JP\.utf-\?8'; }
# wine32 brings the i386 loader; before that there is nothing to try.
i386_loader=/lib/ld-linux.so.2
i386_runs() { "$i386_loader" --version >/dev/null 2>&1; }

todo=()
has_i386_arch || todo+=("the i386 architecture")
mapfile -t absent < <(missing_packages; missing_programs)
((${#absent[@]} == 0)) || todo+=("packages ${absent[*]}")
has_node_modules || todo+=("the node packages of $web_tests")
has_locale || todo+=("the ja_JP.UTF-8 locale")
[ ! -e "$i386_loader" ] || i386_runs || todo+=("a way to run i386 programs")

if ((${#todo[@]} == 0)); then
  echo "setup: ready"
  exit 0
fi
missing=$(IFS=';'; echo "${todo[*]}" | sed 's/;/; /g')
if [ "$mode" = --check ]; then
  echo "setup: missing: $missing" >&2
  exit 1
fi
if ! dry && [ "$(id -u)" -ne 0 ]; then
  echo "setup: missing: $missing; run this script as root" >&2
  exit 1
fi
echo "setup: installing $missing"
export DEBIAN_FRONTEND=noninteractive
apt_get() { change apt-get -q -o Dpkg::Use-Pty=0 "$@"; }
updated=
apt_update() { [ -n "$updated" ] || apt_get update; updated=1; }

# wine32 is an i386 package: the multiarch switch must come before the index update.
has_i386_arch || change dpkg --add-architecture i386
if ((${#absent[@]})); then
  apt_update
  apt_get install -y --no-install-recommends "${absent[@]}"
fi

# The page's test drives Chromium with the versions the lock file names; npm as the
# owner of the clone, so that its node_modules is not root's.
if ! has_node_modules; then
  owner=$(stat -c %U "$source_root")
  if [ "$owner" = "$(id -un)" ]; then
    change npm ci --prefix "$source_root/$web_tests" --no-audit --no-fund
  else
    change runuser -u "$owner" -- npm ci --prefix "$source_root/$web_tests" --no-audit --no-fund
  fi
fi

# The double-byte tests run Wine under a Japanese locale, which glibc must have generated.
if ! has_locale; then
  grep -q '^ja_JP.UTF-8 UTF-8' /etc/locale.gen 2>/dev/null || echo 'ja_JP.UTF-8 UTF-8' | write -a /etc/locale.gen
  change locale-gen
fi

if i386_runs; then
  exit 0
elif dry && [ ! -e "$i386_loader" ]; then
  echo "+ (once wine32 is in: if i386 programs do not run, qemu-user and its binfmt_misc registration)"
  exit 0
fi

# Some kernels (virtual machines among them) boot with 32-bit emulation off, so Wine's
# i386 loader cannot exec: route i386 ELF files through qemu-user instead. Wine's 32-bit
# half reserves address space in a way the qemu of bookworm proper handles page by page
# (about a minute per process); the backported one takes a second.
echo "setup: this kernel does not run i386 programs; they will run through qemu-user (binfmt_misc)"
. /etc/os-release
backports=$VERSION_CODENAME-backports

# The machine's own apt sources, one line per entry: TYPES<tab>URIS<tab>SUITES<tab>SIGNED-BY,
# from both the deb822 .sources files and the one-line .list format. An inline key
# (Signed-By holding the key itself) keeps its lines joined by "\n".
apt_sources() {
  local files=()
  for f in /etc/apt/sources.list /etc/apt/sources.list.d/*.list /etc/apt/sources.list.d/*.sources; do
    [ ! -f "$f" ] || files+=("$f")
  done
  ((${#files[@]})) || return 0
  awk '
    function flush() {
      if (types != "" && tolower(enabled) != "no") printf "%s\t%s\t%s\t%s\n", types, uris, suites, signed
      types = uris = suites = signed = enabled = field = ""
    }
    FNR == 1 { flush() }
    FILENAME ~ /\.sources$/ {
      if (/^[ \t]*#/) next
      if (/^[ \t]*$/) { flush(); next }
      if (/^[ \t]/) { if (field == "signed-by") signed = signed "\\n" substr($0, 2); next }
      colon = index($0, ":"); field = tolower(substr($0, 1, colon - 1)); value = substr($0, colon + 1)
      gsub(/^[ \t]+|[ \t]+$/, "", value)
      if (field == "types") types = value
      else if (field == "uris") uris = value
      else if (field == "suites") suites = value
      else if (field == "signed-by") signed = value
      else if (field == "enabled") enabled = value
      next
    }
    {
      # deb [option=value ...] URI SUITE COMPONENT...
      sub(/#.*/, "")
      signed = ""
      if (match($0, /\[[^]]*\]/)) {
        n = split(substr($0, RSTART + 1, RLENGTH - 2), option, " ")
        for (i = 1; i <= n; i++) if (tolower(option[i]) ~ /^signed-by=/) signed = substr(option[i], 11)
        $0 = substr($0, 1, RSTART - 1) " " substr($0, RSTART + RLENGTH)
      }
      if ($1 == "deb") printf "deb\t%s\t%s\t%s\n", $2, $3, signed
    }
    END { flush() }
  ' "${files[@]}"
}
has_suite() { apt_sources | awk -F'\t' -v s="$1" '$1 ~ /(^| )deb( |$)/ { n = split($3, a, " "); for (i = 1; i <= n; i++) if (a[i] == s) found = 1 } END { exit !found }'; }

if ! has_suite "$backports"; then
  # The backports live beside the distribution itself, on the same mirror and signed by
  # the same key.
  main=$(apt_sources | awk -F'\t' -v s="$VERSION_CODENAME" '
    $1 ~ /(^| )deb( |$)/ { n = split($3, a, " "); for (i = 1; i <= n; i++) if (a[i] == s) { print; exit } }')
  if [ -z "$main" ]; then
    echo "setup: no apt source for $VERSION_CODENAME, from which to take the mirror of $backports" >&2
    exit 1
  fi
  IFS=$'\t' read -r _ uris _ signed <<<"$main"
  {
    printf 'Types: deb\nURIs: %s\nSuites: %s\nComponents: main\n' "${uris%% *}" "$backports"
    [ -z "$signed" ] || printf 'Signed-By: %b\n' "${signed//\\n/\\n }"
  } | write /etc/apt/sources.list.d/tarvik-backports.sources
  updated=
fi
if ! dpkg --compare-versions "$(dpkg-query -W -f='${Version}' qemu-user-static 2>/dev/null)" ge 1:8; then
  apt_update
  apt_get install -y --no-install-recommends -t "$backports" qemu-user-static
fi

# The F flag pins the interpreter binary of the moment, so this comes after the backport.
binfmt=/proc/sys/fs/binfmt_misc
[ -e "$binfmt/register" ] || change mount -t binfmt_misc binfmt_misc "$binfmt"
[ ! -e "$binfmt/qemu-i386" ] || echo -1 | write "$binfmt/qemu-i386"
echo ':qemu-i386:M::\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00:\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff:/usr/bin/qemu-i386-static:OCF' |
  write "$binfmt/register"
dry || i386_runs || { echo "setup: i386 programs still do not run" >&2; exit 1; }
