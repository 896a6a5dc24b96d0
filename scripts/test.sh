#!/usr/bin/env bash
# Set up, build and run every test: the normal build, the same tests under
# AddressSanitizer and UndefinedBehaviorSanitizer, then the Windows build with
# its tests under wine.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
"$root/scripts/setup.sh"
bash "$root/scripts/check-layers.sh"

jobs="$(nproc)"
werror=OFF
if [[ "${CI:-}" == "true" ]]; then werror=ON; fi

cmake -S "$root" -B "$root/build" -G Ninja -DZELK_WERROR=$werror
cmake --build "$root/build" -j "$jobs"
(cd "$root/build" && ctest --output-on-failure -j "$jobs" --timeout 300)
bash "$root/scripts/test-unprivileged.sh" "$root/build/tests/test_core" 'FileUtils.*'

cmake -S "$root" -B "$root/build-asan" -G Ninja -DZELK_WERROR=OFF -DZELK_SANITIZE=ON \
      -DZELK_BUILD_BENCH=OFF -DCMAKE_BUILD_TYPE=Debug
cmake --build "$root/build-asan" -j "$jobs"
(cd "$root/build-asan" && ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
   ctest --output-on-failure -j "$jobs" --timeout 600)

# The Windows program, cross-compiled with mingw-w64, and every test under wine.
bash "$root/scripts/build-windows.sh"
