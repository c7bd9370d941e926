#!/usr/bin/env bash
# The installed Windows program under Wine, on a virtual X display, in the demo's world with both
# stand-ins running on Linux: it must run its main loop against them and close cleanly when
# taskkill (without /f) posts WM_CLOSE to its window.
#   wine_program_test.sh <cmake> <windows build dir> <Linux tools dir> <source dir>
# The prefix is this test's own (made on its first run): Wine's desktop takes the window driver of
# the process that starts it, so a prefix shared with tests that run without a display would
# leave the program with none. The script runs itself inside `xvfb-run -a`, and every Wine process
# of the run shares that display. The world's drives are linked into the prefix for the run: C:'s
# Prepar3D folders, the roaming AppData folders and drive D:; the registry gets the simulator's
# install path. All of it is taken out again at the end, and the prefix's wineserver is ended.
# The prefix user's profile folder is named after USER (the tests give a name in several
# scripts: the program must find its settings in such an AppData folder). WINE and WINEPREFIX
# come from the environment, and USER when set. Exit 77 (skipped) when the Linux tools, python3
# or xvfb-run are absent.
set -euo pipefail
cmake=$1 build=$2 tools=$3 source=$4

for tool in fixtures/demo-world p3d-standin/p3d-standin rt-standin/rt-standin; do
  if [ ! -x "$tools/$tool" ]; then
    echo "skipped: no $tools/$tool (build the release tree first)"
    exit 77
  fi
done
for command in python3 xvfb-run; do
  command -v "$command" >/dev/null || { echo "skipped: no $command"; exit 77; }
done

if [ -z "${WINE_PROGRAM_TEST_ON_XVFB:-}" ]; then
  WINE_PROGRAM_TEST_ON_XVFB=1 exec xvfb-run -a "$0" "$@"
fi

readonly kSimKey='HKLM\SOFTWARE\Lockheed Martin\Prepar3D v5'
readonly kStartBound=120 kLoopBound=240 kCloseBound=60  # seconds; generous for a busy CI machine
work=$(mktemp -d "${TMPDIR:-/tmp}/zendrik-wine-program.XXXXXX")
program=$work/program
pids=() links=() registry_written=
program_pid=

fail() {
  echo "FAILED: $*"
  if [ -f "$program/Log.txt" ]; then echo "--- Log.txt"; tail -n 40 "$program/Log.txt"; fi
  for log in program.out p3d-standin.log rt-standin.log; do
    if [ -f "$work/$log" ]; then echo "--- $log"; tail -n 20 "$work/$log"; fi
  done
  exit 1
}

cleanup() {
  if [ -n "$program_pid" ] && kill -0 "$program_pid" 2>/dev/null; then
    "$WINE" taskkill /f /im zendrik_p3d.exe >/dev/null 2>&1 || true
    wait "$program_pid" 2>/dev/null || true
  fi
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  for pid in "${pids[@]}"; do wait "$pid" 2>/dev/null || true; done
  for link in "${links[@]}"; do rm -f "$link"; done
  if [ -n "$registry_written" ]; then "$WINE" reg delete "$kSimKey" /f /reg:64 >/dev/null 2>&1 || true; fi
  "$(dirname "$WINE")/wineserver" -k 2>/dev/null || true  # the prefix is this test's alone
  rm -rf "$work"
}
trap cleanup EXIT

free_port() {  # tcp|udp [inet|inet6]
  python3 -c 'import socket, sys
family = socket.AF_INET6 if sys.argv[2] == "inet6" else socket.AF_INET
kind = socket.SOCK_DGRAM if sys.argv[1] == "udp" else socket.SOCK_STREAM
s = socket.socket(family, kind); s.bind(("::1" if family == socket.AF_INET6 else "127.0.0.1", 0))
print(s.getsockname()[1])' "$1" "${2:-inet}"
}

world_value() {  # a key path of world.json, e.g. environment APPDATA
  python3 -c 'import json, sys
value = json.load(open(sys.argv[1]))
for key in sys.argv[2:]: value = value[key]
print(value)' "$work/world/world.json" "$@"
}

# Waits until a command succeeds; fails when the bound passes or the program has ended.
wait_for() {  # seconds what command...
  local bound=$1 what=$2
  shift 2
  local end=$((SECONDS + bound))
  until "$@"; do
    if [ -n "$program_pid" ] && ! kill -0 "$program_pid" 2>/dev/null; then
      fail "the program ended while waiting for $what"
    fi
    [ $SECONDS -lt $end ] || fail "gave up after $bound s waiting for $what"
    sleep 0.2
  done
}

# A link in the prefix to a folder of the world; a link left by an earlier, killed run is
# replaced, a real folder is never touched.
link_into_prefix() {  # target link
  if [ -e "$2" ] && [ ! -L "$2" ]; then fail "the Wine prefix already holds $2"; fi
  mkdir -p "$(dirname "$2")"
  ln -sfn "$1" "$2"
  links+=("$2")
}

# The world as the program under Wine sees it: its drive C: folders inside the prefix's drive C:,
# its roaming AppData folders in the prefix user's, drive D: as a Wine drive.
link_world() {
  local world_c=$1 world_d=$2 world_appdata=$3 folder entry
  local prefix_appdata=$WINEPREFIX/drive_c/users/${USER:-$(id -un)}/AppData/Roaming
  [ -d "$prefix_appdata" ] || fail "no roaming AppData folder in the prefix: $prefix_appdata"
  for folder in "Program Files" ProgramData; do
    for entry in "$world_c/$folder"/*; do
      link_into_prefix "$entry" "$WINEPREFIX/drive_c/$folder/$(basename "$entry")"
    done
  done
  for entry in "$world_appdata"/*; do
    link_into_prefix "$entry" "$prefix_appdata/$(basename "$entry")"
  done
  link_into_prefix "$world_d" "$WINEPREFIX/dosdevices/d:"
}

has() { grep -qs -- "$2" "$1"; }

# The prefix, made once; no installer dialogs for .NET or HTML support on the display.
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  WINEDLLOVERRIDES="mscoree,mshtml=" "$WINE" wineboot --init >/dev/null 2>&1
fi

# The program folder a user copies, and the world around it.
"$cmake" --install "$build" --prefix "$program" >/dev/null
[ -f "$program/zendrik_p3d.exe" ] || fail "cmake --install laid out no zendrik_p3d.exe"
"$tools/fixtures/demo-world" --out "$work/world" --program "$program" \
  --simconnect-ports "$(free_port tcp)" "$(free_port tcp inet6)" >/dev/null
appdata=$(world_value environment APPDATA)
mkdir -p "$appdata/Zendrik_P3D"
rt_port=$(free_port tcp) weather_port=$(free_port udp) traffic_port=$(free_port udp)
printf '<?xml version="1.0"?>\n<parameters>\n\t<parameter name="PORT_NUMBER" value="%s" />\n</parameters>\n' \
  "$rt_port" >"$appdata/Zendrik_P3D/parameters.xml"
link_world "$(world_value environment ZENDRIK_DRIVE_C)" "$(world_value environment ZENDRIK_DRIVE_D)" \
  "$appdata"
registry_written=1
"$WINE" reg add "$kSimKey" /v SetupPath /t REG_SZ /d "$(world_value sim_install_path)" /f /reg:64 \
  >/dev/null

# The download server and the simulator stand-in; the program finds the stand-in through a
# SimConnect.cfg in its folder.
python3 -u -m http.server --bind 127.0.0.1 --directory "$(world_value download_folder)" 0 \
  >"$work/http.log" 2>&1 &
pids+=($!)
wait_for 30 "the download server" has "$work/http.log" "Serving HTTP"
http_port=$(sed -n 's/.* port \([0-9]*\).*/\1/p' "$work/http.log" | head -n 1)
port4=$(world_value simconnect_port4)
"$tools/p3d-standin/p3d-standin" --port "$port4" --port6 "$(world_value simconnect_port6)" \
  --scenario "$(world_value scenario)" --trace "$work/trace.jsonl" \
  --simobjects "$(world_value simobjects)" --frame-hz 30 >"$work/p3d-standin.log" 2>&1 &
pids+=($!)
wait_for 30 "p3d-standin" has "$work/p3d-standin.log" "listening"
printf '[SimConnect]\r\nProtocol=IPv4\r\nAddress=127.0.0.1\r\nPort=%s\r\n' "$port4" \
  >"$program/SimConnect.cfg"

# The program, started from its folder as a user starts it; then RealTraffic with the first
# minutes of the KLAX recording.
began=$SECONDS
(cd "$program" && exec env ZENDRIK_DOWNLOAD_URL="http://127.0.0.1:$http_port/" \
  ZENDRIK_WEATHER_PORT="$weather_port" ZENDRIK_TRAFFIC_PORT="$traffic_port" \
  "$WINE" zendrik_p3d.exe) >"$work/program.out" 2>&1 &
program_pid=$!
head -n 600 "$source/tools/demo/klax.rttfc" >"$work/recording.rttfc"
"$tools/rt-standin/rt-standin" --server "127.0.0.1:$rt_port" --traffic "$work/recording.rttfc" \
  --weather-port "$weather_port" --traffic-port "$traffic_port" --log "$work/rt-standin.log" \
  >"$work/rt-standin.out" 2>&1 &
pids+=($!)

wait_for $kStartBound "RealTraffic connected in Log.txt" has "$program/Log.txt" "RealTraffic connected"
# Found in the roaming AppData folder, as the settings were.
has "$program/Log.txt" "RealTraffic detected at this PC" || fail "RealTraffic.jar not found in AppData"
# The main loop against both: RealTraffic's aircraft created in the simulator, and the
# simulator's user position sent on to RealTraffic.
wait_for $kLoopBound "an AI aircraft created in p3d-standin" has "$work/trace.jsonl" '"created"'
wait_for $kLoopBound "the user position sent to rt-standin" has "$work/rt-standin.log" "Qs121="
echo "main loop seen after $((SECONDS - began)) s"

# The close: WM_CLOSE to the window, the closing sequence, exit status 0.
asked=$(date +%s.%N)
"$WINE" taskkill /im zendrik_p3d.exe >"$work/taskkill.out" 2>&1 || fail "taskkill: $(cat "$work/taskkill.out")"
wait_for $kCloseBound "the closing sequence in Log.txt" has "$program/Log.txt" "Exiting: "
began_closing=$(date +%s.%N)
status=0
end=$((SECONDS + kCloseBound))
while kill -0 "$program_pid" 2>/dev/null; do
  [ $SECONDS -lt $end ] || fail "the program did not close within $kCloseBound s of WM_CLOSE"
  sleep 0.1
done
wait "$program_pid" || status=$?
program_pid=
awk -v a="$asked" -v b="$began_closing" -v c="$(date +%s.%N)" \
  'BEGIN { printf "closing began %.1f s after taskkill was started, the program ended %.1f s later\n", b - a, c - b }'
[ "$status" -eq 0 ] || fail "the program exited with status $status"
has "$program/Log.txt" "Exiting: NOT YET SET" || fail "no 'Exiting: NOT YET SET' in Log.txt"
wait_for 10 "RealTraffic told of the exit" has "$work/rt-standin.log" "received exit"
if grep -Eq "Unhandled exception|Backtrace:|wine: .*(crash|exception)" "$work/program.out"; then
  fail "Wine reported a crash"
fi
echo "the program ran its main loop under Wine and closed cleanly"
