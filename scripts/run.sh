#!/usr/bin/env bash
# Set up and build ZELK, prepare the demo working set-up in build/run/ and run
# the production job there (read the settings and data sets, then end), then
# print its log. Exits with the program's exit code.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
"$root/scripts/setup.sh"
cmake -S "$root" -B "$root/build" -G Ninja
cmake --build "$root/build"

run="$root/build/run"
demo="$root/data/demo"

# The demo keeps its own per-user folder, so a real ZELK set-up of this user
# stays untouched.
export XDG_CONFIG_HOME="$run/demo-user"
mkdir -p "$XDG_CONFIG_HOME/ZELK"

xml_escape() {
    local s="$1"
    s="${s//&/&amp;}"; s="${s//</&lt;}"; s="${s//>/&gt;}"; s="${s//\"/&quot;}"
    printf '%s' "$s"
}
template="$(<"$demo/parameters.xml")"
printf '%s\n' "${template//@DEMO_SIM_FOLDER@/$(xml_escape "$demo/MSFS2024")}" \
    > "$XDG_CONFIG_HOME/ZELK/parameters.xml"
cp "$demo/RealTraffic.lic" "$run/RealTraffic.lic"

# The demo runs offline: the update check asks an unused loopback port and
# goes on without the server.
export ZELK_DOWNLOAD_BASE="http://127.0.0.1:9/"

cd "$run"
status=0
./zelk --production "$@" || status=$?
echo "----- $run/Log.txt -----"
cat Log.txt
exit "$status"
