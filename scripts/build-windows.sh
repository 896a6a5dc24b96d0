#!/usr/bin/env bash
# Builds ZELK for 64-bit Windows with mingw-w64 into build-win/ and runs every
# unit test under wine, on a display of its own (Xvfb) for the window's tests
# and zelk.exe, which is a window program.
#
#   - installs the cross compiler, wine and the build tools when missing (root);
#   - builds the libraries for the target from Debian's source packages into a
#     prefix outside the checkout, or reuses it (scripts/build-mingw-deps.sh);
#   - configures and builds zelk.exe, the tools and the test programs;
#     build-win/run/ is the Windows program's working folder, as build/run/ is
#     the Linux one's;
#   - runs the tests under wine with a throw-away wine prefix, and fails when
#     they leave a ZELK folder, or anything new in one, in the prefix user's
#     roaming or local AppData (scripts/no-new-zelk-folder.sh);
#   - checks the program itself with the demo set-up: `zelk.exe --production`
#     in build-win/run/ ends with 0 and writes Log.txt, and a second zelk.exe
#     started while one runs ends with -1; its window's screenshots in the full
#     and the compact view go to build-win/artefacts/ (ZELK_WINDOWS_SMOKE=0
#     skips these);
#   - runs the demo end to end under wine: zelk.exe on the stand-in
#     SimConnect.dll with traffic from the native RealTraffic app stand-in, for
#     MSFS 2024 (at 96 dpi) and MSFS 2020 (at 144 dpi), and once without the
#     library (ZELK_WINDOWS_E2E=0 skips this); prints each run's "Demo summary"
#     line and keeps its Log.txt and, for the two demos, a screenshot of the
#     window filled by the run (the simulator's name, the parking band with the
#     airport) in build-win/artefacts/.
#
# Any failure ends the script with a non-zero status.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
jobs="${ZELK_JOBS:-$(nproc)}"
werror=OFF
if [[ "${CI:-}" == "true" ]]; then werror=ON; fi

log() { echo "[build-windows] $*" >&2; }

# --- Packages ----------------------------------------------------------------
# wine64-preloader reserves the addresses wine needs before anything else is
# mapped; without it a randomly placed library or stack now and then takes
# them, and a program ends at once with status 1 and no output ("failed to map
# the shared user data"), which made random tests fail when many ran at once.
bash "$root/scripts/setup.sh" \
  g++-mingw-w64-x86-64-posix libz-mingw-w64-dev wine wine64 wine64-preloader \
  cmake ninja-build pkg-config dpkg-dev autoconf automake libtool python3 ca-certificates \
  xvfb xdotool imagemagick
# The web-API tests and the end-to-end runs take their peers from the native
# stand-ins, whose build needs the native tool chain and libraries.
bash "$root/scripts/setup.sh"

# --- Libraries for the target --------------------------------------------------
prefix="$(bash "$root/scripts/build-mingw-deps.sh" | tail -n1)"
[[ -f "$prefix/.complete" ]] || { log "no dependency prefix"; exit 1; }
log "libraries from $prefix"

# --- Display and wine ------------------------------------------------------------
# A display of this run's own (Xvfb picks a free number), so that the window's
# tests and zelk.exe draw where nobody else does; then one fresh wine prefix:
# the build runs the data-set encryptor through wine, the tests run there too.
unset WAYLAND_DISPLAY
xvfb_pid=""
# Kept apart from WINEPREFIX, which a check may name the other prefix with
# while it runs: the clean-up at exit must end and remove this one all the same.
wine_prefix="$(mktemp -d /tmp/zelk-wine.XXXXXX)"
WINEPREFIX="$wine_prefix"
export WINEPREFIX
api_emu_pid=""
api_dir=""
scale_prefix=""
scale_xvfb_pid=""
cleanup() {
  WINEPREFIX="$wine_prefix" wineserver -k >/dev/null 2>&1 || true
  if [[ -n "$scale_prefix" ]]; then
    WINEPREFIX="$scale_prefix" wineserver -k >/dev/null 2>&1 || true
    rm -rf "$scale_prefix"
  fi
  if [[ -n "$scale_xvfb_pid" ]]; then kill "$scale_xvfb_pid" 2>/dev/null || true; fi
  if [[ -n "$xvfb_pid" ]]; then kill "$xvfb_pid" 2>/dev/null || true; fi
  if [[ -n "$api_emu_pid" ]]; then kill "$api_emu_pid" 2>/dev/null || true; fi
  if [[ -n "$api_dir" ]]; then rm -rf "$api_dir"; fi
  rm -rf "$wine_prefix"
}
trap cleanup EXIT
# start_display PID_VARIABLE DISPLAY_VARIABLE SCREEN: an Xvfb display of its own.
start_display() {
  local file="$WINEPREFIX.display$1"
  Xvfb -displayfd 3 -screen 0 "$3" -nolisten tcp 3>"$file" >/dev/null 2>&1 &
  printf -v "$1" '%s' "$!"
  for _ in $(seq 100); do [[ -s "$file" ]] && break; sleep 0.1; done
  [[ -s "$file" ]] || { log "Xvfb did not start"; exit 1; }
  printf -v "$2" ':%s' "$(tr -d '[:space:]' <"$file")"
  rm -f "$file"
}
start_display xvfb_pid DISPLAY 1920x1080x24
export DISPLAY
log "display $DISPLAY"
export WINEDEBUG=-all
export WINEARCH=win64
# Test runs only record shell-open requests instead of starting Explorer.
export ZELK_NO_SHELL_OPEN=1

log "preparing wine prefix $WINEPREFIX"
# One wine server for all the short-lived programs that follow; its services
# start here, with no pipe of the build or of ctest as their output.
wineserver -p
wine wineboot --init </dev/null >/dev/null 2>&1 || true
# A program that crashes ends; no dialog waits for a user who is not there.
wine reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f </dev/null >/dev/null 2>&1 || true
# user_folders ARRAY: the roaming and the local AppData folder of the current
# prefix's user, as Linux paths, into ARRAY; the run ends when wine names none.
user_folders() {
  local -n into="$1"
  local name win
  into=()
  for name in APPDATA LOCALAPPDATA; do
    win="$(bash "$root/scripts/wine-run.sh" cmd /c "echo %$name%" | tr -d '\r')"
    into+=("$(winepath -u "$win" 2>/dev/null || true)")
    [[ -n "$win" && -n "${into[-1]}" ]] || { log "no %$name% folder in the wine prefix $WINEPREFIX"; exit 1; }
  done
}

# --- Configure and build -------------------------------------------------------
build="$root/build-win"
# --fresh: settings of the toolchain file that live in the cache (compiler
# flags) must follow the file when it changes.
cmake --fresh -S "$root" -B "$build" -G Ninja \
  -DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchain-mingw64.cmake" \
  -DZELK_MINGW_DEPS="$prefix" -DCMAKE_BUILD_TYPE=Release \
  -DZELK_WERROR=$werror -DZELK_BUILD_BENCH=OFF
cmake --build "$build" -j "$jobs"

# --- The web API's stand-in for the tests under wine -------------------------------
# zelk_rtapi_emu is built natively only (cpp-httplib's TLS server needs OpenSSL,
# which the Windows library set lacks), and a program under wine cannot start
# a native one. So the native build's stand-in runs for the whole test run; the
# web-API tests under wine reach it over TLS through Schannel at localhost, with
# its test CA given as the program takes a CA, each test under a prefix of its
# own. It is built here in the native build (ZELK_NATIVE_BUILD_DIR, default
# build/), so that a run of this script alone skips none of them.
native_build="${ZELK_NATIVE_BUILD_DIR:-$root/build}"
native_api_emu="$native_build/tools/zelk_rtapi_emu"
log "native zelk_rtapi_emu for the web-API tests"
cmake -S "$root" -B "$native_build" -G Ninja >/dev/null
cmake --build "$native_build" --target zelk_rtapi_emu -j "$jobs" >/dev/null
if [[ -x "$native_api_emu" ]]; then
  api_dir="$(mktemp -d /tmp/zelk-rtapi.XXXXXX)"
  : >"$api_dir/empty.scenario"
  "$native_api_emu" --scenario "$api_dir/empty.scenario" --folder "$api_dir/emu" \
    --record "$api_dir/requests.jsonl" >"$api_dir/out.txt" 2>&1 </dev/null &
  api_emu_pid=$!
  for _ in $(seq 300); do grep -q '^ca ' "$api_dir/out.txt" 2>/dev/null && break; sleep 0.1; done
  api_port="$(sed -n 's/^port //p' "$api_dir/out.txt")"
  [[ -n "$api_port" ]] || { log "the web API's stand-in did not start"; cat "$api_dir/out.txt" >&2; exit 1; }
  export ZELK_TEST_RTAPI_SERVICE="https://localhost:$api_port"
  ZELK_TEST_RTAPI_CA="$(winepath -w "$api_dir/emu/cert.pem")"
  ZELK_TEST_RTAPI_RECORD="$(winepath -w "$api_dir/requests.jsonl")"
  export ZELK_TEST_RTAPI_CA ZELK_TEST_RTAPI_RECORD
  log "web API stand-in for the tests: $ZELK_TEST_RTAPI_SERVICE"
else
  log "no native $native_api_emu after its build"
  exit 1
fi

# --- Tests under wine ------------------------------------------------------------
# A stage that finds no test must not pass: ctest refuses an empty run, and the
# count of tests run is checked against the least the Windows build has.
# The tests keep out of the prefix user's own folders: each test program points
# them into a temporary folder of its own.
min_tests="${ZELK_WINDOWS_MIN_TESTS:-825}"
user_folders prefix_folders
log "the tests must leave no new ZELK folder in ${prefix_folders[*]}"
ctest_rc=0
(cd "$build" && bash "$root/scripts/no-new-zelk-folder.sh" "${prefix_folders[@]}" -- \
  ctest --no-tests=error --output-on-failure -j "$jobs" --timeout 300) \
  | tee "$build/ctest-windows.txt" || ctest_rc=$?
bash "$root/scripts/slowest-tests.sh" "$build/ctest-windows.txt" windows
((ctest_rc == 0)) || exit "$ctest_rc"
bash "$root/scripts/check-test-count.sh" "$build/ctest-windows.txt" "$min_tests" windows

# --- Display scaling and ANSI code pages -------------------------------------------
# A throw-away wine prefix of its own, on a display that holds the window at
# 144 dpi (a client area of 1350 x 1152): the window's tests at 120 and 144 dpi
# (wine's LogPixels; each new program reads it), none skipped; then the ANSI
# text cases with the Cyrillic and the Central European code page. Wine takes
# the ANSI code page from the locale and writes it over the registry's ACP at
# every start, so the locale names it (the locale need not be installed).
scale_prefix="$(mktemp -d /tmp/zelk-wine-scale.XXXXXX)"
start_display scale_xvfb_pid scale_display 2560x1600x24
# in_scale_prefix COMMAND...: runs it with the scaled prefix and display.
in_scale_prefix() { WINEPREFIX="$scale_prefix" DISPLAY="$scale_display" "$@"; }
in_scale_prefix wineserver -p
in_scale_prefix wine wineboot --init </dev/null >/dev/null 2>&1 || true
in_scale_prefix wine reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f \
  </dev/null >/dev/null 2>&1 || true
in_scale_prefix user_folders scale_prefix_folders
# scaled_ctest NAME [ENV=VALUE...] -- CTEST ARGS...: one run whose tests must all pass, none skipped.
scaled_ctest() {
  local name="$1" out="$build/ctest-windows-$1.txt"
  shift
  local vars=()
  while [[ "$1" != "--" ]]; do vars+=("$1"); shift; done
  shift
  (cd "$build" && env "${vars[@]}" WINEPREFIX="$scale_prefix" DISPLAY="$scale_display" \
    bash "$root/scripts/no-new-zelk-folder.sh" "${scale_prefix_folders[@]}" -- \
    ctest --no-tests=error --output-on-failure -j "$jobs" --timeout 300 "$@") | tee "$out"
  ! grep -q '\*\*\*Skipped\|(Skipped)' "$out" || { log "$name: a test was skipped"; exit 1; }
}
for dpi in 120 144; do
  log "the window's tests at $dpi dpi"
  in_scale_prefix wine reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$dpi" /f \
    </dev/null >/dev/null 2>&1
  scaled_ctest "${dpi}dpi" -- -L window
done
for locale in ru_RU.UTF-8:1251 pl_PL.UTF-8:1250; do
  log "ANSI text in code page ${locale#*:}"
  LC_ALL="${locale%%:*}" in_scale_prefix wine reg query 'HKLM\System\CurrentControlSet\Control\Nls\CodePage' \
    /v ACP </dev/null 2>/dev/null | grep -q "ACP.*REG_SZ.*${locale#*:}" \
    || { log "wine does not take code page ${locale#*:} from ${locale%%:*}"; exit 1; }
  scaled_ctest "cp${locale#*:}" LC_ALL="${locale%%:*}" -- -R '^core\.TextFile\.ReadsAnsi'
done


# --- The program itself ----------------------------------------------------------
# The demo set-up of scripts/run.sh, the Windows way: the per-user folder is
# the wine prefix's own roaming AppData (found as the program finds it), the
# simulator folder is named by its Windows path, the update check asks an
# unused loopback port. Then:
#   - `zelk.exe --production` ends with 0 and writes Log.txt; its parameters
#     name no simulator folder, so it takes the one the simulator's UserCfg.opt
#     (made in the prefix's local AppData) names, logs and stores it;
#   - while one zelk.exe runs (held in its update check by a loopback peer that
#     never answers), a second one ends at once with -1 (255 under wine).
# ZELK_WINDOWS_SMOKE=0 leaves these checks out.
run="$build/run"
exe_out="$(mktemp -d /tmp/zelk-exe.XXXXXX)"
stall_pid=""
# The programs the checks below start in the background (zelk.exe under
# timeout and wine, the RealTraffic stand-in), each by the PID of its job: a
# check that fails while they run ends them before the script exits, and no
# zelk.exe or stand-in is left running.
background_pids=()
track_background() { background_pids+=("$1"); }
forget_background() {
  local kept=() pid
  for pid in "${background_pids[@]}"; do [[ "$pid" == "$1" ]] || kept+=("$pid"); done
  background_pids=("${kept[@]}")
}
# end_tree PID SIGNAL: the signal to PID and every process below it, the
# deepest first, so that none is left without its parent to be found by.
end_tree() {
  local child
  for child in $(ps -o pid= --ppid "$1" 2>/dev/null || true); do end_tree "$child" "$2"; done
  kill "-$2" "$1" 2>/dev/null || true
}
# end_background: asks each tracked program to end, waits up to 10 s, then
# kills what is left.
end_background() {
  local pid alive
  ((${#background_pids[@]} > 0)) || return 0
  for pid in "${background_pids[@]}"; do end_tree "$pid" TERM; done
  for _ in $(seq 100); do
    alive=""
    for pid in "${background_pids[@]}"; do kill -0 "$pid" 2>/dev/null && alive=yes; done
    [[ -n "$alive" ]] || break
    sleep 0.1
  done
  for pid in "${background_pids[@]}"; do
    if kill -0 "$pid" 2>/dev/null; then end_tree "$pid" KILL; fi
    wait "$pid" 2>/dev/null || true
  done
  background_pids=()
}
program_cleanup() {
  end_background
  if [[ -n "$stall_pid" ]]; then kill "$stall_pid" 2>/dev/null || true; fi
  rm -rf "$exe_out"
  cleanup
}
trap program_cleanup EXIT

# zelk.exe in build-win/run/ under wine, bounded in time; output to a file
# (never to a pipe that wine's services could keep open).
#   run_zelk NAME SECONDS DOWNLOAD_BASE ARGS...
run_zelk() {
  local name="$1" seconds="$2" base="$3"
  shift 3
  (cd "$run" && ZELK_DOWNLOAD_BASE="$base" timeout -k 10 "$seconds" wine ./zelk.exe "$@" \
    >"$exe_out/$name.txt" 2>&1 </dev/null)
}

fail_program() {
  log "$1"
  for f in "$exe_out"/*.txt; do [[ -s "$f" ]] && { echo "--- $f" >&2; tail -n 20 "$f" >&2; }; done
  [[ -f "$run/Log.txt" ]] && { echo "--- $run/Log.txt" >&2; tail -n 20 "$run/Log.txt" >&2; }
  exit 1
}

xml_escape() {
  local s="$1"
  s="${s//&/&amp;}"; s="${s//</&lt;}"; s="${s//>/&gt;}"; s="${s//\"/&quot;}"
  printf '%s' "$s"
}

if [[ "${ZELK_WINDOWS_SMOKE:-1}" != "0" ]]; then
  demo="$root/data/demo"
  appdata_win="$(bash "$root/scripts/wine-run.sh" cmd /c 'echo %APPDATA%' | tr -d '\r')"
  appdata="$(winepath -u "$appdata_win" 2>/dev/null)"
  [[ -n "$appdata_win" && -d "$appdata" ]] || fail_program "no roaming AppData folder in the wine prefix"
  mkdir -p "$appdata/ZELK"
  template="$(<"$demo/parameters.xml")"
  printf '%s\n' "${template//@DEMO_SIM_FOLDER@\/Community/}" >"$appdata/ZELK/parameters.xml"
  localappdata="$(winepath -u "$(bash "$root/scripts/wine-run.sh" cmd /c 'echo %LOCALAPPDATA%' | tr -d '\r')")"
  usercfg="$localappdata/Packages/Microsoft.Limitless_8wekyb3d8bbwe/LocalCache/UserCfg.opt"
  mkdir -p "$(dirname "$usercfg")"
  sim_folder_win="$(winepath -w "$demo/MSFS2024")"
  printf 'Graphics {\r\n}\r\nInstalledPackagesPath "%s"\r\n' "$sim_folder_win" >"$usercfg"
  cp "$demo/RealTraffic.lic" "$run/RealTraffic.lic"
  closed_port="http://127.0.0.1:9/"

  log "zelk.exe --production with the demo set-up, the simulator folder from UserCfg.opt"
  rm -f "$run/Log.txt"
  rc=0
  run_zelk production 120 "$closed_port" --production || rc=$?
  ((rc == 0)) || fail_program "zelk.exe --production ended with $rc, not 0"
  [[ -s "$run/Log.txt" ]] || fail_program "zelk.exe --production wrote no Log.txt"
  grep -q '^Command line job:' "$run/Log.txt" && grep -q '^production' "$run/Log.txt" \
    || fail_program "Log.txt of zelk.exe --production does not show the production job"
  grep -qxF "MSFS install path found: $sim_folder_win" "$run/Log.txt" \
    && grep -qF "name=\"MSFS_2024_INSTALL_PATH\" value=\"$(xml_escape "$sim_folder_win")\"" "$appdata/ZELK/parameters.xml" \
    || fail_program "zelk.exe --production did not take the simulator folder of UserCfg.opt"
  # What the window's creation reports before any log is open reaches Log.txt
  # too (wine 8 refuses the per-monitor dpi awareness, so the line is there).
  if grep -q "SetProcessDpiAwarenessContext failed" "$exe_out/production.txt"; then
    grep -q "^SetProcessDpiAwarenessContext failed: " "$run/Log.txt" \
      || fail_program "the dpi-awareness failure of zelk.exe did not reach Log.txt"
  fi

  log "a second zelk.exe while one runs"
  python3 "$root/scripts/stall-server.py" "$exe_out/port" "$exe_out/accepted" 90 &
  stall_pid=$!
  for _ in $(seq 100); do [[ -s "$exe_out/port" ]] && break; sleep 0.1; done
  [[ -s "$exe_out/port" ]] || fail_program "the loopback peer did not start"
  rm -f "$run/Log.txt"
  run_zelk first 150 "http://127.0.0.1:$(<"$exe_out/port")/" --production &
  first_pid=$!
  track_background "$first_pid"
  # The first instance claims the named mutex before it reads anything; once
  # its update check has reached the peer, it holds the claim for sure.
  for _ in $(seq 600); do
    [[ -e "$exe_out/accepted" ]] && break
    kill -0 "$first_pid" 2>/dev/null || break
    sleep 0.1
  done
  [[ -e "$exe_out/accepted" ]] || fail_program "the first zelk.exe never reached its update check"
  rc=0
  run_zelk second 60 "$closed_port" --production || rc=$?
  # Let the first one go on: its update check now fails and the job ends.
  kill "$stall_pid" 2>/dev/null || true
  wait "$stall_pid" 2>/dev/null || true
  stall_pid=""
  first_rc=0
  wait "$first_pid" || first_rc=$?
  forget_background "$first_pid"
  ((rc == 255)) || fail_program "the second zelk.exe ended with $rc, not -1 (255)"
  ((first_rc == 0)) || fail_program "the first zelk.exe ended with $first_rc, not 0"
  grep -q '^production' "$run/Log.txt" || fail_program "the first zelk.exe did not finish its job"
  log "zelk.exe: production run ends with 0 and writes Log.txt; a second instance ends with -1"
fi

# --- The window on the display ----------------------------------------------------
# zelk.exe with the demo set-up in the full view: its window "ZELK" within 60 s,
# a screenshot of the 900 x 768 client area (build-win/artefacts/window-full.png)
# that is not blank and shows the panel's band colours at their rows; a click on
# its Compact box stores COLLAPSED and gives window-compact.png, 128 high; then
# `wine taskkill /im zelk.exe` closes it through the close-down within 30 s (the
# closing line in Log.txt, the position saved).
# The colour of a pixel of a picture, as RRGGBB.
pixel() { convert "$1" -format "%[hex:p{$2,$3}]" info: 2>/dev/null | tr -d '\n'; }
# check_shot FILE WIDTH HEIGHT then "x y colour|colour ..." triples.
check_shot() {
  local file="$1" width="$2" height="$3"
  shift 3
  [[ -s "$file" ]] || fail_program "no screenshot $file"
  local size colours
  size="$(identify -format '%wx%h' "$file")"
  [[ "$size" == "${width}x${height}" ]] || fail_program "$file is $size, not ${width}x${height}"
  colours="$(identify -format '%k' "$file")"
  ((colours >= 10)) || fail_program "$file is blank ($colours colours)"
  while (($#)); do
    local got
    got="$(pixel "$file" "$1" "$2")"
    [[ "|$3|" == *"|$got|"* ]] || fail_program "$file: pixel $1,$2 is $got, not $3"
    shift 3
  done
}

# open_window NAME: zelk.exe in build-win/run/ (a fresh Log.txt) until its
# window "ZELK" is there (window, window_pid) and the run's first steps have
# filled the panel; it then waits for the simulator.
open_window() {
  rm -f "$run/Log.txt"
  run_zelk "$1" 180 "$closed_port" &
  window_pid=$!
  track_background "$window_pid"
  window=""
  for _ in $(seq 600); do
    window="$(xdotool search --name '^ZELK$' 2>/dev/null | head -n1 || true)"
    [[ -n "$window" ]] && break
    sleep 0.1
  done
  [[ -n "$window" ]] || fail_program "no window \"ZELK\" within 60 s ($1)"
  sleep 4
}
# close_window: `wine taskkill /im zelk.exe`; the program must end within 30 s.
close_window() {
  bash "$root/scripts/wine-run.sh" taskkill /im zelk.exe >/dev/null 2>&1 || true
  local closed=""
  for _ in $(seq 300); do
    kill -0 "$window_pid" 2>/dev/null || { closed=yes; break; }
    sleep 0.1
  done
  [[ -n "$closed" ]] || fail_program "zelk.exe did not close within 30 s of taskkill"
  wait "$window_pid" || true
  forget_background "$window_pid"
}

if [[ "${ZELK_WINDOWS_SMOKE:-1}" != "0" ]]; then
  log "zelk.exe on the display: the full and the compact window"
  artefacts="$build/artefacts"
  mkdir -p "$artefacts"
  rm -f "$artefacts"/window-*.png
  template="$(<"$demo/parameters.xml")"
  template="${template//@DEMO_SIM_FOLDER@/$(xml_escape "$(winepath -w "$demo/MSFS2024")")}"
  printf '%s\n' "${template//<\/parameters>/<parameter name=\"COLLAPSED\" value=\"false\" /></parameters>}" \
    >"$appdata/ZELK/parameters.xml"
  open_window window
  [[ "$(xdotool getwindowname "$window")" == "ZELK" ]] || fail_program "the window's title is not ZELK"
  import -window "$window" "$artefacts/window-full.png"
  check_shot "$artefacts/window-full.png" 900 768 \
    200 16 000000  300 50 000000  600 325 99CCFF  890 725 000000  890 760 '199619|FF0000'
  xdotool mousemove --window "$window" 800 15 click 1
  for _ in $(seq 50); do
    [[ "$(xdotool getwindowgeometry "$window" | sed -n 's/.*Geometry: [0-9]*x//p')" == 128 ]] && break
    sleep 0.1
  done
  import -window "$window" "$artefacts/window-compact.png"
  check_shot "$artefacts/window-compact.png" 900 128 \
    200 16 000000  300 50 000000  890 120 '199619|FF0000'
  close_window
  grep -q "close window button clicked, closing ZELK" "$run/Log.txt" \
    || fail_program "Log.txt of the closed window lacks its closing line"
  grep -q 'name="MAIN_WINDOW_X"' "$appdata/ZELK/parameters.xml" \
    && grep -q 'name="COLLAPSED" value="true"' "$appdata/ZELK/parameters.xml" \
    || fail_program "the closed window did not save its position and view"
  log "zelk.exe's window: $artefacts/window-full.png and window-compact.png; closed by taskkill"

  # The same window at 144 dpi (the scaled prefix is left at it): 1350 x 1152
  # pixels, the band colours at their rows scaled (build-win/artefacts/window-144dpi.png).
  log "zelk.exe on the display at 144 dpi"
  scale_appdata="$(in_scale_prefix winepath -u "$(in_scale_prefix bash "$root/scripts/wine-run.sh" cmd /c 'echo %APPDATA%' | tr -d '\r')")"
  mkdir -p "$scale_appdata/ZELK"
  printf '%s\n' "${template//<\/parameters>/<parameter name=\"COLLAPSED\" value=\"false\" /></parameters>}" \
    >"$scale_appdata/ZELK/parameters.xml"
  in_scale_prefix open_window window144
  in_scale_prefix import -window "$window" "$artefacts/window-144dpi.png"
  check_shot "$artefacts/window-144dpi.png" 1350 1152 \
    300 24 000000  450 75 000000  900 487 99CCFF  1335 1087 000000  1335 1140 '199619|FF0000'
  in_scale_prefix close_window
  log "zelk.exe's window at 144 dpi: $artefacts/window-144dpi.png"
fi
# --- The simulator connection end to end -------------------------------------------
# zelk.exe --demo-seconds 90 in a temporary copy of build-win/run/ with the
# stand-in SimConnect.dll beside it (it plays data/demo/simstandin-lszh.json and
# records what zelk.exe did), traffic from the native RealTraffic app stand-in on
# free loopback ports; each run starts from a fresh copy of the demo's airport
# folders, as scripts/run.sh does. Then the MSFS 2020 script (plain creates and
# flight plans), and a run without the library (it says why and exits 1 at its
# bound). The demo's own exit code already says that live and parked aircraft
# were created, moved, parked at stands and removed; the record checks ask only
# what the scenario gives however slowly a loaded machine runs the stand-in.
# Each run's "Demo summary" line is printed and its Log.txt kept as
# build-win/artefacts/demo-NAME-Log.txt; while the two demos run, the window is
# taken as demo-NAME.png once the airport file is loaded (the compact view with
# the parking band): MSFS 2024 at 96 dpi, MSFS 2020 in the scaled prefix at
# 144 dpi.
# ZELK_WINDOWS_E2E=0 leaves these runs out.
if [[ "${ZELK_WINDOWS_SMOKE:-1}" != "0" && "${ZELK_WINDOWS_E2E:-1}" != "0" ]]; then
  log "native zelk_rtapp_emu for the end-to-end runs"
  cmake -S "$root" -B "$root/build" -G Ninja >/dev/null
  cmake --build "$root/build" --target zelk_rtapp_emu -j "$jobs" >/dev/null
  emu_bin="$root/build/tools/zelk_rtapp_emu"
  standin="$build/standin/SimConnect.dll"
  [[ -f "$standin" ]] || fail_program "no stand-in SimConnect.dll at $standin"

  rm -f "$artefacts"/demo-*
  # Logged as the loader posts the airport file to the window (Log.txt is
  # flushed every 15 s of the run).
  e2e_loaded_line="Airport file read from '"
  # e2e_shot NAME DIR PID SCALE: once DIR's Log.txt says the airport file is
  # loaded, the window "ZELK" of zelk.exe (PID) is taken as demo-NAME.png and
  # checked: the compact view with the parking band, SCALE (1 or 1.5) times
  # 900 x 224, the simulator's box green or yellow, the band black.
  e2e_shot() {
    local name="$1" dir="$2" pid="$3" scale="$4" shot="$artefacts/demo-$1.png" found=""
    for _ in $(seq 1200); do
      grep -q "$e2e_loaded_line" "$dir/Log.txt" 2>/dev/null && { found=yes; break; }
      kill -0 "$pid" 2>/dev/null || break
      sleep 0.1
    done
    [[ -n "$found" ]] || fail_program "the $name demo never loaded its airport file"
    # The parking band's lines follow the load within a pass or two.
    sleep 3
    local win
    win="$(xdotool search --name '^ZELK$' 2>/dev/null | head -n1 || true)"
    [[ -n "$win" ]] || fail_program "no window \"ZELK\" in the $name demo"
    import -window "$win" "$shot"
    # at_scale N: N of the 96-dpi canvas at this run's scale.
    at_scale() { python3 -c "print(round($1 * $scale))"; }
    check_shot "$shot" "$(at_scale 900)" "$(at_scale 224)" \
      "$(at_scale 200)" "$(at_scale 16)" 000000  "$(at_scale 420)" "$(at_scale 60)" '199619|FFFF00' \
      "$(at_scale 897)" "$(at_scale 157)" 000000  "$(at_scale 890)" "$(at_scale 216)" '199619|FF0000'
  }

  # e2e NAME SCRIPT SIM_CHOICE SECONDS WITH_DLL [SCALE]: runs one demo in its
  # own copy of run/; with SCALE (1 in the first prefix, 1.5 in the scaled
  # one) its window is taken while it runs.
  e2e() {
    local name="$1" script="$2" sim="$3" seconds="$4" with_dll="$5" scale="${6:-}"
    local dir="$exe_out/$name"
    local prefix="$WINEPREFIX" display="$DISPLAY" params_file="$appdata/ZELK/parameters.xml"
    if [[ "$scale" == "1.5" ]]; then
      prefix="$scale_prefix" display="$scale_display" params_file="$scale_appdata/ZELK/parameters.xml"
    fi
    cp -r "$run" "$dir"
    rm -rf "$dir/Log.txt" "$dir/SimConnect.dll" "$dir/airports" "$dir/output" "$dir/tblo"
    cp -r "$demo/airports" "$dir/airports"
    [[ "$with_dll" == "1" ]] && cp "$standin" "$dir/SimConnect.dll"
    read -r tcp udp_t udp_w < <(python3 -c '
import socket
s = [socket.socket(socket.AF_INET, t) for t in (socket.SOCK_STREAM, socket.SOCK_DGRAM, socket.SOCK_DGRAM)]
[x.bind(("127.0.0.1", 0)) for x in s]
print(*[x.getsockname()[1] for x in s])')
    local params
    params="$(<"$demo/parameters.xml")"
    params="${params//@DEMO_SIM_FOLDER@/$(xml_escape "$(winepath -w "$demo/MSFS2024")")}"
    params="${params//\"RT Direct\"/\"RT App\"}"
    params="${params//\"MSFS 2024\"/\"$sim\"}"
    params="${params//<\/parameters>/<parameter name=\"PORT_NUMBER\" value=\"$tcp\" /><parameter name=\"MSFS_INSTALL_PATH\" value=\"$(xml_escape "$(winepath -w "$demo/MSFS2024")")/Community\" /></parameters>}"
    printf '%s\n' "$params" >"$params_file"
    "$emu_bin" --scenario "$demo/lszh.scenario" --port "$tcp" --udp "$udp_t,$udp_w" \
      --duration "$((seconds + 90))" >"$exe_out/$name-emu.txt" 2>&1 &
    local emu_pid=$!
    track_background "$emu_pid"
    local rc=0
    (cd "$dir" && WINEPREFIX="$prefix" DISPLAY="$display" \
      ZELK_DOWNLOAD_BASE="$closed_port" ZELK_RTAPP_UDP_PORTS="$udp_t,$udp_w" \
      ZELK_SIMSTANDIN_SCRIPT="$(winepath -w "$demo/$script")" \
      ZELK_SIMSTANDIN_RECORD="$(winepath -w "$dir/record.jsonl")" \
      timeout -k 10 "$((seconds + 90))" wine ./zelk.exe --demo-seconds "$seconds" \
      >"$exe_out/$name.txt" 2>&1 </dev/null) &
    local zelk_pid=$!
    track_background "$zelk_pid"
    if [[ -n "$scale" ]]; then
      WINEPREFIX="$prefix" DISPLAY="$display" e2e_shot "$name" "$dir" "$zelk_pid" "$scale"
    fi
    wait "$zelk_pid" || rc=$?
    forget_background "$zelk_pid"
    kill "$emu_pid" 2>/dev/null || true
    wait "$emu_pid" 2>/dev/null || true
    forget_background "$emu_pid"
    e2e_rc=$rc
    e2e_dir="$dir"
    # What the run did, for the reader of this script's output and afterwards.
    [[ -f "$dir/Log.txt" ]] && cp "$dir/Log.txt" "$artefacts/demo-$name-Log.txt"
    local summary
    summary="$(grep -h '^Demo summary:' "$dir/Log.txt" 2>/dev/null | tail -n 1 || true)"
    log "$name: ${summary:-no demo summary in Log.txt}"
  }

  log "zelk.exe --demo-seconds 90 on the stand-in SimConnect.dll (MSFS 2024)"
  e2e msfs2024 simstandin-lszh.json "MSFS 2024" 90 1 1
  ((e2e_rc == 0)) || fail_program "the MSFS 2024 demo ended with $e2e_rc (its Log.txt: $artefacts/demo-msfs2024-Log.txt)"
  python3 "$root/scripts/check-demo-record.py" "$e2e_dir/record.jsonl" --min-created 2 --min-moved 1 \
    --event ALL_LIGHTS_TOGGLE --no-plans || fail_program "the MSFS 2024 record falls short"
  grep -q "Connected to MSFS 2024" "$e2e_dir/Log.txt" && grep -q "RealTraffic connected" "$e2e_dir/Log.txt" \
    || fail_program "Log.txt of the MSFS 2024 demo lacks the connections"
  grep -q "Exiting: DEMO ENDED" "$e2e_dir/Log.txt" && ! grep -q "USER CLOSED SIM" "$e2e_dir/Log.txt" \
    || fail_program "Log.txt of the MSFS 2024 demo does not log its end as the demo's"

  log "zelk.exe --demo-seconds 90 with the MSFS 2020 script, at 144 dpi"
  e2e msfs2020 simstandin-lszh-2020.json "MSFS 2020" 90 1 1.5
  ((e2e_rc == 0)) || fail_program "the MSFS 2020 demo ended with $e2e_rc (its Log.txt: $artefacts/demo-msfs2020-Log.txt)"
  python3 "$root/scripts/check-demo-record.py" "$e2e_dir/record.jsonl" --min-created 2 --min-moved 1 --plans \
    || fail_program "the MSFS 2020 record falls short"
  grep -q "created with SimConnect_AICreateNonATCAircraft$" "$e2e_dir/Log.txt" \
    || fail_program "the MSFS 2020 demo did not use the plain create"

  log "zelk.exe --demo-seconds 15 without SimConnect.dll"
  e2e nodll simstandin-lszh.json "MSFS 2024" 15 0
  ((e2e_rc == 1)) || fail_program "the run without SimConnect.dll ended with $e2e_rc, not 1"
  grep -q "SimConnect.dll not found" "$e2e_dir/Log.txt" || fail_program "the run without SimConnect.dll did not say why"
  log "zelk.exe on the stand-in SimConnect.dll: MSFS 2024 and 2020 demos pass; without it the run says why"
  log "the demos' Log.txt and windows: $artefacts/demo-*"
fi
log "Windows build and tests passed"
