#!/usr/bin/env bash
# The release as anyone can check it:
#   release.sh
# builds the packages twice from the tree's tracked files: in directories of different
# lengths, seconds apart, with umask 022 and 077, another time zone and locale, the
# first without SOURCE_DATE_EPOCH (so from git's last commit), the second without git;
# every file must be the same to the byte. Then it signs with a throw-away certificate:
# the signed programs verify, tarvik.exe still opens its window under Wine, and each
# strips back to the unsigned file; a key that is not the certificate's, a wrong pass
# phrase and a missing file are refused, leaving no package.
set -euo pipefail
. "$(dirname "$0")/support/checks.sh" release
cd "$tarvik_root"
objdump=i686-w64-mingw32-objdump
sums() { (cd "$a" && sha256sum -c --quiet SHA256SUMS) || fail "SHA256SUMS of the $1 release does not check"; }

# copy DIR [git]: the tracked files as they are in the working tree, with the history if asked.
copy() {
  if [ -n "${2:-}" ]; then git clone -q --no-checkout "$tarvik_root" "$1"; else mkdir -p "$1"; fi
  git ls-files -z | tar --null -T - -cf - | tar -xf - -C "$1"
}
# package DIR LOG [ARGS...]: package.sh in the copy DIR, in the caller's umask, TZ and locale.
package() { (cd "$1" && shift 2 && tarvik_step scripts/package.sh "$@") </dev/null >"$2" 2>&1; }
# build DIR UMASK TZ LOCALE [EPOCH]: a release build; the Windows build without its tests needs no Wine.
build() {
  local start=$(now)
  (umask "$2" && export TZ=$3 LC_ALL=$4 && if [ -n "${5:-}" ]; then export SOURCE_DATE_EPOCH=$5; else unset SOURCE_DATE_EPOCH; fi &&
    cd "$1" && tarvik_step cmake --preset windows -DTARVIK_BUILD_TESTS=OFF >/dev/null && package . "$1.log") \
    || { tail -n 30 "$1.log" >&2; fail "the build in $1"; return 1; }
  echo "built in $1 in $(since "$start") s (umask $2, TZ=$3, LC_ALL=$4, SOURCE_DATE_EPOCH=${5:-unset})"
}

one=$TMPDIR/1 two=$TMPDIR/a-directory-of-a-much-longer-name/2
copy "$one" git
copy "$two"
first=$(date +%s)
build "$one" 022 UTC C.UTF-8
while (($(date +%s) < first + 2)); do sleep 0.5; done
build "$two" 077 KIR-14 ja_JP.UTF-8 "$(git log -1 --format=%ct)"

echo "== the two builds"
a=$one/build/packages b=$two/build/packages
[ "$(ls "$a")" = "$(ls "$b")" ] || fail "the builds made different files: $(ls "$a" | tr '\n' ' ')/ $(ls "$b" | tr '\n' ' ')"
for file in "$a"/*; do
  if ! where=$(cmp "$file" "$b/${file##*/}" 2>&1); then
    fail "${file##*/} differs between the builds: ${where##*differ: }"
    ! command -v diffoscope >/dev/null || diffoscope "$file" "$b/${file##*/}" | head -n 60 >&2
  fi
done
sums unsigned
cat "$a/SHA256SUMS"

# Neither build's directory in a program or a package, nor in the native tarvik-id's debug information.
mkdir "$TMPDIR/unpacked" && unzip -q "$a"/*.zip -d "$TMPDIR/unpacked/zip" && dpkg-deb -x "$a"/*.deb "$TMPDIR/unpacked/deb"
leaks=$(grep -rlaF -e "$one" -e "$two" "$a" "$TMPDIR/unpacked" "$one/build/package/cli/tarvik-id") || [ $? = 1 ] || fail "grep"
[ -z "$leaks" ] || fail "a build's directory is written in: $leaks"
# No handler of its own on the SEH chain: nothing stores to fs:0, the chain's head.
for exe in "$a"/*.exe; do
  code=$("$objdump" -d "$exe") || fail "$objdump -d ${exe##*/}"
  ! grep -qE ',%fs:(0x0)?$|except_handler' <<<"$code" || fail "${exe##*/} registers an SEH frame handler"
done

echo "== signing"
keys=$TMPDIR/keys
mkdir "$keys" && echo "a throw-away pass phrase" >"$keys/pass" && echo "not the pass phrase" >"$keys/wrong"
for who in publisher other; do
  openssl req -x509 -newkey rsa:2048 -sha256 -days 2 -subj "/CN=tarvik test $who" -passout "file:$keys/pass" \
    -addext extendedKeyUsage=codeSigning -addext keyUsage=critical,digitalSignature \
    -keyout "$keys/$who.key" -out "$keys/$who.pem" 2>/dev/null
done
sign=(--sign-cert "$keys/publisher.pem" --sign-key "$keys/publisher.key" --sign-pass-file "$keys/pass")
# What package.sh must refuse, and what it says: | the options
while IFS='|' read -r said options; do
  eval "set -- $options"
  if package "$one" "$TMPDIR/refused.log" "$@" || ! grep -q "$said" "$TMPDIR/refused.log" || [ -e "$a" ]; then
    fail "signing with $options: not refused with \"$said\", or a package made"; cat "$TMPDIR/refused.log" >&2
  fi
done <<EOF
does not belong to the certificate|"\${sign[@]:0:3}" "$keys/other.key" "\${sign[@]:4}"
cannot open the key|"\${sign[@]:0:5}" "$keys/wrong"
cannot read|"\${sign[@]:0:3}" "$keys/missing.key"
EOF

package "$one" "$TMPDIR/signed.log" "${sign[@]}" || { cat "$TMPDIR/signed.log" >&2; fail "signing"; }
sums signed
for exe in tarvik.exe tarvik-id.exe; do
  osslsigncode verify -CAfile "$keys/publisher.pem" -in "$a/$exe" >"$TMPDIR/verify.log" 2>&1 \
    || { cat "$TMPDIR/verify.log" >&2; fail "the signature of $exe does not verify"; }
  unzip -p "$a"/*.zip "*/$exe" | cmp -s - "$a/$exe" || fail "the zip holds another $exe than the signed one"
  osslsigncode remove-signature -in "$a/$exe" -out "$TMPDIR/$exe" >/dev/null
  cmp "$TMPDIR/$exe" "$b/$exe" || fail "$exe without its signature is not the unsigned file"
done
dpkg-deb --fsys-tarfile "$a"/*.deb | tar -xOf - ./usr/lib/tarvik/tarvik.exe | cmp -s - "$a/tarvik.exe" \
  || fail "the .deb holds another tarvik.exe than the signed one"

# The signed window program opens its window, in the Windows build's prefix.
export WINEPREFIX=$tarvik_root/build/windows/wineprefix
prepare_prefix "$TMPDIR" || fail "the Wine prefix"
opens_and_closes "the signed tarvik.exe" "$wine_run" "$a/tarvik.exe"

finish
