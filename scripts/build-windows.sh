#!/usr/bin/env bash
# Builds ZELK for 64-bit Windows with mingw-w64 into build-win/ and runs every
# unit test under wine (console programs only; no display is used).
#
#   - installs the cross compiler, wine and the build tools when missing (root);
#   - builds the libraries for the target from Debian's source packages into a
#     prefix outside the checkout, or reuses it (scripts/build-mingw-deps.sh);
#   - configures and builds zelk.exe, the tools and the test programs;
#     build-win/run/ is the Windows program's working folder, as build/run/ is
#     the Linux one's;
#   - runs the tests under wine with a throw-away wine prefix;
#   - with ZELK_WINDOWS_SMOKE=1, also checks that `zelk.exe --production` in
#     build-win/run/ ends with 0 and writes Log.txt (needs the demo setup).
#
# Any failure ends the script with a non-zero status.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
jobs="$(nproc)"
werror=OFF
if [[ "${CI:-}" == "true" ]]; then werror=ON; fi

log() { echo "[build-windows] $*" >&2; }

# --- Packages ----------------------------------------------------------------
packages=(
  g++-mingw-w64-x86-64-posix libz-mingw-w64-dev wine wine64
  cmake ninja-build pkg-config dpkg-dev autoconf automake libtool python3 ca-certificates
)
missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done
if ((${#missing[@]})); then
  log "installing: ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

# --- Libraries for the target --------------------------------------------------
prefix="$(bash "$root/scripts/build-mingw-deps.sh" | tail -n1)"
[[ -f "$prefix/.complete" ]] || { log "no dependency prefix"; exit 1; }
log "libraries from $prefix"

# --- Wine ----------------------------------------------------------------------
# One fresh prefix for this run: the build runs the data-set encryptor through
# wine, the tests run there too. Console programs only, so no display.
unset DISPLAY WAYLAND_DISPLAY
export WINEDEBUG=-all
export WINEARCH=win64
WINEPREFIX="$(mktemp -d /tmp/zelk-wine.XXXXXX)"
export WINEPREFIX
cleanup() {
  wineserver -k >/dev/null 2>&1 || true
  rm -rf "$WINEPREFIX"
}
trap cleanup EXIT
# Test runs only record shell-open requests instead of starting Explorer.
export ZELK_NO_SHELL_OPEN=1

log "preparing wine prefix $WINEPREFIX"
# One wine server for all the short-lived programs that follow; its services
# start here, with no pipe of the build or of ctest as their output.
wineserver -p
wine wineboot --init </dev/null >/dev/null 2>&1 || true

# --- Configure and build -------------------------------------------------------
build="$root/build-win"
# --fresh: settings of the toolchain file that live in the cache (compiler
# flags) must follow the file when it changes.
cmake --fresh -S "$root" -B "$build" -G Ninja \
  -DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchain-mingw64.cmake" \
  -DZELK_MINGW_DEPS="$prefix" -DCMAKE_BUILD_TYPE=Release \
  -DZELK_WERROR=$werror -DZELK_BUILD_BENCH=OFF
cmake --build "$build" -j "$jobs"

# --- Tests under wine ------------------------------------------------------------
(cd "$build" && ctest --output-on-failure -j "$jobs" --timeout 300)

# --- The program itself ----------------------------------------------------------
if [[ "${ZELK_WINDOWS_SMOKE:-0}" == "1" ]]; then
  run="$build/run"
  rm -f "$run/Log.txt"
  rc=0
  (cd "$run" && timeout 300 wine ./zelk.exe --production) || rc=$?
  if ((rc != 0)); then
    log "zelk.exe --production ended with $rc"
    [[ -f "$run/Log.txt" ]] && tail -n 20 "$run/Log.txt" >&2
    exit 1
  fi
  if [[ ! -s "$run/Log.txt" ]]; then
    log "zelk.exe --production wrote no Log.txt"
    exit 1
  fi
  log "zelk.exe --production: exit 0, Log.txt written"
fi
log "Windows build and tests passed"
