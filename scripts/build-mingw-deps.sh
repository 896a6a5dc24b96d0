#!/usr/bin/env bash
# Builds the libraries ZELK links for 64-bit Windows (x86_64-w64-mingw32) from
# Debian's own source packages and installs them, static only, into a prefix
# outside the checkout:
#
#   ${ZELK_MINGW_DEPS_BASE:-/opt/zelk-mingw-deps}/<key>
#
# The key is made of the exact source-package versions, this script, the
# toolchain file and the compiler version, so a prefix is rebuilt only when one
# of those changes and is reused otherwise. The prefix path is the last line
# printed on stdout; everything else goes to stderr.
#
# Needs root the first time (a deb-src entry and `apt-get update`) and the
# packages that scripts/build-windows.sh installs.
set -euo pipefail

root="$(cd "$(dirname "$0")/.." && pwd)"
toolchain="$root/cmake/toolchain-mingw64.cmake"
triple=x86_64-w64-mingw32
jobs="$(nproc)"
base="${ZELK_MINGW_DEPS_BASE:-/opt/zelk-mingw-deps}"

# Source package -> what we take from it.
packages=(libsodium libzip curl pugixml fmtlib nlohmann-json3 ms-gsl googletest cpp-httplib)

log() { echo "[mingw-deps] $*" >&2; }

# --- Debian source entries -------------------------------------------------

have_deb_src() {
  local out
  out="$(apt-cache showsrc libsodium 2>/dev/null || true)"
  [[ "$out" == *$'\nVersion: '* ]]
}

ensure_deb_src() {
  have_deb_src && return 0
  if [[ $EUID -ne 0 ]]; then
    log "no deb-src entries for the configured Debian sources; run once as root"
    exit 1
  fi
  log "adding deb-src entries for the configured Debian sources"
  local added=0
  # deb822 style (Debian 12 default).
  if [[ -f /etc/apt/sources.list.d/debian.sources ]]; then
    sed -e 's/^Types:.*$/Types: deb-src/' /etc/apt/sources.list.d/debian.sources \
      > /etc/apt/sources.list.d/zelk-deb-src.sources
    added=1
  fi
  # One-line style.
  if [[ -f /etc/apt/sources.list ]] && grep -qE '^deb ' /etc/apt/sources.list; then
    grep -E '^deb ' /etc/apt/sources.list | sed -e 's/^deb /deb-src /' \
      > /etc/apt/sources.list.d/zelk-deb-src.list
    added=1
  fi
  if ((!added)); then
    log "found no Debian sources to mirror as deb-src"
    exit 1
  fi
  apt-get update -qq >&2
  have_deb_src || { log "apt still knows no source packages"; exit 1; }
}

# The version `apt-get source` would fetch, from the name of its .dsc file.
source_version() {
  local uri out
  out="$(apt-get source --print-uris -qq "$1" 2>/dev/null || true)"
  uri="$(grep -oE "'[^']+\.dsc'" <<<"$out" | head -n1 || true)"
  [[ -n "$uri" ]] || { log "no source package $1"; exit 1; }
  uri="${uri%.dsc\'}"
  uri="${uri##*_}"
  echo "${uri//%2b/+}"
}

ensure_deb_src

manifest=""
for p in "${packages[@]}"; do
  manifest+="$p=$(source_version "$p")"$'\n'
done
manifest+="script=$(sha256sum "$0" | cut -d' ' -f1)"$'\n'
manifest+="toolchain=$(sha256sum "$toolchain" | cut -d' ' -f1)"$'\n'
manifest+="compiler=$($triple-g++-posix -dumpfullversion)"$'\n'
key="$(printf '%s' "$manifest" | sha256sum | cut -c1-16)"
prefix="$base/$key"

mkdir -p "$base"
# One build at a time per base folder; a second caller waits and then reuses.
exec 9>"$base/.lock"
flock 9

if [[ -f "$prefix/.complete" ]]; then
  log "reusing $prefix"
  echo "$prefix"
  exit 0
fi

log "building into $prefix"
printf '%s' "$manifest" >&2
rm -rf "$prefix"
mkdir -p "$prefix"
work="$(mktemp -d /var/tmp/zelk-mingw-build.XXXXXX)"
trap 'rm -rf "$work"' EXIT
start=$SECONDS

fetch() {
  (cd "$work" && apt-get source -qq "$1" >/dev/null 2>&1) || { log "apt-get source $1 failed"; exit 1; }
  local dir
  dir="$(find "$work" -mindepth 1 -maxdepth 1 -type d -name "$1-*" | head -n1)"
  [[ -n "$dir" ]] || { log "no unpacked source for $1"; exit 1; }
  echo "$dir"
}

cmake_dep() {
  local src="$1"
  shift
  cmake -S "$src" -B "$src/_build" -G Ninja -Wno-dev \
    -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DZELK_MINGW_DEPS="$prefix" \
    -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$prefix" -DCMAKE_INSTALL_LIBDIR=lib \
    -DBUILD_SHARED_LIBS=OFF -DBUILD_TESTING=OFF "$@" >&2
  cmake --build "$src/_build" -j "$jobs" >&2
  cmake --install "$src/_build" >&2
}

# libsodium: autotools; no stack protector (it would pull libssp into every
# program that links the static library).
src="$(fetch libsodium)"
log "libsodium"
(cd "$src" && { [[ -x configure ]] || autoreconf -fi >&2; } && ./configure --host=$triple --prefix="$prefix" --libdir="$prefix/lib" \
   --disable-shared --enable-static --disable-ssp --disable-dependency-tracking \
   CC=$triple-gcc-posix CFLAGS="-O2" >&2 && make -j "$jobs" >&2 && make install >&2)

src="$(fetch libzip)"
log "libzip"
cmake_dep "$src" -DBUILD_TOOLS=OFF -DBUILD_REGRESS=OFF -DBUILD_EXAMPLES=OFF -DBUILD_DOC=OFF \
  -DENABLE_COMMONCRYPTO=OFF -DENABLE_GNUTLS=OFF -DENABLE_MBEDTLS=OFF -DENABLE_OPENSSL=OFF \
  -DENABLE_WINDOWS_CRYPTO=ON -DENABLE_BZIP2=OFF -DENABLE_LZMA=OFF -DENABLE_ZSTD=OFF

# libcurl: HTTP(S) only, TLS by Schannel (the Windows certificate store), zlib
# for compressed transfers; nothing else.
src="$(fetch curl)"
log "curl"
cmake_dep "$src" -DBUILD_CURL_EXE=OFF -DHTTP_ONLY=ON -DCURL_USE_SCHANNEL=ON -DCURL_USE_OPENSSL=OFF \
  -DCURL_USE_MBEDTLS=OFF -DCURL_USE_WOLFSSL=OFF -DCURL_USE_BEARSSL=OFF -DCURL_USE_NSS=OFF \
  -DCURL_USE_LIBSSH2=OFF -DCURL_USE_LIBSSH=OFF -DCURL_USE_GSSAPI=OFF -DUSE_LIBIDN2=OFF \
  -DUSE_WIN32_IDN=OFF -DUSE_NGHTTP2=OFF -DUSE_NGTCP2=OFF -DUSE_QUICHE=OFF -DUSE_MSH3=OFF \
  -DCURL_BROTLI=OFF -DCURL_ZSTD=OFF -DCURL_ZLIB=ON -DCURL_DISABLE_LDAP=ON -DCURL_DISABLE_LDAPS=ON \
  -DENABLE_MANUAL=OFF -DCURL_CA_BUNDLE=none -DCURL_CA_PATH=none -DENABLE_UNIX_SOCKETS=OFF

src="$(fetch pugixml)"
log "pugixml"
cmake_dep "$src" -DPUGIXML_BUILD_TESTS=OFF

src="$(fetch fmtlib)"
log "fmt"
cmake_dep "$src" -DFMT_DOC=OFF -DFMT_TEST=OFF -DFMT_FUZZ=OFF -DFMT_INSTALL=ON

src="$(fetch nlohmann-json3)"
log "nlohmann json"
cmake_dep "$src" -DJSON_BuildTests=OFF -DJSON_Install=ON

src="$(fetch ms-gsl)"
log "GSL"
cmake_dep "$src" -DGSL_TEST=OFF -DGSL_INSTALL=ON

src="$(fetch googletest)"
log "googletest"
cmake_dep "$src" -DBUILD_GMOCK=ON -DINSTALL_GTEST=ON -Dgtest_build_tests=OFF -Dgmock_build_tests=OFF

src="$(fetch cpp-httplib)"
log "cpp-httplib"
cmake_dep "$src" -DHTTPLIB_COMPILE=OFF -DHTTPLIB_USE_OPENSSL_IF_AVAILABLE=OFF \
  -DHTTPLIB_USE_ZLIB_IF_AVAILABLE=OFF -DHTTPLIB_USE_BROTLI_IF_AVAILABLE=OFF \
  -DHTTPLIB_REQUIRE_OPENSSL=OFF -DHTTPLIB_REQUIRE_ZLIB=OFF -DHTTPLIB_REQUIRE_BROTLI=OFF

# Everything in the prefix is static: let plain `pkg-config --libs` give the
# full static link line, and tell the headers not to expect DLL imports.
pc_static() {
  local pc="$prefix/lib/pkgconfig/$1.pc" define="$2"
  [[ -f "$pc" ]] || { log "missing $pc"; exit 1; }
  python3 - "$pc" "$define" <<'EOF'
import re, sys
path, define = sys.argv[1], sys.argv[2]
lines = open(path).read().splitlines()
fields = {}
for l in lines:
    m = re.match(r'^(Libs|Libs\.private|Requires|Requires\.private|Cflags):\s*(.*)$', l)
    if m:
        fields[m.group(1)] = m.group(2)
out = []
for l in lines:
    m = re.match(r'^(Libs|Libs\.private|Requires|Requires\.private|Cflags):', l)
    if not m:
        out.append(l)
        continue
    k = m.group(1)
    if k == 'Libs':
        out.append('Libs: ' + ' '.join(x for x in (fields.get('Libs', ''), fields.get('Libs.private', '')) if x))
    elif k == 'Requires':
        out.append('Requires: ' + ', '.join(x for x in (fields.get('Requires', ''), fields.get('Requires.private', '')) if x))
    elif k == 'Cflags':
        c = fields['Cflags']
        out.append('Cflags: ' + c + ('' if define in c.split() else ' ' + define))
if 'Requires' not in fields and fields.get('Requires.private'):
    out.append('Requires: ' + fields['Requires.private'])
open(path, 'w').write('\n'.join(out) + '\n')
EOF
}
pc_static libsodium -DSODIUM_STATIC
pc_static libzip -DZIP_STATIC
pc_static libcurl -DCURL_STATICLIB

# Only static archives may be linked from here.
if [[ -n "$(find "$prefix" -name '*.dll' -o -name '*.dll.a')" ]]; then
  log "shared libraries found in $prefix"
  exit 1
fi

rm -rf "$prefix/share/doc" "$prefix/share/man"
printf '%s' "$manifest" > "$prefix/MANIFEST"
touch "$prefix/.complete"
log "done in $((SECONDS - start)) s"
echo "$prefix"
