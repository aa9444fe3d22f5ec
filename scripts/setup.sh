#!/usr/bin/env bash
# Installs everything a fresh Debian machine needs to build, run and test tarvik,
# and makes 32-bit Windows programs runnable under Wine. Idempotent; run as root.
set -euo pipefail

packages=(
  cmake ninja-build g++ git python3
  googletest libgtest-dev libbenchmark-dev
  clang libclang-rt-dev valgrind
  g++-mingw-w64-i686 binutils-mingw-w64-i686
  wine wine32:i386 wine64 fonts-wine
  xvfb x11-apps x11-utils imagemagick
  locales
  dpkg-dev file lintian desktop-file-utils man-db unzip
)
# Wine's 32-bit half reserves address space in a way the qemu of bookworm proper
# handles page by page (about a minute per process); the backported one takes a second.
backported=(qemu-user-static)

need_root() {
  if [ "$(id -u)" -ne 0 ]; then
    echo "setup: $1; run this script as root" >&2
    exit 1
  fi
}

installed() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q 'install ok installed'; }

backports=/etc/apt/sources.list.d/tarvik-backports.sources
missing=()
for p in "${packages[@]}"; do installed "$p" || missing+=("$p"); done
installed qemu-user-static && dpkg --compare-versions "$(dpkg-query -W -f='${Version}' qemu-user-static)" ge 1:8 \
  || missing+=("${backported[@]}")

if ((${#missing[@]})); then
  need_root "missing packages: ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  # wine32 is an i386 package: the multiarch switch must come before the index update.
  dpkg --print-foreign-architectures | grep -qx i386 || dpkg --add-architecture i386
  . /etc/os-release
  [ -f "$backports" ] || printf 'Types: deb\nURIs: http://deb.debian.org/debian\nSuites: %s-backports\nComponents: main\nSigned-By: /usr/share/keyrings/debian-archive-keyring.gpg\n' \
    "$VERSION_CODENAME" > "$backports"
  apt-get update -q
  apt-get install -y -q --no-install-recommends "${packages[@]}"
  apt-get install -y -q --no-install-recommends -t "$VERSION_CODENAME-backports" "${backported[@]}"
fi

# The double-byte tests run Wine under a Japanese locale, which glibc must have generated.
if ! locale -a 2>/dev/null | grep -qix 'ja_JP\.utf-\?8'; then
  need_root "the ja_JP.UTF-8 locale is missing"
  grep -q '^ja_JP.UTF-8 UTF-8' /etc/locale.gen 2>/dev/null || echo 'ja_JP.UTF-8 UTF-8' >> /etc/locale.gen
  locale-gen >/dev/null
fi

# Some kernels (virtual machines among them) boot with 32-bit emulation off, so Wine's
# i386 loader cannot exec. Route i386 ELF files through qemu instead. The F flag pins
# the interpreter binary of the moment, so this runs only after the backport is in.
if ! /lib/ld-linux.so.2 --version >/dev/null 2>&1; then
  need_root "i386 programs need a binfmt_misc registration"
  binfmt=/proc/sys/fs/binfmt_misc
  [ -e "$binfmt/register" ] || mount -t binfmt_misc binfmt_misc "$binfmt"
  [ -e "$binfmt/qemu-i386" ] && echo -1 > "$binfmt/qemu-i386"
  echo ':qemu-i386:M::\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00:\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff:/usr/bin/qemu-i386-static:OCF' \
    > "$binfmt/register"
  /lib/ld-linux.so.2 --version >/dev/null || { echo "setup: i386 programs still do not run" >&2; exit 1; }
fi
