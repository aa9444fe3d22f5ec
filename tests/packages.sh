#!/usr/bin/env bash
# The two packages as users get them:
#   packages.sh DEB ZIP
# the Debian package linted, installed with apt, its programs run from where they were
# installed (the window on a virtual display), and removed again; the Windows zip
# unpacked and its tarvik-id.exe run under Wine. Installing needs root or sudo; without
# either that part is skipped, saying so.
set -uo pipefail
(($# == 2)) || { echo "usage: packages.sh DEB ZIP (one of each)" >&2; exit 2; }
deb=$(readlink -f "$1") zip=$(readlink -f "$2")

. "$(dirname "$0")/support/checks.sh" packages
installed= sudo=
# On the way out, however it leaves, the package is purged, so that dpkg keeps no
# record of it either; then the run's processes are ended and its files removed.
purge() {
  local status=$?
  if [ -n "$installed" ] && dpkg-query -W tarvik >/dev/null 2>&1; then
    $sudo dpkg --purge tarvik >/dev/null 2>&1 || echo "packages: could not remove the tarvik package again" >&2
  fi
  return $status
}
trap 'purge; tarvik_finish' EXIT

# The known answers, worked out apart from tarvik: every row's text and its id number.
# An empty line first, so that no row's byte-order mark opens the input.
texts=("") ids=(0)
rows=$(grep -v -e '^#' -e '^$' "$tarvik_root/tests/known_answers.tsv")
mapfile -t -O 1 ids < <(cut -f1 <<<"$rows")
mapfile -t -O 1 texts < <(cut -f2 <<<"$rows")
examples=$(printf '%s\n' "${texts[@]}")$'\n'
numbers=$(printf '%s\n' "${ids[@]}")

version=$(dpkg-deb -f "$deb" Version)
check "the .deb's name" "tarvik_${version}_$(dpkg --print-architecture).deb" "$(basename "$deb")"
check "the zip's name" "tarvik-$version-win32.zip" "$(basename "$zip")"

echo "== lintian"
# Everything lintian knows to say, down to its pedantic notes, is a failure.
check "what lintian says" "" "$(lintian --pedantic -I -E "$deb" 2>&1 | grep -v '^running with root privileges')"

# What the package holds, before it is installed.
dpkg-deb -x "$deb" "$TMPDIR/deb"
desktop-file-validate "$TMPDIR/deb/usr/share/applications/tarvik.desktop" || fail "desktop entry"
# The manual pages are dated by the release, as the changelog is.
released=$(date -u -d "$(zcat "$TMPDIR/deb/usr/share/doc/tarvik/changelog.gz" | sed -n 's/^ -- .*>  //p')" +%F)
for page in tarvik-id tarvik; do
  check "the date of $page(1)" "$released" "$(zcat "$TMPDIR/deb/usr/share/man/man1/$page.1.gz" | awk -F'"' '/^\.TH/ { print $2 }')"
done
# The icons are the icon file's images with alpha, read back by another decoder.
for image in 16:3 32:4 48:5; do
  compare -metric AE "$tarvik_root/app/tarvik.ico[${image#*:}]" \
    "$TMPDIR/deb/usr/share/icons/hicolor/${image%:*}x${image%:*}/apps/tarvik.png" null: 2>/dev/null \
    || fail "the ${image%:*} px icon is not the icon file's image"
done

echo "== the Windows zip"
unzip -q "$zip" -d "$TMPDIR/zip"
top=$TMPDIR/zip/tarvik-$version-win32
check "the zip's files" $'LICENSE.txt\nREADME.txt\ntarvik-id.exe\ntarvik.exe\ntarvik.html' "$(ls "$top")"
for text in README.txt LICENSE.txt; do
  [ "$(grep -c $'\r$' "$top/$text")" = "$(wc -l <"$top/$text")" ] || fail "$text has lines without CR LF"
done
cmp -s "$top/tarvik.exe" "$TMPDIR/deb/usr/lib/tarvik/tarvik.exe" || fail "the two packages hold different tarvik.exe"
cmp -s "$top/tarvik.html" "$TMPDIR/deb/usr/share/tarvik/tarvik.html" || fail "the two packages hold different pages"
# The build's prefix, set up for its tests, saves creating another.
# Wine takes the ANSI code page from the locale; the numbers are code page 1252's.
check "tarvik-id.exe from the zip" "$numbers" "$(cd "$top" && printf %s "$examples" |
  LC_ALL=C.UTF-8 TARVIK_WINEPREFIX=$tarvik_root/build/windows/wineprefix "$tarvik_root/scripts/wine-run" tarvik-id.exe)"

[ "$(id -u)" -eq 0 ] || sudo="sudo -n"
if ! $sudo true 2>/dev/null; then
  echo "packages: SKIPPED installing the .deb: that needs root, or sudo without a password"
  finish
elif dpkg-query -W -f='${Status}' tarvik 2>/dev/null | grep -q 'ok installed'; then
  echo "packages: SKIPPED installing the .deb: a tarvik package is installed already, which the test would remove"
  finish
fi

echo "== the Debian package, installed"
# Set before apt starts, so that an install that fails half-way is undone as well.
installed=1
$sudo apt-get install -y -q -o DPkg::Lock::Timeout=300 "$deb" >"$TMPDIR/apt.log" 2>&1 \
  || { cat "$TMPDIR/apt.log" >&2; fail "apt-get install"; exit 1; }
check "tarvik-id on the PATH" /usr/bin/tarvik-id "$(command -v tarvik-id)"
check "tarvik-id, standard input" "$numbers" "$(printf %s "$examples" | tarvik-id)"
check "tarvik-id, arguments" "$numbers" "$(tarvik-id -- "${texts[@]}")"
check "tarvik-id --version" "tarvik-id $version" "$(tarvik-id --version)"
check "man -w tarvik-id" /usr/share/man/man1/tarvik-id.1.gz "$(man -w tarvik-id)"

# The launcher, as from a menu: a home of its own, a current directory that is gone,
# an argument to ignore, and a WINEPREFIX of the user's, which it must not use. Without
# Wine it says what to install.
home=$TMPDIR/home
mkdir -p "$home"
out=$(cd / && env -i HOME="$home" PATH=/nonexistent /usr/bin/tarvik 2>&1)
status=$?
[[ $status -ne 0 && $out == *install* && $out != *$'\n'* ]] \
  || fail "the launcher without Wine: status $status, said: $out"
# With xdg-open, it opens the page instead.
mkdir -p "$TMPDIR/opener"
printf '#!/bin/sh\nprintf %%s "$*" >"%s"\n' "$TMPDIR/opened" >"$TMPDIR/opener/xdg-open"
chmod +x "$TMPDIR/opener/xdg-open"
(cd / && env -i HOME="$home" PATH="$TMPDIR/opener" /usr/bin/tarvik)
status=$?
check "the launcher without Wine, with xdg-open" "0 /usr/share/tarvik/tarvik.html" "$status $(cat "$TMPDIR/opened" 2>/dev/null)"

launch() {
  mkdir "$TMPDIR/gone" && cd "$TMPDIR/gone" && rmdir "$TMPDIR/gone" &&
    exec env -u XDG_DATA_HOME HOME="$home" WINEPREFIX="$home/.wine-of-the-user" tarvik --ignored
}
prefix=$home/.local/share/tarvik/wineprefix
WINEPREFIX=$prefix opens_and_closes "the launcher" launch
[ -e "$prefix/drive_c/windows/Fonts/sserife.fon" ] || fail "the launcher's prefix lacks Wine's fonts"
# Nothing else in the home directory: no ~/.wine, no menu entries of Wine's.
check "what the launcher made in the home directory" $'.local\n.local/share\n.local/share/tarvik' \
  "$(cd "$home" && find . -mindepth 1 -maxdepth 3 | sed 's|^\./||' | sort)"

echo "== the Debian package, removed"
$sudo apt-get remove -y -q -o DPkg::Lock::Timeout=300 tarvik >"$TMPDIR/apt.log" 2>&1 || { cat "$TMPDIR/apt.log" >&2; fail "apt-get remove"; }
left=$(dpkg-deb -c "$deb" | awk '{ print substr($6, 2) }' | grep -v '/$' | while read -r f; do [ -e "$f" ] && echo "$f"; done)
check "files left after removal" "" "$left"
for dir in /usr/lib/tarvik /usr/share/doc/tarvik; do [ ! -e $dir ] || fail "$dir is left after removal"; done

finish
