#!/usr/bin/env bash
# Sets up the machine and builds the release into build/packages:
#   tarvik.exe, tarvik-id.exe       the windows preset's programs
#   tarvik-<version>-win32.zip      the two with a README and the licence
#   tarvik_<version>_<arch>.deb     built in build/package with Debian's build flags, with
#                                   the windows preset's tarvik.exe
#   tarvik.html                     the web preset's page, which both packages hold too
#   SHA256SUMS                      every file above, as sha256sum -c reads it
# and prints their paths, one a line, last. Built twice from one commit, every file is
# the same to the byte: every time stamp is SOURCE_DATE_EPOCH, by default the last
# commit's date, or without git the date of packaging/changelog.in.
#
#   package.sh [--sign-cert CERT.pem --sign-key KEY.pem [--sign-pass-file FILE] [--timestamp URL]]
#
# With a certificate, both programs are signed (Authenticode, SHA-256) before they are
# packed. Only a --timestamp URL makes the signing use the network.
set -euo pipefail
. "$(dirname "$0")/lib.sh"
cd "$tarvik_root"

usage() { echo "usage: package.sh [--sign-cert CERT.pem --sign-key KEY.pem [--sign-pass-file FILE] [--timestamp URL]]" >&2; exit 2; }
cert= key= pass= stamp=
while (($#)); do
  (($# >= 2)) || usage
  case $1 in
    --sign-cert) cert=$2 ;;
    --sign-key) key=$2 ;;
    --sign-pass-file) pass=$2 ;;
    --timestamp) stamp=$2 ;;
    *) usage ;;
  esac
  shift 2
done
if [ -n "$cert$key$pass$stamp" ] && { [ -z "$cert" ] || [ -z "$key" ]; }; then
  echo "package.sh: signing needs both --sign-cert and --sign-key" >&2
  exit 2
fi

tarvik_interruptible package
tarvik_setup

# Packed in the run's scratch directory, and moved into place when all is done: a run
# that fails leaves no package behind, not even an older one.
rm -rf build/packages
out=$TMPDIR/packages
fail() { echo "package.sh: $*" >&2; exit 1; }

# The key must open and be the certificate's own, or nothing is built: a mismatch would
# otherwise surface only as a signature that no one can verify.
if [ -n "$cert" ]; then
  for file in "$cert" "$key" ${pass:+"$pass"}; do [ -r "$file" ] || fail "cannot read $file"; done
  cert=$(readlink -f "$cert") key=$(readlink -f "$key") pass=${pass:+$(readlink -f "$pass")}
  cert_public=$(openssl x509 -in "$cert" -noout -pubkey 2>/dev/null) || fail "$cert is not a PEM certificate"
  key_public=$(openssl pkey -in "$key" -pubout -passin "file:${pass:-/dev/null}" 2>/dev/null) \
    || fail "cannot open the key $key${pass:+ with the pass phrase in $pass}${pass:- (it may need --sign-pass-file)}"
  [ "$cert_public" = "$key_public" ] || fail "the key $key does not belong to the certificate $cert"
fi

# Umask and locale of the caller must not reach a file: the staged trees get the modes
# the packages declare, and nothing sorts or formats by the locale.
umask 022
export LC_ALL=C TZ=UTC
# Git is asked only about this tree: a source tree unpacked inside another clone is
# dated by its changelog, not by that clone.
if [ -n "${SOURCE_DATE_EPOCH:-}" ]; then
  :
elif [ "$(git rev-parse --show-toplevel 2>/dev/null)" = "$(pwd -P)" ]; then
  SOURCE_DATE_EPOCH=$(git log -1 --format=%ct)
else
  SOURCE_DATE_EPOCH=$(date -d "$(sed -n 's/^ -- .*  //p' packaging/changelog.in | head -n1)" +%s)
fi
export SOURCE_DATE_EPOCH

# The page, the same window for any browser, goes into both packages.
page=$tarvik_root/build/web/tarvik.html
tarvik_step cmake --preset web >/dev/null
tarvik_step cmake --build --preset web --target tarvik_page

tarvik_step cmake --preset windows -DTARVIK_WEB_PAGE="$page" >/dev/null
tarvik_step cmake --build --preset windows --target tarvik tarvik-id

# The programs that ship, signed when a certificate is given, go into both packages.
mkdir -p "$out"
cp build/windows/app/tarvik.exe build/windows/cli/tarvik-id.exe "$out/"
if [ -n "$cert" ]; then
  for exe in tarvik.exe tarvik-id.exe; do
    tarvik_step osslsigncode sign -certs "$cert" -key "$key" ${pass:+-readpass "$pass"} -h sha256 -n tarvik \
      ${stamp:+-ts "$stamp"} -in "$out/$exe" -out "$TMPDIR/$exe" >"$TMPDIR/sign.log" 2>&1 \
      || { cat "$TMPDIR/sign.log" >&2; fail "could not sign $exe"; }
    mv "$TMPDIR/$exe" "$out/$exe"
  done
fi

# The distribution's hardening, as a Debian package of its own would be built: the
# preprocessor's flags ride on the compiler's, since CMake reads no CPPFLAGS.
mkdir -p build/package
cp "$out/tarvik.exe" build/package/tarvik.exe
flags() { DEB_BUILD_MAINT_OPTIONS=hardening=+all dpkg-buildflags --get "$1"; }
tarvik_step cmake -S . -B build/package -G Ninja -DCMAKE_BUILD_TYPE=None -DTARVIK_BUILD_TESTS=OFF \
  -DCMAKE_CXX_FLAGS="$(flags CPPFLAGS) $(flags CXXFLAGS)" -DCMAKE_EXE_LINKER_FLAGS="$(flags LDFLAGS)" \
  -DTARVIK_WINDOWS_EXE="$tarvik_root/build/package/tarvik.exe" -DTARVIK_WEB_PAGE="$page" >/dev/null
tarvik_step cmake --build build/package --target tarvik-id tarvik_package_files

for build in windows package; do
  tarvik_step cpack --config "build/$build/CPackConfig.cmake" -B "$out" >"$TMPDIR/cpack.log" 2>&1 \
    || { cat "$TMPDIR/cpack.log" >&2; exit 1; }
done
rm -rf "$out/_CPack_Packages"

# CPack takes each entry's time from the file, its order from the directory and the
# .deb's member times from the clock: both packages are packed again, in name order,
# every time SOURCE_DATE_EPOCH, owned by root, with the modes their kind of file has.
zip=$(echo "$out"/*.zip) deb=$(echo "$out"/*.deb)
python3 - "$zip" "$out/tarvik.exe" "$out/tarvik-id.exe" <<'EOF'
import os, sys, time, zipfile
path, shipped = sys.argv[1], {os.path.basename(f): f for f in sys.argv[2:]}
when = time.gmtime(int(os.environ["SOURCE_DATE_EPOCH"]))[:6]
with zipfile.ZipFile(path) as old:
    entries = sorted((i.filename, i.external_attr >> 16 & 0o100, old.read(i)) for i in old.infolist())
with zipfile.ZipFile(path + ".new", "w") as new:
    for name, executable, data in entries:
        if os.path.basename(name) in shipped:  # the programs as they ship
            with open(shipped[os.path.basename(name)], "rb") as f:
                data = f.read()
        info = zipfile.ZipInfo(name, when)
        info.create_system = 3  # Unix, so that the modes below count
        info.external_attr = (0o100755 if executable else 0o100644) << 16
        new.writestr(info, data, zipfile.ZIP_DEFLATED, 9)
os.replace(path + ".new", path)
EOF
tarvik_step dpkg-deb -R "$deb" "$TMPDIR/deb"
chmod -R u+rwX,go=u,go-w "$TMPDIR/deb"
find "$TMPDIR/deb" -exec touch -h -d "@$SOURCE_DATE_EPOCH" {} +
tarvik_step dpkg-deb --root-owner-group -Zxz -b "$TMPDIR/deb" "$deb" >/dev/null

cp "$page" "$out/"
(cd "$out" && find . -maxdepth 1 -type f ! -name SHA256SUMS -printf '%P\n' | sort | xargs sha256sum -- >SHA256SUMS)
mv "$out" build/packages
find build/packages -maxdepth 1 -type f | sort
