#!/usr/bin/env bash
# The Windows program's two links to the world outside Wine:
#   simconnect <probe.exe> <p3d-standin>  the client under Wine reaches the Linux stand-in over
#                                         TCP, through a SimConnect.cfg as on another PC
#   detection <probe.exe>                 the detection reads HKLM keys written with `reg add`
# WINE and WINEPREFIX come from the environment. Exit 77 (skipped) when the stand-in is absent.
set -euo pipefail
mode=$1 probe=$2
work=$(mktemp -d "${TMPDIR:-/tmp}/zendrik-wine-links.XXXXXX")
standin_pid=
cleanup() {
  if [ -n "$standin_pid" ]; then kill "$standin_pid" 2>/dev/null || true; fi
  rm -rf "$work"
}
trap cleanup EXIT

case $mode in
  simconnect)
    standin=$3
    if [ ! -x "$standin" ]; then
      echo "skipped: no Linux p3d-standin at $standin (build the release tree first)"
      exit 77
    fi
    "$standin" --port 0 >"$work/standin.out" 2>"$work/standin.err" &
    standin_pid=$!
    for _ in $(seq 1 100); do
      grep -q "listening" "$work/standin.out" 2>/dev/null && break
      sleep 0.1
    done
    port=$(sed -n 's/^p3d-standin listening: port \([0-9]*\).*/\1/p' "$work/standin.out")
    [ -n "$port" ] || { echo "the stand-in did not start"; cat "$work/standin.err"; exit 1; }
    printf '[SimConnect]\r\nProtocol=IPv4\r\nAddress=127.0.0.1\r\nPort=%s\r\n' "$port" \
      >"$work/SimConnect.cfg"
    (cd "$work" && "$WINE" "$probe")
    ;;
  detection)
    key='HKLM\SOFTWARE\Lockheed Martin\Prepar3D v5'
    folder='C:\Program Files\Lockheed Martin\Prepar3D v5\'
    "$WINE" reg add "$key" /v SetupPath /t REG_SZ /d "$folder" /f /reg:64 >/dev/null
    status=0
    "$WINE" "$probe" "$folder" || status=$?
    "$WINE" reg delete "$key" /f /reg:64 >/dev/null
    exit $status
    ;;
  *)
    echo "usage: $0 simconnect|detection PROBE [STANDIN]"
    exit 2
    ;;
esac
