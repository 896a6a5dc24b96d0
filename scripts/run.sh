#!/usr/bin/env bash
# Set up and build ZELK, then run its demo in build/run/: the RealTraffic app's
# stand-in (zelk_rtapp_emu) plays the demo's Zurich morning on free loopback
# ports, and zelk runs for ZELK_DEMO_SECONDS (default 240) against the
# in-process simulator stand-in, whose record of what ZELK did goes to
# build/run/simstandin-record.jsonl. Prints zelk's progress lines, the demo
# summary and the end of Log.txt, and exits with zelk's exit code (0: live and
# parked aircraft were created, moved, parked at stands and removed, and none
# is left in the simulator). Every run starts from a fresh copy of the demo
# set-up, so runs repeat. The window's painted panel goes to
# build/run/display-list.txt as text; its top and parking bands are printed at
# the end. Only the working folder and the feed's stand-in are built.
#
#   ./scripts/run.sh --demo-webapi  the same demo through the RealTraffic web
#                                   API ("RT Direct"): the web API's stand-in
#                                   (zelk_rtapi_emu, HTTPS on a free loopback
#                                   port with its own test CA) serves the same
#                                   morning, made from the app's scenario by
#                                   tools/make_demo_webapi_scenario.py.
#   ./scripts/run.sh --production   the production job instead (zelk
#                                   --production: read the settings, the
#                                   credential and the data sets, then end;
#                                   exit code 0 when that job completed).

set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
# ZELK_BUILD_DIR and ZELK_RUN_SKIP_BUILD=1 let a test run the job on a tree it built.
build="${ZELK_BUILD_DIR:-$root/build}"
production=0
webapi=0
if [[ "${1:-}" == "--production" ]]; then production=1; shift
elif [[ "${1:-}" == "--demo-webapi" ]]; then webapi=1; shift
elif [[ "${1:-}" == "--demo" ]]; then shift; fi

if [[ "${ZELK_RUN_SKIP_BUILD:-0}" != "1" ]]; then
    "$root/scripts/setup.sh"
    cmake -S "$root" -B "$build" -G Ninja
    # Only what this job runs: the working folder (the program, its docs and
    # data sets) and the stand-in of the chosen feed. The tests, benchmarks
    # and fuzz targets are scripts/test.sh's to build.
    targets=(zelk_run_folder zelk_data_sets)
    if ((webapi == 1)); then targets+=(zelk_rtapi_emu)
    elif ((production == 0)); then targets+=(zelk_rtapp_emu); fi
    cmake --build "$build" --target "${targets[@]}"
fi

run="$build/run"
demo="$root/data/demo"

# Free loopback ports: the app's TCP port and the two UDP ports.
read -r tcp_port udp_traffic udp_weather < <(python3 - <<'EOF'
import socket
socks = [socket.socket(socket.AF_INET, t) for t in (socket.SOCK_STREAM, socket.SOCK_DGRAM, socket.SOCK_DGRAM)]
for s in socks:
    s.bind(("127.0.0.1", 0))
print(*[s.getsockname()[1] for s in socks])
EOF
)

# The demo keeps its own per-user folder, so a real ZELK set-up of this user
# stays untouched.
export XDG_CONFIG_HOME="$run/demo-user"
rm -rf "$XDG_CONFIG_HOME"
mkdir -p "$XDG_CONFIG_HOME/ZELK"

xml_escape() {
    local s="$1"
    s="${s//&/&amp;}"; s="${s//</&lt;}"; s="${s//>/&gt;}"; s="${s//\"/&quot;}"
    printf '%s' "$s"
}
template="$(<"$demo/parameters.xml")"
params="${template//@DEMO_SIM_FOLDER@/$(xml_escape "$demo/MSFS2024")}"
if ((production == 0 && webapi == 0)); then
    params="${params//\"RT Direct\"/\"RT App\"}"
    params="${params//<\/parameters>/  <parameter name=\"PORT_NUMBER\" value=\"$tcp_port\" />
  </parameters>}"
fi
printf '%s\n' "$params" > "$XDG_CONFIG_HOME/ZELK/parameters.xml"
cp "$demo/RealTraffic.lic" "$run/RealTraffic.lic"

# The program's own airport folders as the demo installation has them: what it
# learned at the demo airport on an earlier visit, and nothing a previous run
# generated or learned.
rm -rf "$run/airports" "$run/output" "$run/tblo"
cp -R "$demo/airports" "$run/airports"

# The demo runs offline: the update check asks an unused loopback port and
# goes on without the server.
export ZELK_DOWNLOAD_BASE="http://127.0.0.1:9/"

cd "$run"
status=0
if ((production == 1)); then
    ./zelk --production "$@" || status=$?
    echo "----- $run/Log.txt -----"
    cat Log.txt
    exit "$status"
fi

seconds="${ZELK_DEMO_SECONDS:-240}"
record="$run/simstandin-record.jsonl"
# The window the demo has no screen for: its painted panel as text.
export ZELK_DISPLAY_LIST="$run/display-list.txt"
rm -f "$ZELK_DISPLAY_LIST"
rm -f "$record" "$run/rtapp-emu-record.txt"
export ZELK_SIMSTANDIN_SCRIPT="$demo/simstandin-lszh.json"
export ZELK_SIMSTANDIN_RECORD="$record"
if ((webapi == 1)); then
    # The web API's stand-in prints its port and the CA it made once it listens.
    rm -rf "$run/rtapi-emu" "$run/rtapi-emu-requests.jsonl"
    python3 "$root/tools/make_demo_webapi_scenario.py" "$demo/lszh.scenario" "$run/lszh-webapi.scenario"
    "$build/tools/zelk_rtapi_emu" --scenario "$run/lszh-webapi.scenario" --folder "$run/rtapi-emu" \
        --record "$run/rtapi-emu-requests.jsonl" --duration "$((seconds + 60))" >"$run/rtapi-emu.txt" 2>&1 &
    emu=$!
    trap 'kill "$emu" 2>/dev/null || true' EXIT
    for _ in $(seq 300); do grep -q '^ca ' "$run/rtapi-emu.txt" 2>/dev/null && break; sleep 0.1; done
    api_port="$(sed -n 's/^port //p' "$run/rtapi-emu.txt")"
    [[ -n "$api_port" ]] || { echo "the web API's stand-in did not start:"; cat "$run/rtapi-emu.txt"; exit 1; }
    export ZELK_RTAPI_BASE="https://127.0.0.1:$api_port/v5"
    export ZELK_RTAPI_CA="$(sed -n 's/^ca //p' "$run/rtapi-emu.txt")"
    echo "zelk runs the demo for $seconds s (RealTraffic web API stand-in on 127.0.0.1:$api_port) ..."
else
    export ZELK_RTAPP_UDP_PORTS="$udp_traffic,$udp_weather"
    "$build/tools/zelk_rtapp_emu" --scenario "$demo/lszh.scenario" --port "$tcp_port" \
        --udp "$udp_traffic,$udp_weather" --record "$run/rtapp-emu-record.txt" --duration "$((seconds + 60))" \
        >"$run/rtapp-emu.txt" 2>&1 &
    emu=$!
    trap 'kill "$emu" 2>/dev/null || true' EXIT
    echo "zelk runs the demo for $seconds s (RealTraffic app stand-in on 127.0.0.1:$tcp_port) ..."
fi
timeout -k 10 "$((seconds + 60))" ./zelk --demo-seconds "$seconds" "$@" || status=$?
echo "----- the end of $run/Log.txt -----"
tail -n 40 Log.txt
echo "-----"
grep -h '^Demo summary:' Log.txt | tail -n 1 || echo "no demo summary in Log.txt"
echo "----- the window's top and parking bands at the end ($ZELK_DISPLAY_LIST) -----"
# Text ops of the top band (y 32..95) and the parking band (y 640..735 in the
# full view, 96..191 in the compact one, whose canvas is not 768 high).
awk 'NR == 1 { split($2, size, "x"); top = size[2] == 768 ? 640 : 96 }
     $1 == "text" { split($2, at, ","); if ((at[2] >= 32 && at[2] < 96) || (at[2] >= top && at[2] < top + 96)) print }' \
    "$ZELK_DISPLAY_LIST" 2>/dev/null || echo "no display list written"
echo "simulator stand-in record: $record"
exit "$status"
